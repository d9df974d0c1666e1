// Checks shared by the picture targets: what every bitmap store promises
// once a loader has made it, and opening the input through a registry as the
// player does.
#pragma once

#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/Graphics/qxImage.h"
#include "QxLib/Graphics/qxPixelFormats.h"
#include "QxLib/Graphics/qxStandardLoaders.h"

#include <optional>
#include <string>

namespace qx::fuzz {

// Levels larger than this many pixels are not decoded: a few bytes may
// declare a picture of hundreds of megabytes, which the loaders accept (up to
// kMaxPictureBytes) and which would only slow the search down.
constexpr int64_t kPixelBudget = int64_t{1} << 20;

// The picture limits for a size in a format of `bytesPerPixel`; a store is
// held to them in its own format (a 24-bit picture may be too large for a
// 32-bit copy of its full size, which is then refused when asked for).
inline bool WithinLimits(int64_t width, int64_t height, int bytesPerPixel = 4) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height * bytesPerPixel <= kMaxPictureBytes;
}

// A store's size and format are known before decoding; each level the
// decoder or the halving filter makes has the size the store announces, and
// converts to 32 bits. With `mayRaise` false, decoding must not raise.
inline void CheckStore(TBitmapStore& store, bool mayRaise, int maxLevel = 3) {
  FUZZ_CHECK(store.PixelFormat() != TPixelFormat::None);
  FUZZ_CHECK(WithinLimits(store.Width(), store.Height(), BytesPerPixel(store.PixelFormat())));
  for (int level = 0; level <= maxLevel; ++level) {
    const int64_t width = store.LevelWidth(level);
    const int64_t height = store.LevelHeight(level);
    FUZZ_CHECK(width >= 1 && height >= 1);
    if (width * height > kPixelBudget)
      continue;
    std::shared_ptr<const TBitmap> bitmap;
    std::shared_ptr<const TBitmap> converted;
    const bool decoded = FUZZ_RESULT_OR_ERROR(bitmap = store.GetMipLevel(level);
                                              converted = store.GetMipLevel(level, TPixelFormat::Bgra32));
    if (!decoded) {
      FUZZ_CHECK(mayRaise);
      return;
    }
    FUZZ_CHECK(bitmap != nullptr && converted != nullptr);
    FUZZ_CHECK(bitmap->Width() == width && bitmap->Height() == height);
    FUZZ_CHECK(converted->Width() == width && converted->Height() == height);
    FUZZ_CHECK(converted->Format() == TPixelFormat::Bgra32);
    // The cache answers the same bitmap again.
    FUZZ_CHECK(store.GetMipLevel(level) == bitmap);
  }
}

// Opens `bytes` through a registry as a file of that name: the loaders for
// its extension are tried in order, and each one that does not take the
// picture leaves the stream where it was. An image carries its store's size.
inline std::optional<TImage> OpenThrough(const TImageLoaderRegistry& registry, const std::string& bytes,
                                         const std::string& fileName) {
  const std::unique_ptr<TMemoryStream> stream = MemoryStreamOf(bytes);
  std::optional<TImage> image;
  if (!FUZZ_RESULT_OR_ERROR(image = registry.Open(*stream, fileName)))
    return std::nullopt;
  if (!image)
    return std::nullopt;
  FUZZ_CHECK(image->Params().Width == image->Store().Width());
  FUZZ_CHECK(image->Params().Height == image->Store().Height());
  FUZZ_CHECK(image->Params().Format == image->Store().PixelFormat());
  return image;
}

inline const TImageLoaderRegistry& StandardLoaders() {
  static const TImageLoaderRegistry registry = [] {
    TImageLoaderRegistry made;
    RegisterStandardLoaders(made);
    return made;
  }();
  return registry;
}

} // namespace qx::fuzz
