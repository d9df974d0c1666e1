#include "VmoLib2/3DEngine/qx3DGeometry.h"

#include "QxLib/qxExceptions.h"

#include <cmath>

namespace qx {

namespace {
constexpr double kNearDistance = 1e-6;
}

double Dot(const T3DPoint& a, const T3DPoint& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

T3DPoint Cross(const T3DPoint& a, const T3DPoint& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

TPlacement TPlacement::Part(double s0, double t0, double s1, double t1) const {
  return {At(s0, t0), u * (s1 - s0), v * (t1 - t0)};
}

TPlacement TPlacement::Flat(const TFloatRect& rect) {
  return {{rect.left, rect.top, 0}, {rect.right - rect.left, 0, 0}, {0, rect.bottom - rect.top, 0}};
}

T3DPoint ProjectToScreen(const T3DPoint& camera, const T3DPoint& point) {
  double d = point.z - camera.z;
  if (std::abs(d) < kNearDistance) {
    d = kNearDistance;
  }
  return {camera.x + camera.z * (camera.x - point.x) / d, camera.y + camera.z * (camera.y - point.y) / d, 0};
}

T3DPoint UnprojectFromScreen(const T3DPoint& camera, const TFloatPoint& screen, const T3DPoint& p0, const T3DPoint& p1,
                             const T3DPoint& p2) {
  QX_ASSERT(camera.z != 0, "  Camera.Z = 0  ");
  const T3DPoint normal = Cross(p1 - p0, p2 - p0);
  const T3DPoint ray = T3DPoint{screen.x, screen.y, 0} - camera;
  const double along = Dot(normal, ray);
  QX_ASSERT(std::abs(along) > 1e-12 * std::sqrt(Dot(normal, normal)) * std::sqrt(Dot(ray, ray)), " Degenerate object ");
  return camera + ray * (Dot(normal, p0 - camera) / along);
}

} // namespace qx
