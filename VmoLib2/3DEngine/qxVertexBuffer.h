// The batch of triangles that all quads of a frame go through: collected
// in memory and sent to one device vertex list when the textures change,
// the batch is full, or the screen needs the device for something else.
#pragma once

#include "VmoLib2/3DEngine/qx3DScreen.h"

#include <vector>

namespace qx {

class TVertexBuffer final : public T3DScreenObject {
public:
  static constexpr int kMaxTextures = TMeshGrid::kMaxTextures;
  static constexpr int kDefaultCapacity = 1024;

  explicit TVertexBuffer(T3DScreen& screen);
  ~TVertexBuffer() override;

  // Starts a batch drawing with `textures` (none for plain colour) and,
  // with `vertexAlpha`, the vertex colour and alpha modulating them. An
  // open batch with other textures or mode is flushed first; more than
  // kMaxTextures textures is an assertion.
  void Begin(std::span<TCustomTexture* const> textures, bool vertexAlpha = false);
  // Adds a triangle of three device vertices (see T3DScreen::Vertex).
  void AddTriangle(const T3DVertex& a, const T3DVertex& b, const T3DVertex& c);
  // Two triangles: top-left, top-right, bottom-left, bottom-right.
  void AddQuad(const T3DVertex& tl, const T3DVertex& tr, const T3DVertex& bl, const T3DVertex& br);
  // Draws what has been collected; the batch is then empty.
  void Flush();
  // Makes sure the device list holds `triangles` (grows, never shrinks);
  // without a usable renderer the list stays absent.
  void EnsureCapacity(int triangles);

  int Capacity() const { return m_capacity; }
  int TriangleCount() const { return static_cast<int>(m_vertices.size() / 3); }
  bool VertexAlphaMode() const { return m_vertexAlpha; }
  // Number of device draws made, for tests and statistics.
  uint64_t DrawCount() const { return m_drawCount; }

  void ReleaseDeviceObject() override;

private:
  bool ListUsable() const { return m_list && !m_listLost; }

  std::unique_ptr<T3DVertexList> m_list;
  bool m_listLost = false;
  int m_capacity = kDefaultCapacity;
  std::vector<T3DVertex> m_vertices;
  std::array<TCustomTexture*, kMaxTextures> m_textures{};
  int m_textureCount = 0;
  bool m_vertexAlpha = false;
  uint64_t m_drawCount = 0;
};

} // namespace qx
