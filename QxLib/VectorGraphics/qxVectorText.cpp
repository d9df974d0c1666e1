#include "QxLib/VectorGraphics/qxVectorText.h"

#include "QxLib/VectorGraphics/qxPackedBytes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

namespace qx {

namespace {

// int32 x, float32 size, uint16 index, int32 name length.
constexpr size_t kGlyphPointerBytes = 4 + 4 + 2 + 4;

int32_t Scaled(int32_t value, double factor) {
  const double scaled = std::round(value * factor);
  return static_cast<int32_t>(std::clamp(scaled, double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

TCachedVectorText::TCachedVectorText(std::shared_ptr<TFontCache> fonts, TFontMetrics metrics,
                                     std::vector<TGlyphLine> lines)
    : m_fonts(std::move(fonts)), m_metrics(metrics), m_lines(std::move(lines)) {}

void TCachedVectorText::SetContent(TFontMetrics metrics, std::vector<TGlyphLine> lines) {
  m_metrics = metrics;
  m_lines = std::move(lines);
}

std::unique_ptr<TCachedVectorText> TCachedVectorText::Read(std::string_view bytes, std::shared_ptr<TFontCache> fonts,
                                                           const TFontLoader& loader) {
  TPackedReader in(bytes, "VectTxt2");
  const int32_t lineCount = in.Count("line count", kMaxLines, 4);
  TFontMetrics metrics;
  metrics.Ascent = in.Int32();
  metrics.Descent = in.Int32();
  metrics.UnderlinePosition = in.Float();
  metrics.UnderlineThickness = in.Float();
  metrics.StrikeOutPosition = in.Float();
  metrics.StrikeOutThickness = in.Float();

  std::vector<TGlyphLine> lines(static_cast<size_t>(lineCount));
  std::set<std::string> fontNames;
  for (TGlyphLine& line : lines) {
    const int32_t glyphs = in.Count("glyph count", kMaxGlyphsPerLine, kGlyphPointerBytes);
    line.resize(static_cast<size_t>(glyphs));
    for (TGlyphPointer& pointer : line) {
      pointer.X = in.Int32();
      pointer.Size = in.Float();
      pointer.Index = in.UInt16();
      const int32_t nameLength = in.Count("font name length", TGlyphCache::kMaxFontNameLength, 2);
      pointer.FontName = in.Utf16(nameLength);
      // Share one copy of each font name among the pointers.
      pointer.FontName = *fontNames.insert(pointer.FontName).first;
    }
  }
  if (loader) {
    for (const std::string& name : fontNames)
      loader(name);
  }
  return std::make_unique<TCachedVectorText>(std::move(fonts), metrics, std::move(lines));
}

std::string TCachedVectorText::Write() const {
  TPackedWriter out;
  out.Int32(static_cast<int32_t>(m_lines.size()));
  out.Int32(m_metrics.Ascent);
  out.Int32(m_metrics.Descent);
  out.Float(m_metrics.UnderlinePosition);
  out.Float(m_metrics.UnderlineThickness);
  out.Float(m_metrics.StrikeOutPosition);
  out.Float(m_metrics.StrikeOutThickness);
  for (const TGlyphLine& line : m_lines) {
    out.Int32(static_cast<int32_t>(line.size()));
    for (const TGlyphPointer& pointer : line) {
      out.Int32(pointer.X);
      out.Float(pointer.Size);
      out.UInt16(pointer.Index);
      out.Utf16WithLength(pointer.FontName);
    }
  }
  return out.Take();
}

const TGlyphPointer& TCachedVectorText::Pointer(int line, int glyph) const {
  QX_ASSERT(line >= 0 && line < LineCount(), "TCachedVectorText: line index out of range");
  const TGlyphLine& glyphs = m_lines[static_cast<size_t>(line)];
  QX_ASSERT(glyph >= 0 && glyph < static_cast<int>(glyphs.size()), "TCachedVectorText: glyph index out of range");
  return glyphs[static_cast<size_t>(glyph)];
}

std::shared_ptr<const TGlyphData> TCachedVectorText::Glyph(const TGlyphPointer& pointer) const {
  const std::shared_ptr<TGlyphCache> cache = m_fonts->Find(pointer.FontName);
  if (!cache)
    AssertionFailed("Font " + pointer.FontName + " not found", __FILE__, __LINE__);
  std::shared_ptr<const TGlyphData> glyph = cache->Find(pointer.Index);
  if (!glyph)
    AssertionFailed("Glyph " + pointer.FontName + " " + std::to_string(pointer.Index) + " not found", __FILE__,
                    __LINE__);
  return glyph;
}

int TCachedVectorText::GlyphCount(int line) const {
  QX_ASSERT(line >= 0 && line < LineCount(), "TCachedVectorText: line index out of range");
  return static_cast<int>(m_lines[static_cast<size_t>(line)].size());
}

TPath TCachedVectorText::GlyphOutline(int line, int glyph) const {
  const TGlyphPointer& pointer = Pointer(line, glyph);
  const std::shared_ptr<const TGlyphData> data = Glyph(pointer);
  const float factor = pointer.Size / data->ReferenceSize;
  TPath path = data->Points;
  for (TPathPoint& point : path) {
    point.X *= factor;
    point.Y *= factor;
  }
  return path;
}

TGlyphMetrics TCachedVectorText::GlyphMetrics(int line, int glyph) const {
  const TGlyphPointer& pointer = Pointer(line, glyph);
  const std::shared_ptr<const TGlyphData> data = Glyph(pointer);
  const double factor = double(pointer.Size) / data->ReferenceSize;
  return {pointer.X,
          Scaled(data->A, factor),
          Scaled(data->B, factor),
          Scaled(data->C, factor),
          Scaled(data->InkAscent, factor),
          Scaled(data->InkDescent, factor)};
}

TLineMetrics TCachedVectorText::LineMetrics(int line) const {
  const int count = GlyphCount(line);
  TLineMetrics metrics;
  if (count == 0) {
    metrics.Ascent = m_metrics.Ascent;
    metrics.Descent = m_metrics.Descent;
    return metrics;
  }
  int64_t left = INT64_MAX;
  int64_t right = INT64_MIN;
  int64_t advance = INT64_MIN;
  int32_t ascent = INT32_MIN;
  int32_t descent = INT32_MIN;
  for (int j = 0; j < count; ++j) {
    const TGlyphMetrics g = GlyphMetrics(line, j);
    const int64_t inkStart = int64_t{g.X} + g.A;
    const int64_t inkEnd = inkStart + g.B;
    left = std::min({left, int64_t{g.X}, inkStart, inkEnd});
    right = std::max({right, int64_t{g.X}, inkStart, inkEnd});
    advance = std::max(advance, inkEnd + g.C);
    ascent = std::max(ascent, g.InkAscent);
    descent = std::max(descent, g.InkDescent);
  }
  auto clamp32 = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  metrics.Left = clamp32(left);
  metrics.Right = clamp32(right);
  metrics.Advance = clamp32(advance);
  metrics.Ascent = ascent;
  metrics.Descent = descent;
  metrics.TrailingSpace = clamp32(advance - right);
  return metrics;
}

} // namespace qx
