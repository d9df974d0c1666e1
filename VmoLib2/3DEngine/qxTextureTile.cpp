#include "VmoLib2/3DEngine/qxTextureTile.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLoadCallback.h"
#include "VmoLib2/3DEngine/qxMultiTexture6.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

constexpr int kPixelBytes = 4;
// Rows copied between two calls of the load callback.
constexpr int kRowsPerProgressCall = 64;

} // namespace

TTextureTile::TTextureTile(T3DScreen& screen, TTileManager& manager, int width, int height)
    : TCustomTexture(screen), m_manager(manager) {
  SetSize(width, height);
}

void TTextureTile::Place(TMultiTexture6& owner, int x, int y, int usedWidth, int usedHeight) {
  m_owner = &owner;
  m_originX = x;
  m_originY = y;
  m_usedWidth = usedWidth;
  m_usedHeight = usedHeight;
  m_prepared = false;
  MarkDirty();
}

void TTextureTile::Unplace() {
  m_owner = nullptr;
  m_prepared = false;
  MarkDirty();
}

bool TTextureTile::FillLevel0(TBitmap& level) {
  QX_ASSERT(level.Format() == TPixelFormat::Bgra32, "Only 32-bit textures are tiled");
  if (!m_owner) {
    return false;
  }
  // The covered part, in tile texels: the used area within the picture.
  const int left = std::max(0, -m_originX);
  const int top = std::max(0, -m_originY);
  const int right = std::min({m_usedWidth, m_owner->Width() - m_originX, level.Width()});
  const int bottom = std::min({m_usedHeight, m_owner->Height() - m_originY, level.Height()});
  if (right <= left || bottom <= top) {
    return false;
  }
  for (int y = top; y < bottom; y += kRowsPerProgressCall) {
    const int rows = std::min(kRowsPerProgressCall, bottom - y);
    m_owner->CopySource(m_originX + left, m_originY + y, right - left, rows, level, left, y);
    if (!CallLoadCallback()) {
      return false;
    }
  }
  // Repeat the outermost covered texels over the rest of the tile.
  for (int y = top; y < bottom; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(level.Scanline(y));
    std::fill(row, row + left, row[left]);
    std::fill(row + right, row + level.Width(), row[right - 1]);
  }
  const int64_t rowBytes = int64_t{level.Width()} * kPixelBytes;
  for (int y = 0; y < top; ++y) {
    std::memcpy(level.Scanline(y), level.Scanline(top), static_cast<size_t>(rowBytes));
  }
  for (int y = bottom; y < level.Height(); ++y) {
    std::memcpy(level.Scanline(y), level.Scanline(bottom - 1), static_cast<size_t>(rowBytes));
  }
  return true;
}

} // namespace qx
