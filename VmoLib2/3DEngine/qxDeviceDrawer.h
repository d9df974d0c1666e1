// The drawing protocol of the player and the operations a drawn item calls
// back: each frame the playback side hands the drawer a root item (a slide,
// or the two slides of a running transition); the drawer opens a frame, lets
// the item draw itself through these operations, and presents the frame.
// Objects are placed as an origin and two edge vectors in logical pixels
// with depth (TPlacement); the drawer maps the slide's logical (design) size
// onto its output.
#pragma once

#include "QxLib/qxColor.h"
#include "QxLib/qxGeometry.h"
#include "QxLib/qxRefCounted.h"
#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DEngine/qx3DGeometry.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
#include "QxLib/Graphics/Video/qxYUVImage.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <span>

namespace qx {

class TBitmap;
class TBitmapStore;
class TCustomTexture;
class TDrawDevice;
class TDrawItem;
class TVmoFilter;

// Phases of the drawing callback.
enum class TDrawPhase : int32_t { FrameBegins = 0, ItemDrawing = 1, ItemDrawn = 2, FrameEnds = 3 };

// What a picture is drawn from: a ready texture (a video frame) when set,
// else a picture store at the draw parameters' mip level, else one bitmap
// drawn as it is (a slide background, a picture made by the program).
// Tiles are cached with the store, or with the bitmap while it lives.
struct TPictureSource {
  TCustomTexture* ReadyTexture = nullptr;
  TBitmapStore* Store = nullptr;
  std::shared_ptr<const TBitmap> Bitmap;
  // Full-size picture pixels; empty for the whole picture.
  TFloatRect SourceRect;
};

// One mask of a masked group.
struct TMaskDraw {
  TPictureSource Picture;
  TPlacement Placement;
  TPictureDrawParams Params;
};

// A picture repeated on a grid of its own size over the masked content's
// background; `Size` is one repetition in logical pixels, the grid starts at
// `Origin`.
struct TRepeatPattern {
  TPictureSource Picture;
  TFloatPoint Origin;
  TFloatPoint Size;
};

// The lock that serialises whole frames of every drawer in the process.
std::recursive_mutex& DrawingLock();

class TDeviceDrawer {
public:
  using TDrawCallback = std::function<void(TDrawPhase phase, TDrawItem& item)>;
  using TNotify = std::function<void()>;

  TDeviceDrawer();
  TDeviceDrawer(const TDeviceDrawer&) = delete;
  TDeviceDrawer& operator=(const TDeviceDrawer&) = delete;
  virtual ~TDeviceDrawer();

  // --- Frame protocol ---------------------------------------------------
  // Must be set before the first DrawItem (drawing without it is an
  // assertion).
  void SetDrawCallback(TDrawCallback callback) { m_callback = std::move(callback); }

  // The outermost call takes the drawing lock, begins the frame (callback
  // phase 0), draws the item between phases 1 and 2, calls phase 3, ends the
  // scene (presenting unless no-present is set) and tells the item the frame
  // ended, also when drawing raised (the exception is passed on). A nested
  // call (an item drawing another item) only draws the item between phases
  // 1 and 2.
  virtual void DrawItem(TDrawItem& item);

  // --- Device -------------------------------------------------------------
  // Draws on `device` from now on; logs "T3DDrawer.Init".
  virtual void Init(TDrawDevice& device) = 0;
  // Releases the renderer; logs "T3DDrawer.Close".
  virtual void Close() = 0;
  // True once a renderer became usable and its resources were made.
  virtual bool Ready() const = 0;
  // 0 no pixel shaders, 1 shaders, 2 shaders and a sharpening target.
  virtual int ShaderLevel() const = 0;
  // Run on the drawing thread when the renderer became ready or was lost.
  void SetReadyCallback(TNotify callback) { m_onReady = std::move(callback); }
  void SetLostCallback(TNotify callback) { m_onLost = std::move(callback); }

  // --- Geometry -----------------------------------------------------------
  // The clip rectangle in device pixels; empty means the whole device.
  virtual void SetClipRect(const T3DRect& rect) { m_clipRect = rect; }
  T3DRect ClipRect() const;
  const T3DRect& DeviceRect() const { return m_deviceRect; }
  // The rectangle of the current render target (the screen, or a texture
  // pushed as target), device pixels.
  virtual T3DRect CurrentTargetRect() const = 0;
  // Centres a slide of width x height in the clip rectangle (left and top
  // rounded to nearest, halves to even) and maps the design size onto it.
  virtual void SetSlideSize(int width, int height) = 0;
  // The slide rectangle set last, or empty.
  virtual T3DRect SlideRect() const = 0;
  // The logical viewport (design pixels) and the design size; a null
  // viewport uses the device rectangle for both. Resets the projection when
  // drawing to the screen.
  virtual void SetViewport(const TFloatRect* logicalViewport, int designWidth, int designHeight) = 0;
  // Added to every point drawn.
  void Set2DOffset(float x, float y);
  bool HasOffset() const { return m_hasOffset; }
  std::array<float, 2> Offset() const { return {m_offsetX, m_offsetY}; }

