// The authoring side of vector text: the "text" manifest method of vmopack
// pack, which carries a text's layout and glyph outlines in the show so that
// it looks the same on machines that lack the font.
#include "Tools/vmopack/vmopackPlan.h"

#include "QxLib/VectorGraphics/qxSimpleVectorText.h"
#include "QxLib/qxExceptions.h"
#include "VmoLib2/Vmo_MacrosToTextParser.h"
#include "VmoLib2/VmoClasses/qxVmoTextProducer.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"
#include "VmoLib2/qxTextNames.h"

namespace qx::vmopack {

void PlanText(TPackPlan& plan, const TManifestLine& line) {
  // "<font name>:<style words>"; the font name may itself hold colons.
  const size_t colon = line.name.rfind(':');
  const std::string fontName = colon == std::string::npos ? line.name : line.name.substr(0, colon);
  const uint32_t style = colon == std::string::npos ? 0 : ParseStyleWords(line.name.substr(colon + 1));
  const std::vector<std::string> lines = SplitTextLines(line.value);
  if (!plan.fonts)
    plan.fonts = std::make_shared<TFontCache>();
  try {
    const TSimpleVectorText text(InstalledFonts(), FontRequestOf(fontName, style), lines, plan.fonts);
    plan.entries.push_back({TextLayoutName(fontName, style, lines), kVmoDeflated, {}, text.Write()});
  } catch (const EQxError& error) {
    throw EQxError("manifest line " + std::to_string(line.lineNumber) + ": " + error.what());
  }
}

void PlanGlyphCaches(TPackPlan& plan) {
  if (!plan.fonts)
    return;
  for (const std::shared_ptr<TGlyphCache>& cache : plan.fonts->Caches())
    plan.entries.push_back({std::string(kGlyphCachePrefix) + cache->FontName(), kVmoDeflated, {}, cache->Write()});
}

} // namespace qx::vmopack
