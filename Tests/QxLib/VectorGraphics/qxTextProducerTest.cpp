#include "QxLib/VectorGraphics/qxTextProducer.h"

#include "Tests/QxLib/VectorGraphics/qxTestFont.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TestFonts;
using test::TestLine;
using test::TestMetrics;

// Three lines: 1800, 300 and 600 layout units wide.
TCachedVectorText ThreeLines() {
  return {TestFonts(), TestMetrics(), {TestLine({2, 2, 2}), TestLine({1}), TestLine({2})}};
}

// A line height of 100 pixels: 0.1 pixel per layout unit.
TTextParams Params(TTextAlign align, float spacing = 0) {
  TTextParams params;
  params.Align = align;
  params.LineSpacing = spacing;
  params.FontSize = 100;
  params.Color = {0, 0, 255, 255};
  return params;
}

int FirstInkedColumn(const TBitmap& bitmap, int y) {
  for (int x = 0; x < bitmap.Width(); ++x)
    if (bitmap.GetPixel(x, y).a > 127)
      return x;
  return -1;
}

TEST(TextProducer, AlignsEachLineWithinTheWidestLine) {
  const TCachedVectorText text = ThreeLines();
  const TTextPlacement left = PlaceText(text, Params(TTextAlign::Left));
  EXPECT_EQ(left.TextWidth, 180);
  EXPECT_EQ(left.BitmapWidth, 182);
  EXPECT_EQ(left.BitmapHeight, 302);
  EXPECT_DOUBLE_EQ(left.Lines[1].OriginX, 1);

  const TTextPlacement centre = PlaceText(text, Params(TTextAlign::Center));
  EXPECT_DOUBLE_EQ(centre.Lines[0].OriginX, 1);
  EXPECT_DOUBLE_EQ(centre.Lines[1].OriginX, 1 + 90 - 15);
  EXPECT_DOUBLE_EQ(centre.Lines[2].OriginX, 1 + 90 - 30);

  const TTextPlacement right = PlaceText(text, Params(TTextAlign::Right));
  EXPECT_DOUBLE_EQ(right.Lines[1].OriginX, 1 + 150);
  EXPECT_DOUBLE_EQ(right.Lines[2].OriginX, 1 + 120);

  // The ink lands there: glyphs start 5 pixels after their origin.
  const TBitmap bitmap = ProduceTextBitmap(text, Params(TTextAlign::Right));
  EXPECT_EQ(FirstInkedColumn(bitmap, 81 - 35), 6);
  EXPECT_EQ(FirstInkedColumn(bitmap, 181 - 35), 156);
  EXPECT_EQ(FirstInkedColumn(bitmap, 281 - 35), 126);
}

TEST(TextProducer, LineSpacingSetsTheBaselines) {
  const TCachedVectorText text = ThreeLines();
  const TTextPlacement tight = PlaceText(text, Params(TTextAlign::Left, 0));
  EXPECT_DOUBLE_EQ(tight.Lines[0].Baseline, 81);
  EXPECT_DOUBLE_EQ(tight.Lines[1].Baseline, 181);
  EXPECT_DOUBLE_EQ(tight.Lines[2].Baseline, 281);

  // 100 puts baselines one and a half line heights apart.
  const TTextPlacement wide = PlaceText(text, Params(TTextAlign::Left, 100));
  EXPECT_DOUBLE_EQ(wide.Lines[1].Baseline - wide.Lines[0].Baseline, 150);
  EXPECT_DOUBLE_EQ(wide.Lines[2].Baseline - wide.Lines[1].Baseline, 150);
  EXPECT_DOUBLE_EQ(wide.TextHeight, 400);
  EXPECT_EQ(wide.BitmapHeight, 402);

  // Ink of the second line sits on its baseline.
  const TBitmap bitmap = ProduceTextBitmap(text, Params(TTextAlign::Left, 100));
  EXPECT_EQ(bitmap.GetPixel(10, 230).a, 255);
  EXPECT_EQ(bitmap.GetPixel(10, 231).a, 0);
  EXPECT_EQ(bitmap.GetPixel(10, 161).a, 255);
  EXPECT_EQ(bitmap.GetPixel(10, 160).a, 0);
}

TEST(TextProducer, AnEmptyLineStillTakesItsHeight) {
  const TCachedVectorText text(TestFonts(), TestMetrics(), {TestLine({2}), {}, TestLine({2})});
  const TTextPlacement placement = PlaceText(text, Params(TTextAlign::Left));
  EXPECT_DOUBLE_EQ(placement.Lines[2].Baseline - placement.Lines[0].Baseline, 200);
  EXPECT_EQ(placement.Lines[1].Width, 0);
}

