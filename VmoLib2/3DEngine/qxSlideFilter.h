// The incoming slide moving in whole from one side (TSlideFilter), and the
// same movement pushing the outgoing slide out (TPushFilter).
#pragma once

#include "VmoLib2/3DEngine/qxDrawFilter2.h"

namespace qx {

class TSlideFilter : public TDrawFilter {
public:
  // Variants: the side the incoming slide comes from.
  enum TSide : int { kFromLeft = 1, kFromRight = 2, kFromTop = 3, kFromBottom = 4 };

  TSlideFilter(int effectClass, int variant, const TEffectParams& params);
  std::string_view ClassName() const override { return "TSlideFilter"; }

  // Where the incoming slide stands at this phase, relative to its own
  // place (target pixels): from the left phase x width - width, from the
  // right width - phase x width, and likewise from the top and the bottom.
  // A variant outside 1 ... 4 is an assertion.
  TFloatPoint Offset() const;
  // The slide drawn whole, opaque, at its offset.
  void Draw(TEffController& controller) override;
};

class TPushFilter : public TSlideFilter {
public:
  using TSlideFilter::TSlideFilter;
  std::string_view ClassName() const override { return "TPushFilter"; }
  // The shift of the outgoing slide (target pixels), so that the incoming
  // one pushes it out: +phase x width from the left, -phase x width from
  // the right, and likewise vertically.
  TFloatPoint PushShift() const;
};

} // namespace qx
