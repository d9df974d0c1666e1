#include "VmoLib2/3DEngine/qxTileManager.h"

#include "VmoLib2/3DEngine/qxTextureManager6.h"

namespace qx {

TTileManager::TTileManager(TTextureManager6& owner, int tileWidth, int tileHeight)
    : m_owner(owner), m_tileWidth(tileWidth), m_tileHeight(tileHeight) {}

std::unique_ptr<TTextureTile> TTileManager::Acquire() {
  if (m_removed) {
    return nullptr;
  }
  if (!m_pool.empty()) {
    auto tile = std::move(m_pool.back());
    m_pool.pop_back();
    return tile;
  }
  auto tile = std::make_unique<TTextureTile>(m_owner.Screen(), *this, m_tileWidth, m_tileHeight);
  // Without a usable renderer the texture is made on the first draw; a
  // device that is there and refuses the size rules the size out.
  if (m_owner.Screen().Renderer() && !tile->MakeDeviceTexture()) {
    m_removed = true;
    m_pool.clear();
    return nullptr;
  }
  return tile;
}

void TTileManager::Return(std::unique_ptr<TTextureTile> tile) {
  tile->Unplace();
  if (m_removed) {
    return;
  }
  m_pool.push_back(std::move(tile));
}

} // namespace qx
