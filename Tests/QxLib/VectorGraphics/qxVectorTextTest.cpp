#include "QxLib/VectorGraphics/qxVectorText.h"

#include "QxLib/VectorGraphics/qxPackedBytes.h"
#include "Tests/QxLib/VectorGraphics/qxTestFont.h"

#include <gtest/gtest.h>

#include <set>

namespace qx {
namespace {

using test::TestFonts;
using test::TestGlyph;
using test::TestLine;
using test::TestMetrics;

std::string Message(const std::function<void()>& action) {
  try {
    action();
  } catch (const EQxError& error) {
    return error.what();
  }
  return "(no error)";
}

void PutInt32(std::string& bytes, size_t at, int32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i) & 0xFF);
}

TEST(GlyphCache, ReadsBackWhatItWrites) {
  TGlyphCache cache("Demo Sans Bold");
  cache.Add(TestGlyph(0));
  cache.Add(TestGlyph(7));
  TGlyphData curvy = TestGlyph(3);
  curvy.Points.push_back({1, 2, kPathQuadratic});
  curvy.Points.push_back({3, 4, kPathQuadratic});
  curvy.Points.push_back({5, 6, kPathCubic});
  curvy.Points.push_back({7, 8, kPathCubic});
  curvy.Points.push_back({9, 10, kPathCubic});
  cache.Add(curvy);

  const std::shared_ptr<TGlyphCache> read = TGlyphCache::Read(cache.Write());
  EXPECT_EQ(read->FontName(), "Demo Sans Bold");
  ASSERT_EQ(read->Count(), 3U);
  EXPECT_EQ(*read->Find(0), TestGlyph(0));
  EXPECT_EQ(*read->Find(3), curvy);
  EXPECT_EQ(read->Find(4), nullptr);
  EXPECT_EQ(read->Write(), cache.Write());
}

TEST(GlyphCache, EveryTruncationIsRefusedWithTheEntryKind) {
  TGlyphCache cache("F");
  cache.Add(TestGlyph(0));
  cache.Add(TestGlyph(1));
  const std::string bytes = cache.Write();
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::string message = Message([&] { TGlyphCache::Read(std::string_view(bytes).substr(0, size)); });
    EXPECT_EQ(message.rfind("VectTextCache: ", 0), 0U) << size << ": " << message;
  }
}

TEST(GlyphCache, AbsurdCountsAreRefusedBeforeAllocating) {
  TGlyphCache cache("F");
  cache.Add(TestGlyph(1));
  const std::string good = cache.Write();

  std::string glyphs = good;
  PutInt32(glyphs, 0, 0x7FFFFFFF);
  EXPECT_NE(Message([&] { TGlyphCache::Read(glyphs); }).find("glyph count 2147483647 out of range"), std::string::npos);
  PutInt32(glyphs, 0, 60000);
  EXPECT_NE(Message([&] { TGlyphCache::Read(glyphs); }).find("exceeds the entry"), std::string::npos);
  PutInt32(glyphs, 0, -1);
  EXPECT_NE(Message([&] { TGlyphCache::Read(glyphs); }).find("out of range"), std::string::npos);

  std::string name = good;
  PutInt32(name, 4, 1 << 30);
  EXPECT_NE(Message([&] { TGlyphCache::Read(name); }).find("font name length"), std::string::npos);

  // The point count sits after the name (1 unit) and the 30-byte record.
  std::string points = good;
  const size_t pointCountAt = 4 + 4 + 2 + 2 + 5 * 4 + 4;
  PutInt32(points, pointCountAt, 900000);
  EXPECT_NE(Message([&] { TGlyphCache::Read(points); }).find("point count 900000 exceeds the entry"),
            std::string::npos);
  PutInt32(points, pointCountAt, 0x7FFFFFFF);
  EXPECT_NE(Message([&] { TGlyphCache::Read(points); }).find("out of range"), std::string::npos);
}

TEST(GlyphCache, BadOutlinesAreRefused) {
  TGlyphCache cache("F");
  TGlyphData glyph = TestGlyph(2);
  glyph.Points[1].Kind = 9;
  cache.Add(glyph);
  EXPECT_NE(Message([&] { TGlyphCache::Read(cache.Write()); }).find("point of kind 9"), std::string::npos);

  TGlyphCache noStart("F");
  glyph = TestGlyph(2);
  glyph.Points[0].Kind = kPathLine;
  noStart.Add(glyph);
  EXPECT_NE(Message([&] { TGlyphCache::Read(noStart.Write()); }).find("contour start"), std::string::npos);

  TGlyphCache zeroSize("F");
  glyph = TestGlyph(2);
  glyph.ReferenceSize = 0;
  zeroSize.Add(glyph);
  EXPECT_NE(Message([&] { TGlyphCache::Read(zeroSize.Write()); }).find("reference size"), std::string::npos);
}

TEST(FontCache, PackedGlyphsMergeWithRunTimeOnes) {
  TFontCache fonts;
  fonts.Acquire("F")->Add(TestGlyph(1));
  EXPECT_FALSE(fonts.PackedLookedUp("F"));
  TGlyphCache packed("F");
  packed.Add(TestGlyph(2));
  fonts.AddPacked("F", packed);
  EXPECT_TRUE(fonts.PackedLookedUp("F"));
  EXPECT_EQ(fonts.Find("F")->Count(), 2U);
  fonts.MarkPackedMissing("G");
  EXPECT_TRUE(fonts.PackedLookedUp("G"));
  EXPECT_EQ(fonts.Find("G"), nullptr);
}

