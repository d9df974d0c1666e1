#include "QxLib/VectorGraphics/qxSimpleVectorText.h"

#include "QxLib/qxExceptions.h"

namespace qx {

TSimpleVectorText::TSimpleVectorText(TGlyphOutlineSource& source, const TFontRequest& font,
                                     const std::vector<std::string>& lines, std::shared_ptr<TFontCache> fonts)
    : TCachedVectorText(std::move(fonts)) {
  size_t bytes = 0;
  for (const std::string& line : lines)
    bytes += line.size();
  if (bytes > kMaxTextBytes)
    throw EQxError("Text too long to lay out: " + std::to_string(bytes) + " bytes (at most " +
                   std::to_string(kMaxTextBytes) + ")");
  TShapedText shaped = source.Shape(font, lines, kReferenceSize, Fonts());
  SetContent(shaped.Metrics, std::move(shaped.Lines));
}

} // namespace qx
