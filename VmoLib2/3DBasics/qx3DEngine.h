// The device layer: the abstract engine, renderer, surface, texture and
// vertex list through which the screen, the drawer and the transitions
// draw. Implementations live in folders beside this one (GL/, Null/, later
// D3D9/); nothing above this layer knows which one runs.
//
// Common rules of every operation below:
// - A failing call answers false (or an empty result) and keeps a result
//   kind readable with LastResult()/ResultText(); it never raises. Every
//   non-zero result is logged as "Dx Error = <kind>".
// - An object whose device has been lost (no store) answers DeviceLost
//   without touching the graphics API.
// - Every call takes the process-wide device lock (DeviceLock()) for its
//   whole duration; callers may hold it across several calls.
// - Drawing calls come from the drawing thread; creating and releasing
//   renderers from the thread that owns the window. One thread at a time
//   uses a device.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DBasics/qxPixelShaders.h"
#include "QxLib/Graphics/qxBitmap.h"

#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

namespace qx {

class T3DDevStore;
class TDisplays;
class TDrawDevice;

// The process-wide lock held by every device-layer call.
std::recursive_mutex& DeviceLock();

// Base of every object living on a device: result kind, store membership
// and the device-killed callback.
class T3DObject {
public:
  T3DObject() = default;
  T3DObject(const T3DObject&) = delete;
  T3DObject& operator=(const T3DObject&) = delete;
  virtual ~T3DObject();

  T3DResult LastResult() const { return m_result; }
  const char* ResultText() const { return qx::ResultText(m_result); }

  // Called (on the thread that noticed the loss, under the device lock)
  // after the device went away and this object was detached from it. The
  // callback may release or destroy the object; a new one is made on the
  // next frame.
  void SetDeviceKilledCallback(std::function<void()> callback) { m_killed = std::move(callback); }
  // The store the object lives on; null once its device is lost.
  T3DDevStore* Store() const { return m_store; }

protected:
  bool Fail(T3DResult result);
  bool Succeed() {
    m_result = T3DResult::Ok;
    return true;
  }
  void SetPending() { m_result = T3DResult::Pending; }
  // Answers false with DeviceLost when the object has no store.
  bool CheckStore();
  // Frees the graphics-API objects held; called by the store when its
  // device goes, under the device lock, before the callback runs.
  virtual void ReleaseDeviceObjects() = 0;

private:
  friend class T3DDevStore;
  T3DResult m_result = T3DResult::Ok;
  T3DDevStore* m_store = nullptr;
  std::function<void()> m_killed;
};

// Pixel rows of a surface handed to the caller between Lock and Unlock.
enum class T3DLockMode : uint8_t {
  ReadOnly,  // the rows hold the surface; changes are not written back
  ReadWrite, // the rows hold the surface; Unlock writes them back
  Discard,   // the rows start undefined; Unlock writes them all back
};

class T3DSurface : public T3DObject {
public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Bgra32 for the 32-bit kinds, Gray8 for luminance, R5G6B5 for 16 bits.
  virtual TPixelFormat Format() const = 0;

  // Copies the whole surface into `bitmap` (re-made in the surface's size
  // and format when it differs). Render targets are read back from the
  // device. False on failure (DeviceLost, Other).
  virtual bool CopyToBitmap(TBitmap& bitmap) = 0;

  // Gives the pixels of `rect` (the whole surface when null) as a bitmap
  // valid until Unlock. Null on failure: a rectangle outside the surface
  // or a second lock is InvalidCall.
  virtual TBitmap* Lock(const T3DRect* rect, T3DLockMode mode) = 0;
  // Ends a lock, writing the rows back unless the lock was read-only.
  // False when nothing is locked (InvalidCall).
  virtual bool Unlock() = 0;
};

class T3DTexture : public T3DObject {
public:
  virtual T3DTextureKind Kind() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int LevelCount() const = 0;

