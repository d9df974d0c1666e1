// Fuzz target of the GIF loader: screen descriptor, palettes, extensions
// (graphic control, "NETSCAPE2.0" loops), LZW data and the composition of
// animated GIFs into a strip of frames.
//
// Promises checked: a GIF decodes to a 32-bit picture within the limits, or
// is refused, or raises EPictureTooLarge; an animation's strip holds one
// screen-sized cell per frame with a positive delay each, and its first cell
// is the still picture; the loader's store carries a tiles tag that matches.
#include "Fuzz/FuzzSupport/qxFuzzPictures.h"
#include "QxLib/Graphics/qxGifLoader.h"

#include <numeric>

namespace {

using namespace qx;

// Decodes one way; false when refused or too large.
bool Decode(const std::string& bytes, bool animate, TGifPicture& picture) {
  bool decoded = false;
  try {
    decoded = DecodeGif(bytes, animate, picture);
  } catch (const EPictureTooLarge&) {
    return false;
  }
  if (!decoded)
    return false;
  FUZZ_CHECK(picture.Bitmap != nullptr);
  FUZZ_CHECK(picture.Bitmap->Format() == TPixelFormat::Bgra32);
  FUZZ_CHECK(fuzz::WithinLimits(picture.ScreenWidth, picture.ScreenHeight));
  FUZZ_CHECK(picture.FrameCount >= 1);
  FUZZ_CHECK(picture.Bitmap->Width() == int64_t{picture.FrameCount} * picture.ScreenWidth);
  FUZZ_CHECK(picture.Bitmap->Height() == picture.ScreenHeight);
  FUZZ_CHECK(int64_t{picture.Bitmap->Width()} * picture.Bitmap->Height() * 4 <= kMaxPictureBytes);
  FUZZ_CHECK(picture.Delays.size() == static_cast<size_t>(picture.FrameCount));
  for (const int delay : picture.Delays)
    FUZZ_CHECK(delay > 0);
  FUZZ_CHECK(picture.LoopCount >= 0);
  if (!animate)
    FUZZ_CHECK(picture.FrameCount == 1);
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  TGifPicture still;
  const bool stillDecoded = Decode(bytes, false, still);
  TGifPicture animation;
  const bool animated = Decode(bytes, true, animation);
  if (animated) {
    // The first frame is the same whether or not the rest is decoded.
    FUZZ_CHECK(stillDecoded);
    FUZZ_CHECK(animation.ScreenWidth == still.ScreenWidth && animation.ScreenHeight == still.ScreenHeight);
    const TBitmap first = animation.Bitmap->CropView(0, 0, animation.ScreenWidth, animation.ScreenHeight);
    FUZZ_CHECK(first.SamePixels(*still.Bitmap));
  }

  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  std::unique_ptr<TStream> none;
  TRefPtr<TBitmapStore> store;
  if (!FUZZ_RESULT_OR_ERROR(store = LoadGifPicture(*stream, "fuzz.gif", none, {})) || !store) {
    FUZZ_CHECK(!animated || !GifAnimationEnabled());
    FUZZ_CHECK(stream->GetPosition() == 0);
    return 0;
  }
  FUZZ_CHECK(animated);
  FUZZ_CHECK(store->Width() == animation.Bitmap->Width() && store->Height() == animation.Bitmap->Height());
  const TTilesTag* tiles = store->Tags().Find<TTilesTag>();
  FUZZ_CHECK((tiles != nullptr) == (animation.FrameCount > 1));
  if (tiles) {
    FUZZ_CHECK(tiles->FrameCount == animation.FrameCount);
    FUZZ_CHECK(tiles->TileWidth == animation.ScreenWidth && tiles->TileHeight == animation.ScreenHeight);
    FUZZ_CHECK(tiles->TotalDuration == std::accumulate(animation.Delays.begin(), animation.Delays.end(), int64_t{0}));
  }
  fuzz::CheckStore(*store, false);
  FUZZ_CHECK(fuzz::OpenThrough(fuzz::StandardLoaders(), bytes, "fuzz.gif").has_value());
  return 0;
}
