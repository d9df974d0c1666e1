#include "VmoLib2/VmoClasses/qxKeyPoints.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {

namespace {

// A slide from 1000 to 5000 entered by a 500 ms transition and left by one of
// 800 ms.
TFixedAnchors SlideAnchors() { return TFixedAnchors({1000, 1500, 5000, 5800}); }

TKeyPoint& AddScaled(TKeyPointList& list, double time, float scale) {
  TKeyPoint& point = list.Add(TKeyOrigin::SlideBegin, time);
  point.SetScaleX(scale);
  point.SetScaleY(scale);
  return point;
}

float ScaleAt(TKeyPointList& list, double time) {
  list.Evaluate(time);
  return list.Current().ScaleX;
}

} // namespace

TEST(KeyPoint, StartsNeutralAndSetsOnlyRealChanges) {
  TKeyPointList list;
  TKeyPoint& point = list.Add(TKeyOrigin::SlideBegin, 0);
  EXPECT_EQ(point.Values().Opacity, 100);
  EXPECT_EQ(point.Values().ScaleX, 100);
  EXPECT_EQ(point.Values().ScaleY, 100);
  EXPECT_EQ(point.Values().Angle, 0);
  EXPECT_FALSE(point.Changed());

  point.SetOpacity(100.00004f); // same in steps of 1/10000
  point.SetAngle(0.00004f);
  point.SetTime(0.00001);
  EXPECT_FALSE(point.Changed());
  EXPECT_EQ(point.Values().Opacity, 100);

  point.SetOpacity(99.9998f);
  EXPECT_TRUE(point.Changed());
  EXPECT_TRUE(list.Changed());
  list.ClearChanged();
  EXPECT_FALSE(point.Changed());
  point.SetOrigin(TKeyOrigin::SlideEnd);
  EXPECT_TRUE(point.Changed());
}

TEST(KeyPoint, ScaleNeverGoesBelowOneThousandth) {
  TKeyPointList list;
  TKeyPoint& point = list.Add(TKeyOrigin::SlideBegin, 0);
  point.SetScaleX(0);
  point.SetScaleY(-50);
  EXPECT_EQ(point.Values().ScaleX, TKeyPoint::kMinScale);
  EXPECT_EQ(point.Values().ScaleY, TKeyPoint::kMinScale);
  point.SetScaleX(std::nanf(""));
  EXPECT_EQ(point.Values().ScaleX, TKeyPoint::kMinScale);

  TKeyValues values;
  values.ScaleX = 0;
  point.SetValues(values);
  EXPECT_EQ(point.Values().ScaleX, TKeyPoint::kMinScale);
  EXPECT_EQ(point.Values().ScaleY, 100);
}

TEST(KeyPointList, SortsByAbsoluteTimeOverAllOrigins) {
  const TFixedAnchors anchors = SlideAnchors();
  TKeyPoints list(anchors);
  list.Add(TKeyOrigin::SlideEnd, 0).SetOpacity(4);           // 5800
  list.Add(TKeyOrigin::SlideBegin, 0).SetOpacity(1);         // 1000
  list.Add(TKeyOrigin::NextEffectBegin, -100).SetOpacity(3); // 4900
  list.Add(TKeyOrigin::PrevEffectEnd, 0).SetOpacity(2);      // 1500
  ASSERT_EQ(list.Count(), 4);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(list.KeyPoint(i).Values().Opacity, i + 1);
  EXPECT_EQ(list.KeyTimes(), (std::vector<int32_t>{1000, 1500, 4900, 5800}));

  // Re-timing a key point moves it.
  list.KeyPoint(0).SetTime(5000);
  EXPECT_EQ(list.KeyPoint(3).Values().Opacity, 1);
  // An origin outside the four anchors counts from the slide's start.
  list.KeyPoint(3).SetOrigin(static_cast<TKeyOrigin>(7));
  EXPECT_EQ(list.KeyPoint(3).Origin(), TKeyOrigin::SlideBegin);
  EXPECT_EQ(list.Add(static_cast<TKeyOrigin>(-1), 0).Origin(), TKeyOrigin::SlideBegin);
}

