#include "VmoLib2/3DEngine/qxFeatherMesh.h"

#include <cmath>

namespace qx {

namespace {

// Screen areas below this (in square pixels) count as edge-on.
constexpr double kMinScreenArea = 1e-6;

struct TVec2 {
  double x = 0;
  double y = 0;
};

TVec2 Sub(const TFloatPoint& a, const TFloatPoint& b) { return {a.x - b.x, a.y - b.y}; }

// The unit normal of edge a-b pointing away from `inside`; zero for an
// edge of no length.
TVec2 OutwardNormal(const TFloatPoint& a, const TFloatPoint& b, const TFloatPoint& inside) {
  const TVec2 edge = Sub(b, a);
  const double length = std::hypot(edge.x, edge.y);
  if (length < 1e-9) {
    return {};
  }
  TVec2 normal{-edge.y / length, edge.x / length};
  const TVec2 toInside = Sub(inside, a);
  if (normal.x * toInside.x + normal.y * toInside.y > 0) {
    normal = {-normal.x, -normal.y};
  }
  return normal;
}

// (s, t) of a point of the quad's plane.
void PlaneCoordinates(const TPlacement& quad, const T3DPoint& point, double& s, double& t) {
  const T3DPoint d = point - quad.origin;
  const double uu = Dot(quad.u, quad.u);
  const double uv = Dot(quad.u, quad.v);
  const double vv = Dot(quad.v, quad.v);
  const double du = Dot(d, quad.u);
  const double dv = Dot(d, quad.v);
  const double det = uu * vv - uv * uv;
  if (std::abs(det) < 1e-18) {
    s = t = 0;
    return;
  }
  s = (du * vv - dv * uv) / det;
  t = (dv * uu - du * uv) / det;
}

} // namespace

TMeshGrid FeatherMesh(const T3DScreen& screen, const TPlacement& quad, std::span<const TFloatRect> uvRects,
                      uint8_t edges) {
  constexpr int kSide = TMeshGrid::kSide;
  const TFloatPoint p00 = screen.ToPixels(quad.At(0, 0));
  const TFloatPoint p10 = screen.ToPixels(quad.At(1, 0));
  const TFloatPoint p01 = screen.ToPixels(quad.At(0, 1));
  const TFloatPoint p11 = screen.ToPixels(quad.At(1, 1));
  const TFloatPoint centre{(p00.x + p10.x + p01.x + p11.x) / 4, (p00.y + p10.y + p01.y + p11.y) / 4};
  const TVec2 diagonal1 = Sub(p11, p00);
  const TVec2 diagonal2 = Sub(p10, p01);
  const double area = std::abs(diagonal1.x * diagonal2.y - diagonal1.y * diagonal2.x) / 2;
  if (area < kMinScreenArea) {
    edges = 0;
  }
  const TVec2 none{};
  const TVec2 left = (edges & kFeatherLeft) ? OutwardNormal(p00, p01, centre) : none;
  const TVec2 right = (edges & kFeatherRight) ? OutwardNormal(p10, p11, centre) : none;
  const TVec2 top = (edges & kFeatherTop) ? OutwardNormal(p00, p10, centre) : none;
  const TVec2 bottom = (edges & kFeatherBottom) ? OutwardNormal(p01, p11, centre) : none;

  TMeshGrid grid;
  for (int row = 0; row < kSide; ++row) {
    for (int column = 0; column < kSide; ++column) {
      const double s = column < 2 ? 0 : 1;
      const double t = row < 2 ? 0 : 1;
      TVec2 offset;
      const auto add = [&offset](const TVec2& v) {
        offset.x += v.x;
        offset.y += v.y;
      };
      if (column == 0)
        add(left);
      if (column == kSide - 1)
        add(right);
      if (row == 0)
        add(top);
      if (row == kSide - 1)
        add(bottom);
      T3DPoint position = quad.At(s, t);
      double gridS = s;
      double gridT = t;
      if (offset.x != 0 || offset.y != 0) {
        const TFloatPoint corner = screen.ToPixels(position);
        position = screen.FromPixels({corner.x + offset.x, corner.y + offset.y}, quad);
        PlaneCoordinates(quad, position, gridS, gridT);
      }
      const int index = row * kSide + column;
      grid.positions[index] = position;
      for (size_t i = 0; i < uvRects.size() && i < TMeshGrid::kMaxTextures; ++i) {
        const TFloatRect& r = uvRects[i];
        grid.uv[index][i] = {static_cast<float>(r.left + (r.right - r.left) * gridS),
                             static_cast<float>(r.top + (r.bottom - r.top) * gridT)};
      }
    }
  }
  return grid;
}

} // namespace qx
