#include "VmoLib2/3DEngine/qxMultiTexture6.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxFeatherMesh.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qx {

namespace {

// Pause after moving one tile to device memory, so that uploads of a
// preloaded picture spread over time.
constexpr auto kPreloadPause = std::chrono::milliseconds(1);

TFloatRect Intersect(const TFloatRect& a, const TFloatRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

} // namespace

TMultiTexture6::TMultiTexture6(TTextureManager6& manager) : m_manager(&manager) { manager.AddUser(*this); }

TMultiTexture6::~TMultiTexture6() {
  ReleaseTiles();
  if (m_manager) {
    m_manager->RemoveUser(*this);
  }
}

void TMultiTexture6::ManagerGone() {
  m_tiles.clear();
  m_manager->RemoveUser(*this);
  m_manager = nullptr;
}

void TMultiTexture6::SetSource(std::shared_ptr<const TBitmap> bitmap, int columns, int rows, const T3DRect& rect) {
  QX_ASSERT(bitmap != nullptr, "TMultiTexture6 without a bitmap");
  ReleaseTiles();
  m_tileBitmap.reset();
  if (bitmap->Format() != TPixelFormat::Bgra32) {
    bitmap = std::make_shared<const TBitmap>(ConvertBitmap(*bitmap, TPixelFormat::Bgra32));
  }
  const bool grid = columns > 1 || rows > 1;
  if (grid) {
    m_tileBitmap.emplace(bitmap, std::max(1, columns), std::max(1, rows));
  }
  const int width = grid ? m_tileBitmap->Width() : bitmap->Width();
  const int height = grid ? m_tileBitmap->Height() : bitmap->Height();
  QX_ASSERT(!rect.IsEmpty(), "TMultiTexture6 source rectangle is empty");
  QX_ASSERT(rect.left >= 0 && rect.top >= 0 && rect.right <= width && rect.bottom <= height,
            "TMultiTexture6 source rectangle outside its bitmap");
  m_bitmap = std::move(bitmap);
  m_sourceRect = rect;
  if (m_manager) {
    Layout(0, 0, Width(), Height());
  }
}

void TMultiTexture6::Layout(int x, int y, int width, int height) {
  // Each tile covers its used size less a one-pixel frame on every side;
  // the frames overlap the neighbours.
  while (height > 0) {
    auto tile = m_manager->AcquireTile(width + 2, height + 2);
    QX_ASSERT(tile != nullptr, "No texture tile left for the picture");
    const int usedWidth = std::min(width + 2, tile->Width());
    const int usedHeight = std::min(height + 2, tile->Height());
    tile->Place(*this, x - 1, y - 1, usedWidth, usedHeight);
    m_tiles.push_back(std::move(tile));
    if (usedWidth - 2 < width) {
      Layout(x + usedWidth - 2, y, width - usedWidth + 2, usedHeight - 2);
    }
    y += usedHeight - 2;
    height -= usedHeight - 2;
  }
}

void TMultiTexture6::ReleaseTiles() {
  if (!m_manager) {
    m_tiles.clear();
    return;
  }
  for (auto& tile : m_tiles) {
    m_manager->ReturnTile(std::move(tile));
  }
  m_tiles.clear();
}

void TMultiTexture6::CopySource(int x, int y, int width, int height, TBitmap& dest, int destX, int destY) const {
  if (m_tileBitmap) {
    m_tileBitmap->CopyRect(m_sourceRect.left + x, m_sourceRect.top + y, width, height, dest, destX, destY);
    return;
  }
  dest.Draw(m_bitmap->CropView(m_sourceRect.left + x, m_sourceRect.top + y, width, height), destX, destY);
}

bool TMultiTexture6::Prepare(TTextureTile& tile) {
  tile.SetMipMaps(m_mipMaps);
  tile.SetLodBias(m_lodBias);
  tile.SetOpacity(m_opacity);
  tile.SetPointFilter(m_pointFilter);
  if (!tile.DeviceTexture()) {
    return false;
  }
  if (tile.IsDirty() && !tile.Upload()) {
    return false;
  }
  return true;
}

void TMultiTexture6::SetSecondTexture(TCustomTexture* texture, double x, double y) {
  m_second = texture;
  m_secondOrigin = {x, y};
}

void TMultiTexture6::Preload(bool spread) {
  for (auto& tile : m_tiles) {
    if (!Prepare(*tile) || tile->Prepared()) {
      continue;
    }
    tile->SetPrepared(true);
    tile->PreLoad();
    if (spread) {
      std::this_thread::sleep_for(kPreloadPause);
    }
  }
}

void TMultiTexture6::Draw(const TPlacement& placement, const TFloatRect& visible) {
  if (m_opacity == 0 || m_tiles.empty()) {
    return;
  }
  T3DScreen& screen = m_manager->Screen();
  if (!screen.Renderer()) {
    return;
  }
  const bool whole = visible.right <= visible.left || visible.bottom <= visible.top;
  const TFloatRect wanted = whole ? TFloatRect{0, 0, double(Width()), double(Height())} : visible;
  const double wantedWidth = wanted.right - wanted.left;
  const double wantedHeight = wanted.bottom - wanted.top;
  const T3DColor color = (uint32_t{m_opacity} << 24) | m_modulation;
  for (auto& owned : m_tiles) {
    TTextureTile& tile = *owned;
    // The tile's inner area in picture pixels: its used size less the frame.
    const TFloatRect inner{double(tile.OriginX() + 1), double(tile.OriginY() + 1),
                           double(tile.OriginX() + tile.UsedWidth() - 1),
                           double(tile.OriginY() + tile.UsedHeight() - 1)};
    const TFloatRect part = Intersect(wanted, inner);
    if (part.right <= part.left || part.bottom <= part.top || !Prepare(tile)) {
      continue;
    }
    const TPlacement quad =
        placement.Part((part.left - wanted.left) / wantedWidth, (part.top - wanted.top) / wantedHeight,
                       (part.right - wanted.left) / wantedWidth, (part.bottom - wanted.top) / wantedHeight);
    const TFloatRect texels{part.left - tile.OriginX(), part.top - tile.OriginY(), part.right - tile.OriginX(),
                            part.bottom - tile.OriginY()};
    if (!m_feather && !m_second && m_modulation == 0x00FFFFFF) {
      screen.DrawTexture(tile, texels, quad);
      continue;
    }
    // Edges where the drawn part ends inside this tile are outer edges.
    uint8_t edges = 0;
    if (m_feather) {
      edges |= wanted.left >= inner.left ? kFeatherLeft : 0;
      edges |= wanted.top >= inner.top ? kFeatherTop : 0;
      edges |= wanted.right <= inner.right ? kFeatherRight : 0;
      edges |= wanted.bottom <= inner.bottom ? kFeatherBottom : 0;
    }
    const TFloatRect uv{texels.left * tile.ScaleU(), texels.top * tile.ScaleV(), texels.right * tile.ScaleU(),
                        texels.bottom * tile.ScaleV()};
    TMeshGrid grid = FeatherMesh(screen, quad, {&uv, 1}, edges);
    TCustomTexture* textures[] = {&tile, m_second};
    if (m_second) {
      for (size_t i = 0; i < grid.positions.size(); ++i) {
        const TFloatPoint pixel = screen.ToPixels(grid.positions[i]);
        grid.uv[i][1] = {static_cast<float>((pixel.x - m_secondOrigin.x) * m_second->ScaleU()),
                         static_cast<float>((pixel.y - m_secondOrigin.y) * m_second->ScaleV())};
      }
    }
    screen.DrawMesh({textures, m_second ? 2u : 1u}, grid, color, m_feather ? color & 0x00FFFFFF : color);
  }
}

} // namespace qx
