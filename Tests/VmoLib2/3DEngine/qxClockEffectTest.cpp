#include "VmoLib2/3DEngine/qxClockEffect.h"

#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <numbers>

namespace qx {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(ClockArrow, TheSectorTurnsClockwiseFromTwelveOClock) {
  const TArrow arrow({0, 0, 400, 300}, 10, {200, 150});
  // A quarter turn: the top-right quarter shows, the rest not.
  EXPECT_EQ(arrow.Level(300, 50, kPi / 2), 0);
  EXPECT_EQ(arrow.Level(100, 50, kPi / 2), 255);
  EXPECT_EQ(arrow.Level(300, 250, kPi / 2), 255);
  // Three quarters: all but the top-left quarter.
  EXPECT_EQ(arrow.Level(100, 250, 1.5 * kPi), 0);
  EXPECT_EQ(arrow.Level(100, 50, 1.5 * kPi), 255);
  // Both edges soft, centred on their rays: half way on the ray, the S ramp
  // across the width, and nothing of it beyond the centre on the far side.
  EXPECT_NEAR(arrow.Level(200, 50, kPi / 2), 255 - SoftRamp(127.5), 1e-9);
  EXPECT_NEAR(arrow.Level(202.5, 50, kPi / 2), 255 - SoftRamp(191.25), 1e-9);
  EXPECT_NEAR(arrow.Level(300, 150, kPi / 2), 255 - SoftRamp(127.5), 1e-9);
  EXPECT_EQ(arrow.Level(200, 250, 1.9 * kPi), 0) << "6 o'clock lies inside";
  EXPECT_EQ(arrow.Level(200, 250, 0.1 * kPi), 255) << "6 o'clock lies outside";
}

TEST(ClockArrow, NothingAtTheStartAndEverythingAtTheEnd) {
  TArrow arrow({0, 0, 400, 300}, 10, {200, 150});
  int triangles = 0;
  const TLevelSink count = [&](const TLevelVertex&, const TLevelVertex&, const TLevelVertex&) { ++triangles; };
  arrow.Emit(0, count);
  EXPECT_EQ(triangles, 0);
  arrow.Emit(2 * kPi, count);
  EXPECT_EQ(triangles, 2);
}

TEST(ClockEffect, DrawsTheSectorMirroredWhenReversed) {
  for (const int variant : {1, 2}) {
    TClockEffect clock(3, variant, TEffectParams{});
    clock.Init({0, 0, 400, 300}, 0, 1000);
    clock.SetProgress(250);
    test::TRecordingController controller;
    clock.Draw(controller);
    const bool reversed = variant == 2;
    EXPECT_DOUBLE_EQ(controller.AlphaAt(reversed ? 100 : 300, 50), 1) << variant;
    EXPECT_DOUBLE_EQ(controller.AlphaAt(reversed ? 300 : 100, 50), 0) << variant;
    EXPECT_DOUBLE_EQ(controller.AlphaAt(200, 250), 0) << variant;
    EXPECT_LE(controller.AlphaLayersAt(310, 40), 1);
  }
}

} // namespace
} // namespace qx
