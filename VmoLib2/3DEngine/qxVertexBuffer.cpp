#include "VmoLib2/3DEngine/qxVertexBuffer.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxCustomTexture.h"

#include <algorithm>

namespace qx {

namespace {

constexpr int kVerticesPerTriangle = 3;

// How the stages combine, by what the batch holds.
uint32_t DrawFlags(int textureCount, bool vertexAlpha) {
  if (textureCount == 0) {
    return kDrawModulateColor | kDrawModulateAlpha;
  }
  if (vertexAlpha) {
    return kDrawTextured | kDrawModulateColor | kDrawModulateAlpha;
  }
  if (textureCount == 1) {
    return kDrawTextured | kDrawModulateAlpha;
  }
  return kDrawTextured;
}

} // namespace

TVertexBuffer::TVertexBuffer(T3DScreen& screen) : T3DScreenObject(screen) {}

TVertexBuffer::~TVertexBuffer() {
  const std::lock_guard lock(DeviceLock());
  m_list.reset();
}

void TVertexBuffer::ReleaseDeviceObject() {
  m_vertices.clear();
  const std::lock_guard lock(DeviceLock());
  m_list.reset();
  m_listLost = false;
}

void TVertexBuffer::EnsureCapacity(int triangles) {
  if (m_listLost) {
    ReleaseDeviceObject();
  }
  T3DRenderer* renderer = Screen() ? Screen()->Renderer() : nullptr;
  if (!renderer) {
    return;
  }
  if (m_list && triangles <= m_capacity) {
    return;
  }
  m_capacity = std::max(m_capacity, triangles);
  const std::lock_guard lock(DeviceLock());
  m_list.reset();
  m_list = renderer->CreateVertexList(m_capacity * kVerticesPerTriangle, kVertexDiffuse, kMaxTextures);
  if (m_list) {
    m_list->SetDeviceKilledCallback([this] { m_listLost = true; });
  }
}

void TVertexBuffer::Begin(std::span<TCustomTexture* const> textures, bool vertexAlpha) {
  QX_ASSERT(textures.size() <= static_cast<size_t>(kMaxTextures), "Too many textures in one batch");
  const bool same = static_cast<int>(textures.size()) == m_textureCount && vertexAlpha == m_vertexAlpha &&
                    std::equal(textures.begin(), textures.end(), m_textures.begin());
  if (same) {
    return;
  }
  Flush();
  m_textureCount = static_cast<int>(textures.size());
  std::copy(textures.begin(), textures.end(), m_textures.begin());
  m_vertexAlpha = vertexAlpha;
  EnsureCapacity(m_capacity);
}

void TVertexBuffer::AddTriangle(const T3DVertex& a, const T3DVertex& b, const T3DVertex& c) {
  if (TriangleCount() >= m_capacity) {
    Flush();
  }
  m_vertices.push_back(a);
  m_vertices.push_back(b);
  m_vertices.push_back(c);
}

void TVertexBuffer::AddQuad(const T3DVertex& tl, const T3DVertex& tr, const T3DVertex& bl, const T3DVertex& br) {
  AddTriangle(tl, tr, bl);
  AddTriangle(bl, tr, br);
}

void TVertexBuffer::Flush() {
  if (m_vertices.empty()) {
    return;
  }
  const int triangles = TriangleCount();
  const int count = static_cast<int>(m_vertices.size());
  T3DRenderer* renderer = Screen() ? Screen()->Renderer() : nullptr;
  if (m_listLost || !renderer) {
    m_vertices.clear();
    return;
  }
  EnsureCapacity(triangles);
  if (!ListUsable()) {
    m_vertices.clear();
    return;
  }
  std::array<T3DTexture*, kMaxTextures> deviceTextures{};
  for (int i = 0; i < m_textureCount; ++i) {
    TCustomTexture& texture = *m_textures[i];
    T3DTexture* device = texture.DeviceTexture();
    if (!device) {
      m_vertices.clear();
      return;
    }
    device->SetAddressModes(T3DAddressMode::Clamp, T3DAddressMode::Clamp);
    device->SetFilter(texture.PointFilter() ? T3DFilter::Point : T3DFilter::Linear);
    device->SetMipMaps(texture.MipMaps());
    device->SetLodBias(texture.LodBias());
    deviceTextures[i] = device;
  }
  const std::lock_guard lock(DeviceLock());
  const bool filled =
      m_list->Fill(0, m_vertices, count, 0) && m_list->SetPrimitive(T3DPrimitive::TriangleList, 0, triangles);
  m_vertices.clear();
  if (!filled) {
    return;
  }
  // The renderer may lose its device while drawing; the list is then
  // only flagged and dropped on its next use.
  renderer->DrawVertexList({deviceTextures.data(), static_cast<size_t>(m_textureCount)},
                           DrawFlags(m_textureCount, m_vertexAlpha), *m_list);
  ++m_drawCount;
}

} // namespace qx
