// The source of glyph outlines for texts laid out at run time: finds an
// installed font by name and style, shapes lines of text into positioned
// glyphs (choosing fallback fonts for characters the font lacks) and adds
// the outlines of the glyphs it used to a font cache. Implementations live
// in a platform folder beside this header (FreeType/ on Linux).
#pragma once

#include "QxLib/VectorGraphics/qxGlyphCache.h"
#include "QxLib/VectorGraphics/qxVectorText.h"

#include <memory>
#include <string>
#include <vector>

namespace qx {

// A font asked for by a text: its family name and the style bits that pick
// the face.
struct TFontRequest {
  std::string Name;
  bool Bold = false;
  bool Italic = false;
  bool operator==(const TFontRequest&) const = default;
};

// A text shaped into lines of glyphs; the glyphs' outlines are in the font
// cache it was shaped into.
struct TShapedText {
  TFontMetrics Metrics;
  std::vector<TGlyphLine> Lines;
};

class TGlyphOutlineSource {
public:
  virtual ~TGlyphOutlineSource() = default;

  // Lays out each line at `size` layout units per em: glyph indices and x
  // positions in visual order (left to right), the font's metrics at that
  // size, and every glyph used added to `fonts` under the name of the face
  // it came from (a glyph already there is not vectorised again). A font
  // that is not installed is replaced by the closest installed one; raises
  // EQxError only when no usable font exists at all. Safe to call from any
  // thread: implementations serialise their own state.
  virtual TShapedText Shape(const TFontRequest& font, const std::vector<std::string>& lines, float size,
                            TFontCache& fonts) = 0;
};

// The glyph-outline source of the installed fonts, made by the platform's
// implementation (one per process is enough; it is thread-safe).
std::unique_ptr<TGlyphOutlineSource> CreateInstalledFontSource();

} // namespace qx
