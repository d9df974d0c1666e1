// Writing bitmaps as JPEG files (through libjpeg), for pictures the user
// saves from the print dialog.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <string>

namespace qx {

inline constexpr int kDefaultJpegQuality = 90;

// The JPEG file of `bitmap` (any format GetPixel reads; alpha is dropped)
// at `quality` (1 ... 100). An empty bitmap or a libjpeg failure raises
// EQxError "JPEG write error: ...".
std::string EncodeJpeg(const TBitmap& bitmap, int quality = kDefaultJpegQuality);

} // namespace qx
