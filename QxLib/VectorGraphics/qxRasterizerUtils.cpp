#include "QxLib/VectorGraphics/qxRasterizerUtils.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qx {

namespace {

// Deeper than this a curve piece is taken as a line whatever its bend: 2^16
// lines per curve bound the work for absurd control points.
constexpr int kMaxFlattenDepth = 16;

TFloatPoint Mid(TFloatPoint a, TFloatPoint b) { return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5}; }

TFloatPoint Apply(const TPointTransform& transform, const TPathPoint& point) {
  if (transform)
    return transform(point.X, point.Y);
  return {point.X, point.Y};
}

} // namespace

int32_t ToSubSamples(double value) {
  if (std::isnan(value))
    return 0;
  const double scaled = std::round(value * kRasterSubSamples);
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (scaled >= kMax)
    return std::numeric_limits<int32_t>::max();
  if (scaled <= -kMax)
    return -std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(scaled);
}

double DistanceToSegment(TFloatPoint p, TFloatPoint a, TFloatPoint b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  double t = 0;
  if (length2 > 0)
    t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

TOutline::TOutline() {
  m_edges.reserve(16);
  m_sorted.reserve(16);
}

void TOutline::Clear() {
  m_edges.clear();
  m_sorted.clear();
  m_closed = true;
}

void TOutline::RequireOpen() const {
  QX_ASSERT(!m_closed, "TOutline.AddPoint Error: No Start Point or Closed Outline");
}

void TOutline::AddEdge(TFloatPoint from, TFloatPoint to) {
  const int32_t x0 = ToSubSamples(from.x);
  const int32_t y0 = ToSubSamples(from.y);
  const int32_t x1 = ToSubSamples(to.x);
  const int32_t y1 = ToSubSamples(to.y);
  if (y0 == y1)
    return;
  if (m_edges.size() >= kMaxEdges)
    throw EQxError("Outline too complex: more than " + std::to_string(kMaxEdges) + " edges");
  TEdge edge;
  const bool down = y1 > y0;
  edge.TopX = down ? x0 : x1;
  edge.TopY = down ? y0 : y1;
  const int64_t height = down ? int64_t{y1} - y0 : int64_t{y0} - y1;
  edge.Height = static_cast<int32_t>(std::min<int64_t>(height, std::numeric_limits<int32_t>::max()));
  const double dx = down ? double(x1) - x0 : double(x0) - x1;
  edge.Slope = static_cast<float>(dx / static_cast<double>(height));
  edge.Direction = down ? -1 : 1;
  edge.X = edge.TopX;
  m_edges.push_back(edge);
}

void TOutline::MoveTo(TFloatPoint p) {
  Close();
  m_start = p;
  m_last = p;
  m_closed = false;
}

void TOutline::LineTo(TFloatPoint p) {
  RequireOpen();
  AddEdge(m_last, p);
  m_last = p;
}

void TOutline::Close() {
  if (m_closed)
    return;
  AddEdge(m_last, m_start);
  m_last = m_start;
  m_closed = true;
}

// Midpoint subdivision until every control point lies within the tolerance
// of the chord: the curve stays inside the hull of its control points, so it
// is then within the tolerance of that line too. Checking only the chord's
// length would drop a curve whose ends meet (a loop) and leave bends of a
// quarter pixel on small glyphs.
void TOutline::FlattenQuad(TFloatPoint p0, TFloatPoint p1, TFloatPoint p2, int depth) {
  if (depth >= kMaxFlattenDepth || DistanceToSegment(p1, p0, p2) <= kFlatnessTolerance) {
    AddEdge(m_last, p2);
    m_last = p2;
    return;
  }
  const TFloatPoint a = Mid(p0, p1);
  const TFloatPoint b = Mid(p1, p2);
  const TFloatPoint m = Mid(a, b);
  FlattenQuad(p0, a, m, depth + 1);
  FlattenQuad(m, b, p2, depth + 1);
}

void TOutline::FlattenCubic(TFloatPoint p0, TFloatPoint p1, TFloatPoint p2, TFloatPoint p3, int depth) {
  if (depth >= kMaxFlattenDepth ||
      std::max(DistanceToSegment(p1, p0, p3), DistanceToSegment(p2, p0, p3)) <= kFlatnessTolerance) {
    AddEdge(m_last, p3);
    m_last = p3;
    return;
  }
  const TFloatPoint a = Mid(p0, p1);
  const TFloatPoint b = Mid(p1, p2);
  const TFloatPoint c = Mid(p2, p3);
  const TFloatPoint ab = Mid(a, b);
  const TFloatPoint bc = Mid(b, c);
  const TFloatPoint m = Mid(ab, bc);
  FlattenCubic(p0, a, ab, m, depth + 1);
  FlattenCubic(m, bc, c, p3, depth + 1);
}

void TOutline::QuadTo(TFloatPoint control, TFloatPoint end) {
  RequireOpen();
  FlattenQuad(m_last, control, end, 0);
}

void TOutline::CubicTo(TFloatPoint control1, TFloatPoint control2, TFloatPoint end) {
  RequireOpen();
  FlattenCubic(m_last, control1, control2, end, 0);
}

void TOutline::AddPath(const TPathPoint* points, size_t count, const TPointTransform& transform) {
  size_t i = 0;
  while (i < count) {
    const TPathPoint& point = points[i];
    switch (point.Kind) {
    case kPathMove:
      MoveTo(Apply(transform, point));
      ++i;
      break;
    case kPathLine:
      LineTo(Apply(transform, point));
      ++i;
      break;
    case kPathQuadratic:
      QX_ASSERT(i + 1 < count, "Incomplete Path Curve");
      QuadTo(Apply(transform, point), Apply(transform, points[i + 1]));
      i += 2;
      break;
    case kPathCubic:
      QX_ASSERT(i + 2 < count, "Incomplete Path Curve");
      CubicTo(Apply(transform, point), Apply(transform, points[i + 1]), Apply(transform, points[i + 2]));
      i += 3;
      break;
    case kPathClose:
      Close();
      ++i;
      break;
    default: AssertionFailed("Unknown Path Command", __FILE__, __LINE__);
    }
  }
}

void TOutline::Finish() {
  Close();
  m_sorted.resize(m_edges.size());
  for (size_t i = 0; i < m_edges.size(); ++i)
    m_sorted[i] = static_cast<uint32_t>(i);
  std::stable_sort(m_sorted.begin(), m_sorted.end(),
                   [this](uint32_t a, uint32_t b) { return m_edges[a].TopY < m_edges[b].TopY; });
}

} // namespace qx
