#include "VmoLib2/3DBasics/GL/qxGLMagnification.h"

#include <cmath>

namespace qx {

namespace {

// Texels per pixel step up to which a draw counts as not shrinking: a level
// of detail of log2(1.001), well below what an eight-bit blend weight of
// the next level could show.
constexpr double kMaxTexelsPerPixel = 1.001;
// Relative change of the clip w inside a triangle beyond which the mapping
// is not affine.
constexpr double kMaxPerspectiveChange = 1e-6;
// Screen areas (in square pixels, doubled) below this draw nothing.
constexpr double kMinDoubleArea = 1e-9;

struct TScreenVertex {
  double x = 0;
  double y = 0;
  double w = 0;
  double u = 0;
  double v = 0;
};

TScreenVertex ToScreen(const T3DVertex& vertex, const T3DMatrix& m, double halfWidth, double halfHeight,
                       const TGLStageTexels& stage) {
  const auto column = [&](int j) {
    return double{vertex.x} * m.at(0, j) + double{vertex.y} * m.at(1, j) + double{vertex.z} * m.at(2, j) + m.at(3, j);
  };
  TScreenVertex out;
  out.w = column(3);
  if (out.w <= 0) {
    return out;
  }
  out.x = column(0) / out.w * halfWidth;
  out.y = column(1) / out.w * halfHeight;
  const auto& uv = vertex.uv[static_cast<size_t>(stage.pair)];
  out.u = double{uv[0]} * stage.width;
  out.v = double{uv[1]} * stage.height;
  return out;
}

bool TriangleShrinks(const TScreenVertex& a, const TScreenVertex& b, const TScreenVertex& c) {
  if (a.w <= 0 || b.w <= 0 || c.w <= 0) {
    return true;
  }
  const double limit = kMaxPerspectiveChange * a.w;
  if (std::abs(b.w - a.w) > limit || std::abs(c.w - a.w) > limit) {
    return true;
  }
  const double e1x = b.x - a.x;
  const double e1y = b.y - a.y;
  const double e2x = c.x - a.x;
  const double e2y = c.y - a.y;
  const double det = e1x * e2y - e1y * e2x;
  if (std::abs(det) < kMinDoubleArea) {
    return false;
  }
  const double t1u = b.u - a.u;
  const double t1v = b.v - a.v;
  const double t2u = c.u - a.u;
  const double t2v = c.v - a.v;
  // Texel steps per pixel step along x and along y.
  const double dudx = (t1u * e2y - t2u * e1y) / det;
  const double dvdx = (t1v * e2y - t2v * e1y) / det;
  const double dudy = (t2u * e1x - t1u * e2x) / det;
  const double dvdy = (t2v * e1x - t1v * e2x) / det;
  return std::hypot(dudx, dvdx) > kMaxTexelsPerPixel || std::hypot(dudy, dvdy) > kMaxTexelsPerPixel;
}

} // namespace

bool DrawShrinksTexture(std::span<const T3DVertex> vertices, T3DPrimitive kind, int first, int primitives,
                        const T3DMatrix& matrix, int viewportWidth, int viewportHeight, const TGLStageTexels& stage) {
  if (kind != T3DPrimitive::TriangleList && kind != T3DPrimitive::TriangleStrip && kind != T3DPrimitive::TriangleFan) {
    return true;
  }
  if (first < 0 || primitives < 0 || first + VertexCountFor(kind, primitives) > static_cast<int>(vertices.size()) ||
      stage.pair < 0 || stage.pair >= kMaxTexCoordPairs) {
    return true;
  }
  const double halfWidth = viewportWidth / 2.0;
  const double halfHeight = viewportHeight / 2.0;
  const auto at = [&](int index) {
    return ToScreen(vertices[static_cast<size_t>(first + index)], matrix, halfWidth, halfHeight, stage);
  };
  for (int i = 0; i < primitives; ++i) {
    bool shrinks = false;
    switch (kind) {
    case T3DPrimitive::TriangleStrip: shrinks = TriangleShrinks(at(i), at(i + 1), at(i + 2)); break;
    case T3DPrimitive::TriangleFan: shrinks = TriangleShrinks(at(0), at(i + 1), at(i + 2)); break;
    default: shrinks = TriangleShrinks(at(3 * i), at(3 * i + 1), at(3 * i + 2)); break;
    }
    if (shrinks) {
      return true;
    }
  }
  return false;
}

} // namespace qx
