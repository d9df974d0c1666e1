#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <numbers>

namespace qx {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TObjectFrame UnitFrameAt(TVec3 origin) {
  TObjectFrame frame;
  EXPECT_TRUE(MakeFrame(origin, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, frame));
  return frame;
}

std::string AssertionText(const std::function<void()>& action) {
  const test::TMutedDebugOutput muted;
  try {
    action();
  } catch (const EAssertionFailed& error) {
    return error.what();
  }
  return "";
}

} // namespace

TEST(Placement, OpacityBecomesAlphaRoundingHalvesToEven) {
  EXPECT_EQ(OpacityToAlpha(100), 255);
  EXPECT_EQ(OpacityToAlpha(0), 0);
  EXPECT_EQ(OpacityToAlpha(50), 128); // 127.5 -> even
  EXPECT_EQ(OpacityToAlpha(30), 76);  // 76.5 -> even, not 77
  EXPECT_EQ(OpacityToAlpha(70), 178); // 178.5 -> even
  EXPECT_EQ(OpacityToAlpha(1), 3);    // 2.55
  EXPECT_EQ(OpacityToAlpha(-20), 0);
  EXPECT_EQ(OpacityToAlpha(250), 255);
  EXPECT_EQ(OpacityToAlpha(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(Placement, FitFactorPlacesIntoCoversOrKeepsTheSize) {
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::PlaceInto, 1600, 600, 800, 600), 0.5);
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::Cover, 1600, 600, 800, 600), 1.0);
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::Cover, 400, 600, 800, 600), 2.0);
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::None, 1600, 600, 800, 600), 1.0);
  // Without extent there is nothing to fit.
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::PlaceInto, 0, 600, 800, 600), 0.0);
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::Cover, 100, 0, 800, 600), 0.0);
  EXPECT_DOUBLE_EQ(FitFactor(TFitMode::Cover, 100, 100, 0, 600), 0.0);
}

TEST(Placement, LocalMatrixTurnsAndScalesTheAxes) {
  const TMatrix3 flat = LocalMatrix(2, 3, 0, 0, 0);
  EXPECT_EQ(flat.Rows[0], (TVec3{2, 0, 0}));
  EXPECT_EQ(flat.Rows[1], (TVec3{0, 3, 0}));
  EXPECT_EQ(flat.Rows[2], (TVec3{0, 0, 3})); // the Z row follows ky

  const TMatrix3 quarter = LocalMatrix(1, 1, 0, 0, kPi / 2);
  EXPECT_NEAR(quarter.Rows[0].y, 1, 1e-6);
  EXPECT_NEAR(quarter.Rows[1].x, -1, 1e-6);

  const TMatrix3 world = Multiply(LocalMatrix(1, 1, 0, 0, kPi / 2), LocalMatrix(0.5f, 0.5f, 0, 0, 0));
  EXPECT_NEAR(world.Rows[0].y, 0.5, 1e-6);
  EXPECT_NEAR(Length(world.Rows[1]), 0.5, 1e-6);
}

TEST(Placement, FacingTestSeesFrontAndBack) {
  const TVec3 camera{0, 0, -600};
  const TMatrix3 front = LocalMatrix(1, 1, 0, 0, 0);
  const TMatrix3 back = LocalMatrix(1, 1, 0, kPi, 0);
  TObjectFrame frontFrame, backFrame;
  ASSERT_TRUE(MakeFrame({}, front.Rows[0], front.Rows[1], front.Rows[2], frontFrame));
  ASSERT_TRUE(MakeFrame({}, back.Rows[0], back.Rows[1], back.Rows[2], backFrame));
  EXPECT_LT(FacingValue(frontFrame, camera), 0);
  EXPECT_GE(FacingValue(backFrame, camera), 0);

  EXPECT_TRUE(PassesFacingTest(0, -1));
  EXPECT_TRUE(PassesFacingTest(0, 1));
  EXPECT_TRUE(PassesFacingTest(1, -1));
  EXPECT_FALSE(PassesFacingTest(1, 1));
  EXPECT_FALSE(PassesFacingTest(2, -1));
  EXPECT_TRUE(PassesFacingTest(2, 1));
  EXPECT_FALSE(PassesFacingTest(3, 1));
  EXPECT_FALSE(PassesFacingTest(3, -1));
}

TEST(Placement, ZeroScaleGivesAnInvalidFrame) {
  TObjectFrame frame;
  EXPECT_FALSE(MakeFrame({}, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, frame));
  EXPECT_TRUE(MakeFrame({}, {2, 0, 0}, {0, 4, 0}, {0, 0, 1}, frame));
  EXPECT_FLOAT_EQ(frame.InvDet, 0.125f);
}

TEST(Placement, CameraRayMeetsTheObjectPlane) {
  const TVec3 camera{400, 300, -600};
  // In the screen plane the ray changes nothing.
  auto local = IntersectCameraRay(UnitFrameAt({400, 300, 0}), camera, 450, 280);
  EXPECT_NEAR(local[0], 50, 1e-9);
  EXPECT_NEAR(local[1], -20, 1e-9);
  // A plane 600 behind the screen shows everything at half size.
  local = IntersectCameraRay(UnitFrameAt({400, 300, 600}), camera, 450, 280);
  EXPECT_NEAR(local[0], 100, 1e-4);
  EXPECT_NEAR(local[1], -40, 1e-4);
}

TEST(Placement, CameraRayAssertions) {
  const TObjectFrame frame = UnitFrameAt({400, 300, 0});
  EXPECT_NE(AssertionText([&] {
              IntersectCameraRay(frame, {400, 300, 0}, 10, 10);
            }).find("'  Camera.Z = 0  '"),
            std::string::npos);
  // An object seen edge-on, the ray running inside its plane.
  TObjectFrame edgeOn;
  ASSERT_TRUE(MakeFrame({400, 300, 0}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, edgeOn));
  EXPECT_NE(AssertionText([&] {
              IntersectCameraRay(edgeOn, {400, 300, -600}, 400, 250);
            }).find("' Degenerate object '"),
            std::string::npos);
}

} // namespace qx
