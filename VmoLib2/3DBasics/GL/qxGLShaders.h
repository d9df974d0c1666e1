// GLSL ES programs of the GL renderer: the fixed-function texture stages
// as one program, and the drawer's pixel shaders.
#pragma once

#include "VmoLib2/3DBasics/qxPixelShaders.h"

#include <GLES3/gl3.h>

#include <cstdint>
#include <string>

namespace qx {

// Stages of the fixed-function program (the player uses at most three).
constexpr int kGLMaxStages = 4;

// Vertex attribute locations shared by every program.
enum TGLAttribute : GLuint {
  kAttribPosition = 0,
  kAttribColor = 1,
  kAttribTexCoord0 = 2, // 2 .. 2 + kGLMaxStages - 1
};

// A linked program with the uniform locations the renderer sets.
struct TGLProgram {
  GLuint program = 0;
  GLint matrix = -1;
  GLint lodBias = -1;   // array of kGLMaxStages
  GLint constants = -1; // vec4 c[kPixelShaderRegisters]

  TGLProgram() = default;
  TGLProgram(const TGLProgram&) = delete;
  TGLProgram& operator=(const TGLProgram&) = delete;
  ~TGLProgram();
  // Frees nothing on the device: for a context that is already gone.
  void Forget() { program = 0; }
};

// What one fixed-function draw asks of the texture stages. Each setup gets
// a program of its own, so a pixel pays for no stage and no branch it does
// not use.
struct TGLStageSetup {
  int stages = 0; // 0 .. kGLMaxStages
  bool modulateColor = false;
  bool modulateAlpha = false;
  uint8_t keepAlphaMask = 0; // per stage: alpha passes through unchanged
  uint8_t lodBiasMask = 0;   // per stage: sampled with the u_lodBias value

  bool KeepsAlpha(int stage) const { return (keepAlphaMask >> stage) & 1; }
  bool HasLodBias(int stage) const { return (lodBiasMask >> stage) & 1; }
  // Tells setups apart; equal setups have equal keys.
  uint32_t Key() const;
};

// Compiles the fixed-function program of `setup`; false with `error` on
// failure.
bool BuildFixedFunctionProgram(const TGLStageSetup& setup, TGLProgram& out, std::string& error);
// Compiles the pixel shader of `kind`.
bool BuildPixelShaderProgram(TPixelShaderKind kind, TGLProgram& out, std::string& error);

} // namespace qx
