// Plain points and rectangles shared by the readers of project texts and the
// show model.
#pragma once

#include <cstdint>

namespace qx {

struct TPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TFloatPoint {
  double x = 0;
  double y = 0;
  bool operator==(const TFloatPoint&) const = default;
};

// Edges, not extent: right and bottom are coordinates.
struct TFloatRect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  bool operator==(const TFloatRect&) const = default;
};

} // namespace qx