  // The surface of mip level `level`, made once and kept by the texture.
  // Null for a level out of range (InvalidCall) or a lost device.
  virtual T3DSurface* SurfaceLevel(int level) = 0;
  // Moves the texture into device memory ahead of its first use.
  virtual bool PreLoad() = 0;

  // Sampling state, applied by each draw that uses the texture.
  virtual void SetAddressModes(T3DAddressMode u, T3DAddressMode v) = 0;
  virtual T3DAddressMode AddressU() const = 0;
  virtual T3DAddressMode AddressV() const = 0;
  virtual void SetFilter(T3DFilter filter) = 0;
  virtual T3DFilter Filter() const = 0;
  // Mip levels are sampled (anisotropically) only when this is on, the
  // filter is linear and the renderer supports anisotropy.
  virtual void SetMipMaps(bool use) = 0;
  virtual void SetLodBias(float bias) = 0;
};

class T3DVertexList : public T3DObject {
public:
  virtual int VertexCount() const = 0;
  virtual const T3DVertexLayout& Layout() const = 0;

  // What the next draw of this list draws; a kind outside 0..5 is an
  // assertion. False (InvalidCall) when the primitives need vertices past
  // the end of the list.
  virtual bool SetPrimitive(T3DPrimitive kind, int firstVertex, int primitiveCount) = 0;
  // Copies `count` records from `source[firstSource]` into the list at
  // `firstVertex`, only the parts the list carries. False (InvalidCall)
  // for a range outside either side.
  virtual bool Fill(int firstVertex, std::span<const T3DVertex> source, int count, int firstSource) = 0;
};

// One renderer per output window: its back buffer, the current render
// target and the drawing state.
class T3DRenderer : public T3DObject {
public:
  // False while the creation is pending or after the device was lost.
  virtual bool IsReady() const = 0;
  // Called by a thread that stops using this renderer's device, so that
  // another thread may take it over (GL binds a device to one thread at a
  // time; elsewhere this does nothing). The next call from any thread
  // takes the device again.
  virtual void ReleaseThread() {}

  // Starts a frame and resets the blend state to source-alpha /
  // inverse-source-alpha addition. False (DeviceLost) without a device; a
  // lost device is dropped with everything on it.
  virtual bool BeginScene() = 0;
  virtual bool EndScene() = 0;
  // Shows the back buffer (the source rectangle into the destination
  // rectangle when both are given), paced to the display refresh.
  virtual bool Present(const T3DRect* source, const T3DRect* dest) = 0;

  // Clears the rectangles of the current target (all of it when empty):
  // kClearTarget to `color`, kClearDepth to `depth` when the renderer has
  // a depth buffer.
  virtual bool Clear(std::span<const T3DRect> rects, uint32_t flags, T3DColor color, float depth) = 0;

  // Makes `surface` (a render-target surface of this renderer, or null for
  // the back buffer) the target of drawing. A surface that is not a render
  // target is InvalidCall.
  virtual bool SetRenderTarget(T3DSurface* surface) = 0;
  virtual T3DSurface* RenderTarget() = 0;
  // The back buffer surface, kept by the renderer.
  virtual T3DSurface* BackBuffer() = 0;
  // Pixel rectangle of the current target that clip space maps to.
  virtual bool SetViewport(const T3DRect& rect, float minZ, float maxZ) = 0;

  // Draws the list's primitive with the textures on stages 0, 1, ...
  // combined per T3DDrawFlags: each stage takes its texture's colour
  // (times the colour so far with kDrawModulateColor) and alpha (times the
  // alpha so far with kDrawModulateAlpha; an opaque render-target texture
  // keeps the alpha so far). The colour so far starts as the vertex
  // colour. The result is blended over the target by the blend mode.
  // A pixel shader, when set, replaces the stage combination.
  virtual bool DrawVertexList(std::span<T3DTexture* const> textures, uint32_t flags, T3DVertexList& list) = 0;

