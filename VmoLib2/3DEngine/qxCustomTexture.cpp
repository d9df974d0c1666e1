#include "VmoLib2/3DEngine/qxCustomTexture.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qx {

namespace {

// Copies the last column and row of the width x height picture at the
// top-left of `rows` into the column and row after it, where they exist.
void RepeatEdges(TBitmap& rows, int width, int height) {
  const size_t pixel = static_cast<size_t>(rows.PixelBytes());
  if (width < rows.Width()) {
    for (int y = 0; y < height; ++y) {
      uint8_t* row = rows.Scanline(y);
      std::memcpy(row + width * pixel, row + (width - 1) * pixel, pixel);
    }
  }
  if (height < rows.Height()) {
    std::memcpy(rows.Scanline(height), rows.Scanline(height - 1), static_cast<size_t>(rows.Width()) * pixel);
  }
}

} // namespace

TCustomTexture::TCustomTexture(T3DScreen& screen) : T3DScreenObject(screen) {}

TCustomTexture::~TCustomTexture() {
  const std::lock_guard lock(DeviceLock());
  m_texture.reset();
}

int TCustomTexture::TextureSide(int requested) {
  if (requested <= 0) {
    return 0;
  }
  int side = kMinSide;
  while (side < requested) {
    side *= 2;
  }
  return side;
}

void TCustomTexture::SetSize(int width, int height) {
  if (width == m_width && height == m_height) {
    return;
  }
  m_width = std::max(0, width);
  m_height = std::max(0, height);
  const int textureWidth = TextureSide(m_width);
  const int textureHeight = TextureSide(m_height);
  if (textureWidth != m_textureWidth || textureHeight != m_textureHeight) {
    ReleaseDeviceObject();
  }
  m_textureWidth = textureWidth;
  m_textureHeight = textureHeight;
  m_scaleU = m_textureWidth > 0 ? 1.0 / m_textureWidth : 0;
  m_scaleV = m_textureHeight > 0 ? 1.0 / m_textureHeight : 0;
  m_dirty = true;
}

void TCustomTexture::SetMipMaps(bool on) {
  m_mipMaps = on;
  if (on && !m_mipMapsEverAsked) {
    m_mipMapsEverAsked = true;
    ReleaseDeviceObject();
  }
}

void TCustomTexture::SetKind(T3DTextureKind kind) {
  if (kind == m_kind) {
    return;
  }
  m_kind = kind;
  ReleaseDeviceObject();
}

void TCustomTexture::ReleaseDeviceObject() {
  const std::lock_guard lock(DeviceLock());
  m_texture.reset();
  m_textureLost = false;
  m_dirty = true;
}

bool TCustomTexture::CreateDeviceTexture() {
  if (m_textureLost) {
    ReleaseDeviceObject();
  }
  if (m_texture) {
    return true;
  }
  T3DRenderer* renderer = Screen() ? Screen()->Renderer() : nullptr;
  if (!renderer || m_textureWidth <= 0 || m_textureHeight <= 0) {
    return false;
  }
  const T3DScreen& screen = *Screen();
  if ((screen.MaxTextureWidth() > 0 && m_textureWidth > screen.MaxTextureWidth()) ||
      (screen.MaxTextureHeight() > 0 && m_textureHeight > screen.MaxTextureHeight())) {
    return false;
  }
  const std::lock_guard lock(DeviceLock());
  m_texture = renderer->CreateTexture(m_kind, m_textureWidth, m_textureHeight, m_mipMapsEverAsked);
  if (!m_texture) {
    return false;
  }
  // The device went away: the texture is made and filled again on its
  // next use.
  m_texture->SetDeviceKilledCallback([this] { m_textureLost = true; });
  m_dirty = true;
  return true;
}

T3DTexture* TCustomTexture::DeviceTexture() {
  if (!CreateDeviceTexture()) {
    return nullptr;
  }
  if (m_kind == T3DTextureKind::Argb && m_dirty) {
    Upload();
  }
  return HasDeviceTexture() ? m_texture.get() : nullptr;
}

bool TCustomTexture::PreLoad() {
  T3DTexture* texture = DeviceTexture();
  if (!texture) {
    return false;
  }
  const std::lock_guard lock(DeviceLock());
  return texture->PreLoad();
}

bool TCustomTexture::FillLevel0(TBitmap&) { return true; }

bool TCustomTexture::Upload() {
  if (!CreateDeviceTexture() || m_width <= 0 || m_height <= 0) {
    return false;
  }
  const std::lock_guard lock(DeviceLock());
  std::vector<T3DSurface*> locked;
  std::vector<TBitmap> pictures;
  pictures.reserve(static_cast<size_t>(m_texture->LevelCount()));
  bool ok = true;
  for (int level = 0; level < m_texture->LevelCount(); ++level) {
    T3DSurface* surface = m_texture->SurfaceLevel(level);
    if (!surface) {
      ok = false;
      break;
    }
    const int width = std::max(1, m_width >> level);
    const int height = std::max(1, m_height >> level);
    // One texel more on the right and below where the level has room, so
    // that filtering at the picture's edge reads the edge again.
    const T3DRect region{0, 0, std::min(width + 1, surface->Width()), std::min(height + 1, surface->Height())};
    TBitmap* rows = surface->Lock(&region, T3DLockMode::Discard);
    if (!rows) {
      ok = false;
      break;
    }
    locked.push_back(surface);
    pictures.push_back(rows->CropView(0, 0, width, height));
    if (level == 0) {
      ok = FillLevel0(pictures.back());
    } else {
      AverageMipLevel(pictures[pictures.size() - 2], pictures.back());
    }
    if (!ok) {
      break;
    }
    RepeatEdges(*rows, width, height);
  }
  for (T3DSurface* surface : locked) {
    ok = surface->Unlock() && ok;
  }
  if (ok) {
    m_dirty = false;
  }
  return ok;
}

void AverageMipLevel(const TBitmap& source, TBitmap& dest) {
  QX_ASSERT(source.Format() == TPixelFormat::Bgra32 && dest.Format() == TPixelFormat::Bgra32,
            "Mip levels must be 32-bit");
  QX_ASSERT(dest.Width() == std::max(1, source.Width() / 2) && dest.Height() == std::max(1, source.Height() / 2),
            "Mip level must be half its parent");
  const int lastX = source.Width() - 1;
  const int lastY = source.Height() - 1;
  for (int y = 0; y < dest.Height(); ++y) {
    const uint8_t* row0 = source.Scanline(std::min(2 * y, lastY));
    const uint8_t* row1 = source.Scanline(std::min(2 * y + 1, lastY));
    uint8_t* out = dest.Scanline(y);
    for (int x = 0; x < dest.Width(); ++x) {
      const int x0 = std::min(2 * x, lastX) * 4;
      const int x1 = std::min(2 * x + 1, lastX) * 4;
      for (int channel = 0; channel < 4; ++channel) {
        const int sum = row0[x0 + channel] + row0[x1 + channel] + row1[x0 + channel] + row1[x1 + channel];
        out[x * 4 + channel] = static_cast<uint8_t>((sum + 2) / 4);
      }
    }
  }
}

} // namespace qx
