#include "QxLib/Graphics/qxBitmapOrientation.h"

#include <cstring>

namespace qx {

bool OrientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

TBitmap ApplyOrientation(const TBitmap& source, int orientation) {
  if (orientation < 2 || orientation > 8 || source.IsEmpty())
    return source.Clone();
  const int sw = source.Width();
  const int sh = source.Height();
  const bool swap = OrientationSwapsSides(orientation);
  const int dw = swap ? sh : sw;
  const int dh = swap ? sw : sh;
  TBitmap result = TBitmap::Uninitialized(dw, dh, source.Format());
  const int bytes = source.PixelBytes();
  // For each output pixel (x, y) the source pixel it shows.
  for (int y = 0; y < dh; ++y) {
    uint8_t* d = result.Scanline(y);
    for (int x = 0; x < dw; ++x, d += bytes) {
      int sx = x;
      int sy = y;
      switch (orientation) {
      case 2: sx = sw - 1 - x; break;
      case 3: sx = sw - 1 - x, sy = sh - 1 - y; break;
      case 4: sy = sh - 1 - y; break;
      case 5: sx = y, sy = x; break;
      case 6: sx = y, sy = sh - 1 - x; break;
      case 7: sx = sw - 1 - y, sy = sh - 1 - x; break;
      case 8: sx = sw - 1 - y, sy = x; break;
      default: break;
      }
      std::memcpy(d, source.Scanline(sy) + static_cast<int64_t>(sx) * bytes, static_cast<size_t>(bytes));
    }
  }
  return result;
}

} // namespace qx
