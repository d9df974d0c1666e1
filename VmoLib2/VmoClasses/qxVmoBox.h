// Boxes and frames: a rectangle of a given size filled with one colour or a
// gradient of two, each with its own alpha.
#pragma once

#include "QxLib/qxColor.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
#include "VmoLib2/VmoClasses/qxVmoDrawing.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include <cstdint>
#include <string>

namespace qx {

// "FillMode" in the order of its words.
enum class TFillMode : int32_t { Solid = 0, HGradient = 1, VGradient = 2, TLBRGradient = 3, TRBLGradient = 4 };

// The drawer's gradient kind for a fill mode.
TGradientKind GradientKindOf(TFillMode mode);

class TVmoBox : public TVmoObject {
public:
  TVmoBox(TVmoObject* parent, std::string name);

  TFillMode FillMode() const { return m_fillMode; }
  TRgb Color1() const { return m_color1; }
  TRgb Color2() const { return m_color2; }
  uint8_t Alpha1() const { return m_alpha1; }
  uint8_t Alpha2() const { return m_alpha2; }
  bool Antialiased() const { return m_antialiased; }

  TBoxDrawParams DrawParams() const;

  // Asks for the shape shadow (a rectangle filled as the box's alphas say)
  // when the shadow is on.
  void PrepareResources() override;
  const TObjectShadow& DropShadow() const { return m_shadow; }

protected:
  void ReadSettings(const TIniIdentList& block) override;
  // The shadow, then the shape.
  void DrawContent(TDeviceDrawer& drawer) override;
  // The filled rectangle at `placement`.
  virtual void DrawShape(TDeviceDrawer& drawer, const TPlacement& placement, const TBoxDrawParams& params);

private:
  TFillMode m_fillMode = TFillMode::Solid;
  TRgb m_color1{0, 0, 0};
  TRgb m_color2{0, 0, 0};
  uint8_t m_alpha1 = 255;
  uint8_t m_alpha2 = 255;
  bool m_antialiased = false;
  TObjectShadow m_shadow;
};

// A frame reads the same keys as a box and is drawn as its outline: four
// bars along the sides, each kFrameLineFraction of the shorter side thick
// (at least one pixel of the base size).
class TVmoFrame : public TVmoBox {
public:
  static constexpr double kFrameLineFraction = 0.1;
  using TVmoBox::TVmoBox;

protected:
  void DrawShape(TDeviceDrawer& drawer, const TPlacement& placement, const TBoxDrawParams& params) override;
};

} // namespace qx
