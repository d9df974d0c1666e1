// An off-screen buffer of the drawer: the screen covered by tiles of
// power-of-two sizes, all drawn in turn through one render-target texture
// of the largest tile size. Masked groups render their content tile by
// tile into it.
#pragma once

#include "VmoLib2/3DEngine/qxRenderTargetTexture.h"

#include <memory>
#include <vector>

namespace qx {

// One tile: a rectangle of the screen, device pixels.
struct TRenderTargetTile {
  T3DRect rect;
};

class TD3DBuffer {
public:
  // Tile sides are taken from these, limited by the device's largest
  // texture.
  static constexpr int kSmallestPiece = 256;
  static constexpr int kLargestPiece = 1024;

  // `kind` is a render-target kind: opaque or with alpha.
  TD3DBuffer(T3DScreen& screen, T3DTextureKind kind);

  // Covers `area` (its size; tiles start at its top-left) and makes the
  // texture for the largest tile. Covering the same size again keeps
  // everything.
  void Cover(const T3DRect& area);
  const T3DRect& Area() const { return m_area; }
  const std::vector<TRenderTargetTile>& Tiles() const { return m_tiles; }
  // The texture every tile is drawn through; null before Cover.
  TRenderTargetTexture* Texture() const { return m_texture.get(); }
  T3DTextureKind Kind() const { return m_kind; }

  // Splits a side of `length` pixels into pieces: greedily the largest of
  // 256, 512, 1024 (none above `maxPiece`) that fits the rest, a rest
  // below 256 taking a 256 piece; then the last two pieces are merged
  // while they are equal and their double is allowed. 1920 gives
  // 1024 + 1024, 1080 gives 1024 + 256.
  static std::vector<int> SplitSide(int length, int maxPiece);

private:
  T3DScreen& m_screen;
  T3DTextureKind m_kind;
  T3DRect m_area;
  std::vector<TRenderTargetTile> m_tiles;
  std::unique_ptr<TRenderTargetTexture> m_texture;
};

} // namespace qx
