// One installed font face opened through FreeType: its name in the font
// cache, its metrics, its glyphs' unhinted outlines (taken in font units and
// scaled to the layout size, y pointing down), and the HarfBuzz font that
// shapes text with it.
#pragma once

#include "QxLib/VectorGraphics/FreeType/qxFontMatcher.h"
#include "QxLib/VectorGraphics/qxGlyphCache.h"

#include <memory>
#include <string>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;
typedef struct hb_font_t hb_font_t;

namespace qx {

class TFreeTypeFace {
public:
  // Opens the face; raises EQxError naming the file when FreeType cannot,
  // or when the face has no outlines.
  TFreeTypeFace(FT_Library library, const TFontFile& file);
  ~TFreeTypeFace();
  TFreeTypeFace(const TFreeTypeFace&) = delete;
  TFreeTypeFace& operator=(const TFreeTypeFace&) = delete;

  // "<family> <style>", with "+Bold" / "+Oblique" for the style the
  // renderer adds: the font name its glyphs are cached under.
  const std::string& Key() const { return m_key; }
  bool HasChar(char32_t c) const;
  // Layout units per font unit at `size` units per em.
  double Scale(float size) const;
  TFontMetrics Metrics(float size) const;
  // The glyph's outline and metrics at `size` units per em. A glyph without
  // an outline (a space) has no points.
  TGlyphData Glyph(uint16_t index, float size) const;
  hb_font_t* ShapingFont() const { return m_hbFont; }

private:
  FT_Face m_face = nullptr;
  hb_font_t* m_hbFont = nullptr;
  TFontFile m_file;
  std::string m_key;
};

} // namespace qx
