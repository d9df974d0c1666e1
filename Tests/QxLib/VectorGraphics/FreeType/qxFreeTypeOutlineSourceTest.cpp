#include "QxLib/VectorGraphics/FreeType/qxFreeTypeOutlineSource.h"

#include "QxLib/VectorGraphics/qxRasterizer.h"
#include "QxLib/VectorGraphics/qxSimpleVectorText.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace qx {
namespace {

constexpr float kSize = TSimpleVectorText::kReferenceSize;

TFreeTypeOutlineSource& Source() {
  static TFreeTypeOutlineSource source;
  return source;
}

TShapedText Shape(const std::string& line, const TFontRequest& font = {"DejaVu Sans"}) {
  TFontCache fonts;
  return Source().Shape(font, {line}, kSize, fonts);
}

TEST(FreeTypeOutlineSource, FindsTheFaceByNameAndStyle) {
  EXPECT_EQ(Source().FaceKey({"DejaVu Sans"}), "DejaVu Sans Book");
  EXPECT_EQ(Source().FaceKey({"DejaVu Sans", true, false}), "DejaVu Sans Bold");
  EXPECT_EQ(Source().FaceKey({"DejaVu Serif", true, true}), "DejaVu Serif Bold Italic");
  // A family without a bold face is made bold by the renderer.
  EXPECT_EQ(Source().FaceKey({"Lohit Devanagari", true, false}), "Lohit Devanagari Regular+Bold");
}

TEST(FreeTypeOutlineSource, AMissingFontFallsBackToAnInstalledOne) {
  TFontCache fonts;
  const TShapedText shaped = Source().Shape({"No Such Font Zq"}, {"Hello"}, kSize, fonts);
  ASSERT_EQ(shaped.Lines.size(), 1U);
  ASSERT_EQ(shaped.Lines[0].size(), 5U);
  EXPECT_NE(shaped.Lines[0][0].Index, 0) << "not the missing-glyph box";
  EXPECT_GT(shaped.Metrics.Ascent, 0);
}

TEST(FreeTypeOutlineSource, MetricsAndOutlinesComeUnhintedAtTheLayoutSize) {
  TFontCache fonts;
  const TShapedText shaped = Source().Shape({"DejaVu Sans"}, {"H"}, kSize, fonts);
  // DejaVu Sans: ascender 1901, descender -483 of 2048 units per em.
  EXPECT_EQ(shaped.Metrics.Ascent, std::lround(1901 * kSize / 2048));
  EXPECT_EQ(shaped.Metrics.Descent, std::lround(483 * kSize / 2048));
  EXPECT_LT(shaped.Metrics.UnderlinePosition, 0);
  EXPECT_GT(shaped.Metrics.StrikeOutPosition, 0);
  EXPECT_GT(shaped.Metrics.UnderlineThickness, 0);

  const TGlyphPointer& h = shaped.Lines[0][0];
  const std::shared_ptr<const TGlyphData> glyph = fonts.Find(h.FontName)->Find(h.Index);
  ASSERT_TRUE(glyph);
  EXPECT_EQ(glyph->ReferenceSize, kSize);
  EXPECT_EQ(glyph->Points.front().Kind, kPathMove);
  // "H" stands on the baseline; y points down.
  for (const TPathPoint& point : glyph->Points)
    EXPECT_LE(point.Y, 0.5f);
  EXPECT_GT(glyph->B, 0);
  EXPECT_EQ(glyph->InkDescent, 0);
  EXPECT_NEAR(glyph->InkAscent, 1493 * kSize / 2048, 1);
}

TEST(FreeTypeOutlineSource, LigaturesAndKerningAreApplied) {
  EXPECT_LT(Shape("fi").Lines[0].size(), 2U) << "the fi ligature";
  const TShapedText pair = Shape("AV");
  const TShapedText a = Shape("A");
  TFontCache fonts;
  const TShapedText measured = Source().Shape({"DejaVu Sans"}, {"A"}, kSize, fonts);
  const std::shared_ptr<const TGlyphData> glyph =
      fonts.Find(measured.Lines[0][0].FontName)->Find(measured.Lines[0][0].Index);
  const int32_t advanceA = glyph->A + glyph->B + glyph->C;
  EXPECT_LT(pair.Lines[0][1].X, advanceA) << "V is kerned towards A";
  EXPECT_EQ(a.Lines[0][0].X, 0);
}

TEST(FreeTypeOutlineSource, ArabicIsJoinedAndSetRightToLeft) {
  // "salaam": four letters that join.
  const TShapedText joined = Shape("\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85");
  const TGlyphLine& line = joined.Lines[0];
  ASSERT_GE(line.size(), 3U);
  for (size_t i = 1; i < line.size(); ++i)
    EXPECT_GT(line[i].X, line[i - 1].X) << "glyphs come left to right";
  // The first letter (seen) stands at the right end, in its initial form,
  // which differs from the letter set alone.
  const TShapedText alone = Shape("\xD8\xB3");
  EXPECT_NE(line.back().Index, alone.Lines[0][0].Index);
}

TEST(FreeTypeOutlineSource, MixedDirectionsKeepTheirOrder) {
  // Hebrew "shalom" between Latin words: the Latin runs stay in reading
  // order, the Hebrew letters run right to left in the middle.
  const TShapedText shaped = Shape("ab \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D cd");
  const TGlyphLine& line = shaped.Lines[0];
  ASSERT_EQ(line.size(), 10U);
  const TShapedText shin = Shape("\xD7\xA9");
  const TShapedText mem = Shape("\xD7\x9D");
  EXPECT_EQ(line[3].Index, mem.Lines[0][0].Index) << "the last Hebrew letter comes first";
  EXPECT_EQ(line[6].Index, shin.Lines[0][0].Index);
  EXPECT_EQ(line[0].Index, Shape("a").Lines[0][0].Index);
  EXPECT_EQ(line[9].Index, Shape("d").Lines[0][0].Index);
}

TEST(FreeTypeOutlineSource, CharactersTheFontLacksComeFromFallbackFonts) {
  TFontCache fonts;
  const TShapedText shaped =
      Source().Shape({"DejaVu Sans"}, {"A\xE4\xB8\xAD\xE6\x96\x87 \xE0\xA4\xB9\xE0\xA4\xBF"}, kSize, fonts);
  const TGlyphLine& line = shaped.Lines[0];
  std::vector<std::string> names;
  for (const TGlyphPointer& glyph : line)
    names.push_back(glyph.FontName);
  EXPECT_EQ(names.front(), "DejaVu Sans Book");
  EXPECT_NE(std::find(names.begin(), names.end(), "Droid Sans Fallback Regular"), names.end()) << "CJK";
  EXPECT_NE(std::find(names.begin(), names.end(), "Lohit Devanagari Regular"), names.end()) << "Devanagari";
  for (const TGlyphPointer& glyph : line) {
    EXPECT_NE(glyph.Index, 0) << glyph.FontName;
    EXPECT_TRUE(fonts.Find(glyph.FontName)->Contains(glyph.Index));
  }
}

TEST(FreeTypeOutlineSource, DevanagariVowelSignIsReordered) {
  // "hi": the vowel sign i is written after the consonant but drawn before
  // it.
  const TShapedText shaped = Shape("\xE0\xA4\xB9\xE0\xA4\xBF", {"Lohit Devanagari"});
  ASSERT_EQ(shaped.Lines[0].size(), 2U);
  const TShapedText ha = Shape("\xE0\xA4\xB9", {"Lohit Devanagari"});
  EXPECT_EQ(shaped.Lines[0][1].Index, ha.Lines[0][0].Index);
}

TEST(FreeTypeOutlineSource, EachGlyphIsVectorisedOnce) {
  TFontCache fonts;
  Source().Shape({"DejaVu Sans"}, {"abab", "ba"}, kSize, fonts);
  EXPECT_EQ(fonts.Find("DejaVu Sans Book")->Count(), 2U);
}

// --- Against FreeType's own anti-aliased renderer ---------------------------

struct TComparison {
  double MaxDifference = 0; // coverage, 0 … 1
  double MeanDifference = 0;
  int InkedPixels = 0;
};

// Draws each glyph of `text` at `pixels` per em with its origin at a
// fractional position, once through FreeType's renderer and once through
// the player's rasteriser from the outlines the outline source took, and
// compares the coverage pixel by pixel.
TComparison CompareWithFreeType(const std::string& fontFile, const std::string& text, int pixels) {
  FT_Library library = nullptr;
  FT_Init_FreeType(&library);
  FT_Face face = nullptr;
  EXPECT_EQ(FT_New_Face(library, fontFile.c_str(), 0, &face), 0);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  auto ours = std::make_unique<TFreeTypeFace>(library, TFontFile{fontFile, 0, false, false});

  constexpr int kSide = 160;
  const double originX = 20.375;
  const double originY = 120.625; // from the top
  TComparison result;
  double total = 0;
  for (const char c : text) {
    const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
    FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
    FT_Outline_Translate(&face->glyph->outline, std::lround(originX * 64), std::lround((kSide - originY) * 64));
    std::vector<uint8_t> theirs(kSide * kSide, 0);
    FT_Bitmap target{};
    target.rows = kSide;
    target.width = kSide;
    target.pitch = kSide;
    target.buffer = theirs.data();
    target.num_grays = 256;
    target.pixel_mode = FT_PIXEL_MODE_GRAY;
    FT_Outline_Get_Bitmap(library, &face->glyph->outline, &target);

    const TGlyphData glyph = ours->Glyph(static_cast<uint16_t>(index), static_cast<float>(pixels));
    TBitmap mine(kSide, kSide, TPixelFormat::Bgra32);
    TRasterHelper helper(mine);
    helper.SetColor({255, 255, 255, 255});
    helper.SetTransform([&](float x, float y) { return TFloatPoint{originX + x, originY + y}; });
    helper.FillPath(glyph.Points);

    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const double a = mine.GetPixel(x, y).a / 255.0;
        const double b = theirs[static_cast<size_t>(y * kSide + x)] / 255.0;
        if (a == 0 && b == 0)
          continue;
        ++result.InkedPixels;
        total += std::fabs(a - b);
        result.MaxDifference = std::max(result.MaxDifference, std::fabs(a - b));
      }
    }
  }
  result.MeanDifference = result.InkedPixels ? total / result.InkedPixels : 0;
  ours.reset();
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return result;
}

TEST(FreeTypeOutlineSource, RasteriserAgreesWithFreeTypesRenderer) {
  // TrueType quadratic outlines (DejaVu) at text and title sizes. The
  // measure: the largest and the mean absolute coverage difference over the
  // pixels either renderer inks. 16 x 16 sub-samples leave at most a few
  // sixteenths on edge pixels; the mean stays around one percent.
  const std::string sans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  const std::string serif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf";
  for (const auto& [file, pixels] : {std::pair{sans, 24}, std::pair{sans, 96}, std::pair{serif, 48}}) {
    const TComparison c = CompareWithFreeType(file, "Ag@%&8Qe", pixels);
    EXPECT_GT(c.InkedPixels, 100);
    EXPECT_LE(c.MaxDifference, 0.12) << file << " " << pixels;
    EXPECT_LE(c.MeanDifference, 0.015) << file << " " << pixels;
    std::printf("%s at %d px: max %.4f, mean %.4f over %d pixels\n", file.c_str(), pixels, c.MaxDifference,
                c.MeanDifference, c.InkedPixels);
  }
}

} // namespace
} // namespace qx
