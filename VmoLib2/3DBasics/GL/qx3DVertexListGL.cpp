#include "VmoLib2/3DBasics/GL/qx3DVertexListGL.h"

#include <algorithm>
#include <vector>

namespace qx {

T3DVertexListGL::T3DVertexListGL(int count, const T3DVertexLayout& layout) : m_count(count), m_layout(layout) {}

T3DVertexListGL::~T3DVertexListGL() {
  if (TGLDevStore* store = GLStore(*this); store && store->Bind()) {
    ReleaseDeviceObjects();
  }
}

bool T3DVertexListGL::Create() {
  glGenBuffers(1, &m_buffer);
  glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_count) * m_layout.stride, nullptr, GL_DYNAMIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteBuffers(1, &m_buffer);
    m_buffer = 0;
    return Fail(T3DResult::Other);
  }
  return Succeed();
}

void T3DVertexListGL::ReleaseDeviceObjects() {
  if (m_buffer) {
    glDeleteBuffers(1, &m_buffer);
    m_buffer = 0;
  }
}

bool T3DVertexListGL::SetPrimitive(T3DPrimitive kind, int firstVertex, int primitiveCount) {
  QX_ASSERT(static_cast<int>(kind) <= kMaxPrimitiveKind, "Primitive kind out of range");
  const std::lock_guard lock(DeviceLock());
  if (firstVertex < 0 || primitiveCount < 0 ||
      int64_t{firstVertex} + VertexCountFor(kind, primitiveCount) > m_count) {
    return Fail(T3DResult::InvalidCall);
  }
  m_primitive = kind;
  m_firstVertex = firstVertex;
  m_primitiveCount = primitiveCount;
  return Succeed();
}

bool T3DVertexListGL::Fill(int firstVertex, std::span<const T3DVertex> source, int count, int firstSource) {
  const std::lock_guard lock(DeviceLock());
  if (!CheckStore()) {
    return false;
  }
  if (count < 0 || firstVertex < 0 || firstSource < 0 || int64_t{firstVertex} + count > m_count ||
      static_cast<size_t>(firstSource) + static_cast<size_t>(count) > source.size()) {
    return Fail(T3DResult::InvalidCall);
  }
  if (count == 0) {
    return Succeed();
  }
  if (!GLStore(*this)->Bind()) {
    return Fail(T3DResult::Other);
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * m_layout.stride);
  for (int i = 0; i < count; ++i) {
    m_layout.Pack(source[static_cast<size_t>(firstSource + i)], bytes.data() + static_cast<size_t>(i) * m_layout.stride);
  }
  glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(firstVertex) * m_layout.stride,
                  static_cast<GLsizeiptr>(bytes.size()), bytes.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (glGetError() != GL_NO_ERROR) {
    return Fail(T3DResult::Other);
  }
  m_vertices.resize(static_cast<size_t>(m_count));
  std::copy_n(source.begin() + firstSource, count, m_vertices.begin() + firstVertex);
  return Succeed();
}

} // namespace qx