TEST(FontCache, EachPackageIdentityHasItsOwnFonts) {
  const std::shared_ptr<TFontCache> a = TFontCache::ForIdentity("{A}");
  const std::shared_ptr<TFontCache> again = TFontCache::ForIdentity("{A}");
  const std::shared_ptr<TFontCache> b = TFontCache::ForIdentity("{B}");
  EXPECT_EQ(a, again);
  EXPECT_NE(a, b);
}

TEST(CachedVectorText, ReadsBackWhatItWritesAndLoadsEachFontOnce) {
  auto fonts = TestFonts();
  fonts->Acquire("Other")->Add(TestGlyph(2));
  TGlyphLine mixed = TestLine({2, 1});
  mixed.push_back({"Other", 2, 900, 500});
  const TCachedVectorText text(fonts, TestMetrics(), {TestLine({0, 1, 2}), {}, mixed});

  std::vector<std::string> loaded;
  const auto read =
      TCachedVectorText::Read(text.Write(), fonts, [&loaded](const std::string& name) { loaded.push_back(name); });
  EXPECT_EQ(read->FontMetrics(), TestMetrics());
  EXPECT_EQ(read->Lines(), text.Lines());
  EXPECT_EQ(read->Write(), text.Write());
  EXPECT_EQ(loaded, (std::vector<std::string>{"Other", "Test Font"}));
}

TEST(CachedVectorText, TruncatedAndOversizedLayoutsAreRefused) {
  auto fonts = TestFonts();
  const TCachedVectorText text(fonts, TestMetrics(), {TestLine({0, 1}), TestLine({3})});
  const std::string bytes = text.Write();
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::string message =
        Message([&] { TCachedVectorText::Read(std::string_view(bytes).substr(0, size), fonts); });
    EXPECT_EQ(message.rfind("VectTxt2: ", 0), 0U) << size << ": " << message;
  }
  std::string lines = bytes;
  PutInt32(lines, 0, 0x40000000);
  EXPECT_NE(Message([&] { TCachedVectorText::Read(lines, fonts); }).find("line count"), std::string::npos);
  std::string glyphs = bytes;
  PutInt32(glyphs, 28, 1000000);
  EXPECT_NE(Message([&] { TCachedVectorText::Read(glyphs, fonts); }).find("glyph count 1000000 exceeds the entry"),
            std::string::npos);
}

TEST(CachedVectorText, OutlinesAreScaledToTheDrawnSize) {
  auto fonts = TestFonts();
  TGlyphLine line = TestLine({2});
  line[0].Size = 500;
  const TCachedVectorText text(fonts, TestMetrics(), {line});
  const TPath outline = text.GlyphOutline(0, 0);
  EXPECT_FLOAT_EQ(outline[0].X, 25);
  EXPECT_FLOAT_EQ(outline[0].Y, -350);
  EXPECT_EQ(outline[0].Kind, kPathMove);
  const TGlyphMetrics metrics = text.GlyphMetrics(0, 0);
  EXPECT_EQ(metrics.A, 25);
  EXPECT_EQ(metrics.B, 250);
  EXPECT_EQ(metrics.InkAscent, 350);
}

TEST(CachedVectorText, MissingFontsAndGlyphsAreNamedAssertions) {
  auto fonts = TestFonts();
  TGlyphLine line = TestLine({2});
  line.push_back({"Test Font", 42, 600, test::kTestSize});
  line.push_back({"Gone", 1, 1200, 1000});
  const TCachedVectorText text(fonts, TestMetrics(), {line});
  EXPECT_NE(Message([&] { text.GlyphOutline(0, 1); }).find("Glyph Test Font 42 not found"), std::string::npos);
  EXPECT_NE(Message([&] { text.GlyphOutline(0, 2); }).find("Font Gone not found"), std::string::npos);
  EXPECT_THROW(text.GlyphMetrics(0, 2), EAssertionFailed);
}

TEST(CachedVectorText, LineMetricsFollowInkAndAdvance) {
  auto fonts = TestFonts();
  TGlyphData overhang = TestGlyph(5);
  overhang.A = -40; // ink starts left of the origin
  overhang.B = 700;
  overhang.C = -100; // and ends past the advance
  overhang.InkAscent = 900;
  overhang.InkDescent = 250;
  fonts->Acquire("Test Font")->Add(overhang);
  TGlyphLine line = TestLine({2});
  line.push_back({"Test Font", 5, 600, test::kTestSize});
  const TCachedVectorText text(fonts, TestMetrics(), {line, {}});

  const TLineMetrics metrics = text.LineMetrics(0);
  EXPECT_EQ(metrics.Left, 0);
  EXPECT_EQ(metrics.Right, 600 - 40 + 700);
  EXPECT_EQ(metrics.Advance, 600 - 40 + 700 - 100);
  EXPECT_EQ(metrics.TrailingSpace, -100);
  EXPECT_EQ(metrics.Ascent, 900);
  EXPECT_EQ(metrics.Descent, 250);

  // An empty line takes the text's own ascent and descent.
  const TLineMetrics empty = text.LineMetrics(1);
  EXPECT_EQ(empty.Advance, 0);
  EXPECT_EQ(empty.Ascent, 800);
  EXPECT_EQ(empty.Descent, 200);
}

} // namespace
} // namespace qx
