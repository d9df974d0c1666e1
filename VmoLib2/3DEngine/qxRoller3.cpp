#include "VmoLib2/3DEngine/qxRoller3.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qx {

namespace {

constexpr double kMinRadius = 2;
constexpr double kFullGrey = 255;
// Radii from which the cylinder is cut into strips of kLargeRollStrip
// pixels; smaller rolls use a tenth of the radius, at least kMinStrip.
constexpr double kLargeRoll = 100;
constexpr double kLargeRollStrip = 8;
constexpr double kMinStrip = 3;
constexpr double kStripsPerRadius = 10;
// Boundaries closer than this (pixels) are one.
constexpr double kSameBound = 1e-6;

double Along(const TFloatPoint& p, const TFloatPoint& d) { return p.x * d.x + p.y * d.y; }

} // namespace

TRoller3::TRoller3(const TFloatRect& page, TFloatPoint direction, const TRollSettings& settings)
    : m_page(page), m_direction(direction), m_settings(settings) {
  m_settings.radius = std::max(m_settings.radius, kMinRadius);
  const double corners[] = {Along({page.left, page.top}, direction), Along({page.right, page.top}, direction),
                            Along({page.left, page.bottom}, direction), Along({page.right, page.bottom}, direction)};
  m_low = *std::min_element(std::begin(corners), std::end(corners));
  m_high = *std::max_element(std::begin(corners), std::end(corners));
}

double TRoller3::GonePosition() const {
  return m_low - (m_settings.solid ? std::numbers::pi / 2 : 1.0) * m_settings.radius;
}

double TRoller3::FineStrip() const {
  const double r = std::trunc(m_settings.radius);
  return r >= kLargeRoll ? kLargeRollStrip : std::max(kMinStrip, std::trunc(r / kStripsPerRadius));
}

TRolledPoint TRoller3::Map(const TFloatPoint& point, double position) const {
  TRolledPoint result;
  result.position = {point.x, point.y, 0};
  const double s = Along(point, m_direction);
  const double t = s - position;
  if (t <= 0) {
    return result;
  }
  const double r = m_settings.radius;
  const double theta = std::min(t / r, m_settings.maxAngle);
  // Past the maximum angle the page goes on along the cylinder's tangent.
  const double beyond = t - theta * r;
  const double moved = position + r * std::sin(theta) + std::cos(theta) * beyond;
  result.position.x += (moved - s) * m_direction.x;
  result.position.y += (moved - s) * m_direction.y;
  if (m_settings.solid) {
    // Height above the page, toward the viewer; a page going down along
    // the tangent stops on the page plane.
    const double height = std::max((1 - std::cos(theta)) * r + std::sin(theta) * beyond, 0.0);
    result.position.z = -height * m_settings.curving;
  }
  result.angle = theta;
  result.grey = kSideGrey + std::abs(std::cos(theta)) * (kFullGrey - kSideGrey);
  result.backSide = theta > std::numbers::pi / 2;
  return result;
}

std::vector<double> TRoller3::StripBounds(double position) const {
  const double r = m_settings.radius;
  const double wrapEnd = position + m_settings.maxAngle * r;
  // The page's corners are bounds as well, so every strip has its corners
  // on its two sides and its mapping is the same on every part of it.
  std::vector<double> bounds{m_low, m_high, position, position + std::numbers::pi / 2 * r, wrapEnd};
  for (const double x : {m_page.left, m_page.right}) {
    for (const double y : {m_page.top, m_page.bottom}) {
      bounds.push_back(Along({x, y}, m_direction));
    }
  }
  for (double b = m_low + kCoarseStrip; b < std::min(position, m_high); b += kCoarseStrip) {
    bounds.push_back(b);
  }
  const double fine = FineStrip();
  for (double b = std::max(position, m_low) + fine; b < std::min(wrapEnd, m_high); b += fine) {
    bounds.push_back(b);
  }
  for (double b = std::max(wrapEnd, m_low) + kCoarseStrip; b < m_high; b += kCoarseStrip) {
    bounds.push_back(b);
  }
  std::erase_if(bounds, [&](double b) { return b < m_low || b > m_high; });
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end(), [](double a, double b) { return b - a < kSameBound; }),
               bounds.end());
  return bounds;
}

void TRoller3::EmitStrip(const std::vector<TCutVertex>& strip, double position, T2DSeparator& flat,
                         T2DSeparator& rolled) {
  if (strip.size() < 3) {
    return;
  }
  TFloatPoint middle{0, 0};
  for (const TCutVertex& v : strip) {
    middle.x += v.texel.x / static_cast<double>(strip.size());
    middle.y += v.texel.y / static_cast<double>(strip.size());
  }
  if (Along(middle, m_direction) <= position) {
    flat.AddPolygon(strip, TPieceKind::Textured);
    return;
  }
  m_mapped.clear();
  for (const TCutVertex& v : strip) {
    const TRolledPoint point = Map(v.texel, position);
    m_mapped.push_back({v.texel, point.position, point.grey});
  }
  const bool backSide = Map(middle, position).backSide;
  if (backSide && m_settings.backColor) {
    rolled.AddPolygon(m_mapped, TPieceKind::Colored, m_settings.back);
  } else {
    rolled.AddPolygon(m_mapped, TPieceKind::Textured);
  }
}

void TRoller3::Emit(double position, T2DSeparator& flat, T2DSeparator& rolled) {
  if (position <= GonePosition() || m_page.right <= m_page.left || m_page.bottom <= m_page.top) {
    return;
  }
  const auto corner = [](double x, double y) { return TCutVertex{{x, y}, {x, y, 0}, kFullGrey}; };
  m_rest = {corner(m_page.left, m_page.top), corner(m_page.right, m_page.top), corner(m_page.right, m_page.bottom),
            corner(m_page.left, m_page.bottom)};
  const std::vector<double> bounds = StripBounds(position);
  for (size_t i = 1; i < bounds.size() && m_rest.size() >= 3; ++i) {
    if (i + 1 == bounds.size()) {
      EmitStrip(m_rest, position, flat, rolled);
      break;
    }
    SplitPolygon(m_rest, m_direction, bounds[i], m_strip, m_next);
    EmitStrip(m_strip, position, flat, rolled);
    m_rest.swap(m_next);
  }
}

} // namespace qx
