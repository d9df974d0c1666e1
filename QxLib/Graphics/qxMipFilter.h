// The halving filter that makes each mip level from the one above it.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

namespace qx {

// Halves `source` to ((w + 1) / 2) x ((h + 1) / 2). Output pixel (x, y) is
// the 3 x 3 weighted sum around source pixel (2x, 2y) with the weights
// 1 2 1 / 2 4 2 / 1 2 1, divided by 16 with truncation; source coordinates
// outside the picture are clamped to its edges. The result is Bgra32 when
// `withAlpha` is set and Bgr24 otherwise; the source may be in any colour
// format (it is converted first when it is not already the target format).
TBitmap HalveBitmap(const TBitmap& source, bool withAlpha);

} // namespace qx
