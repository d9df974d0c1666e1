// Fuzz target of the JPEG loader: the header reader and the decoder at every
// DCT scale (1/1, 1/2, 1/4, 1/8), for colour, grey-scale and CMYK pictures,
// baseline and progressive.
//
// Promises checked: the header gives a positive size or nothing; a picture
// the loader takes is within the limits and each level decodes to the size
// the store announces, or raises the decoder's error; the progress heard
// while decoding stays within 0 .. 1 and ends at 1 on success; a level
// decoded straight to 32 bits is the 24-bit level converted, opaque.
#include "Fuzz/FuzzSupport/qxFuzzPictures.h"
#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxJpegLoader.h"

#include <cstring>

#include <vector>

namespace {

using namespace qx;

// The decoder called directly, at full and smallest scale; the store below
// asks for every level.
void CheckLevels(const std::string& bytes, const TJpegInfo& info) {
  for (const int level : {0, 3}) {
    const int64_t width = (int64_t{info.Width} + (1 << level) - 1) >> level;
    const int64_t height = (int64_t{info.Height} + (1 << level) - 1) >> level;
    if (width * height > fuzz::kPixelBudget)
      continue;
    std::vector<double> heard;
    TBitmap bitmap;
    const bool decoded =
        FUZZ_RESULT_OR_ERROR(bitmap = DecodeJpeg(bytes, level, [&heard](double f) { heard.push_back(f); }));
    for (const double fraction : heard)
      FUZZ_CHECK(fraction >= 0 && fraction <= 1);
    if (!decoded)
      continue;
    FUZZ_CHECK(bitmap.Format() == TPixelFormat::Bgr24);
    FUZZ_CHECK(bitmap.Width() == width && bitmap.Height() == height);
    FUZZ_CHECK(!heard.empty() && heard.back() == 1.0);

    TBitmap direct;
    FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(direct = DecodeJpeg(bytes, level, {}, TPixelFormat::Bgra32)));
    const TBitmap converted = ConvertBitmap(bitmap, TPixelFormat::Bgra32);
    FUZZ_CHECK(direct.Format() == TPixelFormat::Bgra32);
    FUZZ_CHECK(direct.Width() == width && direct.Height() == height);
    for (int y = 0; y < direct.Height(); ++y)
      FUZZ_CHECK(std::memcmp(direct.Bits() + y * direct.Stride(), converted.Bits() + y * converted.Stride(),
                             static_cast<size_t>(width) * 4) == 0);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  TJpegInfo info;
  const bool hasHeader = ReadJpegInfo(bytes, info);
  if (hasHeader) {
    FUZZ_CHECK(info.Width > 0 && info.Height > 0);
    FUZZ_CHECK(info.Components >= 1);
    if (fuzz::WithinLimits(info.Width, info.Height, 3))
      CheckLevels(bytes, info);
  }

  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  std::unique_ptr<TStream> none;
  TRefPtr<TBitmapStore> store;
  if (!FUZZ_RESULT_OR_ERROR(store = LoadJpegPicture(*stream, "fuzz.jpg", none, {})) || !store) {
    FUZZ_CHECK(stream->GetPosition() == 0);
    return 0;
  }
  FUZZ_CHECK(hasHeader);
  FUZZ_CHECK(store->Width() == info.Width && store->Height() == info.Height);
  FUZZ_CHECK(store->PixelFormat() == TPixelFormat::Bgr24);
  fuzz::CheckStore(*store, true, 4);
  FUZZ_CHECK(fuzz::OpenThrough(fuzz::StandardLoaders(), bytes, "fuzz.jpg").has_value());
  return 0;
}
