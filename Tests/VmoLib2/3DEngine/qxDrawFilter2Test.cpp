#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"
#include "VmoLib2/3DEngine/qxShapeFilters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace qx {
namespace {

using test::TRecordingController;

constexpr TPixelRect kSlide{0, 0, 400, 300};

struct TRing {
  int order;
  double outerAlpha;
  double innerAlpha;
  double outer;
  double inner;
};

// A shape that only notes the rings it is asked for.
class TRingRecorder final : public TCommonFilter {
public:
  TRingRecorder() : TCommonFilter(4, 2, TEffectParams{}, 0.5, 0.5, false) {}
  std::string_view ClassName() const override { return "TRingRecorder"; }
  std::vector<TRing> rings;

protected:
  double ComputeReach() const override { return 1000; }
  void EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) override {
    rings.push_back({order, outerAlpha, innerAlpha, outer, inner});
  }
};

template <typename T>
std::unique_ptr<T> Made(int cls, int variant, double cx, double cy, bool inverted, int soft = 0) {
  auto effect = std::make_unique<T>(cls, variant, TEffectParams{}, cx, cy, inverted);
  effect->Init(kSlide, soft, 1000);
  return effect;
}

TEST(Ramps, CurvesMeetTheirEnds) {
  EXPECT_DOUBLE_EQ(EaseInOut(0), 0);
  EXPECT_DOUBLE_EQ(EaseInOut(0.25), 0.125);
  EXPECT_DOUBLE_EQ(EaseInOut(0.5), 0.5);
  EXPECT_DOUBLE_EQ(EaseInOut(0.75), 0.875);
  EXPECT_DOUBLE_EQ(EaseInOut(1), 1);
  EXPECT_DOUBLE_EQ(SoftRamp(0), 0);
  EXPECT_DOUBLE_EQ(SoftRamp(64), 32);
  EXPECT_DOUBLE_EQ(SoftRamp(191), 255 - 64 * 64 / 128.0);
  EXPECT_DOUBLE_EQ(SoftRamp(255), 255);
  const auto& table = SweepRampTable();
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[16], 2);
  EXPECT_EQ(table[127], 126);
  EXPECT_EQ(table[128], 129);
  EXPECT_EQ(table[255], 255);
  for (size_t i = 1; i < table.size(); ++i) {
    EXPECT_GE(table[i], table[i - 1]);
  }
}

TEST(SoftShape, CoreAndFourteenRingsAlongTheSRamp) {
  TRingRecorder shape;
  shape.Init(kSlide, 70, 1000);
  shape.EmitSoftShape(100, 30);
  ASSERT_EQ(shape.rings.size(), 15u);
  const TRing& core = shape.rings[0];
  EXPECT_EQ(core.order, 0);
  EXPECT_DOUBLE_EQ(core.outer, 30);
  EXPECT_DOUBLE_EQ(core.inner, 0);
  EXPECT_DOUBLE_EQ(core.innerAlpha, 255);
  for (int i = 1; i <= 14; ++i) {
    const TRing& ring = shape.rings[static_cast<size_t>(i)];
    EXPECT_EQ(ring.order, i);
    EXPECT_NEAR(ring.inner, 30 + (i - 1) * 5.0, 1e-9);
    EXPECT_NEAR(ring.outer, 30 + i * 5.0, 1e-9);
    EXPECT_NEAR(ring.outerAlpha, 255 - SoftRamp(i * 255.0 / 14), 1e-9);
    EXPECT_DOUBLE_EQ(ring.innerAlpha, shape.rings[static_cast<size_t>(i - 1)].outerAlpha);
  }
  EXPECT_NEAR(shape.rings.back().outerAlpha, 0, 1e-9);
}

TEST(SoftShape, NarrowRingsMergeAndAStartInsideTheCentreIsCut) {
  TRingRecorder shape;
  shape.Init(kSlide, 14, 1000);
  // One pixel per ring: merged pairwise into rings of two.
  shape.EmitSoftShape(114, 100);
  ASSERT_EQ(shape.rings.size(), 8u);
  for (size_t k = 1; k < shape.rings.size(); ++k) {
    EXPECT_NEAR(shape.rings[k].outer - shape.rings[k].inner, 2, 1e-9);
  }
  // The inner distance below 0: the first ring starts at the centre with
  // the alpha the ramp has there.
  shape.rings.clear();
  shape.EmitSoftShape(70, -70);
  ASSERT_FALSE(shape.rings.empty());
  EXPECT_DOUBLE_EQ(shape.rings[0].inner, 0);
  EXPECT_NEAR(shape.rings[0].innerAlpha, 255 - SoftRamp(127.5), 1e-9);
  // Nothing at all before the shape starts; a hard edge is the core only.
  shape.rings.clear();
  shape.EmitSoftShape(0, -14);
  EXPECT_TRUE(shape.rings.empty());
  shape.EmitSoftShape(50, 50);
  ASSERT_EQ(shape.rings.size(), 1u);
}

