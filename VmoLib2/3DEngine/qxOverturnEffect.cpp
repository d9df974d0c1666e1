#include "VmoLib2/3DEngine/qxOverturnEffect.h"

#include "QxLib/qxExceptions.h"

#include <cmath>
#include <numbers>

namespace qx {

namespace {

constexpr double kGreyRange = 155;
constexpr double kGreyFloor = 100;
constexpr T3DColor kOpaqueBlack = MakeColor(0, 0, 0, 255);

} // namespace

void FillCellsBlack(TEffController& controller) {
  for (int index = 0; index < controller.Columns() * controller.Rows(); ++index) {
    TEffTile& tile = controller.Tile(index);
    const TFloatRect& c = tile.Cell();
    tile.Begin(false, true);
    tile.AddColorTriangle({T3DPoint{c.left, c.top, 0}, {c.right, c.top, 0}, {c.left, c.bottom, 0}},
                          {kOpaqueBlack, kOpaqueBlack, kOpaqueBlack});
    tile.AddColorTriangle({T3DPoint{c.right, c.top, 0}, {c.right, c.bottom, 0}, {c.left, c.bottom, 0}},
                          {kOpaqueBlack, kOpaqueBlack, kOpaqueBlack});
    tile.End();
  }
}

TOverturnEffect::TOverturnEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_mode(params.FlipCenter ? variant + kCentredModes : variant) {}

double TOverturnEffect::Angle() const {
  QX_ASSERT(m_mode >= 1 && m_mode <= kModes, "Flip mode out of range");
  const double turned = (Params().FlipSmooth ? EaseInOut(Phase()) : Phase()) * std::numbers::pi;
  return m_mode % 2 == 1 ? -turned : turned;
}

uint8_t TOverturnEffect::Grey() const {
  return static_cast<uint8_t>(std::nearbyint(std::abs(std::cos(Angle())) * kGreyRange + kGreyFloor));
}

std::array<T3DPoint, 4> TOverturnEffect::Corners() const {
  const double theta = Angle();
  const TPixelRect& t = TargetRect();
  // Modes 1, 2, 5, 6 turn about the vertical axis, 3, 4, 7, 8 about the
  // horizontal one; the second is the first with x and y exchanged.
  const bool vertical = m_mode == 1 || m_mode == 2 || m_mode == 5 || m_mode == 6;
  const double half = (vertical ? t.Width() : t.Height()) / 2.0;
  const double centre = vertical ? t.Left + half : t.Top + half;
  const double s = std::abs(theta) < std::numbers::pi / 2 ? 1.0 : -1.0;
  const double b = std::cos(theta) * half * s;
  const double e = std::sin(theta) * half * Params().FlipCurving * s;
  double nearDepth = std::abs(e) - e;
  double farDepth = std::abs(e) + e;
  if (m_mode > kCentredModes) {
    nearDepth = -e;
    farDepth = e;
  }
  // The picture's right (or bottom) edge at centre + b, its left (or top)
  // edge at centre - b.
  const double high = centre + b;
  const double low = centre - b;
  if (vertical) {
    return {T3DPoint{low, double(t.Top), farDepth}, T3DPoint{high, double(t.Top), nearDepth},
            T3DPoint{low, double(t.Bottom), farDepth}, T3DPoint{high, double(t.Bottom), nearDepth}};
  }
  return {T3DPoint{double(t.Left), low, farDepth}, T3DPoint{double(t.Right), low, farDepth},
          T3DPoint{double(t.Left), high, nearDepth}, T3DPoint{double(t.Right), high, nearDepth}};
}

void TOverturnEffect::Draw(TEffController& controller) {
  const TPixelRect& t = TargetRect();
  FillCellsBlack(controller);
  if (t.Width() <= 0 || t.Height() <= 0) {
    return;
  }
  DrawCard(controller, t, Corners(), Grey());
}

} // namespace qx