TEST(TextProducer, UnderlineAndStrikeOutSitWhereTheFontSays) {
  const TCachedVectorText text(TestFonts(), TestMetrics(), {TestLine({1, 1})});
  TTextParams params = Params(TTextAlign::Left);
  params.Style = kStyleUnderline | kStyleStrikeOut;
  const TTextPlacement placement = PlaceText(text, params);
  // Underline: 5 pixels centred 10 below the baseline (81).
  const auto [uTop, uBottom] = BarBand(placement.Lines[0], placement.ScaleY, -100, 50);
  EXPECT_DOUBLE_EQ(uTop, 88.5);
  EXPECT_DOUBLE_EQ(uBottom, 93.5);
  const auto [sTop, sBottom] = BarBand(placement.Lines[0], placement.ScaleY, 300, 50);
  EXPECT_DOUBLE_EQ(sTop, 48.5);
  EXPECT_DOUBLE_EQ(sBottom, 53.5);

  const TBitmap bitmap = ProduceTextBitmap(text, params);
  // Between the two glyphs (x 26 … 35) only the bars are inked.
  const int x = 30;
  EXPECT_EQ(bitmap.GetPixel(x, 87).a, 0);
  EXPECT_NEAR(bitmap.GetPixel(x, 88).a, 127, 1);
  EXPECT_EQ(bitmap.GetPixel(x, 90).a, 255);
  EXPECT_NEAR(bitmap.GetPixel(x, 93).a, 127, 1);
  EXPECT_EQ(bitmap.GetPixel(x, 94).a, 0);
  EXPECT_NEAR(bitmap.GetPixel(x, 48).a, 127, 1);
  EXPECT_EQ(bitmap.GetPixel(x, 50).a, 255);
  EXPECT_EQ(bitmap.GetPixel(x, 54).a, 0);
  EXPECT_EQ(bitmap.GetPixel(x, 70).a, 0);
  // The bars span the line's advance (60 pixels) and no more.
  EXPECT_EQ(bitmap.GetPixel(60, 90).a, 255);
  EXPECT_EQ(bitmap.GetPixel(61, 90).a, 0);
}

TEST(TextProducer, BitmapIsInTheTextColourWithCoverageAsAlpha) {
  const TCachedVectorText text(TestFonts(), TestMetrics(), {TestLine({0})});
  const TBitmap bitmap = ProduceTextBitmap(text, Params(TTextAlign::Left));
  EXPECT_EQ(bitmap.GetPixel(10, 40), (TBgra{0, 0, 255, 255}));
  // The glyph's hole and the space around keep the colour, transparent.
  EXPECT_EQ(bitmap.GetPixel(30, 40), (TBgra{0, 0, 255, 0}));
  EXPECT_EQ(bitmap.GetPixel(0, 0), (TBgra{0, 0, 255, 0}));
}

TEST(TextProducer, BackgroundColourFillsTheRest) {
  const TCachedVectorText text(TestFonts(), TestMetrics(), {TestLine({1})});
  TTextParams params = Params(TTextAlign::Left);
  params.Background = TBgra{0, 255, 0, 255};
  const TBitmap bitmap = ProduceTextBitmap(text, params);
  EXPECT_EQ(bitmap.GetPixel(0, 0), (TBgra{0, 255, 0, 255}));
  EXPECT_EQ(bitmap.GetPixel(10, 40), (TBgra{0, 0, 255, 255}));
}

TEST(TextProducer, CancelReturnsWhatIsDone) {
  const TCachedVectorText text = ThreeLines();
  int polls = 0;
  const TBitmap bitmap = ProduceTextBitmap(text, Params(TTextAlign::Left), [&polls] { return ++polls >= 1; });
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(bitmap.GetPixel(10, 60).a, 255) << "the first line is drawn";
  EXPECT_EQ(bitmap.GetPixel(10, 160).a, 0) << "the second is not";
}

TEST(TextProducer, OversizedTextsAreRefusedBeforeAllocating) {
  std::vector<uint16_t> many(20000, 2);
  const TCachedVectorText text(TestFonts(), TestMetrics(), {TestLine(many)});
  TTextParams params = Params(TTextAlign::Left);
  params.FontSize = 200;
  EXPECT_THROW(ProduceTextBitmap(text, params), EPictureTooLarge);
}

} // namespace
} // namespace qx
