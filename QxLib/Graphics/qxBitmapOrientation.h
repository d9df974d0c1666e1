// Turning decoded pictures upright according to an EXIF orientation code.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

namespace qx {

// EXIF orientation codes: 1 upright, 2 mirrored, 3 turned 180 degrees,
// 4 flipped, 5 transposed, 6 needs a quarter turn clockwise, 7 transversed,
// 8 needs a quarter turn counter-clockwise. Unknown codes count as 1.
bool OrientationSwapsSides(int orientation);

// The bitmap turned upright for `orientation` (a new bitmap; code 1 and
// unknown codes give a copy). Codes 5 to 8 swap width and height.
TBitmap ApplyOrientation(const TBitmap& source, int orientation);

} // namespace qx
