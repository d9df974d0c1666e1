// Small helpers shared by the units of the drawer (qx3DDrawer*.cpp); not
// for use outside them.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"

#include <cmath>

namespace qx::drawer {

inline bool IsEmpty(const TFloatRect& r) { return r.right <= r.left || r.bottom <= r.top; }

inline int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

inline double Length(const T3DPoint& p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z); }

} // namespace qx::drawer
