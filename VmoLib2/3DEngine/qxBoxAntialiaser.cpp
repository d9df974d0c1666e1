#include "VmoLib2/3DEngine/qxBoxAntialiaser.h"

#include "VmoLib2/3DEngine/qxFeatherMesh.h"

#include <algorithm>
#include <cmath>

namespace qx {

TBoxAntiTexture::TBoxAntiTexture(T3DScreen& screen, const TBitmap& bitmap) : TCustomTexture(screen), m_bitmap(bitmap) {
  SetSize(bitmap.Width(), bitmap.Height());
}

bool TBoxAntiTexture::FillLevel0(TBitmap& level) {
  level.Draw(m_bitmap, 0, 0);
  return true;
}

TBoxAntialiaser::TBoxAntialiaser(T3DScreen& screen, TBgra color)
    : m_screen(screen), m_color(color), m_bitmap(kSide, kSide, TPixelFormat::Bgra32), m_texture(screen, m_bitmap) {
  m_bitmap.Fill(color);
}

void TBoxAntialiaser::SetColor(TBgra color) {
  if (color == m_color) {
    return;
  }
  m_screen.FlushBatch();
  m_color = color;
  m_bitmap.Fill(color);
  m_texture.MarkDirty();
}

void TBoxAntialiaser::Draw(const TPlacement& placement, uint8_t opacity) {
  if (opacity == 0 || !m_screen.Renderer()) {
    return;
  }
  // The box's size in texels, scaled by 1/256 and kept inside the texture.
  const double width = std::sqrt(Dot(placement.u, placement.u));
  const double height = std::sqrt(Dot(placement.v, placement.v));
  const TFloatRect uv{0, 0, std::min(width, double(kSide)) / kSide, std::min(height, double(kSide)) / kSide};
  TCustomTexture* textures[] = {&m_texture};
  const T3DColor inner = (uint32_t{opacity} << 24) | 0x00FFFFFF;
  m_screen.DrawMesh(textures, FeatherMesh(m_screen, placement, {&uv, 1}, kFeatherAll), inner, 0x00FFFFFF);
}

} // namespace qx
