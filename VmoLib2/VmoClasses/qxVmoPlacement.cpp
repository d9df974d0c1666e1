#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qx {

TVec3 operator+(const TVec3& a, const TVec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
TVec3 operator-(const TVec3& a, const TVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
TVec3 operator*(const TVec3& a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float Dot(const TVec3& a, const TVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
TVec3 Cross(const TVec3& a, const TVec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(const TVec3& a) { return std::sqrt(Dot(a, a)); }

TVec3 Transform(const TVec3& v, const TMatrix3& m) { return m.Rows[0] * v.x + m.Rows[1] * v.y + m.Rows[2] * v.z; }

TMatrix3 Multiply(const TMatrix3& a, const TMatrix3& b) {
  TMatrix3 result;
  for (size_t i = 0; i < 3; ++i)
    result.Rows[i] = Transform(a.Rows[i], b);
  return result;
}

float Determinant(const TVec3& x, const TVec3& y, const TVec3& z) { return Dot(x, Cross(y, z)); }

double FitFactor(TFitMode mode, double w, double h, double pw, double ph) {
  if (mode == TFitMode::None)
    return 1;
  if (w <= 0 || h <= 0 || pw <= 0 || ph <= 0)
    return 0;
  if (mode == TFitMode::Cover)
    return 1 / std::min(w / pw, h / ph);
  return std::min(pw / w, ph / h);
}

TMatrix3 LocalMatrix(float kx, float ky, float angleX, float angleY, float angle) {
  const float cx = std::cos(angleX), sx = std::sin(angleX);
  const float cy = std::cos(angleY), sy = std::sin(angleY);
  const float cz = std::cos(angle), sz = std::sin(angle);
  TMatrix3 m;
  m.Rows[0] = TVec3{cy * cz, cy * sz, sy} * kx;
  m.Rows[1] = TVec3{sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, -sx * cy} * ky;
  m.Rows[2] = TVec3{-(cx * sy * cz + sx * sz), sx * cz - cx * sy * sz, cx * cy} * ky;
  return m;
}

bool MakeFrame(const TVec3& origin, const TVec3& x, const TVec3& y, const TVec3& z, TObjectFrame& frame) {
  const float det = Determinant(x, y, z);
  frame.Origin = origin;
  frame.X = x;
  frame.Y = y;
  frame.Z = z;
  if (det == 0 || !std::isfinite(det)) {
    frame.InvDet = 0;
    return false;
  }
  frame.InvDet = 1 / det;
  return true;
}

float FacingValue(const TObjectFrame& frame, const TVec3& camera) {
  return Dot(Cross(frame.X, frame.Y), camera - frame.Origin);
}

bool PassesFacingTest(int hideMode, float facingValue) {
  if (facingValue >= 0)
    return (hideMode & 1) == 0;
  return hideMode < 2;
}

std::array<double, 2> IntersectCameraRay(const TObjectFrame& frame, const TVec3& camera, double x, double y) {
  QX_ASSERT(camera.z != 0, "  Camera.Z = 0  ");
  // Solve origin + u·X + v·Y = camera + s·d, with d the ray direction, by
  // Cramer's rule over the columns X, Y, -d.
  const double dx = x - camera.x, dy = y - camera.y, dz = -static_cast<double>(camera.z);
  const double a[3][3] = {{frame.X.x, frame.Y.x, -dx}, {frame.X.y, frame.Y.y, -dy}, {frame.X.z, frame.Y.z, -dz}};
  const double r[3] = {static_cast<double>(camera.x) - frame.Origin.x, static_cast<double>(camera.y) - frame.Origin.y,
                       static_cast<double>(camera.z) - frame.Origin.z};
  const auto det3 = [](const double m[3][3]) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const double det = det3(a);
  // Relative to the lengths involved: a ray within a millionth of a radian
  // of the plane meets it nowhere useful.
  const double scale = Length(frame.X) * static_cast<double>(Length(frame.Y)) * std::sqrt(dx * dx + dy * dy + dz * dz);
  QX_ASSERT(std::isfinite(det) && std::abs(det) > 1e-6 * scale, " Degenerate object ");
  std::array<double, 2> local{};
  for (size_t column = 0; column < 2; ++column) {
    double m[3][3];
    for (size_t row = 0; row < 3; ++row)
      for (size_t c = 0; c < 3; ++c)
        m[row][c] = c == column ? r[row] : a[row][c];
    local[column] = det3(m) / det;
  }
  return local;
}

uint8_t OpacityToAlpha(double percent) {
  // × 255 / 100 rather than × 2.55: 2.55 has no exact binary form, and
  // 50 × 2.55 would land just below the half and round down.
  const double value = std::nearbyint(percent * 255.0 / 100.0);
  if (!(value > 0))
    return 0;
  return static_cast<uint8_t>(std::min(value, 255.0));
}

double Tan30() {
  static const double value = std::tan(std::numbers::pi / 6);
  return value;
}

} // namespace qx
