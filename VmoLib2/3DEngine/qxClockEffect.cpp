#include "VmoLib2/3DEngine/qxClockEffect.h"

#include "QxLib/qxLog.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

namespace qx {

namespace {

constexpr double kFull = 255;
constexpr double kTurn = 2 * std::numbers::pi;
// Lines whose normal is shorter than this are none (the two edges lie on
// one line).
constexpr double kParallel = 1e-12;

// A line n . (p - centre) = offset.
struct TLine {
  TFloatPoint normal;
  double offset = 0;
};

TCutVertex Corner(double x, double y) { return {{x, y}, {x, y, 0}, 0}; }

} // namespace

// ---- TArrow ----

TArrow::TArrow(const TFloatRect& rect, double softWidth, TFloatPoint centre)
    : m_rect(rect), m_soft(std::max(softWidth, TClockEffect::kHardEdge)), m_centre(centre) {}

double TArrow::Level(double x, double y, double angle) const {
  const double px = x - m_centre.x;
  const double py = y - m_centre.y;
  // Distance to a ray from the centre along (ux, uy).
  const auto toRay = [&](double ux, double uy) {
    return px * ux + py * uy >= 0 ? std::abs(px * uy - py * ux) : std::hypot(px, py);
  };
  const double distance = std::min(toRay(0, -1), toRay(std::sin(angle), -std::cos(angle)));
  // The point's own angle, clockwise from 12 o'clock.
  double own = std::atan2(px, -py);
  if (own < 0) {
    own += kTurn;
  }
  const double signedDistance = own <= angle ? distance : -distance;
  const double x255 = (signedDistance + m_soft / 2) / m_soft * kFull;
  const double shown = x255 <= 0 ? 0.0 : x255 >= kFull ? kFull : SoftRamp(x255);
  return kFull - shown;
}

void TArrow::Emit(double angle, const TLevelSink& sink) {
  const TFloatRect& r = m_rect;
  if (angle <= 0 || r.right <= r.left || r.bottom <= r.top) {
    return;
  }
  if (angle >= kTurn) {
    sink({r.left, r.top, 0}, {r.right, r.top, 0}, {r.left, r.bottom, 0});
    sink({r.right, r.top, 0}, {r.right, r.bottom, 0}, {r.left, r.bottom, 0});
    return;
  }
  // The level is the ramp of the distance to the nearer edge ray: linear
  // between the ramp's steps on either side of each edge, and changing its
  // rule only across the edges, across the lines through the centre square
  // to them (beyond which a ray's nearest point is the centre) and where
  // the two edges are equally near.
  const TFloatPoint fixedNormal{1, 0};
  const TFloatPoint handNormal{-std::cos(angle), -std::sin(angle)};
  std::vector<TLine> lines;
  for (int k = 0; k <= kRampSteps; ++k) {
    const double offset = -m_soft / 2 + k * m_soft / kRampSteps;
    lines.push_back({fixedNormal, offset});
    lines.push_back({handNormal, offset});
  }
  lines.push_back({{0, -1}, 0});
  lines.push_back({{std::sin(angle), -std::cos(angle)}, 0});
  lines.push_back({{fixedNormal.x - handNormal.x, fixedNormal.y - handNormal.y}, 0});
  lines.push_back({{fixedNormal.x + handNormal.x, fixedNormal.y + handNormal.y}, 0});

  m_pieces.assign(1,
                  {Corner(r.left, r.top), Corner(r.right, r.top), Corner(r.right, r.bottom), Corner(r.left, r.bottom)});
  std::vector<TCutVertex> low;
  std::vector<TCutVertex> high;
  for (const TLine& line : lines) {
    if (std::hypot(line.normal.x, line.normal.y) < kParallel) {
      continue;
    }
    const double at = line.offset + line.normal.x * m_centre.x + line.normal.y * m_centre.y;
    m_next.clear();
    for (const auto& piece : m_pieces) {
      SplitPolygon(piece, line.normal, at, low, high);
      for (auto* part : {&low, &high}) {
        if (part->size() >= 3) {
          m_next.push_back(*part);
        }
      }
    }
    m_pieces.swap(m_next);
  }
  for (auto& piece : m_pieces) {
    bool shows = false;
    for (TCutVertex& v : piece) {
      v.level = Level(v.texel.x, v.texel.y, angle);
      shows = shows || v.level < kFull;
    }
    if (!shows) {
      continue;
    }
    const auto vertex = [](const TCutVertex& v) { return TLevelVertex{v.texel.x, v.texel.y, v.level}; };
    for (size_t k = 1; k + 1 < piece.size(); ++k) {
      sink(vertex(piece[0]), vertex(piece[k]), vertex(piece[k + 1]));
    }
  }
}

// ---- TClockEffect ----

TClockEffect::TClockEffect(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_reversed(variant == 2) {}

TClockEffect::~TClockEffect() = default;

void TClockEffect::Draw(TEffController& controller) {
  const TPixelRect& s = SlideRect();
  if (s.Width() <= 0 || s.Height() <= 0 || TargetRect().Width() <= 0 || TargetRect().Height() <= 0) {
    return;
  }
  if (!m_arrow) {
    m_arrow = std::make_unique<TArrow>(TFloatRect{double(s.Left), double(s.Top), double(s.Right), double(s.Bottom)},
                                       SoftEdge() > 0 ? SoftEdge() : kHardEdge,
                                       TFloatPoint{s.Left + s.Width() * CenterX(), s.Top + s.Height() * CenterY()});
  }
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  const double mirror = double(s.Left) + double(s.Right);
  const auto mapped = [&](const TLevelVertex& v) {
    const TFloatPoint p = ToTarget(m_reversed ? mirror - v.x : v.x, v.y);
    return TEffVertex{p.x, p.y, kFull - v.level};
  };
  try {
    m_arrow->Emit(Phase() * kTurn, [&](const TLevelVertex& a, const TLevelVertex& b, const TLevelVertex& c) {
      area.AddTriangle(mapped(a), mapped(b), mapped(c));
    });
  } catch (const std::exception& error) {
    // What was emitted is still drawn; the next frame tries again.
    Log().WriteLine(std::string("TClockEffect.Draw: ") + error.what());
  }
  area.Flush();
}

} // namespace qx
