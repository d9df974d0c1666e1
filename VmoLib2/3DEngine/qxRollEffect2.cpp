#include "VmoLib2/3DEngine/qxRollEffect2.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qx {

namespace {

constexpr int kMinDiameter = 2;
constexpr double kDiagonal = 0.70710677;
constexpr double kWideAngle = 1.5 * std::numbers::pi;

TFloatRect ToFloat(const TPixelRect& r) { return {double(r.Left), double(r.Top), double(r.Right), double(r.Bottom)}; }

} // namespace

TRollEffect2::TRollEffect2(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params),
      m_diameter(std::max(kMinDiameter, static_cast<int>(std::trunc(params.RollDiameter)))) {
  SetInverted(variant > kDirections);
}

TRollEffect2::~TRollEffect2() = default;

TFloatPoint TRollEffect2::Direction() const {
  QX_ASSERT(Variant() >= 1 && Variant() <= kVariants, "Roll variant out of range");
  // Variants 1 and 7, 2 and 8, 3 and 5, 4 and 6 share a direction.
  static constexpr int kDirectionOf[] = {0, 0, 1, 2, 3, 2, 3, 0, 1};
  const int d = kDirectionOf[Variant()];
  if (EffectClass() == kEffectDiagonalRoll) {
    static constexpr TFloatPoint kDiagonals[] = {
        {kDiagonal, kDiagonal}, {-kDiagonal, kDiagonal}, {-kDiagonal, -kDiagonal}, {kDiagonal, -kDiagonal}};
    return kDiagonals[d];
  }
  static constexpr TFloatPoint kStraight[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  return kStraight[d];
}

TRollSettings TRollEffect2::Settings() const {
  const TEffectParams& p = Params();
  TRollSettings settings;
  settings.radius = m_diameter;
  settings.maxAngle = p.RollVariants ? kWideAngle : std::numbers::pi;
  settings.solid = p.Roll3D;
  settings.curving = p.RollCurving;
  settings.backColor = p.RollUseBackColor;
  settings.back = MakeColor(p.RollBackColor.r, p.RollBackColor.g, p.RollBackColor.b);
  return settings;
}

TRoller3& TRollEffect2::Roller() {
  const TFloatRect page = ToFloat(TargetRect());
  if (!m_roller || !(page == m_rollerPage)) {
    m_roller = std::make_unique<TRoller3>(page, Direction(), Settings());
    m_rollerPage = page;
  }
  return *m_roller;
}

double TRollEffect2::StartPosition() const {
  const TRoller3 roller(ToFloat(TargetRect()), Direction(), Settings());
  return Inverted() ? roller.FlatPosition() : roller.GonePosition();
}

double TRollEffect2::EndPosition() const {
  const TRoller3 roller(ToFloat(TargetRect()), Direction(), Settings());
  return Inverted() ? roller.GonePosition() : roller.FlatPosition();
}

double TRollEffect2::Position() const {
  const double start = StartPosition();
  return start + (EndPosition() - start) * Phase();
}

void TRollEffect2::Draw(TEffController& controller) {
  if (TargetRect().Width() <= 0 || TargetRect().Height() <= 0) {
    return;
  }
  TRoller3& roller = Roller();
  m_flat.SetGrid(controller);
  m_rolled.SetGrid(controller);
  roller.Emit(Position(), m_flat, m_rolled);
  m_flat.Draw(controller);
  m_rolled.Draw(controller, true);
  m_flat.Clear();
  m_rolled.Clear();
}

} // namespace qx
