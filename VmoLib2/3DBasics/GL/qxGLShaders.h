// GLSL ES programs of the GL renderer: the fixed-function texture stages
// as one program, and the drawer's pixel shaders.
#pragma once

#include "VmoLib2/3DBasics/qxPixelShaders.h"

#include <GLES3/gl3.h>

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
  GLint stages = -1;
  GLint modulateColor = -1;
  GLint modulateAlpha = -1;
  GLint keepAlpha = -1; // array of kGLMaxStages
  GLint lodBias = -1;   // array of kGLMaxStages
  GLint constants = -1; // vec4 c[kPixelShaderRegisters]

  TGLProgram() = default;
  TGLProgram(const TGLProgram&) = delete;
  TGLProgram& operator=(const TGLProgram&) = delete;
  ~TGLProgram();
  // Frees nothing on the device: for a context that is already gone.
  void Forget() { program = 0; }
};

// Compiles the fixed-function program; false with `error` on failure.
bool BuildFixedFunctionProgram(TGLProgram& out, std::string& error);
// Compiles the pixel shader of `kind`.
bool BuildPixelShaderProgram(TPixelShaderKind kind, TGLProgram& out, std::string& error);

} // namespace qx