  // --- Clearing -----------------------------------------------------------
  virtual void ClearScreen(T3DColor color, bool depth) = 0;
  virtual void ClearRect(T3DColor color, const T3DRect& rect) = 0;

  // --- Pictures and shapes -------------------------------------------------
  // Builds and uploads the picture's tiles without drawing (callable from a
  // loader thread: guarded by the drawer's own lock).
  virtual void PreloadPicture(const TPictureSource& picture, const TPictureDrawParams& params) = 0;
  // Drops the tiles cached for a picture.
  virtual void FreeTextureCache(const TPictureSource& picture) = 0;
  virtual void DrawPicture(const TPictureSource& picture, const TPlacement& placement,
                           const TPictureDrawParams& params) = 0;
  virtual void DrawBox(const TPlacement& placement, const TBoxDrawParams& params) = 0;
  // Four boxes along the sides of `placement`; the widths are fractions of
  // the quad's sides (left and right of u, top and bottom of v).
  virtual void DrawFrame(const TPlacement& placement, float left, float top, float right, float bottom,
                         const TBoxDrawParams& params) = 0;
  virtual void DrawLine(const T3DPoint& from, const T3DPoint& to, T3DColor color) = 0;

  // --- Video --------------------------------------------------------------
  // An image for frames of width x height, three planes when the device
  // converts YUV in a shader, else grey. Kept on the drawer's list until
  // released.
  virtual TRefPtr<TYUVImage> MakeYUVImage(int width, int height) = 0;
  virtual void DrawVideo(TYUVImage& image, const TPlacement& placement, const TVideoDrawParams& params) = 0;

  // --- Composition --------------------------------------------------------
  // Draws `content` through the mask pictures: colour = mask x content,
  // alpha = mask alpha, over a background of the repeat pattern when given.
  virtual void DrawMaskedGroup(TDrawItem& content, std::span<const TMaskDraw> masks, const TRepeatPattern* pattern) = 0;
  // Draws `first`, or the transition of `filter` from `first` to `second`.
  virtual void DrawTwoSlides(TDrawItem& first, TDrawItem& second, bool skipEffect, TVmoFilter* filter) = 0;
  // Everything drawn between the two goes through the unsharp mask
  // (threshold byte, amount percent); without a sharpening target it is
  // drawn normally.
  virtual void BeginSharpening() = 0;
  virtual void EndSharpening(uint8_t threshold, float amountPercent) = 0;
  // The hider pass: after EndHider everything outside the slide rectangle
  // is covered with `color` at `amount` (0 ... 1) opacity.
  virtual void BeginHider() = 0;
  virtual void EndHider(TRgb color, float amount) = 0;

  // --- Output -------------------------------------------------------------
  // With no-present set the frame stays in the back buffer for ReadBack.
  void SetNoPresent(bool value) { m_noPresent = value; }
  bool NoPresent() const { return m_noPresent; }
  // Copies the back buffer into `into` (Bgra32, the device size); false
  // when there is nothing to read.
  virtual bool ReadBack(TBitmap& into) = 0;
  // A bitmap of the device size holding the back buffer, or none.
  virtual std::unique_ptr<TBitmap> Capture() = 0;

  // `rect` grown by 2a + 1 horizontally and 2b + 1 vertically.
  static T3DRect GrowRect(const T3DRect& rect, int a, int b);

protected:
  // Opens the frame (after the lock is taken) and calls phase 0.
  virtual void BeginFrame(TDrawItem& item) = 0;
  // Calls phase 3.
  virtual void EndFrame(TDrawItem& item) = 0;
  // Ends the scene, presenting unless no-present is set.
  virtual void EndScene() = 0;
  // Closes a frame that drawing left by an exception, without presenting
  // it. The default does nothing.
  virtual void AbortFrame() {}

  void Notify(TDrawPhase phase, TDrawItem& item);
  void SetDeviceRect(const T3DRect& rect) { m_deviceRect = rect; }
  void RunReady() {
    if (m_onReady)
      m_onReady();
  }
  void RunLost() {
    if (m_onLost)
      m_onLost();
  }

private:
  TDrawCallback m_callback;
  TNotify m_onReady;
  TNotify m_onLost;
  float m_offsetX = 0;
  float m_offsetY = 0;
  bool m_hasOffset = false;
  T3DRect m_deviceRect;
  T3DRect m_clipRect;
  int m_reentrancy = 0;
  bool m_noPresent = false;
};

} // namespace qx
