#include "VmoLib2/3DEngine/qxBroomEffect.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <vector>

namespace qx {

namespace {

constexpr double kFull = 255;
constexpr double kTurn = 2 * std::numbers::pi;
constexpr double kSampleStep = kTurn / TBroom::kSamples;
constexpr double kDiagonal = 0.70710678118654752;
// Corners nearer the pivot than this have no angle of their own.
constexpr double kSamePoint = 1e-9;

enum TBroomDirection : int {
  kUp = 1,
  kRight = 2,
  kDown = 3,
  kLeft = 4,
  kUpRight = 5,
  kDownRight = 6,
  kDownLeft = 7,
  kUpLeft = 8,
};

double CentreX(const TFloatRect& r) { return (r.left + r.right) / 2; }
double CentreY(const TFloatRect& r) { return (r.top + r.bottom) / 2; }

} // namespace

// ---- TBroom ----

void TBroom::Init(const TFloatRect& slide, double offset, double softWidth) {
  offset = std::max(offset, 0.0);
  m_pivot = PlacePivot(slide, offset);
  const double cx = CentreX(slide) - m_pivot.x;
  const double cy = CentreY(slide) - m_pivot.y;
  const double toCentre = std::hypot(cx, cy);
  m_softAngle = softWidth > 0 && toCentre > 0 ? 2 * std::atan(softWidth / (2 * toCentre)) : 0.0;
  m_rayLength = (slide.right - slide.left) + (slide.bottom - slide.top) + offset;
  // The fan starts where the slide does.
  const double outsideX = std::max({slide.left - m_pivot.x, 0.0, m_pivot.x - slide.right});
  const double outsideY = std::max({slide.top - m_pivot.y, 0.0, m_pivot.y - slide.bottom});
  m_innerRadius = std::hypot(outsideX, outsideY);
  const double middle = std::atan2(cy, cx);
  m_first = middle;
  m_last = middle;
  for (const double x : {slide.left, slide.right}) {
    for (const double y : {slide.top, slide.bottom}) {
      if (std::hypot(x - m_pivot.x, y - m_pivot.y) < kSamePoint) {
        continue;
      }
      const double angle = middle + std::remainder(std::atan2(y - m_pivot.y, x - m_pivot.x) - middle, kTurn);
      m_first = std::min(m_first, angle);
      m_last = std::max(m_last, angle);
    }
  }
}

double TBroom::Level(double angle, double sweep) const {
  if (angle <= sweep) {
    return 0;
  }
  if (m_softAngle <= 0 || angle >= sweep + m_softAngle) {
    return kFull;
  }
  const auto index = static_cast<size_t>(std::lround((angle - sweep) * kFull / m_softAngle));
  return SweepRampTable()[std::min<size_t>(index, 255)];
}

void TBroom::Emit(double sweep, const TLevelSink& sink) const {
  const double end = std::min(m_last, sweep + m_softAngle);
  if (end <= m_first) {
    return;
  }
  // Rays: the grid of samples from the start angle, every tenth one where
  // the level does not change, every one across the soft edge, and the
  // sweep and the edge's end themselves so that the edge moves smoothly.
  std::vector<double> rays{m_first, end};
  if (sweep > m_first && sweep < end) {
    rays.push_back(sweep);
  }
  const double start = StartAngle();
  for (int j = 1; j <= kSamples; ++j) {
    const double angle = start + j * kSampleStep;
    if (angle >= end) {
      break;
    }
    const bool softPart = angle > sweep - kSampleStep;
    if (angle > m_first && (softPart || j % kCoarseSamples == 0)) {
      rays.push_back(angle);
    }
  }
  std::sort(rays.begin(), rays.end());
  // Each ray keeps its level from where it enters the slide to its end, so
  // the level is the same along a ray and changes only across the fan.
  const auto at = [&](double angle, double radius) {
    return TLevelVertex{m_pivot.x + radius * std::cos(angle), m_pivot.y + radius * std::sin(angle),
                        Level(angle, sweep)};
  };
  for (size_t i = 0; i + 1 < rays.size(); ++i) {
    if (rays[i + 1] - rays[i] <= 0) {
      continue;
    }
    const TLevelVertex inner0 = at(rays[i], m_innerRadius);
    const TLevelVertex inner1 = at(rays[i + 1], m_innerRadius);
    const TLevelVertex outer0 = at(rays[i], m_rayLength);
    const TLevelVertex outer1 = at(rays[i + 1], m_rayLength);
    sink(inner0, outer0, outer1);
    if (m_innerRadius > 0) {
      sink(inner0, outer1, inner1);
    }
  }
}

TFloatPoint TBroomUp::PlacePivot(const TFloatRect& s, double offset) const { return {CentreX(s), s.top - offset}; }
TFloatPoint TBroomRight::PlacePivot(const TFloatRect& s, double offset) const { return {s.right + offset, CentreY(s)}; }
TFloatPoint TBroomDown::PlacePivot(const TFloatRect& s, double offset) const { return {CentreX(s), s.bottom + offset}; }
TFloatPoint TBroomLeft::PlacePivot(const TFloatRect& s, double offset) const { return {s.left - offset, CentreY(s)}; }
TFloatPoint TBroomUpRight::PlacePivot(const TFloatRect& s, double offset) const {
  return {s.right + offset * kDiagonal, s.top - offset * kDiagonal};
}
TFloatPoint TBroomDownRight::PlacePivot(const TFloatRect& s, double offset) const {
  return {s.right + offset * kDiagonal, s.bottom + offset * kDiagonal};
}
TFloatPoint TBroomDownLeft::PlacePivot(const TFloatRect& s, double offset) const {
  return {s.left - offset * kDiagonal, s.bottom + offset * kDiagonal};
}
TFloatPoint TBroomUpLeft::PlacePivot(const TFloatRect& s, double offset) const {
  return {s.left - offset * kDiagonal, s.top - offset * kDiagonal};
}

std::unique_ptr<TBroom> MakeBroom(int direction) {
  switch (direction) {
  case kUp: return std::make_unique<TBroomUp>();
  case kRight: return std::make_unique<TBroomRight>();
  case kDown: return std::make_unique<TBroomDown>();
  case kLeft: return std::make_unique<TBroomLeft>();
  case kUpRight: return std::make_unique<TBroomUpRight>();
  case kDownRight: return std::make_unique<TBroomDownRight>();
  case kDownLeft: return std::make_unique<TBroomDownLeft>();
  case kUpLeft: return std::make_unique<TBroomUpLeft>();
  default: QX_ASSERT(false, "Broom direction out of range");
  }
  return nullptr;
}

// ---- TBroomEffect ----

TBroomEffect::TBroomEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_direction(variant > kDirections ? variant - kDirections : variant) {
  SetInverted(variant > kDirections);
}

TBroomEffect::~TBroomEffect() = default;

TBroom& TBroomEffect::Generator() {
  if (!m_broom) {
    const TPixelRect& s = SlideRect();
    auto broom = MakeBroom(m_direction);
    broom->Init({double(s.Left), double(s.Top), double(s.Right), double(s.Bottom)}, Offset(), SoftEdge());
    m_broom = std::move(broom);
  }
  return *m_broom;
}

double TBroomEffect::SweepAngle() {
  const TBroom& broom = Generator();
  const double phase = Inverted() ? 1 - Phase() : Phase();
  return broom.StartAngle() + (broom.EndAngle() - broom.StartAngle()) * phase;
}

void TBroomEffect::Draw(TEffController& controller) {
  if (SlideRect().Width() <= 0 || SlideRect().Height() <= 0 || TargetRect().Width() <= 0 ||
      TargetRect().Height() <= 0) {
    return;
  }
  const double sweep = SweepAngle();
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  const auto mapped = [&](const TLevelVertex& v) {
    const TFloatPoint p = ToTarget(v.x, v.y);
    return TEffVertex{p.x, p.y, kFull - v.level};
  };
  try {
    Generator().Emit(sweep, [&](const TLevelVertex& a, const TLevelVertex& b, const TLevelVertex& c) {
      area.AddTriangle(mapped(a), mapped(b), mapped(c));
    });
  } catch (const std::exception& error) {
    // What was emitted is still drawn; the next frame tries again.
    Log().WriteLine(std::string("TBroomEffect.Draw: ") + error.what());
  }
  area.Flush();
}

} // namespace qx
