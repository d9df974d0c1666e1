// Paths and outlines of the outline rasteriser: the path points that glyph
// outlines and shapes are handed in as, curve flattening, and the edge list
// (in sixteenths of a pixel) that the sweep of qxRasterizer fills.
#pragma once

#include "QxLib/qxGeometry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qx {

// Kinds of path points.
enum TPathKind : int32_t {
  kPathMove = 0,      // starts a contour
  kPathLine = 1,      // line to the point
  kPathQuadratic = 2, // two points: control, end
  kPathCubic = 3,     // three points: control, control, end
  kPathClose = 9,     // ends the contour; the next point must be a move
};

struct TPathPoint {
  float X = 0;
  float Y = 0;
  int32_t Kind = kPathMove;
  bool operator==(const TPathPoint&) const = default;
};

using TPath = std::vector<TPathPoint>;

// Maps a path point to target pixels.
using TPointTransform = std::function<TFloatPoint(float x, float y)>;

// Sub-samples per pixel along each axis.
inline constexpr int32_t kRasterSubSamples = 16;

// The largest distance, in pixels, between a curve's control points and the
// line that stands for the curve piece; with the rounding of the edges to
// sixteenths of a pixel the lines stay within a tenth of a pixel of the curve.
inline constexpr double kFlatnessTolerance = 0.05;

// One edge of an outline in sixteenths of a pixel.
struct TEdge {
  int32_t TopX = 0;
  int32_t TopY = 0;
  // Sub-sample rows the edge spans.
  int32_t Height = 0;
  // dx / dy.
  float Slope = 0;
  // -1 for an edge drawn downwards, +1 upwards.
  int32_t Direction = 0;
  // x at the current sub-sample row (used by the sweep).
  int32_t X = 0;
};

class TOutline {
public:
  // More edges than this in one fill are refused (EQxError "Outline too
  // complex"), so a hostile path cannot take unbounded memory.
  static constexpr size_t kMaxEdges = size_t{1} << 20;

  TOutline();

  // Forgets every edge; keeps the memory.
  void Clear();
  void SetEvenOdd(bool evenOdd) { m_evenOdd = evenOdd; }
  bool EvenOdd() const { return m_evenOdd; }

  // Closes the open contour and starts a new one at p (pixels).
  void MoveTo(TFloatPoint p);
  // Add to the open contour; without one they are the assertion "TOutline.
  // AddPoint Error: No Start Point or Closed Outline".
  void LineTo(TFloatPoint p);
  void QuadTo(TFloatPoint control, TFloatPoint end);
  void CubicTo(TFloatPoint control1, TFloatPoint control2, TFloatPoint end);
  // Closes the open contour with an edge back to its start.
  void Close();

  // Adds a whole path, each point mapped through `transform` (identity when
  // empty). An unknown kind is the assertion "Unknown Path Command"; a curve
  // cut short by the end of the path is the assertion "Incomplete Path
  // Curve".
  void AddPath(const TPathPoint* points, size_t count, const TPointTransform& transform = {});
  void AddPath(const TPath& path, const TPointTransform& transform = {}) {
    AddPath(path.data(), path.size(), transform);
  }

  // Closes the last contour and sorts the edges by their top.
  void Finish();

  const std::vector<TEdge>& Edges() const { return m_edges; }
  std::vector<TEdge>& Edges() { return m_edges; }
  // Edge indices in the order of their tops (valid after Finish).
  const std::vector<uint32_t>& SortedIndex() const { return m_sorted; }

private:
  void AddEdge(TFloatPoint from, TFloatPoint to);
  void RequireOpen() const;
  void FlattenQuad(TFloatPoint p0, TFloatPoint p1, TFloatPoint p2, int depth);
  void FlattenCubic(TFloatPoint p0, TFloatPoint p1, TFloatPoint p2, TFloatPoint p3, int depth);

  std::vector<TEdge> m_edges;
  std::vector<uint32_t> m_sorted;
  TFloatPoint m_start;
  TFloatPoint m_last;
  bool m_closed = true;
  bool m_evenOdd = false;
};

// Sixteenths of a pixel of a coordinate: round(v × 16), clamped to the int32
// range; NaN gives 0.
int32_t ToSubSamples(double value);

// Distance of p from the segment a–b (from a when both ends coincide).
double DistanceToSegment(TFloatPoint p, TFloatPoint a, TFloatPoint b);

} // namespace qx
