// The GL ES 3.0 renderer: draws into a back buffer of its own (an RGBA8
// texture) and, for a window, shows it by copying it to the window's
// framebuffer at each present.
#pragma once

#include "VmoLib2/3DBasics/GL/qx3DTextureGL.h"
#include "VmoLib2/3DBasics/GL/qx3DVertexListGL.h"

#include <array>
#include <vector>

namespace qx {

class T3DRendererGL final : public T3DRenderer {
public:
  explicit T3DRendererGL(const T3DRendererParams& params);
  ~T3DRendererGL() override;
  // Makes the back buffer and reads the device limits; on the store's
  // context, under the device lock.
  bool Create();

  bool IsReady() const override { return Store() != nullptr && m_backBuffer != nullptr; }
  void ReleaseThread() override;
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
  void SetBlendMode(T3DBlendMode mode) override { m_blendMode = mode; }
  bool SetTransform(T3DTransformKind kind, const T3DMatrix& matrix) override;
  bool SetCulling(bool on) override;
  float TexelOffset() const override { return 0.0f; }
  bool SupportsLuminanceTextures() const override { return true; } // R8 is core in GL ES 3.0
  int CreatePixelShader(const TPixelShaderDesc& desc) override;
  bool SetPixelShader(int index) override;
  bool ClearPixelShader() override;
  bool SetPixelShaderConstants(int first, const float* data, int count) override;

  float MaxAnisotropy() const { return m_maxAnisotropy; }
  int RefreshRate() const { return m_refreshRate; }
  bool VsyncActive() const { return m_vsync; }

protected:
  void ReleaseDeviceObjects() override;

private:
  template <class>
  friend class TGLDeviceCall;
  // Binds the context after checking the store; false with DeviceLost or
  // Other.
  bool Enter();
  // After a call that failed with DeviceLost: drops the store and all on
  // it. Touches nothing of this renderer afterwards (the owner's callback
  // may have destroyed it); answers false.
  bool DeviceLostCheck();
  bool CheckGL();
  void BindTarget();
  // Whether the stage's mip chain can be left out of this draw: it never
  // shows the texture smaller than its own size.
  bool LevelZeroOnly(const T3DTextureGL& texture, int stage, float lodBias, const T3DMatrix& matrix,
                     const T3DVertexListGL& list) const;

  T3DRendererParams m_params;
  std::unique_ptr<T3DSurfaceGL> m_backBuffer;
  T3DSurfaceGL* m_target = nullptr;
  T3DRect m_viewport;
  float m_minZ = 0;
  float m_maxZ = 1;
  T3DBlendMode m_blendMode = T3DBlendMode::Add;
  bool m_culling = false;
  std::array<T3DMatrix, 3> m_transforms{};
  std::vector<TPixelShaderKind> m_shaders;
  int m_currentShader = -1;
  std::array<float, 4 * kPixelShaderRegisters> m_constants{};
  float m_maxAnisotropy = 0;
  int m_refreshRate = 0;
  bool m_vsync = false;
};

} // namespace qx
