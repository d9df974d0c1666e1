// Solid rectangles with soft one-pixel edges: a small texture of one
// colour drawn through the feathered mesh.
#pragma once

#include "VmoLib2/3DEngine/qxCustomTexture.h"

namespace qx {

// The antialiaser's texture: level 0 is the antialiaser's bitmap.
class TBoxAntiTexture final : public TCustomTexture {
public:
  TBoxAntiTexture(T3DScreen& screen, const TBitmap& bitmap);

protected:
  bool FillLevel0(TBitmap& level) override;

private:
  const TBitmap& m_bitmap;
};

class TBoxAntialiaser {
public:
  static constexpr int kSide = 256;

  explicit TBoxAntialiaser(T3DScreen& screen, TBgra color = {255, 255, 255, 255});

  void SetColor(TBgra color);
  TBgra Color() const { return m_color; }

  // Fills `placement` with the colour; `opacity` scales its alpha.
  void Draw(const TPlacement& placement, uint8_t opacity = 255);

private:
  T3DScreen& m_screen;
  TBgra m_color;
  TBitmap m_bitmap;
  TBoxAntiTexture m_texture;
};

} // namespace qx
