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
  if (!PrimitivesFit(kind, firstVertex, primitiveCount, m_count)) {
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
  if (!FillFits(firstVertex, source.size(), count, firstSource, m_count)) {
    return Fail(T3DResult::InvalidCall);
  }
  if (count == 0) {
    return Succeed();
  }
  if (!GLStore(*this)->Bind()) {
    return Fail(T3DResult::Other);
  }
  m_vertices.resize(static_cast<size_t>(m_count));
  std::copy_n(source.begin() + firstSource, count, m_vertices.begin() + firstVertex);
  m_filledEnd = std::max(m_filledEnd, firstVertex + count);
  // Writing into storage a queued draw still reads makes the driver wait
  // for that draw. Once drawn, the list moves to fresh storage instead and
  // takes every vertex filled so far along.
  const bool fresh = m_drawn;
  const int from = fresh ? 0 : firstVertex;
  const int to = fresh ? m_filledEnd : firstVertex + count;
  std::vector<uint8_t> bytes(static_cast<size_t>(to - from) * m_layout.stride);
  for (int i = from; i < to; ++i) {
    m_layout.Pack(m_vertices[static_cast<size_t>(i)], bytes.data() + static_cast<size_t>(i - from) * m_layout.stride);
  }
  glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
  if (fresh) {
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_count) * m_layout.stride, nullptr, GL_DYNAMIC_DRAW);
    m_drawn = false;
  }
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(from) * m_layout.stride, static_cast<GLsizeiptr>(bytes.size()),
                  bytes.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (glGetError() != GL_NO_ERROR) {
    return Fail(T3DResult::Other);
  }
  return Succeed();
}

} // namespace qx
