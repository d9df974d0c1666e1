// The video image of the screen: the planes a video source writes (three
// 8-bit planes converted to colour by the YUV pixel shaders, or one 16-bit
// grey picture on devices without shaders), kept in memory and uploaded to
// the plane textures on the drawing thread, and the drawing of a frame.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/3DEngine/qxCustomTexture.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
#include "QxLib/Graphics/Video/qxYUVImage.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qx {

// A plane texture of a video image: level 0 is copied from the image's
// plane in memory. Dropping a texture that held a plane runs `released`.
class TVideoTexture : public TCustomTexture {
public:
  // `plane` must outlive the texture; its size is the texture's picture.
  TVideoTexture(T3DScreen& screen, const TBitmap& plane, std::function<void()> released,
                T3DTextureKind kind = T3DTextureKind::Luminance);

  void ReleaseDeviceObject() override;
  // Uploads the plane when it changed or the device texture is new, unless
  // the plane is not `readable` (being written); false when there is no
  // device texture or the upload failed.
  bool Refresh(bool changed, bool readable);

protected:
  bool FillLevel0(TBitmap& level) override;

private:
  const TBitmap& m_plane;
  std::function<void()> m_released;
  bool m_held = false;
};

// The 16-bit grey picture of an image on a device without pixel shaders.
class TGrayScaleTexture final : public TVideoTexture {
public:
  TGrayScaleTexture(T3DScreen& screen, const TBitmap& plane, std::function<void()> released)
      : TVideoTexture(screen, plane, std::move(released), T3DTextureKind::Rgb565) {}
};

class T3DYUV final : public TYUVImage {
public:
  // Plane sizes in memory: min(size + 8, next power of two >= size).
  static int AllocatedSize(int size);

  // An image of width x height pixels (both above 0: assertion) on
  // `screen`, made from the drawing thread.
  T3DYUV(T3DScreen& screen, int32_t width, int32_t height, TMode mode);
  ~T3DYUV() override;

  TMode Mode() const override { return m_mode; }
  TPlane LockPlane(int32_t plane) override;
  void UnlockPlane(int32_t plane) override;
  bool NeedsRefill() const override { return m_needsRefill; }
  void RefillDone() override { m_needsRefill = false; }

  // Waits until no plane is locked, then refuses locks until Resume.
  void Suspend();
  void Resume();
  bool Suspended() const;
  int LockedPlanes() const;

  // Ends the image for good on the drawing thread: drops the plane
  // textures and refuses every later lock. A plane still locked is an
  // assertion. Called by the drawer before it goes or forgets the image.
  void End();

  // The plane in memory (allocated size; picture at the top-left).
  const TBitmap& PlaneBitmap(int32_t plane) const;
  // Uploads the planes that changed since the last call (planes locked
  // right now keep their old contents) and answers the textures to draw
  // with: Y, U, V in mode 0, the grey texture in mode 1. Empty when ended
  // or when a texture cannot be made.
  std::vector<TCustomTexture*> PrepareTextures();
  // The picture's rectangle of a plane in pixels.
  TFloatRect PlaneRect(int32_t plane) const;

private:
  struct TPlaneData {
    TBitmap bits;
    int width = 0;
    int height = 0;
    bool locked = false;
    bool changed = true;
    std::unique_ptr<TVideoTexture> texture;
  };

  int PlaneCount() const { return m_mode == kThreePlanes ? 3 : 1; }
  // The slot of a plane index; -1 when the mode has no such plane.
  int Slot(int32_t plane) const;

  TMode m_mode;
  std::array<TPlaneData, 3> m_planes;
  mutable std::mutex m_lock;
  std::condition_variable m_unlocked;
  int m_lockedCount = 0;
  bool m_suspended = false;
  bool m_ended = false;
  std::atomic<bool> m_needsRefill{false};
};

// Picks the mode of a new image: three planes at shader level above 0 when
// the device has luminance textures, else grey.
TYUVImage::TMode YUVModeFor(int shaderLevel, bool luminanceTextures);

// The drawer's YUV shaders as made on the renderer; -1 when missing.
struct TYUVShaders {
  int Progressive = -1;
  int Field = -1;
};

// Makes the two YUV shaders on the screen's renderer.
TYUVShaders CreateYUVShaders(T3DScreen& screen);

// Draws a frame of `image` at `placement` (logical coordinates, the
// drawer's 2D offset already added): three planes through the YUV shader
// of the field mode (0 progressive, 1 first field, 2 second field; other
// values are an assertion), as the feathered mesh when asked; a grey image
// (or three planes without their shader) as one grey quad. The vertex
// colour is white with the opacity as alpha.
void DrawYUVImage(T3DScreen& screen, T3DYUV& image, const TPlacement& placement, const TVideoDrawParams& params,
                  const TYUVShaders& shaders);

} // namespace qx
