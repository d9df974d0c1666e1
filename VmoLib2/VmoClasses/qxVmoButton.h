// Button objects: a picture made from a button skin (a theme folder under
// the show's button path) at the width the caption needs, one picture per
// mouse state (normal, hover, pressed), recoloured by the button's hue,
// saturation and lightness, with the caption as a text object inside.
#pragma once

#include "QxLib/Graphics/qxHslAdjust.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include <array>
#include <cstdint>
#include <string>

namespace qx {

class TButtonProducer;
class TVmoText;

// The theme used when a button's own theme has no skin.
inline constexpr std::string_view kDefaultButtonTheme = "aqua";

// The width of a button of skin height `height`, with minimum width and
// offset in percent of the height, the caption's zoom in percent (none:
// the caption has no key point) and the caption's width ÷ height:
// max(H, round(H × min / 100), round((H − round(m × H / 100)) × ratio +
// H × offset / 100)) with m = 100 − zoom (0 without key point).
int32_t ButtonWidth(int32_t height, double minWidth, double offsetX, const double* captionZoom, double ratio);

class TVmoButton : public TVmoImage {
public:
  TVmoButton(TVmoObject* parent, std::string name);
  ~TVmoButton() override;

  bool HasMouseStates() const override { return true; }

  const std::string& Theme() const { return m_theme; }
  float ButtonOpacity() const { return m_buttonOpacity; }
  float TextOpacity() const { return m_textOpacity; }
  const THslShift& ColorShift() const { return m_shift; }
  double MinWidth() const { return m_minWidth; }
  double OffsetX() const { return m_offsetX; }

  // The skin found at the last PrepareResources (the theme's, else the
  // default theme's), or none.
  const TButtonProducer* Skin() const { return m_skin; }
  // The first text object inside the button, or none.
  TVmoText* Caption() const;
  // The width computed at the last PrepareResources (0 without skin).
  int32_t ButtonPixelWidth() const { return m_width; }

  // The name of the picture of a state (0 normal, 1 hover, 2 pressed);
  // empty without skin.
  std::string StatePictureName(int state) const;
  // The normal state's picture name.
  std::string PictureName() const override { return StatePictureName(0); }
  // Finds the skin, lays the caption out, computes the width, then opens the
  // three state pictures.
  void PrepareResources() override;

  double ShadowSizeFactor() const override;
  // The base height x 3.
  double ShadowSizeMeasure() const override;
  // The picture's parameters with "BtnOpacity" applied, the skin's
  // filtering unless the block chose one, and no mip bias.
  TPictureDrawParams DrawParams() const override;

protected:
  void ReadSettings(const TIniIdentList& block) override;
  TSize PictureBaseSize(const TBitmapStore& picture) const override;
  TBitmapStore* DrawnPicture() const override;

private:
  void FindSkin();
  // The skin's defaults, taken while the button has no picture yet.
  void ApplySkinDefaults();

  std::string m_theme;
  float m_buttonOpacity = 100;
  float m_textOpacity = 100;
  THslShift m_shift;
  double m_minWidth = 0;
  double m_offsetX = 100;
  bool m_filteringGiven = false;
  bool m_minWidthGiven = false;
  bool m_offsetXGiven = false;

  const TButtonProducer* m_skin = nullptr;
  int32_t m_width = 0;
  // The hover and pressed pictures; the normal one is the base's picture.
  std::array<TRefPtr<TBitmapStore>, 2> m_statePictures;
  std::array<std::string, 2> m_stateNames;
};

} // namespace qx
