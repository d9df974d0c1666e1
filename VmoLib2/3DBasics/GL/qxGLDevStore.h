// The GL device of one draw device: the context, the programs compiled on
// it and the scratch objects every renderer of the context shares.
#pragma once

#include "VmoLib2/3DBasics/qxGLContext.h"
#include "VmoLib2/3DBasics/GL/qxGLShaders.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include <array>
#include <map>
#include <memory>

namespace qx {

class TGLDevStore final : public T3DDevStore {
public:
  TGLDevStore(TDrawDevice& device, std::unique_ptr<TGLContext> context);
  ~TGLDevStore() override;

  TGLContext& Context() { return *m_context; }
  // Makes the context current; false when it cannot be.
  bool Bind() { return m_context->MakeCurrent(); }

  // The program of the fixed-function stages for `setup`, compiled on
  // first use of that setup.
  TGLProgram* FixedFunction(const TGLStageSetup& setup);
  // The program of a pixel shader, compiled once per context.
  TGLProgram* PixelShader(TPixelShaderKind kind);

  // Framebuffers for reading and writing surfaces outside drawing.
  GLuint ReadFramebuffer();
  GLuint VertexArray();

  // Also lost when the driver reports the context reset or the window was
  // re-created.
  bool IsLost() override;
  uint32_t WindowGeneration() const { return m_windowGeneration; }

private:
  std::unique_ptr<TGLContext> m_context;
  std::map<uint32_t, std::unique_ptr<TGLProgram>> m_fixedFunction;
  std::array<std::unique_ptr<TGLProgram>, kPixelShaderKinds> m_pixelShaders;
  GLuint m_readFramebuffer = 0;
  GLuint m_vertexArray = 0;
  uint32_t m_windowGeneration = 0;
};

// The GL store of an object living on a GL device, or null once lost.
inline TGLDevStore* GLStore(const T3DObject& object) { return static_cast<TGLDevStore*>(object.Store()); }

} // namespace qx
