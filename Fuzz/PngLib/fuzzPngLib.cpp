// Fuzz target of the PNG picture library (Plugins/qxPngLib), reached as the
// player reaches it: the library file is loaded at run time and its
// functions are called through the picture-library loader, which hands it
// a stream access record and reads rows into 24- or 32-bit bitmaps.
//
// Promises checked: a PNG opens as a store of 24 or 32 bits within the
// limits, or is refused with the stream where it was; reading its rows gives
// the announced size or the loader's error; a picture read comes back
// unchanged through the PNG writer; a PNG named ".bmp" is still found.
#include "Fuzz/FuzzSupport/qxFuzzPictures.h"
#include "QxLib/Graphics/qxImageLib.h"
#include "QxLib/Graphics/qxPngWriter.h"

namespace {

using namespace qx;

const TLoaderFunction& Loader() {
  static const TLoaderFunction loader = MakePictureLibraryLoader(VMO_PNG_LIBRARY);
  return loader;
}

const TImageLoaderRegistry& Registry() {
  static const TImageLoaderRegistry registry = [] {
    TImageLoaderRegistry made;
    RegisterStandardLoaders(made);
    RegisterPictureLibrary(made, VMO_PNG_LIBRARY);
    return made;
  }();
  return registry;
}

TRefPtr<TBitmapStore> Load(const std::string& bytes) {
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  std::unique_ptr<TStream> none;
  TRefPtr<TBitmapStore> store;
  if (!FUZZ_RESULT_OR_ERROR(store = Loader()(*stream, "fuzz.png", none, {})) || !store) {
    FUZZ_CHECK(stream->GetPosition() == 0);
    return nullptr;
  }
  FUZZ_CHECK(store->PixelFormat() == TPixelFormat::Bgr24 || store->PixelFormat() == TPixelFormat::Bgra32);
  FUZZ_CHECK(fuzz::WithinLimits(store->Width(), store->Height()));
  return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  const TRefPtr<TBitmapStore> store = Load(bytes);
  if (!store)
    return 0;
  FUZZ_CHECK(fuzz::OpenThrough(Registry(), bytes, "fuzz.bmp").has_value());
  if (int64_t{store->Width()} * store->Height() > fuzz::kPixelBudget)
    return 0;
  fuzz::CheckStore(*store, true, 2);

  std::shared_ptr<const TBitmap> picture;
  if (!FUZZ_RESULT_OR_ERROR(picture = store->GetMipLevel(0)))
    return 0;
  const TRefPtr<TBitmapStore> again = Load(EncodePng(*picture));
  FUZZ_CHECK(again);
  FUZZ_CHECK(again->PixelFormat() == store->PixelFormat());
  FUZZ_CHECK(again->GetMipLevel(0)->SamePixels(*picture));
  return 0;
}