  // Creates a texture on this renderer's device (kind above 4 is an
  // assertion). Sampled kinds get a full mip chain when `mipMaps` and
  // anisotropic filtering is supported. Null on failure.
  virtual std::unique_ptr<T3DTexture> CreateTexture(T3DTextureKind kind, int width, int height, bool mipMaps) = 0;
  // Creates a vertex list of `count` vertices with the given parts.
  virtual std::unique_ptr<T3DVertexList> CreateVertexList(int count, uint32_t parts, int texPairs) = 0;

  // Copies the source rectangle of one surface onto the destination
  // rectangle of another, stretching without filtering.
  virtual bool StretchRect(T3DSurface& source, const T3DRect& sourceRect, T3DSurface& dest,
                           const T3DRect& destRect) = 0;

  virtual void SetBlendMode(T3DBlendMode mode) = 0;
  // World, view and projection, row-major with row vectors.
  virtual bool SetTransform(T3DTransformKind kind, const T3DMatrix& matrix) = 0;
  // On culls triangles that are counter-clockwise on the screen.
  virtual bool SetCulling(bool on) = 0;
  // Offset in pixels that callers add when mapping texels to pixels.
  virtual float TexelOffset() const = 0;
  // Whether luminance textures can be made (video planes need them).
  virtual bool SupportsLuminanceTextures() const = 0;

  // Makes the described shader; returns its index, or -1 on failure.
  virtual int CreatePixelShader(const TPixelShaderDesc& desc) = 0;
  // Uses shader `index` for the next draws; an index out of range does
  // nothing and answers false.
  virtual bool SetPixelShader(int index) = 0;
  virtual bool ClearPixelShader() = 0;
  // Sets float4 constant registers first .. first + count - 1.
  virtual bool SetPixelShaderConstants(int first, const float* data, int count) = 0;
};

// The process's entry to the graphics API. Back ends are listed and chosen
// by the table in VmoLib2/Backends/qx3DEngines.h; code above this layer
// holds a T3DEngine and never names one.
class T3DEngine {
public:
  // Renderers go on `displays` (borrowed; it must outlive the engine);
  // null for off-screen drawing only, on one 1920 x 1080 display without a
  // refresh rate (see TOffscreenDisplays).
  explicit T3DEngine(const TDisplays* displays);
  T3DEngine(const T3DEngine&) = delete;
  T3DEngine& operator=(const T3DEngine&) = delete;
  virtual ~T3DEngine() = default;

  T3DResult LastResult() const { return m_result; }
  const char* ResultText() const { return qx::ResultText(m_result); }

  // The adapter whose output overlaps `rect` most; 0 when none does. By
  // default the display of Displays() under the rectangle.
  virtual int AdapterForRect(const T3DRect& rect);
  // Capability by key (case-insensitive): "PixelShaderVersion" (major *
  // 256 + minor), "MaxTexWidth", "MaxTexHeight", "MaxAnisotropy",
  // "Raster", "Vendor"; 0 for other keys or a failing query.
  virtual int64_t Caps(std::string_view key, int adapter) = 0;
  // By default the current mode of display `adapter` of Displays();
  // InvalidCall when there is no such display.
  virtual bool DisplayMode(int adapter, T3DDisplayMode& mode);
  // Creates a renderer for the draw device; null on failure, with the
  // reason in LastResult(). Renderers of one draw device share its device.
  virtual std::unique_ptr<T3DRenderer> CreateRenderer(TDrawDevice& device, const T3DRendererParams& params) = 0;
  // False while devices cannot be made (session locked, device lost).
  virtual bool DeviceAvailable() = 0;
  // 0: no pixel shaders; 1: simple shaders; 2: every shader.
  virtual int ShaderLevel(int adapter) = 0;

protected:
  bool Fail(T3DResult result);
  void Succeed() { m_result = T3DResult::Ok; }
  const TDisplays& Displays() const { return *m_displays; }

private:
  const TDisplays* m_displays;
  T3DResult m_result = T3DResult::Ok;
};

} // namespace qx
