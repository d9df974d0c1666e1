// Bilinear resizing of bitmaps, the one resampler for picture resizing.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

namespace qx {

// Resizes `source` to width x height by bilinear interpolation with pixel
// centres aligned (output pixel centre (x + 0.5) maps to source position
// (x + 0.5) * sourceWidth / width), edges clamped. Bgr24, Bgra32 and Gray8
// keep their format; 16-bit bitmaps are resized in Bgr24. Channels are
// interpolated independently (alpha is not premultiplied). A non-positive
// target size is an assertion.
TBitmap ResizeBilinear(const TBitmap& source, int width, int height);

} // namespace qx
