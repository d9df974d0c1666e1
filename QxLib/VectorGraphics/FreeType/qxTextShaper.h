// Shapes one line of text into positioned glyphs: resolves the bidirectional
// embedding levels (fribidi), splits the line into runs of one level, script
// and face (taking fallback faces for characters the main face lacks),
// shapes each run with HarfBuzz (ligatures, kerning, joining and reordering
// of complex scripts) and puts the runs in visual order.
#pragma once

#include "QxLib/VectorGraphics/FreeType/qxFreeTypeFace.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace qx {

struct TPlacedGlyph {
  TFreeTypeFace* Face = nullptr;
  uint16_t Index = 0;
  // The glyph origin's x in layout units.
  int32_t X = 0;
};

// The face that draws a character the main face lacks, or none.
using TFallbackFace = std::function<TFreeTypeFace*(char32_t c)>;

// The glyphs of a line, left to right, at `size` layout units per em.
std::vector<TPlacedGlyph> ShapeLine(std::u32string_view text, TFreeTypeFace& primary, const TFallbackFace& fallback,
                                    float size);

} // namespace qx
