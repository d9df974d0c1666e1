#include "VmoLib2/3DBasics/qxDisplays.h"

#include <algorithm>
#include <cstdint>

namespace qx {

namespace {

constexpr T3DDisplayMode kOffscreenMode{1920, 1080, 0, 0};

} // namespace

const TOffscreenDisplays& TOffscreenDisplays::Instance() {
  static const TOffscreenDisplays displays;
  return displays;
}

bool TOffscreenDisplays::Bounds(int index, T3DRect& bounds) const {
  if (index != 0) {
    return false;
  }
  bounds = {0, 0, kOffscreenMode.width, kOffscreenMode.height};
  return true;
}

bool TOffscreenDisplays::Mode(int index, T3DDisplayMode& mode) const {
  if (index != 0) {
    return false;
  }
  mode = kOffscreenMode;
  return true;
}

int DisplayForRect(const TDisplays& displays, const T3DRect& rect) {
  int best = 0;
  int64_t bestArea = 0;
  for (int i = 0; i < displays.Count(); ++i) {
    T3DRect bounds;
    if (!displays.Bounds(i, bounds)) {
      continue;
    }
    const int64_t w = std::min(rect.right, bounds.right) - std::max(rect.left, bounds.left);
    const int64_t h = std::min(rect.bottom, bounds.bottom) - std::max(rect.top, bounds.top);
    if (w > 0 && h > 0 && w * h > bestArea) {
      bestArea = w * h;
      best = i;
    }
  }
  return best;
}

} // namespace qx
