#include "VmoLib2/3DEngine/qxSlideFilter.h"

#include "QxLib/qxExceptions.h"

namespace qx {

TSlideFilter::TSlideFilter(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params) {
  SetWholeSlide(true);
}

TFloatPoint TSlideFilter::Offset() const {
  const double p = Phase();
  const double width = TargetRect().Width();
  const double height = TargetRect().Height();
  switch (Variant()) {
  case kFromLeft: return {p * width - width, 0};
  case kFromRight: return {width - p * width, 0};
  case kFromTop: return {0, p * height - height};
  case kFromBottom: return {0, height - p * height};
  default: QX_ASSERT(false, "Slide variant out of range");
  }
  return {};
}

void TSlideFilter::Draw(TEffController& controller) {
  const TPixelRect& target = TargetRect();
  if (target.Width() <= 0 || target.Height() <= 0) {
    return;
  }
  const TFloatPoint offset = Offset();
  const auto at = [&](double x, double y) { return T3DPoint{x + offset.x, y + offset.y, 0}; };
  DrawCard(controller, target,
           {at(target.Left, target.Top), at(target.Right, target.Top), at(target.Left, target.Bottom),
            at(target.Right, target.Bottom)},
           255);
}

TFloatPoint TPushFilter::PushShift() const {
  const TFloatPoint offset = Offset();
  const double width = TargetRect().Width();
  const double height = TargetRect().Height();
  switch (Variant()) {
  case kFromLeft: return {offset.x + width, 0};
  case kFromRight: return {offset.x - width, 0};
  case kFromTop: return {0, offset.y + height};
  default: return {0, offset.y - height};
  }
}

} // namespace qx
