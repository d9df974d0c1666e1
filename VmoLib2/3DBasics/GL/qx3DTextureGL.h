// Textures and surfaces of the GL renderer. Sampled 32-bit textures keep
// the bitmap's B, G, R, A bytes as they are and swap red and blue when
// sampled; render targets hold true R, G, B, A. Every target is stored
// with its top row first, the layer's convention for textures, so reading
// back needs no flip.
#pragma once

#include "VmoLib2/3DBasics/GL/qxGLDevStore.h"

#include <optional>
#include <vector>

namespace qx {

class T3DTextureGL;

// Storage of one surface: a texture level and how its bytes are laid out.
struct TGLSurfaceStorage {
  GLuint texture = 0;
  int level = 0;
  int width = 0;
  int height = 0;
  T3DTextureKind kind = T3DTextureKind::Argb;
};

class T3DSurfaceGL final : public T3DSurface {
public:
  // A texture level. `liveness` is the object whose store decides whether
  // the surface still has its device (its texture, or the renderer of a
  // back buffer); `ownsTexture` is set when the surface frees the texture.
  T3DSurfaceGL(T3DObject& liveness, const TGLSurfaceStorage& storage, bool ownsTexture);
  ~T3DSurfaceGL() override;

  int Width() const override { return m_storage.width; }
  int Height() const override { return m_storage.height; }
  TPixelFormat Format() const override;
  bool CopyToBitmap(TBitmap& bitmap) override;
  TBitmap* Lock(const T3DRect* rect, T3DLockMode mode) override;
  bool Unlock() override;

  bool IsRenderTarget() const { return IsRenderTargetKind(m_storage.kind); }
  const TGLSurfaceStorage& Storage() const { return m_storage; }
  // True when the object the surface belongs to still has its device.
  bool Alive() const { return m_liveness.Store() != nullptr; }
  // The framebuffer drawing into this surface, made on first use.
  GLuint Framebuffer();
  // Whether the bytes are stored as B, G, R, A (sampled 32-bit kinds).
  bool StoresBgra() const { return m_storage.kind == T3DTextureKind::Argb; }
  // Frees the framebuffer (and the owned texture) with the device.
  void ReleaseDeviceObjects() override;

private:
  template <class>
  friend class TGLDeviceCall;
  // Binds the context of a surface whose device is still there; false with
  // DeviceLost or Other.
  bool Enter();
  bool ReadRect(const T3DRect& rect, TBitmap& out);
  void WriteRect(const T3DRect& rect, const TBitmap& bitmap);

  T3DObject& m_liveness;
  TGLSurfaceStorage m_storage;
  bool m_ownsTexture;
  GLuint m_framebuffer = 0;
  std::optional<TBitmap> m_locked;
  T3DRect m_lockRect;
  T3DLockMode m_lockMode = T3DLockMode::ReadOnly;
};

// Makes an RGBA8 render-target texture of the given size on the current
// context; 0 on failure.
GLuint CreateTargetTexture(int width, int height);

class T3DTextureGL final : public T3DTexture {
public:
  // Made by the renderer; Create() makes the GL texture.
  T3DTextureGL(T3DTextureKind kind, int width, int height, int levels);
  ~T3DTextureGL() override;
  bool Create();

  T3DTextureKind Kind() const override { return m_kind; }
  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  int LevelCount() const override { return m_levels; }
  T3DSurface* SurfaceLevel(int level) override;
  bool PreLoad() override;
  void SetAddressModes(T3DAddressMode u, T3DAddressMode v) override {
    m_addressU = u;
    m_addressV = v;
  }
  T3DAddressMode AddressU() const override { return m_addressU; }
  T3DAddressMode AddressV() const override { return m_addressV; }
  void SetFilter(T3DFilter filter) override { m_filter = filter; }
  T3DFilter Filter() const override { return m_filter; }
  void SetMipMaps(bool use) override { m_mipMaps = use; }
  void SetLodBias(float bias) override { m_lodBias = bias; }

  GLuint Name() const { return m_texture; }
  bool MipMaps() const { return m_mipMaps; }
  float LodBias() const { return m_lodBias; }
  // Binds the texture to the active unit with its sampling state;
  // `maxAnisotropy` 0 means the device has no anisotropic filtering. With
  // `levelZeroOnly` (a draw that shrinks the texture nowhere) the mip chain
  // is left out.
  void ApplySampling(float maxAnisotropy, bool levelZeroOnly = false) const;
  // Whether ApplySampling lets the texture read its mip levels.
  bool SamplesMips(float maxAnisotropy) const {
    return m_filter == T3DFilter::Linear && m_mipMaps && m_levels > 1 && maxAnisotropy > 0;
  }

protected:
  void ReleaseDeviceObjects() override;

private:
  T3DTextureKind m_kind;
  int m_width;
  int m_height;
  int m_levels;
  GLuint m_texture = 0;
  T3DAddressMode m_addressU = T3DAddressMode::Wrap;
  T3DAddressMode m_addressV = T3DAddressMode::Wrap;
  T3DFilter m_filter = T3DFilter::Linear;
  bool m_mipMaps = false;
  float m_lodBias = 0;
  std::vector<std::unique_ptr<T3DSurfaceGL>> m_surfaces;
};

} // namespace qx
