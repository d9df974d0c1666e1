// Text rasterisation and run-time layout.
//
// Paragraph: a full-screen 1920 x 1080 paragraph of DejaVu Sans (36 lines of
// about 145 characters) drawn by the text producer through the player's
// outline rasteriser, against FreeType's own anti-aliased renderer drawing
// the same glyphs (unhinted, same size and positions) into an 8-bit buffer
// of the same size, in the same run.
//
// Layout: a 1,000-character text laid out at run time (HarfBuzz shaping,
// fallback lookup and the unhinted outlines of every glyph, into a fresh
// font cache), against HarfBuzz shaping the same text alone, and against
// the same layout with the glyphs already cached.
#include "QxLib/VectorGraphics/FreeType/qxFontMatcher.h"
#include "QxLib/VectorGraphics/qxSimpleVectorText.h"
#include "QxLib/VectorGraphics/qxTextProducer.h"
#include "VmoLib2/VmoClasses/qxVmoTextProducer.h"

#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ft.h>
#include <hb.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qx;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kLines = 36;

std::string Words(size_t length) {
  static const char* const kWords[] = {"slides", "move",  "under", "a",   "quiet", "sky,",  "pictures", "turn",  "and",
                                       "fade;",  "music", "keeps", "the", "time",  "while", "texts",    "glide", "by."};
  std::string text;
  for (size_t i = 0; text.size() < length; ++i) {
    if (!text.empty())
      text += ' ';
    text += kWords[(i * 7 + i / 5) % std::size(kWords)];
  }
  text.resize(length);
  return text;
}

std::vector<std::string> ParagraphLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < kLines; ++i)
    lines.push_back(Words(142 + static_cast<size_t>(i % 5)));
  return lines;
}

struct TParagraph {
  std::shared_ptr<TFontCache> Fonts = std::make_shared<TFontCache>();
  std::unique_ptr<TSimpleVectorText> Text;
  TTextParams Params;
  TTextPlacement Placement;

  TParagraph() {
    Text = std::make_unique<TSimpleVectorText>(InstalledFonts(), TFontRequest{"DejaVu Sans"}, ParagraphLines(), Fonts);
    Params.Align = TTextAlign::Left;
    Params.FontSize = static_cast<float>(kHeight - 2) / kLines;
    Placement = PlaceText(*Text, Params);
  }
};

const TParagraph& Paragraph() {
  static const TParagraph paragraph;
  return paragraph;
}

void BM_ParagraphPlayerRasteriser(benchmark::State& state) {
  const TParagraph& p = Paragraph();
  for (auto _ : state) {
    TBitmap bitmap = ProduceTextBitmap(*p.Text, p.Params);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
  state.counters["width"] = p.Placement.BitmapWidth;
  state.counters["height"] = p.Placement.BitmapHeight;
}
BENCHMARK(BM_ParagraphPlayerRasteriser)->Unit(benchmark::kMillisecond);

void BM_ParagraphFreeTypeRenderer(benchmark::State& state) {
  const TParagraph& p = Paragraph();
  TFontMatcher matcher;
  const TFontFile file = matcher.Match({"DejaVu Sans"});
  FT_Library library = nullptr;
  FT_Init_FreeType(&library);
  FT_Face face = nullptr;
  FT_New_Face(library, file.Path.c_str(), file.Index, &face);
  // The layout's glyphs are TSimpleVectorText::kReferenceSize units per em.
  const double ppem = TSimpleVectorText::kReferenceSize * p.Placement.ScaleY;
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64)), 72, 72);

  std::vector<uint8_t> pixels(static_cast<size_t>(p.Placement.BitmapWidth) * p.Placement.BitmapHeight);
  FT_Bitmap target{};
  target.rows = static_cast<unsigned>(p.Placement.BitmapHeight);
  target.width = static_cast<unsigned>(p.Placement.BitmapWidth);
  target.pitch = p.Placement.BitmapWidth;
  target.buffer = pixels.data();
  target.num_grays = 256;
  target.pixel_mode = FT_PIXEL_MODE_GRAY;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), uint8_t{0});
    for (int line = 0; line < p.Text->LineCount(); ++line) {
      const TPlacedLine& placed = p.Placement.Lines[static_cast<size_t>(line)];
      for (const TGlyphPointer& glyph : p.Text->Lines()[static_cast<size_t>(line)]) {
        FT_Load_Glyph(face, glyph.Index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
        const double x = placed.OriginX + glyph.X * p.Placement.ScaleX;
        const double y = p.Placement.BitmapHeight - placed.Baseline;
        FT_Outline_Translate(&face->glyph->outline, std::lround(x * 64), std::lround(y * 64));
        FT_Outline_Get_Bitmap(library, &face->glyph->outline, &target);
      }
    }
    benchmark::DoNotOptimize(pixels.data());
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_ParagraphFreeTypeRenderer)->Unit(benchmark::kMillisecond);

const std::string& ThousandCharacters() {
  static const std::string text = Words(1000);
  return text;
}

void BM_LayoutRunTime1000(benchmark::State& state) {
  for (auto _ : state) {
    const TSimpleVectorText text(InstalledFonts(), TFontRequest{"DejaVu Sans"}, {ThousandCharacters()},
                                 std::make_shared<TFontCache>());
    benchmark::DoNotOptimize(text.GlyphCount(0));
  }
}
BENCHMARK(BM_LayoutRunTime1000)->Unit(benchmark::kMillisecond);

void BM_LayoutRunTime1000GlyphsCached(benchmark::State& state) {
  const auto fonts = std::make_shared<TFontCache>();
  for (auto _ : state) {
    const TSimpleVectorText text(InstalledFonts(), TFontRequest{"DejaVu Sans"}, {ThousandCharacters()}, fonts);
    benchmark::DoNotOptimize(text.GlyphCount(0));
  }
}
BENCHMARK(BM_LayoutRunTime1000GlyphsCached)->Unit(benchmark::kMillisecond);

void BM_LayoutHarfBuzzShapingOnly1000(benchmark::State& state) {
  TFontMatcher matcher;
  const TFontFile file = matcher.Match({"DejaVu Sans"});
  FT_Library library = nullptr;
  FT_Init_FreeType(&library);
  FT_Face face = nullptr;
  FT_New_Face(library, file.Path.c_str(), file.Index, &face);
  hb_face_t* hbFace = hb_ft_face_create_referenced(face);
  hb_font_t* font = hb_font_create(hbFace);
  hb_buffer_t* buffer = hb_buffer_create();
  const std::string& text = ThousandCharacters();
  for (auto _ : state) {
    hb_buffer_clear_contents(buffer);
    hb_buffer_add_utf8(buffer, text.data(), static_cast<int>(text.size()), 0, -1);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(font, buffer, nullptr, 0);
    benchmark::DoNotOptimize(hb_buffer_get_length(buffer));
  }
  hb_buffer_destroy(buffer);
  hb_font_destroy(font);
  hb_face_destroy(hbFace);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_LayoutHarfBuzzShapingOnly1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
