#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include "VmoLib2/3DEngine/qx2DSeparator.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr double kFull = 255;
constexpr double kHalf = 127.5;
constexpr double kRampDivisor = 128;

} // namespace

double EaseInOut(double t) {
  t = std::clamp(t, 0.0, 1.0);
  return t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t);
}

double SoftRamp(double x) {
  return x < kHalf ? x * x / kRampDivisor : kFull - (kFull - x) * (kFull - x) / kRampDivisor;
}

const std::array<uint8_t, 256>& SweepRampTable() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 128; ++i) {
      t[static_cast<size_t>(i)] = static_cast<uint8_t>(i * i / 128);
      t[static_cast<size_t>(255 - i)] = static_cast<uint8_t>(255 - t[static_cast<size_t>(i)]);
    }
    return t;
  }();
  return table;
}

void DrawCard(TEffController& controller, const TPixelRect& picture, const std::array<T3DPoint, 4>& corners,
              uint8_t grey) {
  const double left = picture.Left;
  const double top = picture.Top;
  const double right = picture.Right;
  const double bottom = picture.Bottom;
  const TEffTexVertex tl{corners[0], {left, top}, grey};
  const TEffTexVertex tr{corners[1], {right, top}, grey};
  const TEffTexVertex bl{corners[2], {left, bottom}, grey};
  const TEffTexVertex br{corners[3], {right, bottom}, grey};
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  area.AddTexturedTriangle({tl, tr, bl});
  area.AddTexturedTriangle({tr, br, bl});
  area.Flush();
}

// ---- TDrawFilter ----

TDrawFilter::TDrawFilter(int effectClass, int variant, const TEffectParams& params)
    : m_class(effectClass), m_variant(variant), m_params(params) {}

TDrawFilter::~TDrawFilter() = default;

void TDrawFilter::Init(const TPixelRect& slideRect, int softEdge, double duration) {
  m_slideRect = slideRect;
  m_targetRect = slideRect;
  m_softEdge = std::max(softEdge, 0);
  m_duration = static_cast<float>(std::max(duration, 0.0));
  m_reciprocal = m_duration > 0 ? 1.0 / m_duration : 0.0;
  m_progress = 0;
  ComputeGeometry();
}

void TDrawFilter::SetProgress(double progress) {
  m_progress = static_cast<float>(std::clamp(progress, 0.0, static_cast<double>(m_duration)));
}

void TDrawFilter::Draw(TEffController&) {}

void TDrawFilter::ComputeGeometry() {}

double TDrawFilter::ScaleX() const {
  return m_slideRect.Width() > 0 ? static_cast<double>(m_targetRect.Width()) / m_slideRect.Width() : 1.0;
}

double TDrawFilter::ScaleY() const {
  return m_slideRect.Height() > 0 ? static_cast<double>(m_targetRect.Height()) / m_slideRect.Height() : 1.0;
}

TFloatPoint TDrawFilter::ToTarget(double x, double y) const {
  return {(x - m_slideRect.Left) * ScaleX() + m_targetRect.Left, (y - m_slideRect.Top) * ScaleY() + m_targetRect.Top};
}

// ---- TAlphaFilter ----

void TAlphaFilter::Draw(TEffController& controller) {
  const TPixelRect& target = TargetRect();
  if (target.Width() <= 0 || target.Height() <= 0) {
    return;
  }
  const double alpha = std::clamp(Phase() * kFull, 0.0, kFull);
  const double left = target.Left;
  const double top = target.Top;
  const double right = target.Right;
  const double bottom = target.Bottom;
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  area.AddTriangle({left, top, alpha}, {right, top, alpha}, {left, bottom, alpha});
  area.AddTriangle({right, top, alpha}, {right, bottom, alpha}, {left, bottom, alpha});
  area.Flush();
}

// ---- TCommonFilter ----

TCommonFilter::TCommonFilter(int effectClass, int variant, const TEffectParams& params, double centerX, double centerY,
                             bool inverted)
    : TDrawFilter(effectClass, variant, params), m_centerX(centerX), m_centerY(centerY) {
  SetInverted(inverted);
}

TFloatPoint TCommonFilter::Center() const {
  const TPixelRect& slide = SlideRect();
  return {slide.Left + slide.Width() * m_centerX, slide.Top + slide.Height() * m_centerY};
}

void TCommonFilter::ComputeGeometry() { m_reach = std::max(ComputeReach(), 0.0) + SoftEdge(); }

void TCommonFilter::Draw(TEffController& controller) {
  if (TargetRect().Width() <= 0 || TargetRect().Height() <= 0 || SlideRect().Width() <= 0 ||
      SlideRect().Height() <= 0) {
    return;
  }
  double r = Phase() * m_reach;
  if (Inverted()) {
    r = m_reach - r;
  }
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  m_sink = &area;
  try {
    EmitSoftShape(r, r - SoftEdge());
  } catch (...) {
    m_sink = nullptr;
    throw;
  }
  m_sink = nullptr;
  area.Flush();
}

void TCommonFilter::EmitSoftShape(double a, double b) {
  if (a <= 0) {
    return;
  }
  int order = 0;
  if (b > 0) {
    EmitRing(order++, kFull, kFull, b, 0);
  }
  const double width = a - b;
  if (width <= 0) {
    return;
  }
  // The ring that is still open: where it starts and its alpha there.
  double start = std::max(b, 0.0);
  double startAlpha = b < 0 ? kFull - SoftRamp(-b * kFull / width) : kFull;
  for (int i = 1; i <= kSoftRings; ++i) {
    const double x = i * kFull / kSoftRings;
    const double outer = b + x * width / kFull;
    if (outer <= 0) {
      continue;
    }
    if (start >= m_reach) {
      return;
    }
    if (outer - start < kMinRingWidth && i < kSoftRings) {
      continue;
    }
    const double outerAlpha = kFull - SoftRamp(x);
    EmitRing(order++, outerAlpha, startAlpha, outer, start);
    start = outer;
    startAlpha = outerAlpha;
  }
}

void TCommonFilter::Emit(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c) {
  if (!m_sink) {
    return;
  }
  const auto mapped = [this](const TEffVertex& v) {
    const TFloatPoint p = ToTarget(v.x, v.y);
    return TEffVertex{p.x, p.y, v.alpha};
  };
  m_sink->AddTriangle(mapped(a), mapped(b), mapped(c));
}

void TCommonFilter::EmitQuad(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c, const TEffVertex& d) {
  Emit(a, b, c);
  Emit(a, c, d);
}

} // namespace qx
