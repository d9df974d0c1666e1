// The objects of the null engine: a device store per draw device, and a
// renderer, textures, surfaces and vertex lists that keep their state and
// check their arguments like those of a drawing back end, but hold no
// pixels: a lock hands out blank rows that are dropped at unlock.
#pragma once

#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include <array>
#include <optional>
#include <vector>

namespace qx {

// The largest texture side the null engine accepts.
constexpr int kNullMaxTextureSize = 8192;

class TNullDevStore final : public T3DDevStore {
public:
  using T3DDevStore::T3DDevStore;
};

class T3DSurfaceNull final : public T3DSurface {
public:
  // A surface lives while `owner` (its texture or renderer) has a device.
  T3DSurfaceNull(T3DObject& owner, int width, int height, TPixelFormat format, bool renderTarget);

  int Width() const override { return m_width; }
  int Height() const override { return m_height; }
  TPixelFormat Format() const override { return m_format; }
  bool CopyToBitmap(TBitmap& bitmap) override;
  TBitmap* Lock(const T3DRect* rect, T3DLockMode mode) override;
  bool Unlock() override;

  bool IsRenderTarget() const { return m_renderTarget; }
  bool Alive() const { return m_owner.Store() != nullptr; }
  void ReleaseDeviceObjects() override { m_locked.reset(); }

private:
  T3DObject& m_owner;
  int m_width;
  int m_height;
  TPixelFormat m_format;
  bool m_renderTarget;
  std::optional<TBitmap> m_locked;
};

class T3DTextureNull final : public T3DTexture {
public:
  T3DTextureNull(T3DTextureKind kind, int width, int height, int levels);

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
  void SetMipMaps(bool) override {}
  void SetLodBias(float) override {}

protected:
  void ReleaseDeviceObjects() override;

private:
  T3DTextureKind m_kind;
  int m_width;
  int m_height;
  int m_levels;
  T3DAddressMode m_addressU = T3DAddressMode::Wrap;
  T3DAddressMode m_addressV = T3DAddressMode::Wrap;
  T3DFilter m_filter = T3DFilter::Linear;
  std::vector<std::unique_ptr<T3DSurfaceNull>> m_surfaces;
};

class T3DVertexListNull final : public T3DVertexList {
public:
  T3DVertexListNull(int count, const T3DVertexLayout& layout) : m_count(count), m_layout(layout) {}

  int VertexCount() const override { return m_count; }
  const T3DVertexLayout& Layout() const override { return m_layout; }
  bool SetPrimitive(T3DPrimitive kind, int firstVertex, int primitiveCount) override;
  bool Fill(int firstVertex, std::span<const T3DVertex> source, int count, int firstSource) override;

protected:
  void ReleaseDeviceObjects() override {}

private:
  int m_count;
  T3DVertexLayout m_layout;
};

class T3DRendererNull final : public T3DRenderer {
public:
  explicit T3DRendererNull(const T3DRendererParams& params) : m_params(params) {}
  // Makes the back buffer: the bounds' size for a windowed renderer, else
  // the display mode's.
  bool Create();

  bool IsReady() const override { return Store() != nullptr && m_backBuffer != nullptr; }
  bool BeginScene() override;
  bool EndScene() override;
  bool Present(const T3DRect* source, const T3DRect* dest) override;
  bool Clear(std::span<const T3DRect> rects, uint32_t flags, T3DColor color, float depth) override;
  bool SetRenderTarget(T3DSurface* surface) override;
  T3DSurface* RenderTarget() override { return m_target; }
  T3DSurface* BackBuffer() override { return m_backBuffer.get(); }
  bool SetViewport(const T3DRect& rect, float minZ, float maxZ) override;
  bool DrawVertexList(std::span<T3DTexture* const> textures, uint32_t flags, T3DVertexList& list) override;
  std::unique_ptr<T3DTexture> CreateTexture(T3DTextureKind kind, int width, int height, bool mipMaps) override;
  std::unique_ptr<T3DVertexList> CreateVertexList(int count, uint32_t parts, int texPairs) override;
  bool StretchRect(T3DSurface& source, const T3DRect& sourceRect, T3DSurface& dest, const T3DRect& destRect) override;
  void SetBlendMode(T3DBlendMode) override {}
  bool SetTransform(T3DTransformKind kind, const T3DMatrix& matrix) override;
  bool SetCulling(bool on) override;
  float TexelOffset() const override { return 0.0f; }
  bool SupportsLuminanceTextures() const override { return true; }
  int CreatePixelShader(const TPixelShaderDesc& desc) override;
  bool SetPixelShader(int index) override;
  bool ClearPixelShader() override;
  bool SetPixelShaderConstants(int first, const float* data, int count) override;

protected:
  void ReleaseDeviceObjects() override {}

private:
  // Checks the store, as every call of a drawing back end does: false with
  // DeviceLost when there is none or it was lost (a lost store is dropped
  // with everything on it, and nothing of this renderer is touched
  // afterwards).
  bool Enter();

  T3DRendererParams m_params;
  std::unique_ptr<T3DSurfaceNull> m_backBuffer;
  T3DSurfaceNull* m_target = nullptr;
  int m_shaders = 0;
};

} // namespace qx
