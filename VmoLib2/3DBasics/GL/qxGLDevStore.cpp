#include "VmoLib2/3DBasics/GL/qxGLDevStore.h"

#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/GL/qxEglContext.h"

namespace qx {

TGLDevStore::TGLDevStore(TDrawDevice& device, std::unique_ptr<TGLContext> context)
    : T3DDevStore(device), m_context(std::move(context)), m_windowGeneration(device.WindowGeneration()) {}

TGLDevStore::~TGLDevStore() {
  const std::lock_guard lock(DeviceLock());
  // Without a current context the deletes below do nothing: the names go
  // with the context.
  Bind();
  Drop();
  m_fixedFunction.clear();
  for (auto& shader : m_pixelShaders) {
    shader.reset();
  }
  if (m_readFramebuffer) {
    glDeleteFramebuffers(1, &m_readFramebuffer);
  }
  if (m_vertexArray) {
    glDeleteVertexArrays(1, &m_vertexArray);
  }
}

TGLProgram* TGLDevStore::FixedFunction(const TGLStageSetup& setup) {
  auto& slot = m_fixedFunction[setup.Key()];
  if (slot) {
    return slot.get();
  }
  auto program = std::make_unique<TGLProgram>();
  std::string error;
  if (!BuildFixedFunctionProgram(setup, *program, error)) {
    Log().WriteLine("TGLDevStore.FixedFunction: " + error);
    return nullptr;
  }
  slot = std::move(program);
  return slot.get();
}

TGLProgram* TGLDevStore::PixelShader(TPixelShaderKind kind) {
  auto& slot = m_pixelShaders[static_cast<size_t>(kind)];
  if (slot) {
    return slot.get();
  }
  auto program = std::make_unique<TGLProgram>();
  std::string error;
  if (!BuildPixelShaderProgram(kind, *program, error)) {
    Log().WriteLine("TGLDevStore.PixelShader: " + error);
    return nullptr;
  }
  slot = std::move(program);
  return slot.get();
}

GLuint TGLDevStore::ReadFramebuffer() {
  if (!m_readFramebuffer) {
    glGenFramebuffers(1, &m_readFramebuffer);
  }
  return m_readFramebuffer;
}

GLuint TGLDevStore::VertexArray() {
  if (!m_vertexArray) {
    glGenVertexArrays(1, &m_vertexArray);
  }
  return m_vertexArray;
}

bool TGLDevStore::IsLost() {
  if (T3DDevStore::IsLost()) {
    return true;
  }
  if (DrawDevice().WindowGeneration() != m_windowGeneration || CurrentContextReset()) {
    MarkLost();
  }
  return T3DDevStore::IsLost();
}

} // namespace qx
