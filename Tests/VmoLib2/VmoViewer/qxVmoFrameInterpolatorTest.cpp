#include "VmoLib2/VmoViewer/qxVmoFrameInterpolator.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

// A clock that advances in steps of 10 ms every third frame: raw times
// 0, 0, 10, 10, 10, 20, ... (the sound card's cursor), three frames of
// about 3.3 ms each.
double SteppedClock(int frame) { return 10.0 * ((frame + 1) / 3); }

} // namespace

TEST(FrameInterpolator, GivesTheRawClockDuringWarmUpAndWhileTheRingFills) {
  TFrameInterpolator interpolator;
  const int raw = TFrameInterpolator::kWarmUpSteps + TFrameInterpolator::kRingSize;
  for (int frame = 0; frame < raw; ++frame)
    EXPECT_EQ(interpolator.Step(SteppedClock(frame)), SteppedClock(frame)) << "frame " << frame;
  // From then on the steps are averaged: the output moves every frame
  // instead of every third.
  const double a = interpolator.Step(SteppedClock(raw));
  const double b = interpolator.Step(SteppedClock(raw + 1));
  const double c = interpolator.Step(SteppedClock(raw + 2));
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_NE(b, SteppedClock(raw + 1));
}

TEST(FrameInterpolator, BypassStepsDoNotCountForTheWarmUp) {
  TFrameInterpolator interpolator;
  interpolator.SetBypass(true);
  for (int frame = 0; frame < 100; ++frame)
    EXPECT_EQ(interpolator.Step(frame * 7.0), frame * 7.0);
  EXPECT_EQ(interpolator.WarmUp(), TFrameInterpolator::kWarmUpSteps);
}

TEST(FrameInterpolator, ALaterStartGivesTheRawClockForOneStepThenSmooths) {
  TFrameInterpolator interpolator;
  int frame = 0;
  for (; frame < 200; ++frame)
    interpolator.Step(SteppedClock(frame));
  // The clock stops (bypass) and starts again 5 s later.
  interpolator.SetBypass(true);
  interpolator.Step(SteppedClock(frame));
  interpolator.LeaveBypassAfterNext();
  const double later = 5000 + SteppedClock(frame);
  EXPECT_EQ(interpolator.Step(later), later);
  EXPECT_FALSE(interpolator.Bypass());
  // The ring kept its steps: the next frame is already smoothed, and the
  // jump of the restart, measured from the last bypassed input, is not a
  // step of the ring.
  const double next = interpolator.Step(later);
  EXPECT_NE(next, later);
  EXPECT_NEAR(next, later, 10);
}

TEST(FrameInterpolator, ConvergesOnAnEvenClock) {
  TFrameInterpolator interpolator;
  double output = 0;
  for (int frame = 0; frame < 400; ++frame)
    output = interpolator.Step(frame * 3.0);
  EXPECT_DOUBLE_EQ(output, 399 * 3.0);
}

} // namespace qx
