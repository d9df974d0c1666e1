#include "VmoLib2/VmoClasses/qxVmoButton.h"

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoText.h"
#include "VmoLib2/qxButtonProducer.h"

#include <algorithm>
#include <cmath>

namespace qx {

int32_t ButtonWidth(int32_t height, double minWidth, double offsetX, const double* captionZoom, double ratio) {
  const double h = height;
  const double margin = captionZoom ? 100 - *captionZoom : 0;
  const double captionHeight = h - std::round(margin * h / 100);
  double width = std::max({h, std::round(h * minWidth / 100), std::round(captionHeight * ratio + h * offsetX / 100)});
  // Absurd settings give a picture the limits refuse, not an overflow.
  if (!(width >= 1))
    width = 1;
  return static_cast<int32_t>(std::min(width, static_cast<double>(kMaxPictureSide) + 1));
}

TVmoButton::TVmoButton(TVmoObject* parent, std::string name) : TVmoImage(parent, std::move(name)) {}

TVmoButton::~TVmoButton() = default;

void TVmoButton::ReadSettings(const TIniIdentList& block) {
  SetSetting(m_theme, block.ReadString("Theme", ""));
  SetFloatSetting(m_buttonOpacity, static_cast<float>(block.ReadFloat("BtnOpacity", 100)));
  SetFloatSetting(m_textOpacity, static_cast<float>(block.ReadFloat("TxtOpacity", 100)));
  SetSetting(m_shift, THslShift{block.ReadInteger("Hue", 0), block.ReadInteger("Saturation", 0),
                                block.ReadInteger("Lightness", 0)});
  ReadPictureSettings(block);
  m_filteringGiven = block.KeyExists("Filtering");
  m_minWidthGiven = block.KeyExists("BtnMinWidth");
  m_offsetXGiven = block.KeyExists("BtnOffsetX");
  SetFloatSetting(m_minWidth, block.ReadFloat("BtnMinWidth", m_minWidth));
  SetFloatSetting(m_offsetX, block.ReadFloat("BtnOffsetX", 100));
}

TVmoText* TVmoButton::Caption() const {
  for (int i = 0; i < ChildCount(); ++i)
    if (auto* text = dynamic_cast<TVmoText*>(&Child(i)))
      return text;
  return nullptr;
}

void TVmoButton::FindSkin() {
  m_skin = nullptr;
  TVmoObjectHost* host = Host();
  if (!host)
    return;
  m_skin = host->ButtonTheme(m_theme);
  if (!m_skin)
    m_skin = host->ButtonTheme(std::string(kDefaultButtonTheme));
}

// What the block itself gives wins over the skin: the skin only fills in
// the width settings the block left out.
void TVmoButton::ApplySkinDefaults() {
  if (!m_offsetXGiven)
    SetFloatSetting(m_offsetX, 100.0);
  if (!m_minWidthGiven)
    SetFloatSetting(m_minWidth, m_skin->MinWidth());
  TVmoText* caption = Caption();
  if (!caption)
    return;
  const TRgb color = m_skin->TextColor();
  caption->SetColors({color, color, color});
  if (caption->KeyPoints().Count() > 0) {
    TKeyPoint& first = caption->KeyPoints().KeyPoint(0);
    const float zoom = static_cast<float>(100 - m_skin->ButtonOffset());
    first.SetScaleX(zoom);
    first.SetScaleY(zoom);
  }
}

std::string TVmoButton::StatePictureName(int state) const {
  if (!m_skin || m_width <= 0)
    return {};
  return ComposeButtonName({m_skin->SkinName(), state, m_width, m_shift});
}

void TVmoButton::PrepareResources() {
  FindSkin();
  if (m_skin && !Picture())
    ApplySkinDefaults();
  TVmoText* caption = Caption();
  // The caption's laid-out width decides the button's width.
  if (caption)
    caption->PrepareResources();
  m_width = 0;
  if (m_skin) {
    double zoom = 0;
    const double* captionZoom = nullptr;
    if (caption && caption->KeyPoints().Count() > 0) {
      zoom = caption->KeyPoints().KeyPoint(0).Values().ScaleY;
      captionZoom = &zoom;
    }
    const double ratio = caption && caption->Layout() ? caption->LayoutRatio() : 0;
    m_width = ButtonWidth(m_skin->SkinHeight(), m_minWidth, m_offsetX, captionZoom, ratio);
  }
  TVmoImage::PrepareResources();
  for (size_t i = 0; i < m_statePictures.size(); ++i) {
    const std::string name = StatePictureName(static_cast<int>(i) + 1);
    if (name == m_stateNames[i] && m_statePictures[i])
      continue;
    m_stateNames[i] = name;
    m_statePictures[i].Reset();
    TVmoObjectHost* host = Host();
    if (host && !name.empty())
      m_statePictures[i] = host->OpenPicture(name);
  }
}

TSize TVmoButton::PictureBaseSize(const TBitmapStore&) const {
  return m_skin ? TSize{m_width, m_skin->SkinHeight()} : TSize{};
}

TBitmapStore* TVmoButton::DrawnPicture() const {
  const TMouseState state = MouseState();
  if (state != TMouseState::Normal) {
    const TRefPtr<TBitmapStore>& picture = m_statePictures[state == TMouseState::Hover ? 0 : 1];
    if (picture)
      return picture.Get();
  }
  return Picture().Get();
}

TPictureDrawParams TVmoButton::DrawParams() const {
  TPictureDrawParams params = TVmoImage::DrawParams();
  params.Opacity = params.Opacity * m_buttonOpacity / 100;
  params.MipBias = 0;
  if (!m_filteringGiven && m_skin)
    params.Filtering = m_skin->Filtering();
  return params;
}

double TVmoButton::ShadowSizeMeasure() const { return Height() * 3.0; }

double TVmoButton::ShadowSizeFactor() const { return LevelHeight() / kShadowSizeDivisor * kTextShadowScale; }

} // namespace qx
