#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include "QxLib/Graphics/qxBitmapTags.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr std::string_view kFilteringWords[] = {"Nearest", "Bilinear", "Default"};

TCropRect ReadCropRect(const TIniIdentList& block) {
  std::vector<int32_t> values;
  if (block.ReadIntegerList("CropRect", values, 6) < 0)
    return {};
  values.resize(6, 0);
  return {values[0], values[1], values[2], values[3], values[4], values[5]};
}

} // namespace

TBorderParams ReadBorderParams(const TIniIdentList& block) {
  TBorderParams border;
  border.BorderOn = block.ReadBool("EnableBorder", false);
  border.CropOn = block.ReadBool("EnableCrop", false);
  border.AspectOn = block.ReadBool("EnableAspect", false);
  border.BorderWidth = static_cast<float>(block.ReadFloat("BorderWidth", 3.4));
  border.BorderColor = block.ReadColorAlpha("BorderColor", TRgba{255, 255, 255, 255});
  border.Crop = ReadCropRect(block);
  if (block.ReadIntegerList("AspectParams", border.AspectParams) < 0)
    border.AspectParams.clear();
  return border;
}

int32_t WantedSide(double largest, double scale) {
  const double wanted = std::round(scale * largest);
  if (!(wanted >= 1))
    return 1;
  return static_cast<int32_t>(std::min(wanted, 2147483647.0));
}

int32_t MipLevelForSize(int32_t width, int32_t height, int32_t wantedWidth, int32_t wantedHeight) {
  int32_t count = 0;
  while (width > wantedWidth && height > wantedHeight) {
    width = (width + 1) / 2;
    height = (height + 1) / 2;
    ++count;
  }
  return std::max(0, count - 1);
}

TVmoImage::TVmoImage(TVmoObject* parent, std::string name) : TVmoObject(parent, std::move(name)) {}

TVmoImage::~TVmoImage() = default;

void TVmoImage::ReadSettings(const TIniIdentList& block) { ReadPictureSettings(block); }

void TVmoImage::ReadPictureSettings(const TIniIdentList& block) {
  SetAntialiased(block.ReadBool("Antialiased", true));
  SetSetting(m_filtering, static_cast<TFiltering>(block.ReadChoice("Filtering", kFilteringWords, 2, true)));
  SetImageName(block.ReadString("ImageName", ""));
  SetFloatSetting(m_mipLodBias, static_cast<float>(block.ReadFloat("MipLodBias", 0)));
  SetSetting(m_effectBuffer, block.ReadInteger("ReplaceWithEffectBuffer", 0));

  SetSetting(m_border, ReadBorderParams(block));

  TImageAnimationParams animation;
  animation.Columns = std::max(1, block.ReadInteger("AnimColumns", 1));
  animation.Rows = std::max(1, block.ReadInteger("AnimRows", 1));
  animation.Repetitions = std::max(0, block.ReadInteger("AnimRepCount", 0));
  animation.Offset = block.ReadFloat("AnimOffset", 0);
  const int32_t count = block.ReadInteger("AnimCount", 0);
  m_animationFromKeys = count > 0;
  animation.FrameCount = std::max(1, count);
  animation.Intervals = ParseFrameIntervals(block.ReadString("AnimInterval", ""));
  SetAnimation(animation);
}

void TVmoImage::SetAnimation(const TImageAnimationParams& animation) {
  if (animation.Columns == m_animation.Columns && animation.Rows == m_animation.Rows &&
      animation.FrameCount == m_animation.FrameCount && animation.Repetitions == m_animation.Repetitions &&
      animation.Offset == m_animation.Offset && animation.Intervals == m_animation.Intervals)
    return;
  m_animation = animation;
  MarkSettingsChanged();
}

std::string TVmoImage::PictureName() const {
  if (m_effectBuffer > 0)
    return std::string(kEffectBufferPrefix) + std::to_string(m_effectBuffer);
  return m_imageName;
}

void TVmoImage::PrepareResources() {
  const std::string name = PictureName();
  if (name != m_openedName || !m_picture) {
    m_picture.Reset();
    m_openedName = name;
    TVmoObjectHost* host = Host();
    if (host && !name.empty())
      m_picture = host->OpenPicture(name);
  }
  if (m_picture && !m_animationFromKeys)
    if (const auto* tiles = m_picture->Tags().Find<TTilesTag>())
      ApplyTilesTag(*tiles, m_animation);
  if (m_picture)
    SetBaseSize(PictureBaseSize(*m_picture));
  else
    SetBaseSize({});
  ChooseMipLevel();
  m_shadow.Prepare(Host(), Shadow().Enabled && m_picture, ShadowRequest());
  TVmoObject::PrepareResources();
}

TSize TVmoImage::PictureBaseSize(const TBitmapStore& picture) const {
  return {picture.Width() / m_animation.Columns, picture.Height() / m_animation.Rows};
}

TPlacement TVmoImage::PicturePlacement() const { return ObjectPlacement(*this); }

void TVmoImage::ChooseMipLevel() {
  if (!m_picture)
    return;
  if (m_animation.Columns > 1 || m_animation.Rows > 1) {
    m_mipLevel = 0;
    return;
  }
  const auto expected = LargestExpectedSize();
  if (!(expected[0] > 0) || !(expected[1] > 0))
    return;
  const double scale = Host() ? Host()->MipLevelScale() : TVmoObjectHost::kMipLevelScale;
  m_mipLevel = MipLevelForSize(m_picture->Width(), m_picture->Height(), WantedSide(expected[0], scale),
                               WantedSide(expected[1], scale));
}

