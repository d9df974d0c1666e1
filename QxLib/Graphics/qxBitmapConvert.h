// Conversions between the pixel formats of the bitmap library.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

namespace qx {

// True when ConvertBitmap can turn `from` into `to`: any pair of Bgr24,
// Bgra32, X1R5G5B5, R5G6B5, and Gray8 into any of them. A colour bitmap into
// Gray8 is refused (it would be unclear whether grey or alpha is meant; use
// ExtractAlpha or a luminance pass explicitly), and so is None on either side.
bool CanConvert(TPixelFormat from, TPixelFormat to);

// A new bitmap of the same size in `format`. Formats without alpha become
// opaque (alpha 255) in Bgra32; alpha is dropped going the other way; 16-bit
// channels widen by repeating their top bits and narrow by truncation; grey
// copies into B, G and R. A conversion CanConvert refuses is the assertion
// "Invalid Combination Of Bitmap Parameters". Converting to the same format
// makes a copy.
TBitmap ConvertBitmap(const TBitmap& source, TPixelFormat format);

// The alpha channel of a Bgra32 bitmap as a Gray8 mask (a Gray8 bitmap is
// copied; formats without alpha give an opaque mask of 255).
TBitmap ExtractAlpha(const TBitmap& source);

} // namespace qx
