#include "QxLib/qxSystemRandom.h"

#include <cerrno>
#include <random>
#include <sys/random.h>

namespace qx {

void FillSystemRandom(uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(data + done, size - done, 0);
    if (got > 0) {
      done += static_cast<size_t>(got);
      continue;
    }
    if (got < 0 && errno == EINTR) {
      continue;
    }
    break;
  }
  if (done == size) {
    return;
  }
  std::random_device device;
  for (; done < size; ++done) {
    data[done] = static_cast<uint8_t>(device());
  }
}

} // namespace qx
