#include "VmoLib2/3DEngine/qxSlideFilter.h"

#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(SlideFilter, TheIncomingSlideComesFromItsSide) {
  const TFloatPoint halfWay[] = {{-200, 0}, {200, 0}, {0, -150}, {0, 150}};
  for (int variant = 1; variant <= 4; ++variant) {
    TSlideFilter slide(13, variant, TEffectParams{});
    slide.Init({0, 0, 400, 300}, 0, 1000);
    EXPECT_TRUE(slide.WholeSlide());
    slide.SetProgress(500);
    EXPECT_EQ(slide.Offset(), halfWay[variant - 1]) << variant;
    slide.SetProgress(1000);
    EXPECT_EQ(slide.Offset(), (TFloatPoint{0, 0})) << variant;
  }
}

TEST(SlideFilter, DrawsTheWholeSlideMovedWithItsOwnPicture) {
  TSlideFilter slide(13, 3, TEffectParams{});
  slide.Init({0, 0, 400, 300}, 0, 1000);
  slide.SetTargetRect({10, 20, 410, 320});
  slide.SetProgress(250);
  test::TRecordingController controller({0, 0, 500, 400});
  controller.SetGrid({0, 200, 500}, {0, 100, 400});
  slide.Draw(controller);
  // Cut where the picture meets the cells, not where it is drawn.
  EXPECT_NEAR(controller.TexturedArea(), 400 * 300, 1e-6);
  EXPECT_TRUE(test::Near(controller.PlaceOf(110, 120), {110, 120 - 225, 0}));
  EXPECT_EQ(*controller.GreyAt(300, 300), 255);
}

TEST(PushFilter, TheOutgoingSlideIsPushedOutByTheIncomingOne) {
  TPushFilter push(12, 2, TEffectParams{});
  push.Init({0, 0, 400, 300}, 0, 1000);
  push.SetProgress(250);
  EXPECT_EQ(push.Offset(), (TFloatPoint{300, 0}));
  EXPECT_EQ(push.PushShift(), (TFloatPoint{-100, 0}));
  TPushFilter down(12, 3, TEffectParams{});
  down.Init({0, 0, 400, 300}, 0, 1000);
  down.SetProgress(500);
  EXPECT_EQ(down.PushShift(), (TFloatPoint{0, 150}));
}

} // namespace
} // namespace qx
