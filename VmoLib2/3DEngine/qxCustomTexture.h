// A picture of any size in one power-of-two texture of the screen, with
// its own mip chain. Subclasses fill level 0; the smaller levels are made
// by averaging. The device texture is made on first use and made again
// after the device was lost.
#pragma once

#include "VmoLib2/3DEngine/qx3DScreen.h"

namespace qx {

class TCustomTexture : public T3DScreenObject {
public:
  // Textures never get a side below this.
  static constexpr int kMinSide = 32;

  explicit TCustomTexture(T3DScreen& screen);
  ~TCustomTexture() override;

  // The smallest power of two >= `requested`, at least kMinSide; 0 for 0.
  static int TextureSide(int requested);

  // The picture size; the texture gets the power-of-two sizes above it.
  void SetSize(int width, int height);
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int TextureWidth() const { return m_textureWidth; }
  int TextureHeight() const { return m_textureHeight; }
  // Texture-coordinate scale: picture pixel x samples at x * ScaleU().
  double ScaleU() const { return m_scaleU; }
  double ScaleV() const { return m_scaleV; }

  void SetOpacity(uint8_t opacity) { m_opacity = opacity; }
  uint8_t Opacity() const { return m_opacity; }
  // Turning mip maps on for the first time re-makes the device texture
  // with a mip chain; later changes only change the sampling.
  void SetMipMaps(bool on);
  bool MipMaps() const { return m_mipMaps; }
  void SetLodBias(float bias) { m_lodBias = bias; }
  float LodBias() const { return m_lodBias; }
  void SetPointFilter(bool on) { m_pointFilter = on; }
  bool PointFilter() const { return m_pointFilter; }
  // Changing the kind drops the device texture.
  void SetKind(T3DTextureKind kind);
  T3DTextureKind Kind() const { return m_kind; }

  // The device texture, made (and, for the sampled 32-bit kind, uploaded)
  // when missing; null when there is no usable renderer or the device
  // refuses it.
  T3DTexture* DeviceTexture();
  // Fills every mip level; false when the device texture is missing or the
  // subclass gave up (the texture stays dirty).
  bool Upload();
  // Moves the texture into device memory ahead of its first draw.
  bool PreLoad();
  // Contents must be uploaded again before the next draw.
  void MarkDirty() { m_dirty = true; }
  bool IsDirty() const { return m_dirty; }
  // True while a device texture exists.
  bool HasDeviceTexture() const { return m_texture && !m_textureLost; }

  void ReleaseDeviceObject() override;

protected:
  // Makes the device texture without uploading; false when refused.
  bool CreateDeviceTexture();
  // Writes the picture into level 0 (Width() x Height() pixels of a
  // 32-bit bitmap). False stops the upload.
  virtual bool FillLevel0(TBitmap& level);

private:
  T3DTextureKind m_kind = T3DTextureKind::Argb;
  int m_width = 0;
  int m_height = 0;
  int m_textureWidth = 0;
  int m_textureHeight = 0;
  double m_scaleU = 0;
  double m_scaleV = 0;
  bool m_pointFilter = false;
  uint8_t m_opacity = 255;
  bool m_mipMaps = false;
  bool m_mipMapsEverAsked = false;
  float m_lodBias = 0;
  bool m_dirty = true;
  std::unique_ptr<T3DTexture> m_texture;
  bool m_textureLost = false;
};

// Averages each 2 x 2 block of `source` into `dest` per channel (both
// 32-bit, dest half the size rounded down but at least 1; assertions).
void AverageMipLevel(const TBitmap& source, TBitmap& dest);

} // namespace qx
