#include "VmoLib2/3DEngine/qxCustomTexture.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <vector>

namespace qx {

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

bool TCustomTexture::FillLevel0(TBitmap&) {
  return true;
}

bool TCustomTexture::Upload() {
  if (!CreateDeviceTexture() || m_width <= 0 || m_height <= 0) {
    return false;
  }
  const std::lock_guard lock(DeviceLock());
  std::vector<T3DSurface*> locked;
  bool ok = true;
  TBitmap* previous = nullptr;
  for (int level = 0; level < m_texture->LevelCount(); ++level) {
    T3DSurface* surface = m_texture->SurfaceLevel(level);
    const T3DRect region{0, 0, std::max(1, m_width >> level), std::max(1, m_height >> level)};
    TBitmap* rows = surface ? surface->Lock(&region, T3DLockMode::Discard) : nullptr;
    if (!rows) {
      ok = false;
      break;
    }
    locked.push_back(surface);
    if (level == 0) {
      ok = FillLevel0(*rows);
    } else {
      AverageMipLevel(*previous, *rows);
    }
    if (!ok) {
      break;
    }
    previous = rows;
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
