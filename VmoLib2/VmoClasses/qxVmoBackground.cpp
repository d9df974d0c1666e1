#include "VmoLib2/VmoClasses/qxVmoBackground.h"

#include "QxLib/Graphics/qxResample.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoEffectParams.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

int32_t RoundedSide(double value) { return std::max(1, static_cast<int32_t>(std::lround(value))); }

int32_t HalfTileCount(int32_t side, int32_t tile) {
  return static_cast<int32_t>(std::ceil(static_cast<double>(side) / tile / 2));
}

} // namespace

TSlideBackground ReadSlideBackground(const TIniIdentList& mainSection, const TIniIdentList* slideSection) {
  const bool personal = slideSection && slideSection->ReadString("UsePersonal", "") == "1" &&
                        slideSection->ReadString("Pers_Fon", "") == "1";
  const TIniIdentList& keys = personal ? *slideSection : mainSection;
  const std::string prefix = personal ? "" : "opt_";
  const auto key = [&prefix](const char* name) { return prefix + name; };

  TSlideBackground background;
  switch (keys.ReadInteger(key("bstyle"), 0)) {
  case 1: background.Color1 = WindowsColor(keys.ReadInteger(key("bname"), 0)); break;
  case 2: {
    std::string name = keys.ReadString(key("bname"), "");
    if (name.empty())
      break;
    background.Style = TBackgroundStyle::Picture;
    background.PictureName = std::move(name);
    background.SizePercent = keys.ReadInteger(key("bsize"), 100);
    break;
  }
  case 3: {
    const int colorStyle = keys.ReadInteger(key("bcolorstyle"), 0);
    if (colorStyle != 1 && colorStyle != 2)
      break;
    background.Style = TBackgroundStyle::Gradient;
    background.Gradient = colorStyle == 1 ? TGradientKind::Vertical : TGradientKind::Horizontal;
    background.Color1 = WindowsColor(keys.ReadInteger(key("bcolor1"), 0));
    background.Color2 = WindowsColor(keys.ReadInteger(key("bcolor2"), 0));
    break;
  }
  default: break;
  }
  return background;
}

TSize BackgroundPictureSize(TSize slide, TSize picture, int32_t sizePercent) {
  if (slide.Width <= 0 || slide.Height <= 0 || picture.Width <= 0 || picture.Height <= 0)
    return {1, 1};
  const double pictureAspect = static_cast<double>(picture.Width) / picture.Height;
  const double slideAspect = static_cast<double>(slide.Width) / slide.Height;
  if (slideAspect >= pictureAspect) {
    const double width = slide.Width * sizePercent / 100.0;
    return {RoundedSide(width), RoundedSide(width / pictureAspect)};
  }
  const double height = slide.Height * sizePercent / 100.0;
  return {RoundedSide(height * pictureAspect), RoundedSide(height)};
}

int BackgroundHalvings(TSize picture, TSize drawn) {
  int count = 0;
  int64_t w = picture.Width;
  int64_t h = picture.Height;
  while (w >= 2 * int64_t{drawn.Width} && h >= 2 * int64_t{drawn.Height} && w > 1 && h > 1) {
    w = (w + 1) / 2;
    h = (h + 1) / 2;
    ++count;
  }
  return count;
}

TTileGrid BackgroundTileGrid(TSize slide, TSize tile) {
  if (tile.Width <= 0 || tile.Height <= 0)
    return {};
  const int32_t columns = HalfTileCount(slide.Width, tile.Width);
  const int32_t rows = HalfTileCount(slide.Height, tile.Height);
  return {-columns, columns, -rows, rows};
}

void TBackgroundPicture::Clear() {
  m_made = false;
  m_bitmap.reset();
}

void TBackgroundPicture::Update(TVmoObjectHost& host, const std::string& name, int32_t sizePercent, TSize slide) {
  if (m_made && name == m_name && sizePercent == m_sizePercent && slide == m_slide)
    return;
  Clear();
  m_name = name;
  m_sizePercent = sizePercent;
  m_slide = slide;
  m_made = true;

  const TRefPtr<TBitmapStore> store = host.OpenPicture(name);
  if (!store)
    return;
  const TSize picture{store->Width(), store->Height()};
  const TSize drawn = BackgroundPictureSize(slide, picture, sizePercent);
  const std::shared_ptr<const TBitmap> level = store->GetMipLevel(BackgroundHalvings(picture, drawn));
  if (!level || level->IsEmpty())
    return;
  m_bitmap = std::make_shared<const TBitmap>(ResizeBilinear(*level, drawn.Width, drawn.Height));
}

} // namespace qx
