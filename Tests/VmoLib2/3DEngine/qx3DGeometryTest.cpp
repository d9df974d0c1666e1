#include "VmoLib2/3DEngine/qx3DGeometry.h"

#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

const T3DPoint kCamera{200, 150, -300};

TEST(Camera, PointsOfThePictureStayAndDeeperOnesShrinkTowardTheCentre) {
  EXPECT_EQ(ProjectToScreen(kCamera, {10, 20, 0}), (T3DPoint{10, 20, 0}));
  // One camera distance deeper: half-way to the centre.
  EXPECT_EQ(ProjectToScreen(kCamera, {0, 0, 300}), (T3DPoint{100, 75, 0}));
  // In front of the picture: farther from the centre.
  EXPECT_EQ(ProjectToScreen(kCamera, {100, 150, -150}), (T3DPoint{0, 150, 0}));
  // In the camera's plane the distance is clamped instead of dividing by 0.
  const T3DPoint far = ProjectToScreen(kCamera, {201, 150, -300});
  EXPECT_GT(far.x, 1e6);
}

TEST(Camera, UnprojectingFindsThePointOnTheGivenPlane) {
  // A plane turned about the vertical axis.
  const T3DPoint p0{100, 50, 0};
  const T3DPoint p1{200, 50, 173.2};
  const T3DPoint p2{100, 250, 0};
  const T3DPoint point = p0 + (p1 - p0) * 0.4 + (p2 - p0) * 0.7;
  const T3DPoint screen = ProjectToScreen(kCamera, point);
  const T3DPoint back = UnprojectFromScreen(kCamera, {screen.x, screen.y}, p0, p1, p2);
  EXPECT_NEAR(back.x, point.x, 1e-9);
  EXPECT_NEAR(back.y, point.y, 1e-9);
  EXPECT_NEAR(back.z, point.z, 1e-9);
}

TEST(Camera, DegenerateUnprojectionsAreAssertions) {
  const test::TMutedDebugOutput muted;
  const T3DPoint p0{0, 0, 0};
  EXPECT_THROW(UnprojectFromScreen({0, 0, 0}, {1, 1}, p0, {1, 0, 0}, {0, 1, 0}), EAssertionFailed);
  // A plane seen edge-on: the ray runs inside it.
  EXPECT_THROW(UnprojectFromScreen(kCamera, {200, 100}, {200, 0, 0}, {200, 0, 100}, {200, 100, 0}), EAssertionFailed);
  // Three points on a line make no plane.
  EXPECT_THROW(UnprojectFromScreen(kCamera, {5, 5}, p0, {1, 1, 0}, {2, 2, 0}), EAssertionFailed);
}

TEST(Placement, PartsAndFlatQuads) {
  const TPlacement quad = TPlacement::Flat({10, 20, 110, 70});
  EXPECT_EQ(quad.At(1, 1), (T3DPoint{110, 70, 0}));
  const TPlacement half = quad.Part(0.5, 0, 1, 0.5);
  EXPECT_EQ(half.origin, (T3DPoint{60, 20, 0}));
  EXPECT_EQ(half.At(1, 1), (T3DPoint{110, 45, 0}));
}

} // namespace
} // namespace qx
