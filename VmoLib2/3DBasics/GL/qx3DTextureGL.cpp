#include "VmoLib2/3DBasics/GL/qx3DTextureGL.h"

#include "VmoLib2/3DBasics/GL/qxGLDeviceCall.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

struct TGLFormat {
  GLenum internalFormat;
  GLenum format;
  GLenum type;
  TPixelFormat pixelFormat;
};

TGLFormat FormatOf(T3DTextureKind kind) {
  switch (kind) {
  case T3DTextureKind::Luminance: return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, TPixelFormat::Gray8};
  case T3DTextureKind::Rgb565: return {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, TPixelFormat::R5G6B5};
  default: return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, TPixelFormat::Bgra32};
  }
}

GLint AddressOf(T3DAddressMode mode) {
  switch (mode) {
  case T3DAddressMode::Clamp: return GL_CLAMP_TO_EDGE;
  case T3DAddressMode::Mirror: return GL_MIRRORED_REPEAT;
  case T3DAddressMode::Wrap: break;
  }
  return GL_REPEAT;
}

// Swizzles that make each kind sample like its layout: B, G, R, A bytes
// read as colour; an opaque target's alpha and luminance's missing
// channels read as in the original formats.
void SetSwizzle(T3DTextureKind kind) {
  GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  switch (kind) {
  case T3DTextureKind::Argb:
    swizzle[0] = GL_BLUE;
    swizzle[2] = GL_RED;
    break;
  case T3DTextureKind::RenderTargetXrgb: swizzle[3] = GL_ONE; break;
  case T3DTextureKind::Luminance:
    swizzle[1] = GL_RED;
    swizzle[2] = GL_RED;
    swizzle[3] = GL_ONE;
    break;
  default: break;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, swizzle[0]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_G, swizzle[1]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, swizzle[2]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, swizzle[3]);
}

bool ContainsRect(const T3DRect& rect, int width, int height) {
  return !rect.IsEmpty() && rect.left >= 0 && rect.top >= 0 && rect.right <= width && rect.bottom <= height;
}

} // namespace

GLuint CreateTargetTexture(int width, int height) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &texture);
    return 0;
  }
  return texture;
}

// ---- T3DSurfaceGL ----

T3DSurfaceGL::T3DSurfaceGL(T3DObject& liveness, const TGLSurfaceStorage& storage, bool ownsTexture)
    : m_liveness(liveness), m_storage(storage), m_ownsTexture(ownsTexture) {}

T3DSurfaceGL::~T3DSurfaceGL() {
  if (Alive() && GLStore(m_liveness)->Bind()) {
    ReleaseDeviceObjects();
  }
}

void T3DSurfaceGL::ReleaseDeviceObjects() {
  if (m_framebuffer) {
    glDeleteFramebuffers(1, &m_framebuffer);
    m_framebuffer = 0;
  }
  if (m_ownsTexture && m_storage.texture) {
    glDeleteTextures(1, &m_storage.texture);
  }
  m_storage.texture = 0;
  m_locked.reset();
}

TPixelFormat T3DSurfaceGL::Format() const { return FormatOf(m_storage.kind).pixelFormat; }

bool T3DSurfaceGL::Enter() {
  if (!Alive() || !m_storage.texture) {
    return Fail(T3DResult::DeviceLost);
  }
  if (!GLStore(m_liveness)->Bind()) {
    return Fail(T3DResult::Other);
  }
  return true;
}

GLuint T3DSurfaceGL::Framebuffer() {
  if (m_framebuffer || !m_storage.texture) {
    return m_framebuffer;
  }
  glGenFramebuffers(1, &m_framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_storage.texture, m_storage.level);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glDeleteFramebuffers(1, &m_framebuffer);
    m_framebuffer = 0;
  }
  return m_framebuffer;
}

bool T3DSurfaceGL::ReadRect(const T3DRect& rect, TBitmap& out) {
  const GLuint framebuffer = Framebuffer();
  if (!framebuffer) {
    return false;
  }
  GLint previous = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  std::vector<uint8_t> rgba(static_cast<size_t>(rect.Width()) * rect.Height() * 4);
  glReadPixels(rect.left, rect.top, rect.Width(), rect.Height(), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previous));
  if (glGetError() != GL_NO_ERROR) {
    return false;
  }
  const bool swap = !StoresBgra();
  for (int y = 0; y < rect.Height(); ++y) {
    const uint8_t* src = rgba.data() + static_cast<size_t>(y) * rect.Width() * 4;
    uint8_t* dst = out.Scanline(y);
    for (int x = 0; x < rect.Width(); ++x, src += 4) {
      switch (out.Format()) {
      case TPixelFormat::Gray8: dst[x] = src[0]; break;
      case TPixelFormat::R5G6B5: {
        const uint16_t packed = PackR5G6B5(src[0], src[1], src[2]);
        std::memcpy(dst + 2 * x, &packed, 2);
        break;
      }
      default:
        dst[4 * x + 0] = swap ? src[2] : src[0];
        dst[4 * x + 1] = src[1];
        dst[4 * x + 2] = swap ? src[0] : src[2];
        dst[4 * x + 3] = src[3];
        break;
      }
    }
  }
  return true;
}

