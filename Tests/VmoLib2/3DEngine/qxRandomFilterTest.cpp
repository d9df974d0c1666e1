#include "VmoLib2/3DEngine/qxRandomFilter.h"

#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <bit>

namespace qx {
namespace {

TEffectParams Mosaic(int dx, int dy, int scale, int seed) {
  TEffectParams p;
  p.MosaicDX = dx;
  p.MosaicDY = dy;
  p.MosaicSC = scale;
  p.Seed = seed;
  return p;
}

std::unique_ptr<TRandomFilter> Made(const TEffectParams& params) {
  auto mosaic = std::make_unique<TRandomFilter>(1, 1, params);
  mosaic->Init({0, 0, 400, 300}, 0, 1000);
  return mosaic;
}

TEST(Mosaic, TheGeneratorIsTheLinearCongruentialOne) {
  uint32_t state = 0;
  const float first = NextMosaicRandom(state);
  EXPECT_EQ(state, 1013904223u);
  EXPECT_EQ(first, std::bit_cast<float>(0x3F800000u | (1013904223u & 0x7FFFFFu)) - 1.0f);
  EXPECT_EQ(NextMosaicRandom(state),
            std::bit_cast<float>(0x3F800000u | ((1013904223u * 1664525u + 1013904223u) & 0x7FFFFFu)) - 1.0f);
}

TEST(Mosaic, TheSameSeedGivesTheSameOrder) {
  const auto a = Made(Mosaic(8, 6, 1000, 77));
  const auto b = Made(Mosaic(8, 6, 1000, 77));
  const auto c = Made(Mosaic(8, 6, 1000, 78));
  EXPECT_EQ(a->Thresholds(), b->Thresholds());
  EXPECT_NE(a->Thresholds(), c->Thresholds());
  ASSERT_EQ(a->Thresholds().size(), 48u);
  for (const int32_t t : a->Thresholds()) {
    EXPECT_GE(t, 0);
    EXPECT_LT(t, 100000);
  }
  // Scales of 100 and more are 1000; below they are used as they are.
  EXPECT_EQ(Made(Mosaic(2, 2, 100, 1))->Scale(), 1000);
  EXPECT_EQ(Made(Mosaic(2, 2, 30, 1))->Scale(), 30);
}

TEST(Mosaic, CellsFadeInOverTheirOwnStepsAndAboutHalfShowHalfWay) {
  const auto mosaic = Made(Mosaic(16, 12, 1000, 4242));
  EXPECT_EQ(mosaic->Step(), -256);
  for (int i = 0; i < 192; ++i) {
    EXPECT_EQ(mosaic->CellAlpha(i), 0);
  }
  mosaic->SetProgress(500);
  EXPECT_EQ(mosaic->Step(), 50128 - 256);
  int shown = 0;
  for (int i = 0; i < 192; ++i) {
    const int64_t d = mosaic->Thresholds()[static_cast<size_t>(i)] - mosaic->Step();
    const int alpha = mosaic->CellAlpha(i);
    EXPECT_EQ(alpha, d < 0 ? 255 : d < 255 ? 255 - d : 0) << i;
    shown += alpha == 255;
  }
  EXPECT_GT(shown, 192 * 4 / 10);
  EXPECT_LT(shown, 192 * 6 / 10);
  mosaic->SetProgress(1000);
  for (int i = 0; i < 192; ++i) {
    EXPECT_EQ(mosaic->CellAlpha(i), 255);
  }
}

TEST(Mosaic, DrawsEachShownCellAsItsRectangle) {
  const auto mosaic = Made(Mosaic(4, 3, 0, 1));
  // Scale 0: every cell fades in together.
  mosaic->SetProgress(500);
  test::TRecordingController controller;
  mosaic->Draw(controller);
  EXPECT_EQ(controller.triangles.size(), 24u);
  EXPECT_NEAR(controller.AlphaAt(50, 50), 127 / 255.0, 1e-9);
  EXPECT_NEAR(controller.AlphaAt(399, 299), 127 / 255.0, 1e-9);
}

TEST(Mosaic, OddCellCountsAreKeptWithinBounds) {
  EXPECT_EQ(Made(Mosaic(0, -5, 50, 1))->Columns(), 1);
  EXPECT_EQ(Made(Mosaic(0, -5, 50, 1))->Rows(), 1);
  const auto huge = Made(Mosaic(2000000000, 2000000000, -3, 1));
  EXPECT_EQ(huge->Columns(), TRandomFilter::kMaxCellsPerSide);
  EXPECT_EQ(huge->Thresholds().size(), 256u * 256u);
  EXPECT_EQ(huge->Scale(), 0);
}

} // namespace
} // namespace qx
