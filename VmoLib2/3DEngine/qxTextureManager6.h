// The tile pools of a screen: six tile managers of fixed sizes and the
// rule that picks the size for each piece of a picture.
#pragma once

#include "VmoLib2/3DEngine/qxTileManager.h"

#include <array>
#include <span>
#include <vector>

namespace qx {

struct TTileSize {
  int width = 0;
  int height = 0;
};

// The tile sizes, in the order that breaks ties.
constexpr std::array<TTileSize, 6> kTileSizes = {{{256, 256}, {128, 256}, {64, 256}, {256, 128}, {256, 64}, {64, 64}}};

// The size to use for a piece of width x height among the sizes whose
// `available` flag is set: the most covered pixels, then the least waste,
// then the earliest in the list. -1 when none is available.
int ChooseTileSize(std::span<const TTileSize> sizes, std::span<const bool> available, int width, int height);

class TMultiTexture6;

class TTextureManager6 {
public:
  explicit TTextureManager6(T3DScreen& screen);
  TTextureManager6(const TTextureManager6&) = delete;
  TTextureManager6& operator=(const TTextureManager6&) = delete;
  // Multi textures still using the manager are logged as
  // "Error: Multi Textures Count = N" and lose their tiles.
  ~TTextureManager6();

  T3DScreen& Screen() const { return m_screen; }
  TTileManager& Manager(int index) const { return *m_managers.at(static_cast<size_t>(index)); }
  int ManagerCount() const { return static_cast<int>(m_managers.size()); }

  // A tile for a piece of width x height by the choice rule; a size the
  // device refuses is removed and the choice made again. Null when no
  // size is left.
  std::unique_ptr<TTextureTile> AcquireTile(int width, int height);
  void ReturnTile(std::unique_ptr<TTextureTile> tile);

  // Multi textures register while they exist.
  void AddUser(TMultiTexture6& user);
  void RemoveUser(TMultiTexture6& user);
  int UsageCount() const { return static_cast<int>(m_users.size()); }

private:
  T3DScreen& m_screen;
  std::vector<std::unique_ptr<TTileManager>> m_managers;
  std::vector<TMultiTexture6*> m_users;
};

} // namespace qx
