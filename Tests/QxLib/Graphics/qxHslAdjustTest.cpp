#include "QxLib/Graphics/qxHslAdjust.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qx {
namespace {

TEST(HslAdjust, ColoursSurviveTheRoundTrip) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 5) {
        const THsl hsl = RgbToHsl(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
        ASSERT_EQ(HslToRgb(hsl, 200), (TBgra{static_cast<uint8_t>(b), static_cast<uint8_t>(g),
                                             static_cast<uint8_t>(r), 200}))
            << r << "," << g << "," << b;
      }
}

TEST(HslAdjust, HueRunsInSextantsOfAFullTurnOf255) {
  EXPECT_DOUBLE_EQ(RgbToHsl(255, 0, 0).H, 0);
  EXPECT_DOUBLE_EQ(RgbToHsl(255, 255, 0).H, 42.5);
  EXPECT_DOUBLE_EQ(RgbToHsl(0, 255, 0).H, 85);
  EXPECT_DOUBLE_EQ(RgbToHsl(0, 0, 255).H, 170);
  EXPECT_DOUBLE_EQ(RgbToHsl(255, 0, 255).H, 212.5);
  const THsl grey = RgbToHsl(90, 90, 90);
  EXPECT_EQ(grey.S, 0);
  EXPECT_EQ(grey.L, 90);
}

TEST(HslAdjust, GreyStaysGreyWhenSaturationIsNotRaised) {
  for (const int hue : {0, 45, 120, 180, -270, 719}) {
    for (const int lightness : {0, 20, -35}) {
      for (const uint8_t level : {0, 1, 64, 128, 200, 255}) {
        const TBgra out = AdjustPixel({level, level, level, 77}, {hue, 0, lightness});
        EXPECT_EQ(out.r, out.g) << hue << " " << lightness << " " << int(level);
        EXPECT_EQ(out.g, out.b);
        EXPECT_EQ(out.a, 77) << "alpha is kept";
      }
    }
  }
  // Lowering the saturation of a grey pixel keeps it grey too.
  const TBgra lowered = AdjustPixel({100, 100, 100, 255}, {30, -50, 0});
  EXPECT_EQ(lowered, (TBgra{100, 100, 100, 255}));
}

TEST(HslAdjust, HueShiftTurnsColoursAndLightnessClamps) {
  // 120 degrees is 85.33 on the 0 ... 255 turn: red goes to (almost) green.
  const TBgra green = AdjustPixel({0, 0, 255, 255}, {120, 0, 0});
  EXPECT_EQ(green.r, 0);
  EXPECT_EQ(green.g, 255);
  EXPECT_LE(green.b, 3);
  // A full turn and more wraps.
  const TBgra wrapped = AdjustPixel({0, 0, 255, 255}, {360 * 3, 0, 0});
  EXPECT_GE(wrapped.r, 250);
  EXPECT_EQ(AdjustPixel({10, 200, 30, 255}, {0, 0, 100}), (TBgra{255, 255, 255, 255}));
  EXPECT_EQ(AdjustPixel({10, 200, 30, 255}, {0, 0, -100}), (TBgra{0, 0, 0, 255}));
  // Full desaturation leaves the lightness.
  const TBgra grey = AdjustPixel({0, 0, 255, 255}, {0, -100, 0});
  EXPECT_EQ(grey.r, grey.g);
  EXPECT_EQ(grey.r, 128);
}

TEST(HslAdjust, BitmapWithoutAmountsIsUntouched) {
  TBitmap bitmap(3, 2, TPixelFormat::Bgra32);
  bitmap.SetPixel(0, 0, {1, 2, 3, 4});
  bitmap.SetPixel(2, 1, {200, 100, 50, 255});
  const TBitmap before = bitmap.Clone();
  AdjustHsl(bitmap, {});
  EXPECT_TRUE(bitmap.SamePixels(before));
  AdjustHsl(bitmap, {180, 0, 0});
  EXPECT_FALSE(bitmap.SamePixels(before));
  EXPECT_EQ(bitmap.GetPixel(0, 0).a, 4);
  EXPECT_EQ(bitmap.GetPixel(1, 0), before.GetPixel(1, 0)) << "transparent black stays";
  TBitmap rgb(1, 1, TPixelFormat::Bgr24);
  EXPECT_THROW(AdjustHsl(rgb, {10, 0, 0}), EAssertionFailed);
}

} // namespace
} // namespace qx
