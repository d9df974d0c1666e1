#include "VmoLib2/3DEngine/qxShapeFilters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qx {

namespace {

constexpr double kMiddle = 0.5;

enum TDiagonalMode : int { kRightSide = 0, kBothSides = 1, kLeftSide = 2 };

} // namespace

// ---- TCircleFilter ----

double TCircleFilter::CenterDistance() const {
  const TPixelRect& s = SlideRect();
  const TFloatPoint c = Center();
  const double dx = std::max({s.Left - c.x, 0.0, c.x - s.Right});
  const double dy = std::max({s.Top - c.y, 0.0, c.y - s.Bottom});
  return std::hypot(dx, dy);
}

int TCircleFilter::Segments() const { return CenterDistance() > 0 ? kOutsideSegments : kSegments; }

double TCircleFilter::ComputeReach() const {
  const TPixelRect& s = SlideRect();
  const TFloatPoint c = Center();
  double farthest = 0;
  for (const double x : {double(s.Left), double(s.Right)}) {
    for (const double y : {double(s.Top), double(s.Bottom)}) {
      farthest = std::max(farthest, std::hypot(x - c.x, y - c.y));
    }
  }
  return farthest - CenterDistance();
}

void TCircleFilter::EmitRing(int order, double outerAlpha, double innerAlpha, double outer, double inner) {
  const double offset = CenterDistance();
  const double outerRadius = outer + offset;
  const double innerRadius = inner + offset;
  const int n = Segments();
  const double step = 2 * std::numbers::pi / n;
  const TFloatPoint c = Center();
  // Circle k of the frame is turned by half a segment when k is odd; the
  // ring of order k lies between circles k and k + 1.
  const double innerTurn = (order % 2) * kMiddle;
  const double outerTurn = ((order + 1) % 2) * kMiddle;
  const auto at = [&](double radius, double k, double alpha) {
    return TEffVertex{c.x + radius * std::cos(k * step), c.y + radius * std::sin(k * step), alpha};
  };
  if (innerRadius <= 0) {
    const TEffVertex centre{c.x, c.y, innerAlpha};
    for (int j = 0; j < n; ++j) {
      Emit(centre, at(outerRadius, j + outerTurn, outerAlpha), at(outerRadius, j + 1 + outerTurn, outerAlpha));
    }
    return;
  }
  for (int j = 0; j < n; ++j) {
    const TEffVertex i0 = at(innerRadius, j + innerTurn, innerAlpha);
    const TEffVertex i1 = at(innerRadius, j + 1 + innerTurn, innerAlpha);
    const TEffVertex o0 = at(outerRadius, j + outerTurn, outerAlpha);
    const TEffVertex o1 = at(outerRadius, j + 1 + outerTurn, outerAlpha);
    if (innerTurn < outerTurn) {
      Emit(i0, o0, i1);
      Emit(o0, o1, i1);
    } else {
      Emit(o0, i0, o1);
      Emit(i0, i1, o1);
    }
  }
}

// ---- TRhombFilter ----

double TRhombFilter::ComputeReach() const { return (SlideRect().Width() + SlideRect().Height()) / 2.0; }

void TRhombFilter::EmitRing(int, double outerAlpha, double innerAlpha, double outer, double inner) {
  const TFloatPoint c = Center();
  for (const double sx : {-1.0, 1.0}) {
    for (const double sy : {-1.0, 1.0}) {
      EmitQuad({c.x + sx * inner, c.y, innerAlpha}, {c.x + sx * outer, c.y, outerAlpha},
               {c.x, c.y + sy * outer, outerAlpha}, {c.x, c.y + sy * inner, innerAlpha});
    }
  }
}

// ---- TSquareFilter ----

double TSquareFilter::ComputeReach() const { return SlideRect().Width() / 2.0; }

