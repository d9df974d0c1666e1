#include "VmoLib2/VmoClasses/qxVmoBox.h"

#include "QxLib/qxIniStorage.h"

#include <algorithm>

namespace qx {

namespace {

constexpr std::string_view kFillModeWords[] = {"Solid", "HGradient", "VGradient",
                                                                    "TLBRGradient", "TRBLGradient"};

uint8_t ReadAlpha(const TIniIdentList& block, std::string_view key) {
  return static_cast<uint8_t>(std::clamp(block.ReadInteger(key, 255), 0, 255));
}

TRgba WithAlpha(TRgb color, uint8_t alpha) { return {color.r, color.g, color.b, alpha}; }

} // namespace

TGradientKind GradientKindOf(TFillMode mode) {
  switch (mode) {
  case TFillMode::HGradient:
    return TGradientKind::Horizontal;
  case TFillMode::VGradient:
    return TGradientKind::Vertical;
  case TFillMode::TLBRGradient:
    return TGradientKind::TopLeftToBottomRight;
  case TFillMode::TRBLGradient:
    return TGradientKind::TopRightToBottomLeft;
  case TFillMode::Solid:
    break;
  }
  return TGradientKind::Solid;
}

TVmoBox::TVmoBox(TVmoObject* parent, std::string name) : TVmoObject(parent, std::move(name)) {}

void TVmoBox::ReadSettings(const TIniIdentList& block) {
  TPoint size;
  if (block.ReadPoint("Size", size))
    SetBaseSize({std::max(0, size.x), std::max(0, size.y)});
  SetSetting(m_fillMode, static_cast<TFillMode>(block.ReadChoice("FillMode", kFillModeWords, 0, true)));
  SetSetting(m_color1, block.ReadColor("Color1", TRgb{0, 0, 0}));
  SetSetting(m_color2, block.ReadColor("Color2", TRgb{0, 0, 0}));
  SetSetting(m_alpha1, ReadAlpha(block, "Alpha1"));
  SetSetting(m_alpha2, ReadAlpha(block, "Alpha2"));
  SetSetting(m_antialiased, block.ReadBool("Antialiased", false));
}

TBoxDrawParams TVmoBox::DrawParams() const {
  TBoxDrawParams params;
  params.Gradient = GradientKindOf(m_fillMode);
  params.Color1 = WithAlpha(m_color1, m_alpha1);
  params.Color2 = params.Gradient == TGradientKind::Solid ? params.Color1 : WithAlpha(m_color2, m_alpha2);
  params.Antialiased = m_antialiased;
  params.Opacity = Opacity();
  return params;
}

} // namespace qx
