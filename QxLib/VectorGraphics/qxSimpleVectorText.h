// Vector text laid out at run time, for texts that the show's package
// carries no layout for (macro texts, texts added after packing): the lines
// are shaped from an installed font through a glyph-outline source, and the
// glyphs' outlines go to the font cache, so the result is drawn exactly like
// a packed layout.
#pragma once

#include "QxLib/VectorGraphics/qxGlyphOutlineSource.h"
#include "QxLib/VectorGraphics/qxVectorText.h"

#include <string>
#include <vector>

namespace qx {

class TSimpleVectorText : public TCachedVectorText {
public:
  // Layout units per em of run-time layouts.
  static constexpr float kReferenceSize = 1024;
  // Longer texts (all lines, in UTF-8 bytes) are refused.
  static constexpr size_t kMaxTextBytes = 65536;

  // Shapes the lines; raises EQxError "Text too long to lay out ..." for a
  // text beyond kMaxTextBytes and the source's error when no font exists.
  TSimpleVectorText(TGlyphOutlineSource& source, const TFontRequest& font, const std::vector<std::string>& lines,
                    std::shared_ptr<TFontCache> fonts);
};

} // namespace qx
