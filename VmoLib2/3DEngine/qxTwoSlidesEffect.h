// The swap: both slides move in space, each out sideways and back while
// receding and tilting, and change places; the drawer hands the effect both
// slides each frame, the one further back first.
#pragma once

#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <array>

namespace qx {

class TTwoSlidesEffect : public TDrawFilter {
public:
  TTwoSlidesEffect(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TTwoSlidesEffect"; }
  double MaxAngle() const { return m_maxAngle; } // radians
  // Draws so far; odd for the first slide of a frame.
  int Calls() const { return m_calls; }

  // The corners (top-left, top-right, bottom-left, bottom-right, target
  // pixels, depth in pixels away from the viewer) of a slide drawn with
  // progress x (0 ... 1) of its own movement toward the side `sign` (+1 or
  // -1) of the variant's axis: it moves out by up to SwapWidth slide sizes
  // and back, recedes to SwapDepth slide heights and tilts by up to
  // SwapMaxAngle. A variant outside 1 ... 4 is an assertion.
  std::array<T3DPoint, 4> Corners(double x, double sign) const;

  // The first call of a frame clears every cell to black; each call draws
  // one slide: the one of the other side uses 1 - eased phase when (phase
  // >= 0.5) differs from (the call is the frame's first), else the eased
  // phase.
  void Draw(TEffController& controller) override;

private:
  double m_maxAngle;
  int m_calls = 0;
};

} // namespace qx
