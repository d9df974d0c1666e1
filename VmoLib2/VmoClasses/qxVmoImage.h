// Picture objects: the settings of a picture (name, filtering, border, crop,
// aspect, sprite-sheet animation), the picture it opens, the mip level it
// decodes chosen from the largest size it can appear at, and the draw
// parameters handed to the drawer. Texts (qxVmoText) and buttons
// (qxVmoButton) share the base.
#pragma once

#include "QxLib/qxColor.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
#include "VmoLib2/VmoClasses/qxVmoDrawing.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"
#include "VmoLib2/VmoClasses/qxVmoSpriteSheet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

class TCustomTexture;

// The crop rectangle in the pixels of a reference size.
struct TCropRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t ReferenceWidth = 0;
  int32_t ReferenceHeight = 0;
  bool operator==(const TCropRect&) const = default;
};

struct TBorderParams {
  bool BorderOn = false;
  bool CropOn = false;
  bool AspectOn = false;
  float BorderWidth = 3.4f;
  TRgba BorderColor{255, 255, 255, 255};
  TCropRect Crop;
  std::vector<int32_t> AspectParams;
  bool operator==(const TBorderParams&) const = default;
};

// Drop shadows are requested with a size factor: a picture's size measure
// divided by kShadowSizeDivisor; texts and buttons take their height and
// kTextShadowScale times that.
inline constexpr double kShadowSizeDivisor = 400;
inline constexpr double kTextShadowScale = 1.1;

// The border keys of a block ("EnableBorder", "EnableCrop", "EnableAspect",
// "BorderWidth", "BorderColor", "CropRect", "AspectParams").
TBorderParams ReadBorderParams(const TIniIdentList& block);

// The side a picture is wanted at for a largest expected side:
// max(1, round(scale × largest)).
int32_t WantedSide(double largest, double scale);

// The deepest mip level whose width and height both still exceed the wanted
// size (level 0 when even the full picture does not).
int32_t MipLevelForSize(int32_t width, int32_t height, int32_t wantedWidth, int32_t wantedHeight);

class TVmoImage : public TVmoObject {
public:
  static constexpr std::string_view kEffectBufferPrefix = "SlideEffectBuffer";

  TVmoImage(TVmoObject* parent, std::string name);
  ~TVmoImage() override;

  bool Antialiased() const { return m_antialiased; }
  TFiltering Filtering() const { return m_filtering; }
  const std::string& ImageName() const { return m_imageName; }
  void SetImageName(std::string name) { SetSetting(m_imageName, std::move(name)); }
  float MipLodBias() const { return m_mipLodBias; }
  int32_t EffectBufferNumber() const { return m_effectBuffer; }
  const TBorderParams& Border() const { return m_border; }
  const TImageAnimationParams& Animation() const { return m_animation; }
  void SetAnimation(const TImageAnimationParams& animation);
  bool MainImage() const { return m_mainImage; }
  void SetMainImage(bool main) { m_mainImage = main; }

  // While a custom transition draws: the render target holding the buffer
  // this object shows, and where the buffer's picture lies in it (texture
  // pixels). Null stops showing it.
  void SetEffectTexture(TCustomTexture* texture, const TFloatRect& texels) {
    m_effectTexture = texture;
    m_effectTexels = texels;
  }
  TCustomTexture* EffectTexture() const { return m_effectTexture; }

  // The name the picture is asked for under: "SlideEffectBuffer<n>" while
  // the object shows the running transition's buffer, else "ImageName".
  virtual std::string PictureName() const;
  // The opened picture, or none.
  const TRefPtr<TBitmapStore>& Picture() const { return m_picture; }
  // Opens the picture when the settings changed; the base size becomes the
  // size of one cell of it (the whole picture unless it is a sprite sheet).
  void PrepareResources() override;
  bool HasResources() const { return static_cast<bool>(m_picture); }
  // Lets go of the opened picture; the next PrepareResources opens it again.
  void ReleasePicture() {
    m_picture.Reset();
    m_openedName.clear();
  }

  int32_t MipLevel() const { return m_mipLevel; }
  // Chooses the mip level from the largest expected size of the last size
  // pass; sprite sheets always use level 0. Keeps the level while either
  // expected side is 0.
  void ChooseMipLevel();
  void SizesMeasured() override { ChooseMipLevel(); }

  // The size factor the drop shadow is requested with.
  virtual double ShadowSizeFactor() const;
  // The size measure the drop shadow is placed with: sqrt(width x height)
  // of the base size for pictures.
  virtual double ShadowSizeMeasure() const;
  // The shadow picture's request: the picture at the chosen mip level.
  TShadowNameParams ShadowRequest() const;
  const TObjectShadow& DropShadow() const { return m_shadow; }

  // The part of the picture drawn now, in full-size picture pixels: the
  // current sprite-sheet cell, cut to the crop rectangle when crop is on;
  // empty for the whole picture. `placement` is narrowed to the cropped part
  // of the object's rectangle.
  TFloatRect SourceRect(TPlacement* placement = nullptr) const;

  // The current animation frame and pass.
  const TAnimationFrame& CurrentFrame() const { return m_frame; }
  void Evaluate(double time) override;

  virtual TPictureDrawParams DrawParams() const;

protected:
  // The base size an opened picture gives the object: one cell of it.
  virtual TSize PictureBaseSize(const TBitmapStore& picture) const;
  // Where the picture is drawn: the object's rectangle.
  virtual TPlacement PicturePlacement() const;
  // The picture drawn now: the opened one (buttons draw one per state).
  virtual TBitmapStore* DrawnPicture() const { return m_picture.Get(); }
  void ReadSettings(const TIniIdentList& block) override;
  // Reads the picture keys.
  void ReadPictureSettings(const TIniIdentList& block);
  // Level-0 width and height of the picture at the chosen mip level.
  int32_t LevelWidth() const;
  int32_t LevelHeight() const;
  void SetAntialiased(bool on) { SetSetting(m_antialiased, on); }
  // The drop shadow, then the picture at its place.
  void DrawContent(TDeviceDrawer& drawer) override;

private:
  bool m_antialiased = true;
  TFiltering m_filtering = TFiltering::Default;
  std::string m_imageName;
  float m_mipLodBias = 0;
  int32_t m_effectBuffer = 0;
  TBorderParams m_border;
  TImageAnimationParams m_animation;
  // "AnimCount" was given: the picture's own tile description is not used.
  bool m_animationFromKeys = false;
  bool m_mainImage = false;

  TRefPtr<TBitmapStore> m_picture;
  std::string m_openedName;
  TCustomTexture* m_effectTexture = nullptr;
  TFloatRect m_effectTexels;
  int32_t m_mipLevel = 0;
  TAnimationFrame m_frame;
  TObjectShadow m_shadow;
};

} // namespace qx