TEST(CommonFilters, ReachCoversTheSlideAndTheSoftEdge) {
  EXPECT_DOUBLE_EQ(Made<TCircleFilter>(4, 2, 0.5, 0.5, false, 10)->Reach(), 250 + 10);
  EXPECT_DOUBLE_EQ(Made<TRhombFilter>(5, 2, 0.5, 0.5, false)->Reach(), 350);
  EXPECT_DOUBLE_EQ(Made<TSquareFilter>(6, 2, 0.5, 0.5, false)->Reach(), 200);
  EXPECT_DOUBLE_EQ(Made<THLines>(9, 1, 0, 0, false)->Reach(), 400);
  EXPECT_DOUBLE_EQ(Made<TVLines>(7, 3, 0.5, 0.5, true)->Reach(), 150);
  // A centre outside the slide: the reach starts at the nearest edge.
  const auto outside = Made<TCircleFilter>(4, 2, 1.5, 0.5, false);
  EXPECT_DOUBLE_EQ(outside->CenterDistance(), 200);
  EXPECT_DOUBLE_EQ(outside->Reach(), std::hypot(600, 150) - 200);
  EXPECT_EQ(outside->Segments(), 256);
}

TEST(CommonFilters, ACircleHalfWayIsADiskOfHalfTheReach) {
  auto circle = Made<TCircleFilter>(4, 2, 0.25, 0.75, false);
  const double reach = std::hypot(300, 225);
  circle->SetProgress(500);
  TRecordingController controller;
  circle->Draw(controller);
  for (const double angle : {0.1, 1.0, 2.5, 4.0, 5.5}) {
    const double inside = reach / 2 - 1;
    const double outside = reach / 2 + 1;
    const double x = 100 + inside * std::cos(angle);
    const double y = 225 + inside * std::sin(angle);
    if (x > 0 && x < 400 && y > 0 && y < 300) {
      EXPECT_DOUBLE_EQ(controller.AlphaAt(x, y), 1) << angle;
      EXPECT_EQ(controller.AlphaLayersAt(x, y), 1) << angle;
    }
    const double ox = 100 + outside * std::cos(angle);
    const double oy = 225 + outside * std::sin(angle);
    if (ox > 0 && ox < 400 && oy > 0 && oy < 300) {
      EXPECT_DOUBLE_EQ(controller.AlphaAt(ox, oy), 0) << angle;
    }
  }
}

TEST(CommonFilters, InvertedShapesShrinkFromTheWholeSlide) {
  auto circle = Made<TCircleFilter>(4, 1, 0.5, 0.5, true);
  TRecordingController controller;
  circle->Draw(controller);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(1, 1), 1);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(399, 299), 1);
  controller.Clear();
  circle->SetProgress(1000);
  circle->Draw(controller);
  EXPECT_TRUE(controller.triangles.empty());
}

TEST(CommonFilters, SoftRingsZigZagWithoutGapsOrOverlaps) {
  auto circle = Made<TCircleFilter>(4, 2, 0.5, 0.5, false, 40);
  circle->SetProgress(500);
  TRecordingController controller;
  circle->Draw(controller);
  const double a = circle->Reach() / 2;
  // Across the soft edge the alpha falls from 1 to 0, drawn once
  // everywhere.
  double previous = 1;
  for (double d = a - 40; d <= a; d += 0.5) {
    const double x = 200 + d * std::cos(0.3);
    const double y = 150 + d * std::sin(0.3);
    const double alpha = controller.AlphaAt(x, y);
    EXPECT_LE(alpha, previous + 1e-6) << d;
    EXPECT_LE(controller.AlphaLayersAt(x, y), 1) << d;
    if (d < a - 1) {
      EXPECT_GT(alpha, 0) << d;
    }
    previous = alpha;
  }
  EXPECT_NEAR(controller.AlphaAt(200 + (a - 20) * std::cos(0.3), 150 + (a - 20) * std::sin(0.3)), 0.5, 0.03);
}

TEST(CommonFilters, DiagonalBandsByClassAndVariant) {
  TDiagLines both(8, 1, TEffectParams{});
  EXPECT_EQ(both.Mode(), 1);
  EXPECT_TRUE(both.Inverted());
  EXPECT_FALSE(both.OtherDiagonal());
  TDiagLines fromCorner(10, 4, TEffectParams{});
  EXPECT_EQ(fromCorner.Mode(), 2);
  EXPECT_FALSE(fromCorner.Inverted());
  EXPECT_TRUE(fromCorner.OtherDiagonal());
  // Class 10 variant 1 half way: everything above the 45 degree line
  // x + y = (width + height) / 2 from the top-left corner.
  TDiagLines wipe(10, 1, TEffectParams{});
  wipe.Init(kSlide, 0, 1000);
  wipe.SetProgress(500);
  TRecordingController controller;
  wipe.Draw(controller);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(100, 240), 1);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(120, 240), 0);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(340, 0.5), 1);
}

TEST(AlphaFilter, FadesTheWholeTargetRectangle) {
  TAlphaFilter fade(2, 1, TEffectParams{});
  fade.Init(kSlide, 0, 1000);
  fade.SetTargetRect({20, 10, 220, 110});
  fade.SetProgress(250);
  TRecordingController controller;
  fade.Draw(controller);
  EXPECT_NEAR(controller.AlphaAt(21, 11), 0.25, 1e-9);
  EXPECT_NEAR(controller.AlphaAt(219, 109), 0.25, 1e-9);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(10, 5), 0);
  // Shapes are mapped from the slide onto the target the same way.
  EXPECT_EQ(fade.ToTarget(400, 300).x, 220);
  EXPECT_EQ(fade.ToTarget(0, 150).y, 60);
}

} // namespace
} // namespace qx
