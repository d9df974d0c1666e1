// Fuzz target of packed text layouts (the bytes of "VectTxt2: " entries):
// line count, font metrics, and per line the glyph pointers with their
// positions, sizes, glyph indices and font names.
//
// Promises checked: an entry is read or refused with the vector-text error;
// a layout read asks its font loader once for each font it names; writing
// it and reading that again gives the same lines and the same bytes.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/VectorGraphics/qxVectorText.h"

#include <map>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qx;
  auto fonts = std::make_shared<TFontCache>();
  std::map<std::string, int> asked;
  const TFontLoader loader = [&asked](const std::string& font) { ++asked[font]; };
  std::unique_ptr<TCachedVectorText> text;
  if (!FUZZ_RESULT_OR_ERROR(text = TCachedVectorText::Read(fuzz::Bytes(data, size), fonts, loader)))
    return 0;
  FUZZ_CHECK(text != nullptr);
  FUZZ_CHECK(text->LineCount() >= 0 && text->LineCount() <= TCachedVectorText::kMaxLines);
  std::set<std::string> named;
  for (int line = 0; line < text->LineCount(); ++line) {
    FUZZ_CHECK(text->GlyphCount(line) == static_cast<int>(text->Lines()[static_cast<size_t>(line)].size()));
    for (const TGlyphPointer& pointer : text->Lines()[static_cast<size_t>(line)])
      named.insert(pointer.FontName);
  }
  FUZZ_CHECK(asked.size() == named.size());
  for (const auto& [font, count] : asked)
    FUZZ_CHECK(count == 1 && named.count(font) == 1);

  const std::string written = text->Write();
  std::unique_ptr<TCachedVectorText> again;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(again = TCachedVectorText::Read(written, fonts)));
  // Bytes are compared rather than values: a size may be NaN.
  FUZZ_CHECK(again->LineCount() == text->LineCount());
  for (int line = 0; line < text->LineCount(); ++line)
    FUZZ_CHECK(again->GlyphCount(line) == text->GlyphCount(line));
  FUZZ_CHECK(again->Write() == written);
  return 0;
}
