#include "VmoLib2/3DEngine/qxRollEffect2.h"

#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace qx {
namespace {

using test::TRecordedTriangle;

TEffectParams RollParams(bool variants, bool solid, bool backColor) {
  TEffectParams p;
  p.RollDiameter = 20;
  p.RollVariants = variants;
  p.Roll3D = solid;
  p.RollCurving = 0.5f;
  p.RollUseBackColor = backColor;
  p.RollBackColor = {0, 255, 0};
  return p;
}

TEST(Roller, FlatPointsStayAndRolledOnesWrapRoundTheCylinder) {
  TRollSettings settings;
  settings.radius = 20;
  TRoller3 roller({0, 0, 400, 300}, {1, 0}, settings);
  EXPECT_EQ(roller.Map({100, 50}, 200).position, (T3DPoint{100, 50, 0}));
  // A quarter turn on: the cylinder's far side, darkest.
  const TRolledPoint side = roller.Map({200 + 10 * std::numbers::pi, 50}, 200);
  EXPECT_NEAR(side.position.x, 220, 1e-9);
  EXPECT_NEAR(side.grey, 50, 1e-9);
  // Past half a turn the page lies folded back over itself, its back up.
  const TRolledPoint folded = roller.Map({200 + 20 * std::numbers::pi + 30, 50}, 200);
  EXPECT_NEAR(folded.position.x, 170, 1e-9);
  EXPECT_NEAR(folded.grey, 255, 1e-9);
  EXPECT_TRUE(folded.backSide);
  EXPECT_EQ(folded.position.z, 0) << "a flat roll has no depth";
}

TEST(Roller, TheSolidRollRisesTowardTheViewer) {
  TRollSettings settings;
  settings.radius = 20;
  settings.solid = true;
  settings.curving = 0.5;
  settings.maxAngle = 1.5 * std::numbers::pi;
  TRoller3 roller({0, 0, 400, 300}, {0, 1}, settings);
  const TRolledPoint top = roller.Map({50, 100 + 20 * std::numbers::pi}, 100);
  EXPECT_NEAR(top.position.y, 100, 1e-9);
  EXPECT_NEAR(top.position.z, -2 * 20 * 0.5, 1e-9);
  // Beyond three quarters of a turn the page goes straight down, seen edge
  // on, and stops on the page.
  const TRolledPoint beyond = roller.Map({50, 100 + 30 * std::numbers::pi + 500}, 100);
  EXPECT_NEAR(beyond.position.y, 80, 1e-9);
  EXPECT_EQ(beyond.position.z, 0);
  EXPECT_NEAR(roller.GonePosition(), -10 * std::numbers::pi, 1e-9);
  EXPECT_EQ(roller.FineStrip(), 3);
}

TEST(RollEffect, DirectionsByClassAndVariant) {
  const auto direction = [](int cls, int variant) {
    return TRollEffect2(cls, variant, RollParams(false, false, false)).Direction();
  };
  EXPECT_EQ(direction(14, 1), (TFloatPoint{1, 0}));
  EXPECT_EQ(direction(14, 7), (TFloatPoint{1, 0}));
  EXPECT_EQ(direction(14, 2), (TFloatPoint{0, 1}));
  EXPECT_EQ(direction(14, 3), (TFloatPoint{-1, 0}));
  EXPECT_EQ(direction(14, 5), direction(14, 3)) << "variant 5 goes the way of 3";
  EXPECT_EQ(direction(14, 6), (TFloatPoint{0, -1}));
  EXPECT_NEAR(direction(15, 2).x, -0.70710677, 1e-7);
  EXPECT_NEAR(direction(15, 2).y, 0.70710677, 1e-7);
  EXPECT_FALSE(TRollEffect2(14, 3, RollParams(false, false, false)).Inverted());
  EXPECT_TRUE(TRollEffect2(14, 5, RollParams(false, false, false)).Inverted());
}

TEST(RollEffect, TheIncomingPageUnrollsFromNothingToFlat) {
  TRollEffect2 roll(15, 1, RollParams(true, true, false));
  roll.Init({0, 0, 400, 300}, 0, 1000);
  test::TRecordingController controller;
  roll.Draw(controller);
  EXPECT_TRUE(controller.triangles.empty()) << "phase 0: rolled away";
  roll.SetProgress(1000);
  roll.Draw(controller);
  // Phase 1: the whole page flat in its place.
  EXPECT_NEAR(controller.TexturedArea(), 400 * 300, 1e-6);
  EXPECT_TRUE(test::Near(controller.PlaceOf(123, 45), {123, 45, 0}));
  EXPECT_EQ(*controller.GreyAt(300, 250), 255);
}

TEST(RollEffect, HalfWayThePageIsFlatBehindTheRollAndItsBackShowsTheBackColour) {
  TRollEffect2 roll(14, 1, RollParams(false, false, true));
  roll.Init({0, 0, 400, 300}, 0, 1000);
  roll.SetProgress(500);
  // From -20 (rolled away) to 400 (flat): 190 half way.
  EXPECT_NEAR(roll.Position(), 190, 1e-9);
  test::TRecordingController controller;
  roll.Draw(controller);
  EXPECT_TRUE(test::Near(controller.PlaceOf(100, 150), {100, 150, 0}));
  EXPECT_NEAR(controller.PlaceOf(190 + 10 * std::numbers::pi, 150)->x, 210, 0.5);
  int back = 0;
  for (const TRecordedTriangle& t : controller.triangles) {
    if (t.kind == TRecordedTriangle::TKind::Colored) {
      ++back;
      EXPECT_EQ(t.color[0] & 0xFF00FF, 0u) << "green, shaded";
    }
  }
  EXPECT_GT(back, 0);
}

} // namespace
} // namespace qx
