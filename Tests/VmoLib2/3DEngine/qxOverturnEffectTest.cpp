#include "VmoLib2/3DEngine/qxOverturnEffect.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace qx {
namespace {

using test::TRecordedTriangle;

TOverturnEffect Flip(int variant, bool centre, bool smooth, float curving) {
  TEffectParams p;
  p.FlipCenter = centre;
  p.FlipSmooth = smooth;
  p.FlipCurving = curving;
  return TOverturnEffect(16, variant, p);
}

TEST(Flip, HalfWayTheCardIsEdgeOnAndDark) {
  for (const int variant : {1, 2, 3, 4}) {
    TOverturnEffect flip = Flip(variant, false, true, 0.5f);
    flip.Init({0, 0, 400, 300}, 0, 1000);
    flip.SetProgress(500);
    const auto corners = flip.Corners();
    const bool vertical = variant <= 2;
    EXPECT_NEAR(vertical ? corners[1].x - corners[0].x : corners[2].y - corners[0].y, 0, 1e-9) << variant;
    EXPECT_EQ(flip.Grey(), 100);
  }
}

TEST(Flip, TheNearEdgeStaysOnThePictureAndThePictureIsNeverMirrored) {
  TOverturnEffect flip = Flip(1, false, false, 0.5f);
  flip.Init({0, 0, 400, 300}, 0, 1000);
  flip.SetProgress(250);
  // 45 degrees, turning away on the right: half-width 200 cos 45, the right
  // edge 200 sin 45 x 0.5 x 2 deep, the left one on the picture plane.
  auto c = flip.Corners();
  const double b = 200 * std::cos(std::numbers::pi / 4);
  EXPECT_NEAR(c[0].x, 200 - b, 1e-9);
  EXPECT_NEAR(c[1].x, 200 + b, 1e-9);
  EXPECT_NEAR(c[0].z, 0, 1e-9);
  EXPECT_NEAR(c[1].z, 2 * 200 * std::sin(std::numbers::pi / 4) * 0.5, 1e-9);
  EXPECT_EQ(flip.Grey(), static_cast<int>(std::nearbyint(std::cos(std::numbers::pi / 4) * 155 + 100)));
  // Past half way the picture's left edge is still on the left.
  flip.SetProgress(750);
  c = flip.Corners();
  EXPECT_LT(c[0].x, c[1].x);
  EXPECT_NEAR(c[1].z, 0, 1e-9);
  EXPECT_GT(c[0].z, 0);
}

TEST(Flip, CentredModesTurnAboutTheCentreLineAndNoCurvingNoDepth) {
  TOverturnEffect centred = Flip(4, true, false, 0.5f);
  EXPECT_EQ(centred.Mode(), 8);
  centred.Init({0, 0, 400, 300}, 0, 1000);
  centred.SetProgress(250);
  const auto c = centred.Corners();
  // About the horizontal axis: top and bottom edges, opposite depths.
  EXPECT_NEAR(c[0].z, -c[2].z, 1e-9);
  EXPECT_NE(c[0].z, 0);
  EXPECT_NEAR(c[0].y + c[2].y, 300, 1e-9);

  TOverturnEffect flat = Flip(2, false, true, 0);
  flat.Init({0, 0, 400, 300}, 0, 1000);
  flat.SetProgress(300);
  for (const T3DPoint& corner : flat.Corners()) {
    EXPECT_EQ(corner.z, 0);
  }
}

TEST(Flip, DrawsBlackBehindTheCardInEveryCell) {
  TOverturnEffect flip = Flip(2, false, true, 0.5f);
  flip.Init({0, 0, 400, 300}, 0, 1000);
  flip.SetProgress(100);
  test::TRecordingController controller;
  controller.SetGrid({0, 200, 400}, {0, 300});
  flip.Draw(controller);
  int black = 0;
  for (const TRecordedTriangle& t : controller.triangles) {
    black += t.kind == TRecordedTriangle::TKind::Colored && t.color[0] == MakeColor(0, 0, 0, 255);
  }
  EXPECT_EQ(black, 4);
  // The card covers the whole picture, cut into both cells.
  EXPECT_NEAR(controller.TexturedArea(), 400 * 300, 1e-6);
  EXPECT_TRUE(controller.GreyAt(100, 100).has_value());
}

TEST(Flip, ModesOutsideTheListAreAssertions) {
  TOverturnEffect flip = Flip(5, true, true, 0.5f);
  flip.Init({0, 0, 400, 300}, 0, 1000);
  EXPECT_THROW(flip.Corners(), EAssertionFailed);
}

} // namespace
} // namespace qx
