#include "QxLib/Graphics/Exiv2/qxExiv2Image.h"

#include "QxLib/qxLog.h"
#include "QxLib/qxStream.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace qx {

namespace {

// Metadata stands at the start of the files the player shows; reading more
// than this would only cost memory.
constexpr int64_t kMaxMetadataScan = int64_t{16} << 20;

std::mutex& Exiv2Lock() {
  static std::mutex lock;
  return lock;
}

} // namespace

bool WithExiv2Image(TStream& stream, const std::function<void(const Exiv2::Image&)>& use) {
  std::string bytes;
  const int64_t size = stream.GetSize();
  const int64_t left =
      size < 0 ? kMaxMetadataScan : std::clamp<int64_t>(size - stream.GetPosition(), 0, kMaxMetadataScan);
  bytes.resize(static_cast<size_t>(left));
  bytes.resize(static_cast<size_t>(std::max<int64_t>(stream.Read(bytes.data(), left), 0)));
  if (bytes.empty())
    return false;

  const std::lock_guard lock(Exiv2Lock());
  // Exiv2 reports damaged data on standard error unless told not to.
  Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
  try {
    Exiv2::Image::AutoPtr image =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
    if (!image.get())
      return false;
    image->readMetadata();
    use(*image);
    return true;
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("Picture metadata not readable: ") + error.what());
    return false;
  }
}

} // namespace qx
