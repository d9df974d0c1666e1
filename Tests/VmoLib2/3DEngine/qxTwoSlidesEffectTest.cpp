#include "VmoLib2/3DEngine/qxTwoSlidesEffect.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace qx {
namespace {

std::unique_ptr<TTwoSlidesEffect> Swap(int variant) {
  TEffectParams p;
  p.SwapDepth = 4;
  p.SwapWidth = 1;
  p.SwapMaxAngle = 60;
  auto swap = std::make_unique<TTwoSlidesEffect>(17, variant, p);
  swap->Init({0, 0, 400, 300}, 0, 1000);
  return swap;
}

TEST(Swap, AtItsStartASlideStandsUndistortedInItsPlace) {
  const auto c = Swap(1)->Corners(0, 1);
  EXPECT_EQ(c[0], (T3DPoint{0, 0, 0}));
  EXPECT_EQ(c[3], (T3DPoint{400, 300, 0}));
}

TEST(Swap, HalfWayTheSlidesStandSideBySideRecededAndTilted) {
  const auto swap = Swap(1);
  const auto right = swap->Corners(0.5, 1);
  const auto left = swap->Corners(0.5, -1);
  // Out by a slide width, back by 2 slide heights, the inner edges tilted
  // back by sin 30 degrees x width.
  EXPECT_NEAR(right[0].x, 400, 1e-9);
  EXPECT_NEAR(left[1].x, 0, 1e-9);
  EXPECT_NEAR(right[1].z, 0.5 * 300 * 4, 1e-9);
  EXPECT_NEAR(right[0].z, 0.5 * 300 * 4 + 0.5 * 400, 1e-9);
  EXPECT_NEAR(left[1].z, right[0].z, 1e-9);
  EXPECT_NEAR(left[0].z, right[1].z, 1e-9);
  // Vertical variants move along y.
  const auto down = Swap(3)->Corners(0.5, 1);
  EXPECT_NEAR(down[0].y, 300, 1e-9);
  EXPECT_NEAR(down[0].x, 0, 1e-9);
  EXPECT_THROW(Swap(5)->Corners(0.5, 1), EAssertionFailed);
}

TEST(Swap, TheFirstDrawOfAFrameClearsAndEachDrawShowsOneSlide) {
  const auto swap = Swap(2);
  swap->SetProgress(0);
  test::TRecordingController controller;
  swap->Draw(controller);
  EXPECT_EQ(swap->Calls(), 1);
  const size_t first = controller.triangles.size();
  EXPECT_EQ(first, 4u) << "black and the far slide";
  // The far slide at the other end of its movement: the whole depth away,
  // tilted by the whole angle about its right edge.
  EXPECT_NEAR(controller.PlaceOf(200, 150)->z, 300 * 4 + std::sin(std::numbers::pi / 3) * 200, 1e-6);
  controller.Clear();
  swap->Draw(controller);
  EXPECT_EQ(controller.triangles.size(), 2u) << "no clearing on the second draw";
  EXPECT_TRUE(test::Near(controller.PlaceOf(200, 150), {200, 150, 0}));
}

} // namespace
} // namespace qx
