// A picture of any size split into pooled fixed-size tiles. Neighbouring
// tiles overlap by a one-pixel frame so that bilinear filtering across a
// seam reads true neighbour pixels; the frame at the picture's edge repeats
// the edge pixels.
#pragma once

#include "VmoLib2/3DEngine/qxTextureManager6.h"
#include "VmoLib2/3DEngine/qxTileBitmap.h"

#include <memory>
#include <optional>
#include <vector>

namespace qx {

class TMultiTexture6 {
public:
  explicit TMultiTexture6(TTextureManager6& manager);
  TMultiTexture6(const TMultiTexture6&) = delete;
  TMultiTexture6& operator=(const TMultiTexture6&) = delete;
  ~TMultiTexture6();

  // The picture: `rect` of `bitmap` (a 1 x 1 grid), or `rect` of the
  // virtual bitmap of a columns x rows grid (see TTileBitmap). The bitmap
  // is shared, not copied; a format other than Bgra32 is converted once.
  // An empty rectangle or one outside the bitmap is an assertion. Lays the
  // tiles out at once.
  void SetSource(std::shared_ptr<const TBitmap> bitmap, int columns, int rows, const T3DRect& rect);
  int Width() const { return m_sourceRect.Width(); }
  int Height() const { return m_sourceRect.Height(); }

  void SetOpacity(uint8_t opacity) { m_opacity = opacity; }
  uint8_t Opacity() const { return m_opacity; }
  void SetMipMaps(bool on) { m_mipMaps = on; }
  void SetLodBias(float bias) { m_lodBias = bias; }
  // Soft one-pixel edges where the drawn part ends inside the picture.
  void SetFeather(bool on) { m_feather = on; }
  bool Feather() const { return m_feather; }
  void SetPointFilter(bool on) { m_pointFilter = on; }
  // Multiplied into every texel's colour (0xRRGGBB; white leaves the
  // picture as it is).
  void SetModulation(T3DColor rgb) { m_modulation = rgb & 0x00FFFFFF; }
  // A second texture multiplied in on stage 1, sampled where each pixel
  // lands on the current target: its texel (0, 0) lies on target pixel
  // (x, y). The colour becomes picture x texture x vertex colour and the
  // alpha picture alpha x vertex alpha (an opaque render-target texture
  // adds no alpha). Null drops it.
  void SetSecondTexture(TCustomTexture* texture, double x = 0, double y = 0);

  // Draws `visible` (picture pixels; empty for the whole picture) so that
  // it covers `placement`. Nothing when the opacity is 0.
  void Draw(const TPlacement& placement, const TFloatRect& visible = {});
  // Makes and uploads every tile without drawing; the first time each
  // tile is also moved to device memory. `spread`: 1 ms apart, so that a
  // player drawing live keeps its frame rate; a renderer that does not
  // draw against a clock uploads at once.
  void Preload(bool spread = true);
  // Returns every tile to its pool.
  void ReleaseTiles();

  const std::vector<std::unique_ptr<TTextureTile>>& Tiles() const { return m_tiles; }
  // Copies the picture rectangle (x, y, width, height) into `dest` at
  // (destX, destY); the tiles' uploads read through it.
  void CopySource(int x, int y, int width, int height, TBitmap& dest, int destX, int destY) const;

private:
  friend class TTextureManager6;
  void Layout(int x, int y, int width, int height);
  // Creates (and uploads when dirty) the tile's texture with this
  // picture's sampling; false when it cannot be drawn.
  bool Prepare(TTextureTile& tile);
  // The manager is going away first.
  void ManagerGone();

  TTextureManager6* m_manager;
  std::shared_ptr<const TBitmap> m_bitmap;
  std::optional<TTileBitmap> m_tileBitmap;
  T3DRect m_sourceRect;
  std::vector<std::unique_ptr<TTextureTile>> m_tiles;
  uint8_t m_opacity = 255;
  bool m_mipMaps = false;
  float m_lodBias = 0;
  bool m_feather = false;
  bool m_pointFilter = false;
  T3DColor m_modulation = 0x00FFFFFF;
  TCustomTexture* m_second = nullptr;
  TFloatPoint m_secondOrigin;
};

} // namespace qx
