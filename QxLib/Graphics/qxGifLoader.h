// The GIF loader: still GIFs become one 32-bit picture; animated GIFs become
// a strip of frames, one screen-sized cell per frame, with a TTilesTag that
// gives the tile size, the frame delays and the loop count.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxStream.h"

#include <memory>
#include <string>
#include <vector>

namespace qx {

// A decoded GIF: the picture (Bgra32; the whole strip when animated) and,
// for more than one frame, the animation description.
struct TGifPicture {
  std::unique_ptr<TBitmap> Bitmap;
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int FrameCount = 0;      // frames held by Bitmap (1 for a still picture)
  std::vector<int> Delays; // ms per frame held, 50 for a zero delay field
  int LoopCount = 0;       // from the "NETSCAPE2.0" extension; 0 = for ever
};

// Decodes GIF bytes. With `animate` false (or a single frame) only the first
// frame is decoded. Returns false for bytes that are not a GIF or hold no
// frame. Damaged data decodes as far as it goes. Raises EPictureTooLarge for
// a screen, or a strip of all frames, beyond the picture size limits.
// `progress` hears the fraction of frames done.
bool DecodeGif(const std::string& bytes, bool animate, TGifPicture& picture, const TProgressCallback& progress = {});

// Whether animated GIFs become strips (on by default); a start-up switch.
void SetGifAnimationEnabled(bool enabled);
bool GifAnimationEnabled();

// The loader of the registry (".gif"): a TWrapperBitmapStore around the
// decoded picture, with a TTilesTag when it is animated.
TRefPtr<TBitmapStore> LoadGifPicture(TStream& stream, const std::string& fileName,
                                     std::unique_ptr<TStream>& ownedStream, const TProgressCallback& progress);

} // namespace qx
