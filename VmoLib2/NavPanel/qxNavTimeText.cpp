#include "VmoLib2/NavPanel/qxNavTimeText.h"

#include "QxLib/Graphics/qxResample.h"
#include "QxLib/VectorGraphics/qxSimpleVectorText.h"
#include "QxLib/VectorGraphics/qxTextProducer.h"
#include "VmoLib2/NavPanel/qxCustomNavBar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qx {

namespace {

constexpr std::array<std::string_view, 12> kGlyphTexts = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", " / "};

std::string Clock(int64_t ms, bool hours) {
  const int64_t seconds = std::max<int64_t>(ms, 0) / 1000;
  char text[16];
  if (hours)
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 100),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(seconds / 60 % 100),
                  static_cast<int>(seconds % 60));
  return text;
}

TBitmap RenderGlyph(TGlyphOutlineSource& source, std::string_view glyph, int32_t height) {
  const TSimpleVectorText text(source, TFontRequest{std::string(TNavTimeGlyphs::kFontName)}, {std::string(glyph)},
                               std::make_shared<TFontCache>());
  TTextParams params;
  params.FontName = std::string(TNavTimeGlyphs::kFontName);
  params.FontSize = static_cast<float>(height);
  params.Color = TBgra{255, 255, 255, 255};
  const TBitmap drawn = ProduceTextBitmap(text, params);
  if (drawn.IsEmpty())
    return TBitmap(1, height, TPixelFormat::Bgra32);
  const auto width = static_cast<int32_t>(std::max(1L, std::lround(double(drawn.Width()) * height / drawn.Height())));
  return ResizeBilinear(drawn, width, height);
}

} // namespace

std::string NavTimeText(int64_t timeMs, int64_t durationMs) {
  const bool hours = durationMs >= kNavHoursFromMs;
  return Clock(timeMs, hours) + " / " + Clock(durationMs, hours);
}

TNavTimeGlyphs::TNavTimeGlyphs(TGlyphOutlineSource& source, int32_t height) : m_height(std::max(height, 1)) {
  for (size_t i = 0; i < kGlyphTexts.size(); ++i)
    m_glyphs[i] = RenderGlyph(source, kGlyphTexts[i], m_height);
}

int TNavTimeGlyphs::GlyphAt(std::string_view text, size_t pos, size_t& length) {
  length = 1;
  const char c = text[pos];
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c == ':')
    return 10;
  if (text.substr(pos).starts_with(kGlyphTexts[11])) {
    length = kGlyphTexts[11].size();
    return 11;
  }
  return -1;
}

int32_t TNavTimeGlyphs::TextWidth(std::string_view text) const {
  int32_t width = 0;
  size_t length = 1;
  for (size_t pos = 0; pos < text.size(); pos += length)
    if (const int glyph = GlyphAt(text, pos, length); glyph >= 0)
      width += m_glyphs[static_cast<size_t>(glyph)].Width();
  return width;
}

void TNavTimeGlyphs::Draw(TBitmap& target, std::string_view text, int32_t x, int32_t y) const {
  size_t length = 1;
  for (size_t pos = 0; pos < text.size(); pos += length)
    if (const int glyph = GlyphAt(text, pos, length); glyph >= 0) {
      const TBitmap& picture = m_glyphs[static_cast<size_t>(glyph)];
      BlendOver(target, picture, x, y);
      x += picture.Width();
    }
}

} // namespace qx
