// Points and placements of the screen's 3D space and the perspective
// camera shared by all drawing: x right, y down, z away from the viewer,
// all in logical pixels. The camera stands one coordinate height in front
// of the centre of the coordinate area.
#pragma once

#include "QxLib/qxGeometry.h"

namespace qx {

struct T3DPoint {
  double x = 0;
  double y = 0;
  double z = 0;

  T3DPoint operator+(const T3DPoint& o) const { return {x + o.x, y + o.y, z + o.z}; }
  T3DPoint operator-(const T3DPoint& o) const { return {x - o.x, y - o.y, z - o.z}; }
  T3DPoint operator*(double s) const { return {x * s, y * s, z * s}; }
  bool operator==(const T3DPoint&) const = default;
};

double Dot(const T3DPoint& a, const T3DPoint& b);
T3DPoint Cross(const T3DPoint& a, const T3DPoint& b);

// A flat quad in space: its top-left corner and the vectors along its top
// edge (u) and its left edge (v). The point at (s, t), both in 0..1, is
// origin + s u + t v.
struct TPlacement {
  T3DPoint origin;
  T3DPoint u;
  T3DPoint v;

  T3DPoint At(double s, double t) const { return origin + u * s + v * t; }
  // The part of the quad between the fractions (s0, t0) and (s1, t1).
  TPlacement Part(double s0, double t0, double s1, double t1) const;
  // An axis-aligned quad in the picture plane z = 0.
  static TPlacement Flat(const TFloatRect& rect);
};

// Projects `point` through the camera onto the plane z = 0 (the depth of
// the result is 0). A point in the camera's own plane is pushed 1e-6 away.
T3DPoint ProjectToScreen(const T3DPoint& camera, const T3DPoint& point);

// The point of the plane through p0, p1, p2 that the camera sees at
// `screen` (a point of the plane z = 0). A camera with z = 0 and a plane
// parallel to the viewing ray are assertions.
T3DPoint UnprojectFromScreen(const T3DPoint& camera, const TFloatPoint& screen, const T3DPoint& p0, const T3DPoint& p1,
                             const T3DPoint& p2);

} // namespace qx
