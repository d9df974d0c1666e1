#include "VmoLib2/VmoClasses/qxVmoBox.h"

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr std::string_view kFillModeWords[] = {"Solid", "HGradient", "VGradient", "TLBRGradient", "TRBLGradient"};

uint8_t ReadAlpha(const TIniIdentList& block, std::string_view key) {
  return static_cast<uint8_t>(std::clamp(block.ReadInteger(key, 255), 0, 255));
}

TRgba WithAlpha(TRgb color, uint8_t alpha) { return {color.r, color.g, color.b, alpha}; }

} // namespace

TGradientKind GradientKindOf(TFillMode mode) {
  switch (mode) {
  case TFillMode::HGradient: return TGradientKind::Horizontal;
  case TFillMode::VGradient: return TGradientKind::Vertical;
  case TFillMode::TLBRGradient: return TGradientKind::TopLeftToBottomRight;
  case TFillMode::TRBLGradient: return TGradientKind::TopRightToBottomLeft;
  case TFillMode::Solid: break;
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

void TVmoBox::PrepareResources() {
  const TBoxDrawParams params = DrawParams();
  const bool solid = params.Gradient == TGradientKind::Solid;
  m_shadow.Prepare(Host(), Shadow().Enabled,
                   ShapeShadowParams(*this, static_cast<int>(params.Gradient), params.Color1.a,
                                     solid ? params.Color1.a : params.Color2.a));
  TVmoObject::PrepareResources();
}

void TVmoBox::DrawContent(TDeviceDrawer& drawer) {
  const TBoxDrawParams params = DrawParams();
  if (!(params.Opacity > 0))
    return;
  m_shadow.Draw(drawer, *this, std::sqrt(static_cast<double>(Width()) * Height()), params.Opacity);
  DrawShape(drawer, ObjectPlacement(*this), params);
}

void TVmoBox::DrawShape(TDeviceDrawer& drawer, const TPlacement& placement, const TBoxDrawParams& params) {
  drawer.DrawBox(placement, params);
}

void TVmoFrame::DrawShape(TDeviceDrawer& drawer, const TPlacement& placement, const TBoxDrawParams& params) {
  if (Width() <= 0 || Height() <= 0)
    return;
  const double line = std::max(1.0, std::min(Width(), Height()) * kFrameLineFraction);
  const auto across = static_cast<float>(line / Width());
  const auto down = static_cast<float>(line / Height());
  drawer.DrawFrame(placement, across, down, across, down, params);
}

} // namespace qx