int32_t TVmoImage::LevelWidth() const { return m_picture ? m_picture->LevelWidth(m_mipLevel) : Width(); }
int32_t TVmoImage::LevelHeight() const { return m_picture ? m_picture->LevelHeight(m_mipLevel) : Height(); }

double TVmoImage::ShadowSizeFactor() const {
  return std::sqrt(static_cast<double>(LevelWidth()) * LevelHeight()) / kShadowSizeDivisor;
}

void TVmoImage::Evaluate(double time) {
  TVmoObject::Evaluate(time);
  const double elapsed = std::max(0.0, time - AnchorTimes()[0] - m_animation.Offset);
  const TAnimationFrame frame = SelectAnimationFrame(m_animation, elapsed);
  if (frame.Frame != m_frame.Frame)
    MarkNeedsRedraw();
  m_frame = frame;
}

TPictureDrawParams TVmoImage::DrawParams() const {
  TPictureDrawParams params;
  params.Feathered = m_antialiased;
  params.Opacity = Opacity();
  params.Filtering = m_filtering;
  params.MipLevel = m_mipLevel;
  params.MipBias = m_mipLodBias;
  params.Columns = m_animation.Columns;
  params.Rows = m_animation.Rows;
  params.Frame = m_frame.Frame;
  params.BorderWidth = m_border.BorderOn ? m_border.BorderWidth : 0;
  params.BorderColor = m_border.BorderColor;
  return params;
}

double TVmoImage::ShadowSizeMeasure() const { return std::sqrt(static_cast<double>(Width()) * Height()); }

TShadowNameParams TVmoImage::ShadowRequest() const {
  const TShadowSettings& shadow = Shadow();
  TShadowNameParams params;
  params.Width = Width() >> m_mipLevel;
  params.Height = Height() >> m_mipLevel;
  params.BaseAlpha = 0;
  params.BlurSize = shadow.Size * ShadowSizeFactor();
  params.ContourIndex = shadow.SpreadIndex;
  params.Blue = shadow.Color.b;
  params.Green = shadow.Color.g;
  params.Red = shadow.Color.r;
  params.Opacity = shadow.Opacity;
  params.MipLevel = m_mipLevel;
  params.Source = PictureName();
  return params;
}

TFloatRect TVmoImage::SourceRect(TPlacement* placement) const {
  if (!m_picture)
    return {};
  const bool sheet = m_animation.Columns > 1 || m_animation.Rows > 1;
  if (!sheet && !m_border.CropOn)
    return {};
  const double cellWidth = static_cast<double>(m_picture->Width()) / m_animation.Columns;
  const double cellHeight = static_cast<double>(m_picture->Height()) / m_animation.Rows;
  const int32_t frame = std::clamp(m_frame.Frame, 0, m_animation.Columns * m_animation.Rows - 1);
  const double left = (frame % m_animation.Columns) * cellWidth;
  const double top = (frame / m_animation.Columns) * cellHeight;
  TFloatRect rect{left, top, left + cellWidth, top + cellHeight};
  if (!m_border.CropOn)
    return rect;

  // The crop rectangle is given in the pixels of a reference size (the cell
  // itself when none is given).
  const TCropRect& crop = m_border.Crop;
  const double refWidth = crop.ReferenceWidth > 0 ? crop.ReferenceWidth : cellWidth;
  const double refHeight = crop.ReferenceHeight > 0 ? crop.ReferenceHeight : cellHeight;
  const double s0 = std::clamp(crop.Left / refWidth, 0.0, 1.0);
  const double t0 = std::clamp(crop.Top / refHeight, 0.0, 1.0);
  const double s1 = std::clamp(crop.Right / refWidth, 0.0, 1.0);
  const double t1 = std::clamp(crop.Bottom / refHeight, 0.0, 1.0);
  if (!(s1 > s0) || !(t1 > t0))
    return rect;
  if (placement)
    *placement = placement->Part(s0, t0, s1, t1);
  return {left + s0 * cellWidth, top + t0 * cellHeight, left + s1 * cellWidth, top + t1 * cellHeight};
}

void TVmoImage::DrawContent(TDeviceDrawer& drawer) {
  TBitmapStore* const picture = DrawnPicture();
  if (!picture)
    return;
  const TPictureDrawParams params = DrawParams();
  if (!(params.Opacity > 0))
    return;
  m_shadow.Draw(drawer, *this, ShadowSizeMeasure(), params.Opacity);
  TPlacement placement = PicturePlacement();
  TPictureSource source;
  source.Store = picture;
  source.SourceRect = SourceRect(&placement);
  if (m_effectTexture) {
    // The buffer is drawn straight from the render target it lies in.
    const TFloatRect& part = source.SourceRect;
    const double x = m_effectTexels.left;
    const double y = m_effectTexels.top;
    source.ReadyTexture = m_effectTexture;
    source.SourceRect = part.right > part.left && part.bottom > part.top
                            ? TFloatRect{x + part.left, y + part.top, x + part.right, y + part.bottom}
                            : m_effectTexels;
  }
  drawer.DrawPicture(source, placement, params);
}

} // namespace qx
