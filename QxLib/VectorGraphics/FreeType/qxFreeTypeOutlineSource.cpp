#include "QxLib/VectorGraphics/FreeType/qxFreeTypeOutlineSource.h"

#include "QxLib/VectorGraphics/FreeType/qxTextShaper.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxUtf8.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace qx {

namespace {

std::u32string ToCodePoints(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size())
    out.push_back(NextUtf8Char(text, pos));
  return out;
}

std::string RequestKey(const TFontRequest& font) {
  return font.Name + (font.Bold ? "|b" : "|") + (font.Italic ? "i" : "");
}

// The font used when the requested one cannot be opened at all.
const TFontRequest kDefaultFont{"sans-serif", false, false};

} // namespace

std::unique_ptr<TGlyphOutlineSource> CreateInstalledFontSource() { return std::make_unique<TFreeTypeOutlineSource>(); }

TFreeTypeOutlineSource::TFreeTypeOutlineSource() {
  if (FT_Init_FreeType(&m_library) != 0)
    throw EQxError("FreeType cannot be initialised");
}

TFreeTypeOutlineSource::~TFreeTypeOutlineSource() {
  m_fallbacks.clear();
  m_faces.clear();
  FT_Done_FreeType(m_library);
}

TFreeTypeFace& TFreeTypeOutlineSource::Face(const TFontFile& file) {
  std::unique_ptr<TFreeTypeFace>& face = m_faces[file];
  if (!face) {
    try {
      face = std::make_unique<TFreeTypeFace>(m_library, file);
    } catch (...) {
      m_faces.erase(file);
      throw;
    }
  }
  return *face;
}

TFreeTypeFace& TFreeTypeOutlineSource::PrimaryFace(const TFontRequest& font) {
  try {
    return Face(m_matcher.Match(font));
  } catch (const EQxError& error) {
    if (font == kDefaultFont)
      throw;
    Log().WriteLine(std::string("TFreeTypeOutlineSource: ") + error.what() + "; using " + kDefaultFont.Name);
    return Face(m_matcher.Match(kDefaultFont));
  }
}

TFreeTypeFace* TFreeTypeOutlineSource::FallbackFace(const TFontRequest& font, char32_t c) {
  const auto key = std::make_pair(RequestKey(font), c);
  if (const auto found = m_fallbacks.find(key); found != m_fallbacks.end())
    return found->second;
  TFreeTypeFace* face = nullptr;
  if (const std::optional<TFontFile> file = m_matcher.Fallback(font, c)) {
    try {
      face = &Face(*file);
    } catch (const EQxError& error) {
      Log().WriteLine(std::string("TFreeTypeOutlineSource: ") + error.what());
    }
  }
  m_fallbacks.emplace(key, face);
  return face;
}

std::string TFreeTypeOutlineSource::FaceKey(const TFontRequest& font) {
  const std::lock_guard lock(m_lock);
  return PrimaryFace(font).Key();
}

TShapedText TFreeTypeOutlineSource::Shape(const TFontRequest& font, const std::vector<std::string>& lines, float size,
                                          TFontCache& fonts) {
  const std::lock_guard lock(m_lock);
  TFreeTypeFace& primary = PrimaryFace(font);
  const TFallbackFace fallback = [this, &font](char32_t c) { return FallbackFace(font, c); };

  TShapedText shaped;
  shaped.Metrics = primary.Metrics(size);
  shaped.Lines.reserve(lines.size());
  std::map<TFreeTypeFace*, std::shared_ptr<TGlyphCache>> caches;
  for (const std::string& line : lines) {
    TGlyphLine& out = shaped.Lines.emplace_back();
    for (const TPlacedGlyph& glyph : ShapeLine(ToCodePoints(line), primary, fallback, size)) {
      std::shared_ptr<TGlyphCache>& cache = caches[glyph.Face];
      if (!cache)
        cache = fonts.Acquire(glyph.Face->Key());
      if (!cache->Contains(glyph.Index))
        cache->Add(glyph.Face->Glyph(glyph.Index, size));
      out.push_back({glyph.Face->Key(), glyph.Index, glyph.X, size});
    }
  }
  return shaped;
}

} // namespace qx
