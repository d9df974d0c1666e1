// The drawing surface of the drawer and the transitions: keeps one
// renderer alive for a draw device (re-made when the output changes or the
// device is lost), defines the coordinate system and the camera, keeps the
// stack of render targets and batches triangles into one vertex buffer.
// Only the abstract device layer is used here.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"
#include "VmoLib2/3DEngine/qx3DGeometry.h"

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace qx {

class T3DScreen;
class TCustomTexture;
class TDrawDevice;
class TVertexBuffer;

// A buffer or texture made on a screen. It holds a device object that the
// screen asks it to drop when its device changes; the screen forgets it
// (Screen() becomes null) when the screen goes first.
class T3DScreenObject {
public:
  explicit T3DScreenObject(T3DScreen& screen);
  T3DScreenObject(const T3DScreenObject&) = delete;
  T3DScreenObject& operator=(const T3DScreenObject&) = delete;
  virtual ~T3DScreenObject();

  T3DScreen* Screen() const { return m_screen; }
  // Frees the device object; it is made again on next use.
  virtual void ReleaseDeviceObject() = 0;

private:
  friend class T3DScreen;
  T3DScreen* m_screen;
};

// The 4 x 4 vertex grid of a feathered quad, row by row from the top-left:
// positions in logical space, texture coordinates per texture, and whether
// each vertex belongs to the outer ring.
struct TMeshGrid {
  static constexpr int kSide = 4;
  static constexpr int kMaxTextures = 3;
  std::array<T3DPoint, kSide * kSide> positions{};
  std::array<std::array<std::array<float, 2>, kMaxTextures>, kSide * kSide> uv{};

  static bool IsOuter(int index) {
    const int column = index % kSide;
    const int row = index / kSide;
    return column == 0 || row == 0 || column == kSide - 1 || row == kSide - 1;
  }
};

class T3DScreen {
public:
  using TCallback = std::function<void()>;

  // `deviceReleased` runs whenever the renderer is dropped, `deviceReady`
  // on the first frame after a renderer became usable.
  T3DScreen(T3DEngine& engine, TCallback deviceReleased, TCallback deviceReady);
  T3DScreen(const T3DScreen&) = delete;
  T3DScreen& operator=(const T3DScreen&) = delete;
  ~T3DScreen();

  // Draws on `device` from now on (null is an assertion). Assigning the
  // same device with the same full-screen flag and rectangle again keeps
  // the renderer.
  void AssignDevice(TDrawDevice* device);
  TDrawDevice* Device() const { return m_device; }
  // Drops the renderer (the device-released callback runs); the next
  // frame makes it again.
  void CloseRenderer() { ReleaseRenderer(); }

  // Prepares a frame; false when nothing can be drawn (the frame is then
  // skipped and the renderer tried again on the next one).
  bool BeginScene();
  // Ends the frame, presenting the whole screen when asked.
  void EndScene(bool present);

  // Clears the screen grown by one pixel on every side (depth 1).
  void Clear(T3DColor color, bool depth);
  // Clears one rectangle of the current target (depth 1).
  void ClearRect(T3DColor color, const T3DRect& rect);

  // Maps the logical area (x0, y0, areaWidth x areaHeight) onto the whole
  // current target; logical coordinates are measured against a coordinate
  // space of coordWidth x coordHeight whose centre the camera faces from
  // one coordinate height away. Any size <= 0 leaves the projection alone.
  void SetProjection(double x0, double y0, double areaWidth, double areaHeight, double coordWidth, double coordHeight);

  // Draws into `texture` (a render-target kind) whose top-left corner
  // stands for the logical point (x, y) of the screen; false when the
  // texture cannot be made a target. Pop returns to the previous target;
  // the screen's own entry is never popped.
  bool PushRenderTarget(TCustomTexture& texture, int x, int y);
  void PopRenderTarget();
  bool HasPushedTarget() const { return m_targets.size() > 1; }
  // The screen rectangle, or the pushed texture's size at its offset.
  T3DRect CurrentTargetRect() const;

  // One quad of `texture` (its pixels `texRect`) at `placement`, white with
  // the texture's opacity as alpha; nothing when the opacity is 0.
  void DrawTexture(TCustomTexture& texture, const TFloatRect& texRect, const TPlacement& placement);
  // The feathered mesh: inner vertices `inner`, outer ring `outer`.
  void DrawMesh(std::span<TCustomTexture* const> textures, const TMeshGrid& grid, T3DColor inner, T3DColor outer);

  // The camera in logical coordinates.
  T3DPoint Camera() const;
  // Where a logical 3D point lands on the current target, in pixels.
  TFloatPoint ToPixels(const T3DPoint& point) const;
  // The point of the plane of `plane` seen at target pixel `pixel`.
  T3DPoint FromPixels(const TFloatPoint& pixel, const TPlacement& plane) const;
  // The device vertex of a logical point.
  T3DVertex Vertex(const T3DPoint& point) const;

  // The renderer when it can draw, else null.
  T3DRenderer* Renderer() const { return Usable() ? m_renderer.get() : nullptr; }
  bool Usable() const { return m_renderer && !m_rendererLost && m_renderer->IsReady(); }
  T3DEngine& Engine() const { return m_engine; }
  TVertexBuffer& Batch() { return *m_batch; }
  const T3DRect& ScreenRect() const { return m_screenRect; }
  int Adapter() const { return m_adapter; }
  int MaxTextureWidth() const { return m_maxTextureWidth; }
  int MaxTextureHeight() const { return m_maxTextureHeight; }
  // Lowers the largest texture size used (a device that accepts less).
  void LimitTextureSize(int width, int height);
  // True when the last output change was between two windowed states.
  bool WindowedChange() const { return m_windowedChange; }

  // Every buffer and texture of the screen drops its device object.
  void ReleaseDeviceObjects();
  // Sends the open batch to the device.
  void FlushBatch();

private:
  friend class T3DScreenObject;
  class TDeviceKilledMessenger;
  struct TTarget {
    int x = 0;
    int y = 0;
    T3DSurface* surface = nullptr;
    int width = 0;
    int height = 0;
  };

  T3DRect ComputeScreenRect(const TDrawDevice& device);
  void CreateRenderer();
  void ReleaseRenderer();
  void AttachMessenger(TDrawDevice& device);
  void DetachMessenger();
  void DeviceGone();
  bool ActivateTarget(const TTarget& target);
  void ApplyTransforms();

  T3DEngine& m_engine;
  TCallback m_deviceReleased;
  TCallback m_deviceReady;
  std::unique_ptr<T3DRenderer> m_renderer;
  bool m_rendererLost = false;
  bool m_readyAnnounced = false;
  bool m_firstFrame = true;

  TDrawDevice* m_device = nullptr;
  TDeviceKilledMessenger* m_messenger = nullptr;
  bool m_fullScreen = false;
  void* m_windowHandle = nullptr;
  T3DRect m_screenRect;
  bool m_windowedChange = false;
  int m_adapter = 0;
  int m_maxTextureWidth = 0;
  int m_maxTextureHeight = 0;
  int m_textureLimitWidth = 0;
  int m_textureLimitHeight = 0;

  std::vector<TTarget> m_targets;
  std::unique_ptr<TVertexBuffer> m_batch;
  std::vector<T3DScreenObject*> m_objects;

  // Projection: logical origin, area and coordinate sizes.
  double m_x0 = 0;
  double m_y0 = 0;
  double m_areaWidth = 1;
  double m_areaHeight = 1;
  double m_coordWidth = 1;
  double m_coordHeight = 1;
};

} // namespace qx
