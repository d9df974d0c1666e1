#include "VmoLib2/3DEngine/qxBroomEffect.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace qx {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr TFloatRect kSlide{0, 0, 400, 300};

TEST(Broom, PivotsBeyondTheSideTheSweepComesFrom) {
  const auto right = MakeBroom(2);
  right->Init(kSlide, 50, 0);
  EXPECT_EQ(right->Pivot(), (TFloatPoint{450, 150}));
  EXPECT_DOUBLE_EQ(right->RayLength(), 750);
  // From straight down round through the left to straight up... as far as
  // the slide's corners.
  EXPECT_NEAR(right->FirstAngle(), std::atan2(150, -50), 1e-12);
  EXPECT_NEAR(right->LastAngle(), 2 * kPi - std::atan2(150, -50), 1e-12);
  const auto upLeft = MakeBroom(8);
  upLeft->Init(kSlide, 0, 0);
  EXPECT_EQ(upLeft->Pivot(), (TFloatPoint{0, 0}));
  EXPECT_NEAR(upLeft->LastAngle() - upLeft->FirstAngle(), kPi / 2, 1e-12);
  EXPECT_THROW(MakeBroom(9), EAssertionFailed);
}

TEST(Broom, TheSoftAngleAndTheRamp) {
  const auto right = MakeBroom(2);
  right->Init(kSlide, 100, 20);
  // 2 arccot(2 x (offset + width / 2) / soft).
  EXPECT_NEAR(right->SoftAngle(), 2 * std::atan(20 / (2.0 * 300)), 1e-12);
  const double sweep = 3;
  EXPECT_EQ(right->Level(sweep - 0.01, sweep), 0);
  EXPECT_EQ(right->Level(sweep + right->SoftAngle() + 0.01, sweep), 255);
  EXPECT_EQ(right->Level(sweep + right->SoftAngle() / 2, sweep), SweepRampTable()[128]);
  EXPECT_DOUBLE_EQ(right->StartAngle(), right->FirstAngle() - right->SoftAngle());
}

TEST(BroomEffect, SweepsTheWholeSlideBetweenTheEnds) {
  for (const int variant : {1, 2, 3, 4, 5, 6, 7, 8, 9, 13}) {
    TEffectParams params;
    params.BroomOffset = 30;
    TBroomEffect broom(11, variant, params);
    broom.Init({0, 0, 400, 300}, 12, 1000);
    const bool inverted = variant > 8;
    EXPECT_EQ(broom.Inverted(), inverted);
    test::TRecordingController controller;
    broom.Draw(controller);
    for (const auto& [x, y] : {std::pair{2.0, 2.0}, {398.0, 2.0}, {200.0, 150.0}, {2.0, 298.0}, {398.0, 298.0}}) {
      EXPECT_DOUBLE_EQ(controller.AlphaAt(x, y), inverted ? 1 : 0) << variant << " " << x << "," << y;
    }
    controller.Clear();
    broom.SetProgress(1000);
    broom.Draw(controller);
    for (const auto& [x, y] : {std::pair{2.0, 2.0}, {398.0, 2.0}, {200.0, 150.0}, {2.0, 298.0}, {398.0, 298.0}}) {
      EXPECT_DOUBLE_EQ(controller.AlphaAt(x, y), inverted ? 0 : 1) << variant << " " << x << "," << y;
    }
  }
}

TEST(BroomEffect, FansNarrowToSingleSamplesOnlyAtTheSoftEdge) {
  TBroomEffect broom(11, 2, TEffectParams{});
  broom.Init({0, 0, 400, 300}, 40, 1000);
  broom.SetProgress(600);
  test::TRecordingController controller;
  broom.Draw(controller);
  const double sweep = broom.SweepAngle();
  const double soft = broom.Broom()->SoftAngle();
  const double step = 2 * kPi / TBroom::kSamples;
  // About ten samples a fan where it shows fully, one across the edge.
  const size_t fans = controller.triangles.size();
  const double swept = sweep - broom.Broom()->FirstAngle();
  EXPECT_LT(fans, swept / (step * TBroom::kCoarseSamples) + soft / step + 8);
  EXPECT_GT(fans, soft / step);
}

} // namespace
} // namespace qx
