// The geometry of the page roll: a page (the rendered slide) wrapped round
// a cylinder of radius r lying across it. Along the roll's direction d a
// point at distance t = p.d - R beyond the roll position R lies at wrap
// angle t / r on the cylinder (clamped to the maximum angle; points not yet
// reached stay flat), and beyond the maximum angle the page goes on along
// the tangent. The page is cut into strips across the direction, finer on
// the cylinder, and emitted as textured triangles with grey levels: the flat
// part into one separator, the rolled part (in the order it is reached, so
// that what lies higher is drawn later) into another.
#pragma once

#include "VmoLib2/3DEngine/qx2DSeparator.h"

#include <cstdint>
#include <vector>

namespace qx {

struct TRollSettings {
  double radius = 2;                   // pixels
  double maxAngle = 3.141592653589793; // pi, or 3 pi / 2 with RollVariants
  bool solid = false;                  // Roll3D: the rolled part rises toward the viewer
  double curving = 0;                  // RollCurving: the depth factor of the solid roll
  bool backColor = false;              // RollUseBackColor
  T3DColor back = MakeColor(0, 0, 0);
};

// Where one point of the page goes.
struct TRolledPoint {
  T3DPoint position;
  double angle = 0; // the wrap angle, 0 for the flat part
  double grey = 255;
  bool backSide = false; // the back of the page faces the viewer
};

class TRoller3 {
public:
  // Strips off the cylinder, pixels.
  static constexpr double kCoarseStrip = 50;
  // The grey level of the cylinder's side.
  static constexpr double kSideGrey = 50;

  // `page` in target pixels; `direction` a unit vector.
  TRoller3(const TFloatRect& page, TFloatPoint direction, const TRollSettings& settings);

  // The extent of the page along the direction.
  double Low() const { return m_low; }
  double High() const { return m_high; }
  // The roll position at which nothing is rolled, and the one at which the
  // whole page is rolled away beyond its low side (by the radius, or by pi /
  // 2 radii for the solid roll, whose cylinder rises toward the viewer).
  double FlatPosition() const { return m_high; }
  double GonePosition() const;
  // Strip width on the cylinder: 8 pixels for a radius of 100 or more, else
  // the larger of 3 and radius / 10.
  double FineStrip() const;

  TRolledPoint Map(const TFloatPoint& point, double position) const;
  // Emits the page rolled at `position`. Nothing when the page is wholly
  // rolled away.
  void Emit(double position, T2DSeparator& flat, T2DSeparator& rolled);

private:
  std::vector<double> StripBounds(double position) const;
  void EmitStrip(const std::vector<TCutVertex>& strip, double position, T2DSeparator& flat, T2DSeparator& rolled);

  TFloatRect m_page;
  TFloatPoint m_direction;
  TRollSettings m_settings;
  double m_low = 0;
  double m_high = 0;
  std::vector<TCutVertex> m_rest;
  std::vector<TCutVertex> m_strip;
  std::vector<TCutVertex> m_next;
  std::vector<TCutVertex> m_mapped;
};

} // namespace qx
