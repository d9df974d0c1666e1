#include "VmoLib2/3DEngine/qxTextureStore2.h"

#include "QxLib/Graphics/qxBitmapStore.h"

#include <algorithm>

namespace qx {

namespace {

constexpr uint64_t kBitmapIdFlag = uint64_t{1} << 63;

} // namespace

TTextureWrapper::TTextureWrapper(std::string key, std::unique_ptr<TMultiTexture6> texture)
    : m_key(std::move(key)), m_texture(std::move(texture)) {}

std::string TTextureStore2::MultiTexKey(uint64_t pictureId, int level, int columns, int rows) {
  const int64_t grid = int64_t{std::max(1, columns)} * 65536 + std::max(1, rows);
  return "MultiTexID: " + std::to_string(pictureId) + ":" + std::to_string(level) + ":" + std::to_string(grid);
}

uint64_t TTextureStore2::BitmapId(const TBitmap& bitmap) {
  return reinterpret_cast<uintptr_t>(&bitmap) | kBitmapIdFlag;
}

TMultiTexture6* TTextureStore2::FindIn(uint64_t id, const std::string& key) {
  const auto found = m_entries.find(id);
  if (found == m_entries.end()) {
    return nullptr;
  }
  if (found->second.life.expired()) {
    // The picture went and another one took its identity.
    m_entries.erase(found);
    return nullptr;
  }
  for (const auto& wrapper : found->second.wrappers) {
    if (wrapper->Key() == key) {
      return &wrapper->Texture();
    }
  }
  return nullptr;
}

TMultiTexture6& TTextureStore2::AddTo(uint64_t id, std::weak_ptr<const void> life, const std::string& key,
                                      std::unique_ptr<TMultiTexture6> texture) {
  TEntry& entry = m_entries[id];
  if (entry.life.expired()) {
    entry.wrappers.clear();
  }
  entry.life = std::move(life);
  auto& wrappers = entry.wrappers;
  wrappers.erase(std::remove_if(wrappers.begin(), wrappers.end(), [&](const auto& w) { return w->Key() == key; }),
                 wrappers.end());
  wrappers.push_back(std::make_unique<TTextureWrapper>(key, std::move(texture)));
  return wrappers.back()->Texture();
}

TMultiTexture6* TTextureStore2::Find(const TBitmapStore& store, const std::string& key) {
  return FindIn(store.Id(), key);
}

TMultiTexture6& TTextureStore2::Add(const TBitmapStore& store, const std::string& key,
                                    std::unique_ptr<TMultiTexture6> texture) {
  return AddTo(store.Id(), store.LifeToken(), key, std::move(texture));
}

TMultiTexture6* TTextureStore2::Find(const std::shared_ptr<const TBitmap>& bitmap, const std::string& key) {
  return FindIn(BitmapId(*bitmap), key);
}

TMultiTexture6& TTextureStore2::Add(const std::shared_ptr<const TBitmap>& bitmap, const std::string& key,
                                    std::unique_ptr<TMultiTexture6> texture) {
  return AddTo(BitmapId(*bitmap), std::weak_ptr<const void>(bitmap), key, std::move(texture));
}

void TTextureStore2::Free(const TBitmapStore& store) { m_entries.erase(store.Id()); }

void TTextureStore2::Free(const TBitmap& bitmap) { m_entries.erase(BitmapId(bitmap)); }

void TTextureStore2::Purge() {
  std::erase_if(m_entries, [](const auto& item) { return item.second.life.expired(); });
}

int TTextureStore2::TextureCount() const {
  size_t count = 0;
  for (const auto& [id, entry] : m_entries) {
    count += entry.wrappers.size();
  }
  return static_cast<int>(count);
}

} // namespace qx
