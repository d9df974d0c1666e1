// One pooled tile texture: a fixed-size texture holding the part of a
// picture that a TMultiTexture6 placed on it, framed by one pixel of the
// neighbouring picture pixels (or copies of the picture's edge).
#pragma once

#include "VmoLib2/3DEngine/qxCustomTexture.h"

namespace qx {

class TMultiTexture6;
class TTileManager;

class TTextureTile final : public TCustomTexture {
public:
  TTextureTile(T3DScreen& screen, TTileManager& manager, int width, int height);

  TTileManager& Manager() const { return m_manager; }
  // Places the tile: texel (0, 0) shows picture pixel (x, y); the first
  // usedWidth x usedHeight texels are the tile's part of the picture.
  void Place(TMultiTexture6& owner, int x, int y, int usedWidth, int usedHeight);
  // Back in the pool: no owner, contents to be uploaded again.
  void Unplace();
  TMultiTexture6* Owner() const { return m_owner; }
  int OriginX() const { return m_originX; }
  int OriginY() const { return m_originY; }
  int UsedWidth() const { return m_usedWidth; }
  int UsedHeight() const { return m_usedHeight; }
  bool Prepared() const { return m_prepared; }
  void SetPrepared(bool prepared) { m_prepared = prepared; }

  // Makes the device texture without filling it; false when the device
  // refuses a texture of this size.
  bool MakeDeviceTexture() { return CreateDeviceTexture(); }

protected:
  // Copies the covered part of the owner's picture, then repeats its
  // outermost texels over the rest of the tile. Stops (false) when the
  // process-wide load callback asks to abort.
  bool FillLevel0(TBitmap& level) override;

private:
  TTileManager& m_manager;
  TMultiTexture6* m_owner = nullptr;
  int m_originX = 0;
  int m_originY = 0;
  int m_usedWidth = 0;
  int m_usedHeight = 0;
  bool m_prepared = false;
};

} // namespace qx