TEST(KeyPointList, EqualTimesKeepCreationOrder) {
  const TFixedAnchors anchors = SlideAnchors();
  TKeyPoints list(anchors);
  list.Add(TKeyOrigin::SlideBegin, 0).SetOpacity(0);
  list.Add(TKeyOrigin::SlideBegin, 1000).SetOpacity(20);   // 2000, made first
  list.Add(TKeyOrigin::PrevEffectEnd, 500).SetOpacity(80); // 2000, made second
  list.Add(TKeyOrigin::SlideBegin, 2000).SetOpacity(100);
  list.Evaluate(2000);
  EXPECT_FLOAT_EQ(list.Current().Opacity, 80); // start of the segment after both
  list.Evaluate(1999);
  EXPECT_NEAR(list.Current().Opacity, 19.98f, 1e-3f); // segment ending at the first
  list.Evaluate(2500);
  EXPECT_FLOAT_EQ(list.Current().Opacity, 90);
}

TEST(KeyPointList, HoldsTheEndValuesOutsideTheKeyPoints) {
  TKeyPointList list;
  list.Evaluate(100); // no key points: the current values stay
  EXPECT_EQ(list.Current().Opacity, 100);

  list.Add(TKeyOrigin::SlideBegin, 1000).SetOpacity(30);
  list.Evaluate(0);
  EXPECT_EQ(list.Current().Opacity, 30);
  list.Evaluate(9999);
  EXPECT_EQ(list.Current().Opacity, 30);

  list.Add(TKeyOrigin::SlideBegin, 2000).SetOpacity(70);
  list.Evaluate(500);
  EXPECT_EQ(list.Current().Opacity, 30);
  list.Evaluate(2000);
  EXPECT_EQ(list.Current().Opacity, 70);
  list.Evaluate(1250);
  EXPECT_FLOAT_EQ(list.Current().Opacity, 40);
}

TEST(KeyPointList, FollowsMovingAnchors) {
  TFixedAnchors anchors = SlideAnchors();
  TKeyPoints list(anchors);
  list.Add(TKeyOrigin::SlideBegin, 0).SetPosition({0, 0});
  list.Add(TKeyOrigin::SlideEnd, 0).SetPosition({100, 0});
  list.Evaluate(3400);
  EXPECT_FLOAT_EQ(list.Current().Position.X, 50);
  EXPECT_TRUE(list.InsideSlide());

  // The next slide's transition grows: the end key point moves with it.
  anchors.SetAnchorTime(TKeyOrigin::SlideEnd, 7000);
  list.Evaluate(4000);
  EXPECT_FLOAT_EQ(list.Current().Position.X, 50);
  EXPECT_EQ(list.KeyTime(1), 7000);

  // Anchors moving past each other re-sort the key points.
  anchors.SetAnchorTime(TKeyOrigin::SlideEnd, 500);
  list.Evaluate(600);
  EXPECT_FLOAT_EQ(list.KeyPoint(0).Values().Position.X, 100);
  EXPECT_FALSE(list.InsideSlide());
}

TEST(KeyPointList, PerspectiveCorrectionSlowsAZoomIn) {
  TKeyPointList list;
  AddScaled(list, 0, 100);
  AddScaled(list, 1000, 200).SetPosition({60, 0});
  EXPECT_FLOAT_EQ(ScaleAt(list, 500), 150);

  list.SetPerspectiveCorrection(true);
  EXPECT_NEAR(ScaleAt(list, 500), 133.333f, 1e-3f);
  EXPECT_NEAR(list.Current().Position.X, 20, 1e-4f); // pan is corrected too
  EXPECT_NEAR(ScaleAt(list, 2000.0 / 3), 150, 1e-3f);
  EXPECT_EQ(ScaleAt(list, 0), 100);
  EXPECT_EQ(ScaleAt(list, 1000), 200);

  // Opacity and rotation keep linear timing.
  list.KeyPoint(1).SetOpacity(0);
  list.Evaluate(500);
  EXPECT_FLOAT_EQ(list.Current().Opacity, 50);
}