void T3DSurfaceGL::WriteRect(const T3DRect& rect, const TBitmap& bitmap) {
  const TGLFormat format = FormatOf(m_storage.kind);
  const TBitmap* source = &bitmap;
  TBitmap swapped;
  if (format.pixelFormat == TPixelFormat::Bgra32 && !StoresBgra()) {
    swapped = bitmap.Clone();
    for (int y = 0; y < swapped.Height(); ++y) {
      uint8_t* row = swapped.Scanline(y);
      for (int x = 0; x < swapped.Width(); ++x) {
        std::swap(row[4 * x], row[4 * x + 2]);
      }
    }
    source = &swapped;
  }
  glBindTexture(GL_TEXTURE_2D, m_storage.texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(source->Stride() / source->PixelBytes()));
  glTexSubImage2D(GL_TEXTURE_2D, m_storage.level, rect.left, rect.top, rect.Width(), rect.Height(), format.format,
                  format.type, source->Bits());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
}

bool T3DSurfaceGL::CopyToBitmap(TBitmap& bitmap) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return false;
  }
  if (bitmap.Width() != Width() || bitmap.Height() != Height() || bitmap.Format() != Format() || bitmap.IsView()) {
    bitmap = TBitmap(Width(), Height(), Format());
  }
  if (!ReadRect({0, 0, Width(), Height()}, bitmap)) {
    return Fail(T3DResult::Other);
  }
  return Succeed();
}

TBitmap* T3DSurfaceGL::Lock(const T3DRect* rect, T3DLockMode mode) {
  const TGLDeviceCall call(*this);
  if (!call) {
    return nullptr;
  }
  const T3DRect area = rect ? *rect : T3DRect{0, 0, Width(), Height()};
  if (m_locked || !ContainsRect(area, Width(), Height())) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  TBitmap rows(area.Width(), area.Height(), Format());
  if (mode != T3DLockMode::Discard && !ReadRect(area, rows)) {
    Fail(T3DResult::Other);
    return nullptr;
  }
  m_locked.emplace(std::move(rows));
  m_lockRect = area;
  m_lockMode = mode;
  Succeed();
  return &*m_locked;
}

bool T3DSurfaceGL::Unlock() {
  const std::lock_guard lock(DeviceLock());
  if (!m_locked) {
    return Fail(T3DResult::InvalidCall);
  }
  if (!Enter()) {
    m_locked.reset();
    return false;
  }
  if (m_lockMode != T3DLockMode::ReadOnly) {
    WriteRect(m_lockRect, *m_locked);
  }
  m_locked.reset();
  if (glGetError() != GL_NO_ERROR) {
    return Fail(T3DResult::Other);
  }
  return Succeed();
}

// ---- T3DTextureGL ----

T3DTextureGL::T3DTextureGL(T3DTextureKind kind, int width, int height, int levels)
    : m_kind(kind), m_width(width), m_height(height), m_levels(levels) {}

T3DTextureGL::~T3DTextureGL() {
  if (TGLDevStore* store = GLStore(*this); store && store->Bind()) {
    ReleaseDeviceObjects();
  }
}

bool T3DTextureGL::Create() {
  const TGLFormat format = FormatOf(m_kind);
  glGenTextures(1, &m_texture);
  glBindTexture(GL_TEXTURE_2D, m_texture);
  glTexStorage2D(GL_TEXTURE_2D, m_levels, format.internalFormat, m_width, m_height);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, m_levels - 1);
  SetSwizzle(m_kind);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &m_texture);
    m_texture = 0;
    return Fail(T3DResult::Other);
  }
  m_surfaces.resize(static_cast<size_t>(m_levels));
  return Succeed();
}

void T3DTextureGL::ReleaseDeviceObjects() {
  for (auto& surface : m_surfaces) {
    if (surface) {
      surface->ReleaseDeviceObjects();
    }
  }
  if (m_texture) {
    glDeleteTextures(1, &m_texture);
    m_texture = 0;
  }
}

T3DSurface* T3DTextureGL::SurfaceLevel(int level) {
  const std::lock_guard lock(DeviceLock());
  if (!CheckStore()) {
    return nullptr;
  }
  if (level < 0 || level >= m_levels) {
    Fail(T3DResult::InvalidCall);
    return nullptr;
  }
  auto& surface = m_surfaces[static_cast<size_t>(level)];
  if (!surface) {
    const TGLSurfaceStorage storage{m_texture, level, std::max(1, m_width >> level), std::max(1, m_height >> level),
                                    m_kind};
    surface = std::make_unique<T3DSurfaceGL>(*this, storage, false);
  }
  Succeed();
  return surface.get();
}

bool T3DTextureGL::PreLoad() {
  const std::lock_guard lock(DeviceLock());
  if (!CheckStore()) {
    return false;
  }
  // GL keeps textures on the device once uploaded; there is nothing to move.
  return Succeed();
}

void T3DTextureGL::ApplySampling(float maxAnisotropy, bool levelZeroOnly) const {
  glBindTexture(GL_TEXTURE_2D, m_texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, AddressOf(m_addressU));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, AddressOf(m_addressV));
  const bool linear = m_filter == T3DFilter::Linear;
  const bool mipmapped = SamplesMips(maxAnisotropy) && !levelZeroOnly;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                  mipmapped ? GL_LINEAR_MIPMAP_LINEAR : (linear ? GL_LINEAR : GL_NEAREST));
  if (maxAnisotropy > 0) {
    constexpr GLenum kMaxAnisotropyParameter = 0x84FE; // GL_TEXTURE_MAX_ANISOTROPY_EXT
    glTexParameterf(GL_TEXTURE_2D, kMaxAnisotropyParameter, mipmapped ? maxAnisotropy : 1.0f);
  }
}

} // namespace qx
