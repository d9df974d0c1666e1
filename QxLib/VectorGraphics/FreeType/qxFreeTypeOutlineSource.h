// The glyph-outline source of the installed fonts on Linux: fontconfig
// finds the face for a font name and style and the fallback faces, FreeType
// gives unhinted outlines and metrics, HarfBuzz and fribidi shape the lines.
#pragma once

#include "QxLib/VectorGraphics/FreeType/qxFontMatcher.h"
#include "QxLib/VectorGraphics/FreeType/qxFreeTypeFace.h"
#include "QxLib/VectorGraphics/qxGlyphOutlineSource.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace qx {

class TFreeTypeOutlineSource : public TGlyphOutlineSource {
public:
  TFreeTypeOutlineSource();
  ~TFreeTypeOutlineSource() override;

  TShapedText Shape(const TFontRequest& font, const std::vector<std::string>& lines, float size,
                    TFontCache& fonts) override;

  // The cache name of the face a request resolves to ("DejaVu Sans Bold").
  std::string FaceKey(const TFontRequest& font);

private:
  TFreeTypeFace& Face(const TFontFile& file);
  TFreeTypeFace& PrimaryFace(const TFontRequest& font);
  TFreeTypeFace* FallbackFace(const TFontRequest& font, char32_t c);

  // FreeType, fontconfig and the open faces are used by one caller at a time.
  std::mutex m_lock;
  FT_Library m_library = nullptr;
  TFontMatcher m_matcher;
  std::map<TFontFile, std::unique_ptr<TFreeTypeFace>> m_faces;
  std::map<std::pair<std::string, char32_t>, TFreeTypeFace*> m_fallbacks;
};

} // namespace qx
