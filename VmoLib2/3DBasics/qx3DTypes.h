// Plain values shared by every implementation of the device layer: result
// kinds, texture kinds, draw flags, transforms, rectangles, vertex records
// and the creation record of a renderer. Nothing here depends on a graphics
// API.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qx {

// The outcome of the last call of a device-layer object. Failing calls
// answer false and keep one of these; they never raise.
enum class T3DResult : uint8_t {
  Ok = 0,
  Pending = 1,     // a renderer whose creation has not run yet
  InvalidCall = 2, // the call's arguments or the object's state were wrong
  DeviceLost = 3,  // the device is gone (also: no store or no device)
  Other = 4,       // any other failure of the graphics API
};

// "Ok", "", "InvalidCall", "DeviceLost", "Other".
const char* ResultText(T3DResult result);

// Kinds of textures and the pixel layout each one keeps.
enum class T3DTextureKind : uint8_t {
  Argb = 0,             // 32-bit with alpha, sampled
  RenderTargetXrgb = 1, // 32-bit render target whose alpha is ignored
  RenderTargetArgb = 2, // 32-bit render target with alpha
  Luminance = 3,        // 8-bit luminance, sampled
  Rgb565 = 4,           // 16-bit 5-6-5, sampled
};
constexpr int kMaxTextureKind = 4;

inline bool IsRenderTargetKind(T3DTextureKind kind) {
  return kind == T3DTextureKind::RenderTargetXrgb || kind == T3DTextureKind::RenderTargetArgb;
}

// Flags of a draw call.
enum T3DDrawFlags : uint32_t {
  kDrawTextured = 1,      // sample the textures
  kDrawModulateColor = 2, // multiply the colour by the vertex colour
  kDrawModulateAlpha = 4, // multiply the alpha by the vertex alpha
  kDrawLighting = 8,      // fixed-function lighting (not used by the player)
};

enum class T3DTransformKind : uint8_t { World = 0, View = 1, Projection = 2 };
enum class T3DBlendMode : uint8_t { Add = 0, Max = 1 };
enum class T3DAddressMode : uint8_t { Wrap = 0, Clamp = 1, Mirror = 2 };
enum class T3DFilter : uint8_t { Point = 0, Linear = 1 };

enum class T3DPrimitive : uint8_t {
  PointList = 0,
  LineList = 1,
  LineStrip = 2,
  TriangleList = 3,
  TriangleStrip = 4,
  TriangleFan = 5,
};
constexpr int kMaxPrimitiveKind = 5;

// Vertices needed for `count` primitives of a kind.
int VertexCountFor(T3DPrimitive kind, int count);

// Clear flags.
enum T3DClearFlags : uint32_t {
  kClearTarget = 1,
  kClearDepth = 2,
};

// A 4x4 matrix, row-major, used with row vectors: v' = v * M. The world,
// view and projection transforms multiply in that order.
struct T3DMatrix {
  std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  float& at(int row, int column) { return m[row * 4 + column]; }
  float at(int row, int column) const { return m[row * 4 + column]; }
  static T3DMatrix Identity() { return {}; }
};
T3DMatrix operator*(const T3DMatrix& a, const T3DMatrix& b);

// Pixel rectangle by edges: right and bottom are exclusive.
struct T3DRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const T3DRect&) const = default;
};

// Colour as 0xAARRGGBB.
using T3DColor = uint32_t;
constexpr T3DColor MakeColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return (uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

constexpr int kMaxTexCoordPairs = 8;

// The engine's full vertex record; vertex lists copy the parts they carry.
struct T3DVertex {
  float x = 0, y = 0, z = 0;
  std::array<std::array<float, 2>, kMaxTexCoordPairs> uv{};
  T3DColor diffuse = 0xFFFFFFFF;
  T3DColor specular = 0;
  float nx = 0, ny = 0, nz = 0;
};

// Optional parts of a vertex list, after the position.
enum T3DVertexParts : uint32_t {
  kVertexDiffuse = 1,
  kVertexSpecular = 2,
  kVertexNormal = 4,
};

// Byte layout of one vertex of a list: position, then diffuse, specular,
// normal and the texture-coordinate pairs, each when present.
struct T3DVertexLayout {
  uint32_t parts = 0;
  int texPairs = 0;
  int stride = 12;
  int diffuseOffset = -1;
  int specularOffset = -1;
  int normalOffset = -1;
  int texOffset = -1;

  // Computes the layout; pairs outside 0..8 are an assertion.
  static T3DVertexLayout Make(uint32_t parts, int texPairs);
  // Writes `vertex` in this layout to `out` (stride bytes).
  void Pack(const T3DVertex& vertex, uint8_t* out) const;
};

struct T3DDisplayMode {
  int width = 0;
  int height = 0;
  int refreshRate = 0; // Hz; 0 when unknown (presentation is not paced)
  int format = 0;      // implementation's format code
};

// What a renderer is created for.
struct T3DRendererParams {
  bool windowed = true;
  T3DDisplayMode displayMode;
  int adapter = 0;
  T3DRect bounds; // the output rectangle; its size is the back buffer's
};

// Whether `primitiveCount` primitives of `kind` from `firstVertex` lie inside
// a list of `vertexCount` vertices (a vertex list's SetPrimitive check).
bool PrimitivesFit(T3DPrimitive kind, int firstVertex, int primitiveCount, int vertexCount);
// Whether copying `count` records from source[firstSource] (of `sourceSize`)
// to `firstVertex` stays inside both sides (a vertex list's Fill check).
bool FillFits(int firstVertex, size_t sourceSize, int count, int firstSource, int vertexCount);

// Levels of a full mip chain down to one pixel.
int FullMipChainLevels(int width, int height);
// The back buffer a renderer makes for `params`: the bounds' size for a
// windowed renderer with a non-empty rectangle, else the display mode's.
void BackBufferSize(const T3DRendererParams& params, int& width, int& height);

// Frame period in ms for a refresh rate, and the sleep before a present
// given the previous present `last` and the time `now` (both ms): the
// sleep keeps one present per period and leaves 3 ms for the present
// itself. A refresh rate of 0 gives no sleep.
int FramePeriodMs(int refreshRate);
int PresentSleepMs(int refreshRate, int64_t last, int64_t now);

} // namespace qx
