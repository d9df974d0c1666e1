// Vertex lists of the GL renderer: one buffer object in the layer's
// interleaved layout and the primitive of the next draw.
#pragma once

#include "VmoLib2/3DBasics/GL/qxGLDevStore.h"

#include <vector>

namespace qx {

class T3DVertexListGL final : public T3DVertexList {
public:
  T3DVertexListGL(int count, const T3DVertexLayout& layout);
  ~T3DVertexListGL() override;
  bool Create();

  int VertexCount() const override { return m_count; }
  const T3DVertexLayout& Layout() const override { return m_layout; }
  bool SetPrimitive(T3DPrimitive kind, int firstVertex, int primitiveCount) override;
  bool Fill(int firstVertex, std::span<const T3DVertex> source, int count, int firstSource) override;

  GLuint Buffer() const { return m_buffer; }
  T3DPrimitive Primitive() const { return m_primitive; }
  int FirstVertex() const { return m_firstVertex; }
  int PrimitiveCount() const { return m_primitiveCount; }
  // What Fill wrote, kept for the renderer's checks on the CPU; vertices
  // never filled read as default vertices.
  std::span<const T3DVertex> Vertices() const { return m_vertices; }
  // Called by the renderer after each draw from this list.
  void MarkDrawn() { m_drawn = true; }

protected:
  void ReleaseDeviceObjects() override;

private:
  int m_count;
  T3DVertexLayout m_layout;
  GLuint m_buffer = 0;
  T3DPrimitive m_primitive = T3DPrimitive::TriangleList;
  int m_firstVertex = 0;
  int m_primitiveCount = 0;
  std::vector<T3DVertex> m_vertices;
  int m_filledEnd = 0;
  bool m_drawn = false;
};

} // namespace qx
