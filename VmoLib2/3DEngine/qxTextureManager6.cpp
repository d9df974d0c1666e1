#include "VmoLib2/3DEngine/qxTextureManager6.h"

#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qxMultiTexture6.h"

#include <algorithm>
#include <string>

namespace qx {

int ChooseTileSize(std::span<const TTileSize> sizes, std::span<const bool> available, int width, int height) {
  int best = -1;
  int64_t bestCovered = -1;
  int64_t bestWaste = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    if (i < available.size() && !available[i]) {
      continue;
    }
    const TTileSize size = sizes[i];
    const int64_t covered = int64_t{std::min(width, size.width)} * std::min(height, size.height);
    const int64_t waste = int64_t{size.width} * size.height - covered;
    if (covered > bestCovered || (covered == bestCovered && waste < bestWaste)) {
      best = static_cast<int>(i);
      bestCovered = covered;
      bestWaste = waste;
    }
  }
  return best;
}

TTextureManager6::TTextureManager6(T3DScreen& screen) : m_screen(screen) {
  for (const TTileSize size : kTileSizes) {
    m_managers.push_back(std::make_unique<TTileManager>(*this, size.width, size.height));
  }
}

TTextureManager6::~TTextureManager6() {
  if (!m_users.empty()) {
    Log().WriteLine("Error: Multi Textures Count = " + std::to_string(m_users.size()));
  }
  // A copy: each user removes itself.
  const std::vector<TMultiTexture6*> users = m_users;
  for (TMultiTexture6* user : users) {
    user->ManagerGone();
  }
}

std::unique_ptr<TTextureTile> TTextureManager6::AcquireTile(int width, int height) {
  while (true) {
    std::array<bool, kTileSizes.size()> available{};
    for (size_t i = 0; i < m_managers.size(); ++i) {
      available[i] = !m_managers[i]->Removed();
    }
    const int choice = ChooseTileSize(kTileSizes, available, width, height);
    if (choice < 0) {
      return nullptr;
    }
    if (auto tile = m_managers[static_cast<size_t>(choice)]->Acquire()) {
      return tile;
    }
  }
}

void TTextureManager6::ReturnTile(std::unique_ptr<TTextureTile> tile) {
  if (tile) {
    tile->Manager().Return(std::move(tile));
  }
}

void TTextureManager6::AddUser(TMultiTexture6& user) { m_users.push_back(&user); }

void TTextureManager6::RemoveUser(TMultiTexture6& user) {
  m_users.erase(std::remove(m_users.begin(), m_users.end(), &user), m_users.end());
}

} // namespace qx
