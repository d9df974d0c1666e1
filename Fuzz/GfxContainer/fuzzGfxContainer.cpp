// Fuzz target of the picture container (".qxgfx"): its magic, the text
// fields and the raw deflate payload holding a BMP file.
//
// Promises checked: the loader makes a store of the declared size within the
// limits, or refuses with the stream where it was; the store decodes level 0
// without raising (a damaged payload shows green); and a picture it decoded
// comes back unchanged through the container writer.
#include "Fuzz/FuzzSupport/qxFuzzPictures.h"
#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxGfxContainer.h"
#include "QxLib/Graphics/qxGfxWriter.h"

namespace {

using namespace qx;

TRefPtr<TBitmapStore> Load(TStream& stream, const std::string& name) {
  std::unique_ptr<TStream> none;
  TRefPtr<TBitmapStore> store;
  if (!FUZZ_RESULT_OR_ERROR(store = LoadGfxContainer(stream, name, none, {})) || !store) {
    FUZZ_CHECK(stream.GetPosition() == 0);
    return nullptr;
  }
  FUZZ_CHECK(store->PixelFormat() == TPixelFormat::Bgra32);
  return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  const TRefPtr<TBitmapStore> store = Load(*stream, "fuzz.qxgfx");
  if (!store)
    return 0;
  FUZZ_CHECK(fuzz::WithinLimits(store->Width(), store->Height()));
  if (int64_t{store->Width()} * store->Height() > fuzz::kPixelBudget)
    return 0;
  fuzz::CheckStore(*store, false, 2);

  const std::shared_ptr<const TBitmap> picture = store->GetMipLevel(0);
  const auto* gfx = static_cast<const TGfxBitmapStore*>(store.Get());
  const std::string again =
      WriteQxGfx(gfx->SourceName(), picture->Width(), picture->Height(), gfx->OriginalSize(), WriteBmp(*picture));
  const std::unique_ptr<TMemoryStream> againStream = fuzz::MemoryStreamOf(again);
  const TRefPtr<TBitmapStore> reread = Load(*againStream, "again.qxgfx");
  FUZZ_CHECK(reread);
  FUZZ_CHECK(reread->GetMipLevel(0)->SamePixels(*picture));

  // The registry tries the container first for every name it is listed for.
  for (const char* name : {"fuzz.qxgfx", "fuzz.png", "fuzz.gif"})
    FUZZ_CHECK(fuzz::OpenThrough(fuzz::StandardLoaders(), bytes, name).has_value());
  return 0;
}
