#include "VmoLib2/3DEngine/qxTwoSlidesEffect.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxOverturnEffect.h"

#include <cmath>
#include <numbers>

namespace qx {

namespace {

constexpr double kHalfWay = 0.5;
constexpr double kDegree = std::numbers::pi / 180.0;

} // namespace

TTwoSlidesEffect::TTwoSlidesEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_maxAngle(params.SwapMaxAngle * kDegree) {}

std::array<T3DPoint, 4> TTwoSlidesEffect::Corners(double x, double sign) const {
  const TPixelRect& t = TargetRect();
  const double width = t.Width();
  const double height = t.Height();
  double a = 0;
  double b = 0;
  switch (Variant()) {
  case 1: a = sign * width; break;
  case 2: a = -sign * width; break;
  case 3: b = sign * height; break;
  case 4: b = -sign * height; break;
  default: QX_ASSERT(false, "Swap variant out of range");
  }
  const double tilt = std::sin(x * m_maxAngle);
  const double out = std::sin(x * std::numbers::pi) * Params().SwapWidth;
  const double recede = x * std::abs(height) * Params().SwapDepth;
  std::array<T3DPoint, 4> corners;
  const double xs[] = {0, width, 0, width};
  const double ys[] = {0, 0, height, height};
  for (size_t i = 0; i < corners.size(); ++i) {
    double depth = recede;
    if (a > 0) {
      depth += tilt * (a - xs[i]);
    } else if (a < 0) {
      depth += tilt * xs[i];
    }
    if (b > 0) {
      depth += tilt * (b - ys[i]);
    } else if (b < 0) {
      depth += tilt * ys[i];
    }
    corners[i] = {t.Left + xs[i] + a * out, t.Top + ys[i] + b * out, depth};
  }
  return corners;
}

void TTwoSlidesEffect::Draw(TEffController& controller) {
  const bool first = ++m_calls % 2 == 1;
  if (first) {
    FillCellsBlack(controller);
  }
  const TPixelRect& t = TargetRect();
  if (t.Width() <= 0 || t.Height() <= 0) {
    return;
  }
  const double u = EaseInOut(Phase());
  const bool other = (Phase() >= kHalfWay) != first;
  DrawCard(controller, t, other ? Corners(1 - u, -1) : Corners(u, 1), 255);
}

} // namespace qx
