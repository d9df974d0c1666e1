#include "VmoLib2/qxShadow.h"

#include "VmoLib2/qxShadowBlur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace qx {
namespace {

// A Gray8 mask of width x height holding a filled rectangle of 255.
TBitmap RectangleMask(int width, int height, int left, int top, int rectWidth, int rectHeight) {
  TBitmap mask(width, height, TPixelFormat::Gray8);
  mask.CropView(left, top, rectWidth, rectHeight).Fill(TBgra{255, 255, 255, 255});
  return mask;
}

int64_t MaskSum(const TBitmap& mask) {
  int64_t sum = 0;
  for (int y = 0; y < mask.Height(); ++y)
    for (int x = 0; x < mask.Width(); ++x)
      sum += mask.Scanline(y)[x];
  return sum;
}

uint8_t At(const TBitmap& mask, int x, int y) { return mask.Scanline(y)[x]; }

TBitmap BlurWithPreset(const TBitmap& source, double size, int preset) {
  TDropShadow shadow;
  shadow.SetSize(size);
  shadow.Curve().SetPresetIndex(preset);
  shadow.Execute(source);
  return shadow.Mask().Clone();
}

TEST(ShadowBlur, BSplineWeightsFormAPartitionOfUnity) {
  EXPECT_DOUBLE_EQ(CubicBSpline(0), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(CubicBSpline(1), 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(CubicBSpline(-1.5), 0.5 * 0.5 * 0.5 / 6);
  EXPECT_EQ(CubicBSpline(2), 0);
  EXPECT_EQ(CubicBSpline(-7), 0);
  for (const double offset : {0.0, 0.25, 0.5, 0.9}) {
    double sum = 0;
    for (int k = -3; k <= 3; ++k)
      sum += CubicBSpline(k + offset);
    EXPECT_NEAR(sum, 1.0, 1e-12) << offset;
  }
}

TEST(ShadowBlur, ResamplingKeepsFlatMasksFlatAndAlignsTheEnds) {
  TBitmap flat(9, 7, TPixelFormat::Gray8);
  flat.Fill(TBgra{200, 200, 200, 255});
  for (const uint16_t v : ResampleMask(flat, 3, 4))
    ASSERT_EQ(v, 200 * 257);
  for (const uint16_t v : ResampleMask(flat, 40, 30))
    ASSERT_EQ(v, 200 * 257);

  // First and last pixels line up, and taps beyond an edge reflect about the
  // edge pixel: the end of a two-pixel step gets 1/6 of the other side from
  // each neighbour.
  TBitmap step(2, 2, TPixelFormat::Gray8);
  step.Scanline(0)[1] = step.Scanline(1)[1] = 255;
  const std::vector<uint16_t> wide = ResampleMask(step, 11, 2);
  EXPECT_EQ(wide[0], 85 * 257);
  EXPECT_EQ(wide[10], 170 * 257);
  for (int i = 0; i <= 10; ++i)
    EXPECT_NEAR(wide[static_cast<size_t>(i)] + wide[static_cast<size_t>(10 - i)], 65535, 1) << i;
}

TEST(ShadowBlur, TransferTableOfTheIdentityCurveIsLinearIncludingTheTop) {
  TCurvesData identity;
  const TTransferTable table = BuildTransferTable(identity.Table());
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[kTransferTableSize - 1], 255);
  for (int i = 0; i < kTransferTableSize; ++i)
    ASSERT_NEAR(table[static_cast<size_t>(i)], i * 255.0 / 4095, 1.0) << i;
  EXPECT_EQ(TransferIndex(0), 0);
  EXPECT_EQ(TransferIndex(65535), 4095);
  EXPECT_EQ(TransferIndex(8), 0);
  EXPECT_EQ(TransferIndex(9), 1);

  TCurvesData inverted;
  inverted.SetPresetIndex(2);
  const TTransferTable inv = BuildTransferTable(inverted.Table());
  EXPECT_EQ(inv[0], 255);
  EXPECT_EQ(inv[4095], 255);
  EXPECT_LE(inv[2048], 2);
}

TEST(DropShadow, SizeZeroStillBlursWithSigmaOneAndBorderThree) {
  TDropShadow shadow;
  shadow.SetSize(0);
  EXPECT_EQ(shadow.Sigma(), 1);
  EXPECT_EQ(shadow.Border(), 3);
  shadow.Execute(RectangleMask(10, 8, 0, 0, 10, 8));
  EXPECT_EQ(shadow.Mask().Width(), 16);
  EXPECT_EQ(shadow.Mask().Height(), 14);
  EXPECT_EQ(shadow.SmallMask().Width(), 17);
  EXPECT_EQ(shadow.SmallMask().Height(), 15);
  // The edge is softened: neither a hard step nor erased.
  EXPECT_EQ(At(shadow.Mask(), 0, 7), 0);
  EXPECT_GT(At(shadow.Mask(), 8, 7), 200);
  EXPECT_GT(At(shadow.Mask(), 3, 7), 40);
  EXPECT_LT(At(shadow.Mask(), 3, 7), 215);
}

TEST(DropShadow, NonPositiveSigmaBecomesOne) {
  TDropShadow shadow;
  for (const double sigma : {0.0, -3.0, std::nan("")}) {
    shadow.SetSigma(sigma);
    EXPECT_EQ(shadow.Sigma(), 1);
  }
  shadow.SetSize(4);
  EXPECT_EQ(shadow.Sigma(), 5);
  EXPECT_EQ(shadow.Border(), 13);
}

TEST(DropShadow, SigmaBelowOneNeverEnlargesTheSmallMask) {
  TDropShadow shadow;
  shadow.SetSigma(1.0 / 16);
  EXPECT_EQ(shadow.Border(), 1);
  shadow.Execute(RectangleMask(300, 200, 50, 50, 200, 100));
  EXPECT_EQ(shadow.SmallMask().Width(), 303);
  EXPECT_EQ(shadow.SmallMask().Height(), 203);
  EXPECT_EQ(At(shadow.Mask(), 150, 100), 255);
  EXPECT_EQ(At(shadow.Mask(), 10, 10), 0);
}

TEST(DropShadow, BlurConservesEnergyAndSymmetry) {
  for (const double size : {0.0, 2.0, 5.5}) {
    SCOPED_TRACE(size);
    TDropShadow shadow;
    shadow.SetSize(size);
    const TBitmap source = RectangleMask(31, 31, 10, 10, 11, 11);
    shadow.Execute(source);
    const TBitmap& mask = shadow.Mask();
    ASSERT_EQ(mask.Width(), mask.Height());
    const int last = mask.Width() - 1;
    for (int y = 0; y <= last; ++y) {
      for (int x = 0; x <= last; ++x) {
        ASSERT_EQ(At(mask, x, y), At(mask, last - x, y)) << x << "," << y;
        ASSERT_EQ(At(mask, x, y), At(mask, x, last - y)) << x << "," << y;
        ASSERT_EQ(At(mask, x, y), At(mask, y, x)) << x << "," << y;
      }
    }
    const double in = static_cast<double>(MaskSum(source));
    EXPECT_NEAR(static_cast<double>(MaskSum(mask)), in, in * 0.05);
    // The peak stays in the middle and nothing is left at the corners.
    EXPECT_EQ(At(mask, 0, 0), 0);
    EXPECT_GE(At(mask, last / 2, last / 2), At(mask, last / 2 - 3, last / 2));
  }
}

TEST(DropShadow, LinearContourLeavesTheMaskUnchanged) {
  const TBitmap source = RectangleMask(60, 40, 10, 10, 40, 20);
  const TBitmap linear = BlurWithPreset(source, 3, kLinearContourPreset);
  // No contour at all goes through the transfer table of the identity curve,
  // which must agree with the untouched mask, the opaque middle included.
  const TBitmap none = BlurWithPreset(source, 3, kNoContourPreset);
  ASSERT_TRUE(linear.Width() == none.Width() && linear.Height() == none.Height());
  for (int y = 0; y < linear.Height(); ++y)
    for (int x = 0; x < linear.Width(); ++x)
      ASSERT_LE(std::abs(At(linear, x, y) - At(none, x, y)), 1) << x << "," << y;
  EXPECT_EQ(At(linear, linear.Width() / 2, linear.Height() / 2), 255);
  EXPECT_EQ(At(none, none.Width() / 2, none.Height() / 2), 255);
}

TEST(DropShadow, ContourReshapesTheBlurredMask) {
  const TBitmap source = RectangleMask(80, 80, 20, 20, 40, 40);
  const TBitmap plain = BlurWithPreset(source, 4, kLinearContourPreset);
  const TBitmap cone = BlurWithPreset(source, 4, 1);
  const int middle = cone.Width() / 2;
  // The opaque middle maps through table[255] = 0; the soft edge peaks.
  EXPECT_EQ(At(plain, middle, middle), 255);
  EXPECT_LE(At(cone, middle, middle), 1);
  EXPECT_LE(At(cone, 0, 0), 1);
  int peak = 0;
  for (int x = 0; x < cone.Width(); ++x)
    peak = std::max<int>(peak, At(cone, x, middle));
  EXPECT_GE(peak, 245);
}

TEST(DropShadow, TakesAlphaOfColourPicturesAndOpaqueMasksOfOthers) {
  TBitmap withAlpha(12, 12, TPixelFormat::Bgra32);
  withAlpha.Fill(TBgra{9, 9, 9, 0});
  withAlpha.CropView(3, 3, 6, 6).Fill(TBgra{1, 2, 3, 255});
  TBitmap opaque(6, 6, TPixelFormat::Bgr24);
  opaque.Fill(TBgra{7, 7, 7, 255});

  const TBitmap fromAlpha = BlurWithPreset(withAlpha, 1, 0);
  const TBitmap fromMask = BlurWithPreset(RectangleMask(12, 12, 3, 3, 6, 6), 1, 0);
  EXPECT_TRUE(fromAlpha.SamePixels(fromMask));
  const TBitmap fromOpaque = BlurWithPreset(opaque, 1, 0);
  EXPECT_TRUE(fromOpaque.SamePixels(BlurWithPreset(RectangleMask(6, 6, 0, 0, 6, 6), 1, 0)));
}

TEST(DropShadow, RefusesEmptyAndOversizedSources) {
  TDropShadow shadow;
  try {
    shadow.Execute(TBitmap());
    FAIL() << "no exception";
  } catch (const EQxError& error) {
    EXPECT_STREQ(error.what(), "Source bitmap too small");
  }
  shadow.SetSigma(1e9);
  EXPECT_THROW(shadow.Execute(RectangleMask(4, 4, 0, 0, 4, 4)), EPictureTooLarge);
  shadow.SetSigma(std::numeric_limits<double>::infinity());
  EXPECT_THROW(shadow.Execute(RectangleMask(4, 4, 0, 0, 4, 4)), EPictureTooLarge);
}

TEST(ShadowProducer, ColoursTheMaskWithTheShadowColour) {
  TBitmap mask(4, 1, TPixelFormat::Gray8);
  const uint8_t values[] = {0, 1, 128, 255};
  for (int x = 0; x < 4; ++x)
    mask.Scanline(0)[x] = values[x];
  const TBitmap coloured = ColorizeMask(mask, TBgra{10, 20, 30, 200});
  ASSERT_EQ(coloured.Format(), TPixelFormat::Bgra32);
  const int alphas[] = {0, 0, 100, 200};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(coloured.GetPixel(x, 0), (TBgra{10, 20, 30, static_cast<uint8_t>(alphas[x])})) << x;
  }

  TShadowProducer producer;
  producer.SetColor(TBgra{0, 0, 255, 128});
  producer.Shadow().SetSize(2);
  const TBitmap picture = producer.Produce(RectangleMask(30, 30, 0, 0, 30, 30));
  EXPECT_EQ(picture.Width(), 30 + 2 * 8);
  EXPECT_EQ(picture.GetPixel(23, 23), (TBgra{0, 0, 255, 128}));
  EXPECT_EQ(picture.GetPixel(0, 0), (TBgra{0, 0, 255, 0}));
}

TEST(ShadowProducer, CancelStopsAtAnyPollWithEAbort) {
  const TBitmap source = RectangleMask(20, 10, 2, 2, 10, 5);
  int polls = 0;
  TShadowProducer producer;
  producer.SetCancelCallback([&polls] {
    ++polls;
    return false;
  });
  producer.Produce(source);
  // At least one poll per source row and per row of the coloured picture.
  ASSERT_GE(polls, 10 + 16);

  const int total = polls;
  for (const int stopAt : {1, 10, 11, total / 2, total}) {
    SCOPED_TRACE(stopAt);
    int count = 0;
    producer.SetCancelCallback([&count, stopAt] { return ++count == stopAt; });
    EXPECT_THROW(producer.Produce(source), EAbort);
    EXPECT_EQ(count, stopAt);
  }
}

} // namespace
} // namespace qx
