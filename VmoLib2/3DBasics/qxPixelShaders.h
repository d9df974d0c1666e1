// Portable descriptions of the drawer's pixel shaders. Each implementation
// of the device layer maps a description to its own shader (GLSL source,
// compiled byte code); the constants are float4 registers c0, c1, ... set
// with the renderer's pixel-shader constants call.
#pragma once

#include <cstdint>

namespace qx {

enum class TPixelShaderKind : uint8_t {
  // Three planes on stages 0 (Y), 1 (U), 2 (V) to RGB; alpha = vertex alpha.
  // c0 = 1.596 (V to R), c1 = 0.813 (V to G), c2 = 0.391 (U to G),
  // c3 = 2.018 (U to B), c4 = 255/219 (luma scale).
  Yuv = 0,
  // As Yuv, with the luma interpolated between the two nearest rows of one
  // field: c5 = (plane height, 1 / plane height), c6 = field offset.
  YuvField = 1,
  // Unsharp mask of stage 0 with the 1 2 1 / 2 4 2 / 1 2 1 blur:
  // c0 = (1 / width, 1 / height), c1.x = threshold, c2.x = amount.
  Sharpen = 2,
};
constexpr int kPixelShaderKinds = 3;

// Constant registers a shader reads (c0 .. c[n-1]).
constexpr int kPixelShaderRegisters = 8;

struct TPixelShaderDesc {
  TPixelShaderKind kind = TPixelShaderKind::Yuv;
};

// Register values of the YUV conversion.
constexpr float kYuvVToR = 1.596f;
constexpr float kYuvVToG = 0.813f;
constexpr float kYuvUToG = 0.391f;
constexpr float kYuvUToB = 2.018f;
constexpr float kYuvLumaScale = 1.1643835f; // 255 / 219

} // namespace qx
