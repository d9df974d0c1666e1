// A tile controller for effect tests without a device: every cell tile
// keeps the triangles it is given, and the alpha the emitted geometry
// gives a point can be read back as the drawer would blend it.
#pragma once

#include "VmoLib2/3DEngine/qxEffController.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace qx::test {

class TRecordingTile;

// One triangle a cell was given.
struct TRecordedTriangle {
  enum class TKind { Alpha, Colored, Textured };
  TKind kind = TKind::Alpha;
  int cell = 0;
  std::array<T3DPoint, 3> position{};
  std::array<TFloatPoint, 3> texel{};
  // Alpha (alpha triangles) or grey level (textured) per vertex.
  std::array<double, 3> level{};
  std::array<T3DColor, 3> color{};
};

class TRecordingController final : public TEffController {
public:
  // A grid of one cell over `area`.
  explicit TRecordingController(const TFloatRect& area = {0, 0, 400, 300});

  std::vector<TRecordedTriangle> triangles;
  int begins = 0;
  int ends = 0;

  void Clear() { triangles.clear(); }
  // The alpha (0 ... 1) the alpha triangles give the point (x, y): that of
  // the first triangle holding it (0 when none does).
  double AlphaAt(double x, double y) const;
  // How many alpha triangles hold the point strictly inside (more than one
  // means the shape is drawn twice there).
  int AlphaLayersAt(double x, double y) const;
  // The screen point the textured triangles map the texel (u, v) to (depth
  // as given), from the first triangle that holds the texel; none when no
  // triangle does.
  std::optional<T3DPoint> PlaceOf(double u, double v) const;
  // The grey level at texel (u, v), as PlaceOf finds it.
  std::optional<double> GreyAt(double u, double v) const;
  // The total texel area of the textured triangles.
  double TexturedArea() const;

protected:
  std::unique_ptr<TEffTile> MakeTile(const TFloatRect& cell, int index) override;
};

// Whether a place was found and lies within 1e-6 of `expected`.
::testing::AssertionResult Near(const std::optional<T3DPoint>& place, const T3DPoint& expected);

// The barycentric weights of p in the triangle (a, b, c); none outside it
// (or for a degenerate triangle).
std::optional<std::array<double, 3>> Barycentric(const TFloatPoint& p, const TFloatPoint& a, const TFloatPoint& b,
                                                 const TFloatPoint& c);

} // namespace qx::test
