// The flip: the slide is a card turning in space about its vertical or
// horizontal centre line, on black, seen through the screen's camera; the
// outgoing slide shows until the card is edge-on, the incoming one after.
#pragma once

#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <array>

namespace qx {

class TOverturnEffect : public TDrawFilter {
public:
  // Modes above this turn about the card's centre line.
  static constexpr int kCentredModes = 4;
  static constexpr int kModes = 8;

  TOverturnEffect(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TOverturnEffect"; }
  // 1 ... 8: the variant, plus 4 when turning about the centre line.
  int Mode() const { return m_mode; }

  // The turning angle at this phase: phase x pi (eased with FlipSmooth),
  // negative for the odd modes. A mode outside 1 ... 8 is an assertion.
  double Angle() const;
  // |cos angle| x 155 + 100, rounded half to even: full brightness face-on,
  // 100 edge-on.
  uint8_t Grey() const;
  // The card's corners in target pixels (depth in pixels away from the
  // viewer): the picture's top-left, top-right, bottom-left, bottom-right.
  // The picture is never mirrored: past 90 degrees it shows the right way
  // round.
  std::array<T3DPoint, 4> Corners() const;

  // Black over every cell, then the card.
  void Draw(TEffController& controller) override;

private:
  int m_mode;
};

// Fills every cell of the controller with opaque black, the background
// behind cards moving in space.
void FillCellsBlack(TEffController& controller);

} // namespace qx
