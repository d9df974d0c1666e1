// Placement of objects in the show's space: the small vector and matrix
// arithmetic, the fit factor of a base size inside its parent, the local
// matrix of rotations and scales, the object frame the drawer draws from, the
// facing test, the camera ray used by the hit test and the opacity byte.
//
// Space: origin at the top-left of the output, x right, y down, z away from
// the viewer; the camera stands at negative z. Matrices use row vectors: the
// rows are the X, Y and Z axes.
#pragma once

#include <array>
#include <cstdint>

namespace qx {

struct TVec3 {
  float x = 0;
  float y = 0;
  float z = 0;
  bool operator==(const TVec3&) const = default;
};

TVec3 operator+(const TVec3& a, const TVec3& b);
TVec3 operator-(const TVec3& a, const TVec3& b);
TVec3 operator*(const TVec3& a, float k);
float Dot(const TVec3& a, const TVec3& b);
TVec3 Cross(const TVec3& a, const TVec3& b);
float Length(const TVec3& a);

// Rows X, Y, Z.
struct TMatrix3 {
  std::array<TVec3, 3> Rows{TVec3{1, 0, 0}, TVec3{0, 1, 0}, TVec3{0, 0, 1}};
  bool operator==(const TMatrix3&) const = default;
};

// Row vector times matrix.
TVec3 Transform(const TVec3& v, const TMatrix3& m);
// a × b with row vectors: apply a, then b.
TMatrix3 Multiply(const TMatrix3& a, const TMatrix3& b);
float Determinant(const TVec3& x, const TVec3& y, const TVec3& z);

// How a base size is fitted into the parent ("FitMode").
enum class TFitMode : int32_t { None = 0, PlaceInto = 1, Cover = 2 };
// The unit of "Position" and "CenterPos".
enum class TUnitMode : int32_t { Absolute = 0, Percent = 1 };

// The factor that fits a w x h base size into a pw x ph parent. PlaceInto
// fits inside, Cover covers the parent; both give 0 while either size has no
// extent, so such an object is not drawn. None keeps the base size (factor
// 1): this player places unfitted objects at their own pixel size rather
// than refusing the project.
double FitFactor(TFitMode mode, double w, double h, double pw, double ph);

// The local matrix for effective scales kx, ky and the angles (radians)
// about x, y and the screen normal. The Z row is scaled by ky.
TMatrix3 LocalMatrix(float kx, float ky, float angleX, float angleY, float angle);

// Where and how an object is drawn: its origin and axes in space, and the
// inverse of the axes' determinant.
struct TObjectFrame {
  TVec3 Origin;
  TVec3 X{1, 0, 0};
  TVec3 Y{0, 1, 0};
  TVec3 Z{0, 0, 1};
  float InvDet = 1;
  bool operator==(const TObjectFrame&) const = default;

  // The point at local coordinates (u, v) in the plane of X and Y.
  TVec3 At(float u, float v) const { return Origin + X * u + Y * v; }
};

// The frame of the given axes; false when they span no volume (a zero
// scale), in which case the frame is not drawable.
bool MakeFrame(const TVec3& origin, const TVec3& x, const TVec3& y, const TVec3& z, TObjectFrame& frame);

// The plane through origin, origin + X and origin + Y evaluated at the
// camera: negative when the viewer sees the front side.
float FacingValue(const TObjectFrame& frame, const TVec3& camera);

// Whether an object with the given "HideMode" is shown for a facing value:
// bit 0 hides the back side, 2 and above hide the front side.
bool PassesFacingTest(int hideMode, float facingValue);

// Intersects the camera ray through the point (x, y) of the plane z = 0 with
// the plane of the frame and returns the local coordinates there. Raises the
// assertion "  Camera.Z = 0  " for a camera in that plane and
// " Degenerate object " for a ray parallel to the frame's plane.
std::array<double, 2> IntersectCameraRay(const TObjectFrame& frame, const TVec3& camera, double x, double y);

// Opacity percentage as an alpha byte: percentage × 2.55 rounded to nearest
// with halves to even, clamped to 0 ... 255 (50 % gives 128).
uint8_t OpacityToAlpha(double percent);

// tan(30°), the depth factor of the camera's field of view.
double Tan30();

} // namespace qx
