#include "VmoLib2/VmoClasses/qxOverlayLayout.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

constexpr T3DRect kArea{100, 50, 1100, 850}; // 1000 x 800

TEST(OverlayPlacement, LogoAtRightBottomWithOffsetSitsInsideTheCorner) {
  EXPECT_EQ(OverlayPositionFromLogo(7), TOverlayPosition::RightBottom);
  // 20 % of the half size (500 and 400) inside the bottom-right corner.
  EXPECT_EQ(PlaceOverlayItem(OverlayPositionFromLogo(7), 20, kArea, 100, 60), (T3DRect{900, 710, 1000, 770}));
  EXPECT_EQ(PlaceOverlayItem(TOverlayPosition::LeftTop, 20, kArea, 100, 60), (T3DRect{200, 130, 300, 190}));
  EXPECT_EQ(PlaceOverlayItem(TOverlayPosition::Center, 20, kArea, 100, 60), (T3DRect{550, 420, 650, 480}))
      << "the offset does not move a centred item";
  // Half pixels round to even.
  EXPECT_EQ(PlaceOverlayItem(TOverlayPosition::Bottom, 0, kArea, 101, 60), (T3DRect{550, 790, 651, 850}));
  EXPECT_EQ(PlaceOverlayItem(TOverlayPosition::Right, 0, kArea, 100, 61), (T3DRect{1000, 420, 1100, 481}));
}

TEST(OverlayPlacement, PositionNumbersAndWords) {
  const TOverlayPosition logo[] = {TOverlayPosition::Left,       TOverlayPosition::Top,
                                   TOverlayPosition::Right,      TOverlayPosition::Bottom,
                                   TOverlayPosition::Center,     TOverlayPosition::LeftTop,
                                   TOverlayPosition::RightTop,   TOverlayPosition::RightBottom,
                                   TOverlayPosition::LeftBottom};
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(OverlayPositionFromLogo(i), logo[i]) << i;
  EXPECT_EQ(OverlayPositionFromLogo(9), TOverlayPosition::Center);
  EXPECT_EQ(OverlayPositionFromLogo(-1), TOverlayPosition::Center);
  EXPECT_EQ(OverlayPositionFromWord("right-bottom"), TOverlayPosition::RightBottom);
  EXPECT_EQ(OverlayPositionFromWord("Left-Top"), TOverlayPosition::LeftTop);
  EXPECT_EQ(OverlayPositionFromWord(""), TOverlayPosition::Center) << "a missing key";
  EXPECT_EQ(OverlayPositionFromWord("Upper"), TOverlayPosition::Center);
  // Absurd offsets place the item far away, without overflow.
  const T3DRect far = PlaceOverlayItem(TOverlayPosition::Left, 1e300, kArea, 10, 10);
  EXPECT_EQ(far.Width(), 10);
}

TEST(MouseMoveDetector, JitterDoesNotKeepThePanelShown) {
  TMouseMoveDetector detector(3000);
  detector.Sample(100, 100, 0); // only records the position
  EXPECT_FALSE(detector.HideDue(0));
  for (int64_t t = 500; t <= 3500; t += 500)
    detector.Sample(t % 1000 ? 103 : 100, t % 1000 ? 102 : 100, t);
  EXPECT_TRUE(detector.HideDue(3001)) << "5 pixels back and forth are no movement";
  detector.Sample(104, 102, 3600);
  EXPECT_FALSE(detector.HideDue(3600)) << "6 pixels are";
  EXPECT_FALSE(detector.HideDue(6600));
  EXPECT_TRUE(detector.HideDue(6601));
}

TEST(MouseMoveDetector, ResetExpiredOrRestarted) {
  TMouseMoveDetector detector(1000);
  detector.Reset(true, 5000);
  EXPECT_TRUE(detector.HideDue(5000));
  // Over the panel: the interval starts again at the next query.
  detector.Reset(false, 5000);
  EXPECT_FALSE(detector.HideDue(7000));
  EXPECT_FALSE(detector.HideDue(8000));
  EXPECT_TRUE(detector.HideDue(8001));
}

TEST(PanelFade, HiddenOnStartUpFadesInAfterTheFirstMovement) {
  TMouseMoveDetector detector(2000);
  detector.Reset(true, 0);
  TPanelFade fade(true, 500, 1000);
  EXPECT_EQ(fade.Opacity(), 0);
  EXPECT_FALSE(fade.Step(detector.HideDue(100), 100)) << "still hidden, nothing changes";
  detector.Sample(10, 10, 200);
  EXPECT_FALSE(fade.Step(detector.HideDue(200), 200)) << "the first sample is no movement";
  detector.Sample(16, 10, 300);
  EXPECT_FALSE(detector.HideDue(300));
  fade.Step(false, 300);
  EXPECT_FALSE(fade.Hidden());
  EXPECT_NEAR(*fade.Step(false, 550), 50, 1e-9);
  EXPECT_NEAR(*fade.Step(false, 800), 100, 1e-9);
  EXPECT_FALSE(fade.Step(false, 900));
  // Out after the hide interval, over the fade-out time.
  EXPECT_TRUE(detector.HideDue(2301));
  fade.Step(true, 2301);
  EXPECT_NEAR(*fade.Step(true, 2801), 50, 1e-9);
  EXPECT_NEAR(*fade.Step(true, 3301), 0, 1e-9);
}

TEST(PanelFade, ReversalHalfwayGoesOnFromTheCurrentOpacity) {
  TPanelFade fade(false, 400, 1000);
  fade.Step(true, 0);
  EXPECT_NEAR(*fade.Step(true, 500), 50, 1e-9);
  // Shown again: the fade-in window is placed so that it is half done now.
  EXPECT_FALSE(fade.Step(false, 500));
  EXPECT_NEAR(*fade.Step(false, 600), 75, 1e-9);
  EXPECT_NEAR(*fade.Step(false, 700), 100, 1e-9);
  // A fade of no length is a switch.
  TPanelFade instant(false, 0, 0);
  EXPECT_NEAR(*instant.Step(true, 10), 0, 1e-9);
}

} // namespace
} // namespace qx
