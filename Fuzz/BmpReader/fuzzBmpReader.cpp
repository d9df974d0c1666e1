// Fuzz target of the BMP reader (BMP and DIB files, and the payload of the
// picture container): every header field, palettes, RLE8 and RLE4, bit
// fields, top-down and bottom-up rows.
//
// Promises checked: the reader gives a bitmap within the picture limits, or
// nothing with the stream where it was, or EPictureTooLarge with the stream
// where it was; a bitmap read is written by WriteBmp and read back with the
// same pixels; the loader's store serves its levels.
#include "Fuzz/FuzzSupport/qxFuzzPictures.h"
#include "QxLib/Graphics/qxBmpReader.h"

namespace {

using namespace qx;

bool IsBmpFormat(TPixelFormat format) {
  return format == TPixelFormat::Bgr24 || format == TPixelFormat::Bgra32 || format == TPixelFormat::X1R5G5B5 ||
         format == TPixelFormat::R5G6B5;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  std::unique_ptr<TBitmap> bitmap;
  try {
    bitmap = ReadBmp(*stream);
  } catch (const EPictureTooLarge&) {
    FUZZ_CHECK(stream->GetPosition() == 0);
    return 0;
  }
  if (!bitmap) {
    FUZZ_CHECK(stream->GetPosition() == 0);
    return 0;
  }
  FUZZ_CHECK(fuzz::WithinLimits(bitmap->Width(), bitmap->Height()));
  FUZZ_CHECK(IsBmpFormat(bitmap->Format()));
  // A few bytes of RLE data may fill a large picture; reading it again
  // through the writer and the loaders would only slow the search down.
  if (int64_t{bitmap->Width()} * bitmap->Height() > fuzz::kPixelBudget)
    return 0;

  const std::string written = WriteBmp(*bitmap);
  const std::unique_ptr<TMemoryStream> again = fuzz::MemoryStreamOf(written);
  const std::unique_ptr<TBitmap> reread = ReadBmp(*again);
  FUZZ_CHECK(reread != nullptr);
  FUZZ_CHECK(reread->SamePixels(*bitmap));

  // The loader of the registry, called directly so that nothing it raises is
  // hidden, and then the registry's way for a ".bmp" name.
  stream->SetPosition(0);
  std::unique_ptr<TStream> none;
  TRefPtr<TBitmapStore> store;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(store = LoadBmpPicture(*stream, "fuzz.bmp", none, {})));
  FUZZ_CHECK(store);
  FUZZ_CHECK(store->Width() == bitmap->Width() && store->Height() == bitmap->Height());
  fuzz::CheckStore(*store, false);
  const std::optional<TImage> image = fuzz::OpenThrough(fuzz::StandardLoaders(), bytes, "fuzz.bmp");
  FUZZ_CHECK(image.has_value());
  return 0;
}
