// Fuzz target of packed glyph caches (the bytes of "VectTextCache: "
// entries): glyph count, font name, and per glyph its metrics, reference size
// and outline points.
//
// Promises checked: an entry is read or refused with the vector-text error;
// a cache read holds glyphs of positive reference size whose outlines start
// a contour with known point kinds; writing it and reading that again gives
// the same font name, glyphs and bytes.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/VectorGraphics/qxGlyphCache.h"

namespace {

using namespace qx;

bool KnownKind(int32_t kind) {
  return kind == kPathMove || kind == kPathLine || kind == kPathQuadratic || kind == kPathCubic || kind == kPathClose;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::shared_ptr<TGlyphCache> cache;
  if (!FUZZ_RESULT_OR_ERROR(cache = TGlyphCache::Read(fuzz::Bytes(data, size))))
    return 0;
  FUZZ_CHECK(cache != nullptr);
  FUZZ_CHECK(cache->Count() <= static_cast<size_t>(TGlyphCache::kMaxGlyphs));
  const auto glyphs = cache->Glyphs();
  for (const auto& glyph : glyphs) {
    FUZZ_CHECK(glyph->ReferenceSize > 0);
    FUZZ_CHECK(glyph->Points.empty() || glyph->Points.front().Kind == kPathMove);
    for (const TPathPoint& point : glyph->Points)
      FUZZ_CHECK(KnownKind(point.Kind));
    FUZZ_CHECK(cache->Find(glyph->Index) == glyph);
  }

  const std::string written = cache->Write();
  std::shared_ptr<TGlyphCache> again;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(again = TGlyphCache::Read(written)));
  FUZZ_CHECK(again->FontName() == cache->FontName());
  const auto reread = again->Glyphs();
  FUZZ_CHECK(reread.size() == glyphs.size());
  FUZZ_CHECK(again->Write() == written);
  return 0;
}
