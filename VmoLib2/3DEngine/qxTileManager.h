// The pool of free tiles of one size.
#pragma once

#include "VmoLib2/3DEngine/qxTextureTile.h"

#include <memory>
#include <vector>

namespace qx {

class TTextureManager6;

class TTileManager {
public:
  TTileManager(TTextureManager6& owner, int tileWidth, int tileHeight);

  TTextureManager6& Owner() const { return m_owner; }
  int TileWidth() const { return m_tileWidth; }
  int TileHeight() const { return m_tileHeight; }
  // Set once the device refused a tile of this size; never used again.
  bool Removed() const { return m_removed; }

  // A tile from the pool, or a new one with its device texture made when
  // a renderer is usable. Null when the device refuses it: the manager is
  // then removed for good and its pool emptied.
  std::unique_ptr<TTextureTile> Acquire();
  // Takes a tile back into the pool; its device texture stays.
  void Return(std::unique_ptr<TTextureTile> tile);
  size_t PoolSize() const { return m_pool.size(); }

private:
  TTextureManager6& m_owner;
  int m_tileWidth;
  int m_tileHeight;
  bool m_removed = false;
  std::vector<std::unique_ptr<TTextureTile>> m_pool;
};

} // namespace qx
