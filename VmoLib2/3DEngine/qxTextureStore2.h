// The drawer's cache of tiled textures made for pictures. Each picture (a
// bitmap store, or a bitmap drawn without a store) has its own list of
// wrappers, one per "MultiTexID: " key, so a picture is cut into tiles and
// uploaded once while it lives. Entries of pictures that have gone are
// freed by Purge, on the drawing thread.
#pragma once

#include "VmoLib2/3DEngine/qxMultiTexture6.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TBitmapStore;

// One tiled texture of a picture under its key.
class TTextureWrapper {
public:
  TTextureWrapper(std::string key, std::unique_ptr<TMultiTexture6> texture);

  const std::string& Key() const { return m_key; }
  TMultiTexture6& Texture() const { return *m_texture; }

private:
  std::string m_key;
  std::unique_ptr<TMultiTexture6> m_texture;
};

class TTextureStore2 {
public:
  // "MultiTexID: " id ":" level ":" grid, in decimal: the picture's
  // identifier, the mip level drawn and the sprite grid (columns * 65536 +
  // rows).
  static std::string MultiTexKey(uint64_t pictureId, int level, int columns, int rows);

  TTextureStore2() = default;
  TTextureStore2(const TTextureStore2&) = delete;
  TTextureStore2& operator=(const TTextureStore2&) = delete;

  // The texture cached for a store under `key`, or null. An entry whose
  // store has gone is dropped first.
  TMultiTexture6* Find(const TBitmapStore& store, const std::string& key);
  // Caches `texture` for a store under `key`; returns it.
  TMultiTexture6& Add(const TBitmapStore& store, const std::string& key, std::unique_ptr<TMultiTexture6> texture);

  // The same for a bitmap drawn without a store, cached while it lives.
  TMultiTexture6* Find(const std::shared_ptr<const TBitmap>& bitmap, const std::string& key);
  TMultiTexture6& Add(const std::shared_ptr<const TBitmap>& bitmap, const std::string& key,
                      std::unique_ptr<TMultiTexture6> texture);
  // The identifier that stands for a bitmap in its keys.
  static uint64_t BitmapId(const TBitmap& bitmap);

  // Frees every texture of a picture.
  void Free(const TBitmapStore& store);
  void Free(const TBitmap& bitmap);
  // Frees the entries of pictures that no longer exist.
  void Purge();
  void Clear() { m_entries.clear(); }

  // Pictures and textures held, for statistics and tests.
  int PictureCount() const { return static_cast<int>(m_entries.size()); }
  int TextureCount() const;

private:
  struct TEntry {
    std::weak_ptr<const void> life;
    std::vector<std::unique_ptr<TTextureWrapper>> wrappers;
  };
  // Stores by their id; bitmaps by their address with the top bit set.
  using TEntries = std::map<uint64_t, TEntry>;

  TMultiTexture6* FindIn(uint64_t id, const std::string& key);
  TMultiTexture6& AddTo(uint64_t id, std::weak_ptr<const void> life, const std::string& key,
                        std::unique_ptr<TMultiTexture6> texture);

  TEntries m_entries;
};

} // namespace qx
