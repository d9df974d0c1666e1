#include "VmoLib2/3DEngine/qxMaskGenerator.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

TEST(MaskGenerator, ReadsItsNameAndWritesItBack) {
  const TMaskGenerator mask("PresetedMask: 64:32:1:12.5:40");
  EXPECT_EQ(mask.Width(), 64);
  EXPECT_EQ(mask.Height(), 32);
  EXPECT_EQ(mask.Shape(), 1);
  EXPECT_DOUBLE_EQ(mask.Soft(), 12.5);
  EXPECT_DOUBLE_EQ(mask.Radius(), 40);
  EXPECT_EQ(mask.Key(), "PresetedMask: 64:32:1:12.5:40");
  // Fields that are no numbers, and missing ones, count as 0.
  const TMaskGenerator odd("PresetedMask: 64:x:1.5:soft");
  EXPECT_EQ(odd.Height(), 0);
  EXPECT_EQ(odd.Shape(), 0);
  EXPECT_EQ(odd.Soft(), 0);
  EXPECT_EQ(odd.Radius(), 0);
  EXPECT_EQ(odd.Key(), "PresetedMask: 64:0:0:0:0");
}

TEST(MaskGenerator, TheEllipseTouchesAllFourSidesWithAnSoftBand) {
  const TMaskGenerator mask(101, 51, TMaskGenerator::kEllipse, 20, 0);
  // m = 25, soft band 5 pixels inside the edge at distance cx = 50.
  EXPECT_EQ(mask.Level(50, 25), 255);
  EXPECT_EQ(mask.Level(0, 25), 255 - std::lround(255 * EaseInOut(1.0)));
  // At the top the distance is scaled by the aspect: 25 x 101 / 51 = 49.5.
  EXPECT_EQ(mask.Level(50, 0), 255 - std::lround(255 * EaseInOut((5 + 49.5 - 50) / 5.0)));
  EXPECT_EQ(mask.Level(3, 25), 255 - std::lround(255 * EaseInOut((5 + 47 - 50) / 5.0)));
  EXPECT_EQ(mask.Level(0, 0), 0);
  EXPECT_EQ(mask.Level(95, 25), 255);
}

TEST(MaskGenerator, TheRoundedRectangleHasRoundCornersAndSoftSides) {
  const TMaskGenerator mask(100, 60, TMaskGenerator::kRoundedRectangle, 50, 40);
  // m = 30, radius 12, soft band 7.
  EXPECT_EQ(mask.Level(50, 30), 255);
  EXPECT_EQ(mask.Level(0, 0), 0) << "the corner is cut round";
  EXPECT_EQ(mask.Level(12, 12), 255);
  EXPECT_EQ(mask.Level(50, 0), 255 - std::lround(255 * EaseInOut((7 + 29.5 - 29.5) / 7)));
  EXPECT_EQ(mask.Level(50, 3), 255 - std::lround(255 * EaseInOut((7 + 26.5 - 29.5) / 7)));
  EXPECT_EQ(mask.Level(50, 20), 255);
}

TEST(MaskGenerator, GeneratesRowByRowUntilAborted) {
  const TMaskGenerator mask(40, 20, TMaskGenerator::kEllipse, 10, 0);
  int rows = 0;
  const auto picture = mask.Generate([&](int) { return ++rows == 5; });
  EXPECT_EQ(picture, nullptr);
  EXPECT_EQ(rows, 5);
  const auto whole = mask.Generate();
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->Format(), TPixelFormat::Gray8);
  EXPECT_EQ(whole->Scanline(10)[20], mask.Level(20, 10));
  EXPECT_EQ(TMaskGenerator(0, 20, 1, 0, 0).Generate(), nullptr);
  EXPECT_EQ(TMaskGenerator(40, TMaskGenerator::kMaxSide + 1, 1, 0, 0).Generate(), nullptr);
  EXPECT_THROW(TMaskGenerator(40, 20, 2, 0, 0).Generate(), EAssertionFailed);
}

} // namespace
} // namespace qx
