#include "QxLib/qxGuid.h"

#include <cerrno>
#include <random>
#include <sys/random.h>

namespace qx {

namespace {

// Fills the buffer from the kernel's random source; falls back to
// std::random_device only when getrandom is unavailable.
void FillRandom(uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(data + done, size - done, 0);
    if (got > 0) {
      done += static_cast<size_t>(got);
      continue;
    }
    if (got < 0 && errno == EINTR)
      continue;
    break;
  }
  if (done == size)
    return;
  std::random_device device;
  for (; done < size; ++done)
    data[done] = static_cast<uint8_t>(device());
}

} // namespace

std::array<uint8_t, 16> NewGuid() {
  std::array<uint8_t, 16> guid{};
  FillRandom(guid.data(), guid.size());
  guid[6] = static_cast<uint8_t>((guid[6] & 0x0F) | 0x40);
  guid[8] = static_cast<uint8_t>((guid[8] & 0x3F) | 0x80);
  return guid;
}

std::string GuidToText(const std::array<uint8_t, 16>& guid) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "{";
  for (size_t i = 0; i < guid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      text += '-';
    text += kHex[guid[i] >> 4];
    text += kHex[guid[i] & 0x0F];
  }
  text += '}';
  return text;
}

std::string NewGuidText() {
  return GuidToText(NewGuid());
}

} // namespace qx