TEST(KeyPointList, SmoothedIntervalIgnoresInnerKeyPoints) {
  TKeyPointList list;
  AddScaled(list, 0, 100);
  AddScaled(list, 500, 900); // inside the smoothed interval
  AddScaled(list, 2000, 200);
  list.KeyPoint(2).SetAngle(2);
  ASSERT_TRUE(list.ZoomStore().LoadFromText("3;0;500;2000;1;0;2;0.5;0.5;"));
  EXPECT_FLOAT_EQ(ScaleAt(list, 1000), 150);
  EXPECT_EQ(ScaleAt(list, 2000), 200);
  // Only the zoom group is smoothed: the angle still moves segment by segment.
  list.Evaluate(1250);
  EXPECT_FLOAT_EQ(list.Current().Angle, 1);

  ASSERT_TRUE(list.RotateStore().LoadFromText("3;0;500;2000;1;0;2;0.5;0.5;"));
  list.Evaluate(1000);
  EXPECT_FLOAT_EQ(list.Current().Angle, 1);
}

TEST(KeyPointList, LinearOrUnreadableStoresInterpolateSegments) {
  TKeyPointList list;
  AddScaled(list, 0, 100);
  AddScaled(list, 1000, 300);
  AddScaled(list, 2000, 200);
  // Within one percent of linear counts as linear.
  ASSERT_TRUE(list.ZoomStore().LoadFromText("3;0;1000;2000;1;0;2;0.004;0.996;"));
  EXPECT_FLOAT_EQ(ScaleAt(list, 500), 200);
  EXPECT_FALSE(list.PanStore().LoadFromText("3;0;1000"));
  list.KeyPoint(2).SetPosition({40, 0});
  list.Evaluate(1500);
  EXPECT_FLOAT_EQ(list.Current().Position.X, 20);
  // Intervals naming key points that do not exist are skipped.
  ASSERT_TRUE(list.ZoomStore().LoadFromText("3;0;1000;2000;1;1;7;0.5;0.5;"));
  EXPECT_FLOAT_EQ(ScaleAt(list, 1500), 250);
}

TEST(KeyPointList, SmoothingUsesDepthCorrectedTime) {
  TKeyPointList list;
  AddScaled(list, 0, 100);
  AddScaled(list, 1000, 200);
  list.ZoomStore().SetIntervals({{0, 1, 0.5L, 0.5L}});
  list.SetPerspectiveCorrection(true);
  // Corrected time 1000/3 lies in the accelerating half: 100 + (1/3)^2 * 50 * 2.
  EXPECT_NEAR(ScaleAt(list, 500), 100 + 100.0f / 9 * 2, 1e-3f);
}

TEST(KeyPointList, StoresFollowAddedAndRetimedKeyPoints) {
  TKeyPointList list;
  list.Add(TKeyOrigin::SlideBegin, 0);
  list.Add(TKeyOrigin::SlideBegin, 1000);
  EXPECT_EQ(list.DefaultSpeedText(), "2;0;1000;1;0;1;0;1;0;1;");
  TSpeedStorage& zoom = list.ZoomStore();
  zoom.SetIntervals({{0, 1, 0.5L, 0.5L}});

  list.Add(TKeyOrigin::SlideBegin, -500); // in front: the interval grows
  EXPECT_EQ(zoom.KeyTimes(), (std::vector<int32_t>{-500, 0, 1000}));
  EXPECT_EQ(zoom.Intervals()[0].From, 0);
  EXPECT_EQ(zoom.Intervals()[0].To, 2);

  list.KeyPoint(1).SetTime(250.75);
  EXPECT_EQ(zoom.KeyTimes(), (std::vector<int32_t>{-500, 250, 1000}));
  list.KeyPoint(0).SetTime(-0.5); // truncated toward zero
  EXPECT_EQ(list.KeyTime(0), 0);

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.FindStore(TSpeedKind::Zoom), nullptr);
}

TEST(KeyPointList, SetScaleChangesOnlyTheCurrentScale) {
  TKeyPointList list;
  list.SetScale(40, 0);
  EXPECT_EQ(list.Current().ScaleX, 40);
  EXPECT_EQ(list.Current().ScaleY, 0);
  list.Evaluate(10);
  EXPECT_EQ(list.Current().ScaleX, 40);
}

} // namespace qx
