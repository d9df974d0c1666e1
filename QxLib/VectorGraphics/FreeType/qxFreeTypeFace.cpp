#include "QxLib/VectorGraphics/FreeType/qxFreeTypeFace.h"

#include "QxLib/qxExceptions.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// The shear of an oblique face made from an upright one (about 12 degrees).
constexpr FT_Fixed kObliqueShear = 0x0366A;
// A bold face made from a regular one thickens strokes by this share of the
// em on each side.
constexpr double kEmboldenShare = 1.0 / 48;
// The OS/2 table version that marks a missing table in FreeType.
constexpr FT_UShort kNoOs2Table = 0xFFFF;

struct TDecomposer {
  TPath* Points;
  double Scale;
  void Add(const FT_Vector* v, int32_t kind) const {
    Points->push_back({static_cast<float>(v->x * Scale), static_cast<float>(-v->y * Scale), kind});
  }
};

int MoveTo(const FT_Vector* to, void* user) {
  static_cast<TDecomposer*>(user)->Add(to, kPathMove);
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  static_cast<TDecomposer*>(user)->Add(to, kPathLine);
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  const auto* d = static_cast<TDecomposer*>(user);
  d->Add(control, kPathQuadratic);
  d->Add(to, kPathQuadratic);
  return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
  const auto* d = static_cast<TDecomposer*>(user);
  d->Add(control1, kPathCubic);
  d->Add(control2, kPathCubic);
  d->Add(to, kPathCubic);
  return 0;
}

int32_t Round32(double value) {
  return static_cast<int32_t>(std::clamp(std::round(value), -2147483647.0, 2147483647.0));
}

} // namespace

TFreeTypeFace::TFreeTypeFace(FT_Library library, const TFontFile& file) : m_file(file) {
  if (FT_New_Face(library, file.Path.c_str(), file.Index, &m_face) != 0)
    throw EQxError("Cannot open the font file \"" + file.Path + "\"");
  if (!FT_IS_SCALABLE(m_face) || m_face->units_per_EM == 0) {
    FT_Done_Face(m_face);
    throw EQxError("The font file \"" + file.Path + "\" has no outlines");
  }
  m_key = std::string(m_face->family_name ? m_face->family_name : "Unnamed") + " " +
          (m_face->style_name ? m_face->style_name : "Regular");
  if (file.Embolden)
    m_key += "+Bold";
  if (file.Oblique)
    m_key += "+Oblique";
  // The HarfBuzz font works in font units (its default scale is the em).
  hb_face_t* hbFace = hb_ft_face_create_referenced(m_face);
  m_hbFont = hb_font_create(hbFace);
  hb_face_destroy(hbFace);
}

TFreeTypeFace::~TFreeTypeFace() {
  hb_font_destroy(m_hbFont);
  FT_Done_Face(m_face);
}

bool TFreeTypeFace::HasChar(char32_t c) const { return FT_Get_Char_Index(m_face, c) != 0; }

double TFreeTypeFace::Scale(float size) const { return double(size) / m_face->units_per_EM; }

TFontMetrics TFreeTypeFace::Metrics(float size) const {
  const double s = Scale(size);
  TFontMetrics metrics;
  metrics.Ascent = Round32(m_face->ascender * s);
  metrics.Descent = Round32(-m_face->descender * s);
  metrics.UnderlinePosition = static_cast<float>(m_face->underline_position * s);
  metrics.UnderlineThickness = static_cast<float>(std::max<int>(m_face->underline_thickness, 1) * s);
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
  if (os2 && os2->version != kNoOs2Table && os2->yStrikeoutSize > 0) {
    // The OS/2 table gives the top of the stroke; the metrics hold centres.
    metrics.StrikeOutThickness = static_cast<float>(os2->yStrikeoutSize * s);
    metrics.StrikeOutPosition = static_cast<float>((os2->yStrikeoutPosition - os2->yStrikeoutSize / 2.0) * s);
  } else {
    metrics.StrikeOutThickness = metrics.UnderlineThickness;
    metrics.StrikeOutPosition = static_cast<float>(m_face->ascender * s * 0.3);
  }
  return metrics;
}

TGlyphData TFreeTypeFace::Glyph(uint16_t index, float size) const {
  TGlyphData glyph;
  glyph.Index = index;
  glyph.ReferenceSize = size;
  if (FT_Load_Glyph(m_face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
    return glyph;
  const double s = Scale(size);
  const FT_GlyphSlot slot = m_face->glyph;
  const int32_t advance = Round32(slot->metrics.horiAdvance * s);
  glyph.C = advance;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0)
    return glyph;
  FT_Outline& outline = slot->outline;
  if (m_file.Embolden) {
    const auto strength = static_cast<FT_Pos>(std::lround(m_face->units_per_EM * kEmboldenShare));
    FT_Outline_EmboldenXY(&outline, 2 * strength, 2 * strength);
  }
  if (m_file.Oblique) {
    FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
    FT_Outline_Transform(&outline, &shear);
  }
  FT_BBox box{};
  FT_Outline_Get_BBox(&outline, &box);
  glyph.A = Round32(box.xMin * s);
  glyph.B = Round32((box.xMax - box.xMin) * s);
  glyph.C = advance - glyph.A - glyph.B;
  glyph.InkAscent = Round32(box.yMax * s);
  glyph.InkDescent = Round32(-box.yMin * s);

  FT_Outline_Funcs funcs{};
  funcs.move_to = MoveTo;
  funcs.line_to = LineTo;
  funcs.conic_to = ConicTo;
  funcs.cubic_to = CubicTo;
  TDecomposer decomposer{&glyph.Points, s};
  if (FT_Outline_Decompose(&outline, &funcs, &decomposer) != 0)
    glyph.Points.clear();
  return glyph;
}

} // namespace qx
