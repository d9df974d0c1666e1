// Boxes and frames: a rectangle of a given size filled with one colour or a
// gradient of two, each with its own alpha.
#pragma once

#include "QxLib/qxColor.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
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

protected:
  void ReadSettings(const TIniIdentList& block) override;

private:
  TFillMode m_fillMode = TFillMode::Solid;
  TRgb m_color1{0, 0, 0};
  TRgb m_color2{0, 0, 0};
  uint8_t m_alpha1 = 255;
  uint8_t m_alpha2 = 255;
  bool m_antialiased = false;
};

// A frame reads the same keys as a box and is drawn as its outline.
class TVmoFrame : public TVmoBox {
public:
  using TVmoBox::TVmoBox;
};

} // namespace qx