void TSquareFilter::EmitRing(int, double outerAlpha, double innerAlpha, double outer, double inner) {
  const TFloatPoint c = Center();
  const double aspect = SlideRect().Width() > 0 ? double(SlideRect().Height()) / SlideRect().Width() : 1.0;
  const double ow = outer;
  const double oh = outer * aspect;
  const double iw = inner;
  const double ih = inner * aspect;
  const TEffVertex o[] = {{c.x - ow, c.y - oh, outerAlpha},
                          {c.x + ow, c.y - oh, outerAlpha},
                          {c.x + ow, c.y + oh, outerAlpha},
                          {c.x - ow, c.y + oh, outerAlpha}};
  const TEffVertex i[] = {{c.x - iw, c.y - ih, innerAlpha},
                          {c.x + iw, c.y - ih, innerAlpha},
                          {c.x + iw, c.y + ih, innerAlpha},
                          {c.x - iw, c.y + ih, innerAlpha}};
  for (int side = 0; side < 4; ++side) {
    const int next = (side + 1) % 4;
    EmitQuad(o[side], o[next], i[next], i[side]);
  }
}

// ---- TLinesFilter ----

TLinesFilter::TLinesFilter(int effectClass, int variant, const TEffectParams& params, double centerX, double centerY,
                           bool inverted, bool acrossRows)
    : TCommonFilter(effectClass, variant, params, centerX, centerY, inverted), m_acrossRows(acrossRows) {}

double TLinesFilter::ComputeReach() const {
  const TPixelRect& s = SlideRect();
  const double c = m_acrossRows ? Center().y : Center().x;
  return m_acrossRows ? std::max(c - s.Top, s.Bottom - c) : std::max(c - s.Left, s.Right - c);
}

void TLinesFilter::EmitRing(int, double outerAlpha, double innerAlpha, double outer, double inner) {
  const TPixelRect& s = SlideRect();
  const double c = m_acrossRows ? Center().y : Center().x;
  // Along the bands from one edge of the slide to the other.
  const double from = m_acrossRows ? s.Left : s.Top;
  const double to = m_acrossRows ? s.Right : s.Bottom;
  const auto at = [&](double across, double along, double alpha) {
    return m_acrossRows ? TEffVertex{along, across, alpha} : TEffVertex{across, along, alpha};
  };
  for (const double side : {-1.0, 1.0}) {
    const double i = c + side * inner;
    const double o = c + side * outer;
    EmitQuad(at(i, from, innerAlpha), at(o, from, outerAlpha), at(o, to, outerAlpha), at(i, to, innerAlpha));
  }
}

// ---- TDiagLines ----

TDiagLines::TDiagLines(int effectClass, int variant, const TEffectParams& params)
    : TCommonFilter(effectClass, variant, params, kMiddle, kMiddle,
                    effectClass == kEffectDiagonal && (variant == 1 || variant == 3)),
      m_otherDiagonal(variant > 2) {
  if (effectClass == kEffectDiagonal) {
    m_mode = kBothSides;
  } else {
    m_mode = (variant == 1 || variant == 3) ? kRightSide : kLeftSide;
  }
}

double TDiagLines::ComputeReach() const {
  const double sum = SlideRect().Width() + SlideRect().Height();
  return m_mode == kBothSides ? sum / 2 : sum;
}

void TDiagLines::EmitBand(double from, double fromAlpha, double to, double toAlpha) {
  const TPixelRect& r = SlideRect();
  const double height = r.Height();
  const double sum = r.Width() + height;
  const double s = m_mode == kRightSide ? 0.0 : m_mode == kBothSides ? sum / 2 : sum;
  const double top = r.Left + (m_otherDiagonal ? s - height : s);
  const double bottom = r.Left + (m_otherDiagonal ? s : s - height);
  EmitQuad({top + from, double(r.Top), fromAlpha}, {top + to, double(r.Top), toAlpha},
           {bottom + to, double(r.Bottom), toAlpha}, {bottom + from, double(r.Bottom), fromAlpha});
}

void TDiagLines::EmitRing(int, double outerAlpha, double innerAlpha, double outer, double inner) {
  if (m_mode != kLeftSide) {
    EmitBand(inner, innerAlpha, outer, outerAlpha);
  }
  if (m_mode != kRightSide) {
    EmitBand(-outer, outerAlpha, -inner, innerAlpha);
  }
}

} // namespace qx
