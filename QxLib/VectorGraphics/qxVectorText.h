// Laid-out vector text: lines of glyph pointers into the font cache, the four
// operations the text producer draws through, and the packed layout format
// ("VectTxt2: " entries) that carries a text's layout inside a show.
#pragma once

#include "QxLib/VectorGraphics/qxGlyphCache.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The prefix of packed text layouts; the text's key follows.
inline constexpr std::string_view kTextLayoutPrefix = "VectTxt2: ";

// Extents of one line in layout units, relative to the line's origin.
struct TLineMetrics {
  int32_t Left = 0;
  int32_t Right = 0;
  int32_t Advance = 0;
  int32_t Ascent = 0;
  int32_t Descent = 0;
  // Advance minus right extent (negative when ink reaches past the advance).
  int32_t TrailingSpace = 0;
  bool operator==(const TLineMetrics&) const = default;
};

// One glyph's place and metrics on its line, in layout units.
struct TGlyphMetrics {
  int32_t X = 0;
  int32_t A = 0;
  int32_t B = 0;
  int32_t C = 0;
  int32_t InkAscent = 0;
  int32_t InkDescent = 0;
};

// What the text producer asks of a laid-out text.
class TVectorText {
public:
  virtual ~TVectorText() = default;
  virtual int LineCount() const = 0;
  virtual const TFontMetrics& FontMetrics() const = 0;
  virtual TLineMetrics LineMetrics(int line) const = 0;
  virtual int GlyphCount(int line) const = 0;
  // The outline of a glyph scaled to the size it is drawn at, relative to
  // its origin. A font missing from the font cache is the assertion "Font
  // <name> not found", a glyph missing from its cache "Glyph <name> <index>
  // not found".
  virtual TPath GlyphOutline(int line, int glyph) const = 0;
  virtual TGlyphMetrics GlyphMetrics(int line, int glyph) const = 0;
};

// A glyph of a line: its font, its index, the x of its origin (layout units)
// and the size it is drawn at.
struct TGlyphPointer {
  std::string FontName;
  uint16_t Index = 0;
  int32_t X = 0;
  float Size = 0;
  bool operator==(const TGlyphPointer&) const = default;
};

using TGlyphLine = std::vector<TGlyphPointer>;

// Called once per font a layout names while it is read, so that the font's
// glyph cache can be loaded before the text is drawn.
using TFontLoader = std::function<void(const std::string& fontName)>;

class TCachedVectorText : public TVectorText {
public:
  // Limits of the packed form beyond which an entry is taken as damaged.
  static constexpr int32_t kMaxLines = 65536;
  static constexpr int32_t kMaxGlyphsPerLine = 1 << 20;

  TCachedVectorText(std::shared_ptr<TFontCache> fonts, TFontMetrics metrics, std::vector<TGlyphLine> lines);

  // Reads a packed layout (the bytes of a "VectTxt2: " entry), calling
  // `loader` once for each font it names. A damaged entry raises
  // EVectorTextError "VectTxt2: ...".
  static std::unique_ptr<TCachedVectorText> Read(std::string_view bytes, std::shared_ptr<TFontCache> fonts,
                                                 const TFontLoader& loader = {});
  // The packed form: exactly the fields Read reads.
  std::string Write() const;

  int LineCount() const override { return static_cast<int>(m_lines.size()); }
  const TFontMetrics& FontMetrics() const override { return m_metrics; }
  TLineMetrics LineMetrics(int line) const override;
  int GlyphCount(int line) const override;
  TPath GlyphOutline(int line, int glyph) const override;
  TGlyphMetrics GlyphMetrics(int line, int glyph) const override;

  const std::vector<TGlyphLine>& Lines() const { return m_lines; }
  TFontCache& Fonts() const { return *m_fonts; }

protected:
  explicit TCachedVectorText(std::shared_ptr<TFontCache> fonts) : m_fonts(std::move(fonts)) {}
  void SetContent(TFontMetrics metrics, std::vector<TGlyphLine> lines);

private:
  const TGlyphPointer& Pointer(int line, int glyph) const;
  std::shared_ptr<const TGlyphData> Glyph(const TGlyphPointer& pointer) const;

  std::shared_ptr<TFontCache> m_fonts;
  TFontMetrics m_metrics;
  std::vector<TGlyphLine> m_lines;
};

} // namespace qx
