// The background of a slide: its settings (solid colour, gradient or tiled
// picture), the size of the background picture, the picture reduced once to
// that size, and the grid of tiles that covers the slide with it.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxColor.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include <memory>
#include <string>

namespace qx {

class TIniIdentList;

enum class TBackgroundStyle : int32_t { Solid = 1, Picture = 2, Gradient = 3 };

struct TSlideBackground {
  TBackgroundStyle Style = TBackgroundStyle::Solid;
  TRgb Color1{0, 0, 0};
  TRgb Color2{0, 0, 0};
  std::string PictureName;
  int32_t SizePercent = 100;
  TGradientKind Gradient = TGradientKind::Solid;
  bool operator==(const TSlideBackground&) const = default;
};

// Reads the background keys: with the prefix "opt_" from the main section,
// or without prefix from the slide's own section when that has
// "UsePersonal" = "1" and "Pers_Fon" = "1". Unknown styles keep solid black.
TSlideBackground ReadSlideBackground(const TIniIdentList& mainSection, const TIniIdentList* slideSection);

// The size a background picture is drawn at so that it spans the slide's
// width (or height, for a picture wider than the slide's aspect) at
// sizePercent, the other side following the picture's aspect; at least 1 x 1.
TSize BackgroundPictureSize(TSize slide, TSize picture, int32_t sizePercent);

// How often the picture is halved (sides rounded up) before the one resample
// to the drawn size: while both sides are at least twice the drawn size, so
// the halved picture lies between once and twice the drawn size.
int BackgroundHalvings(TSize picture, TSize drawn);

// Tile indices around the slide centre: tile (c, r) is centred at
// (c × tile width, r × tile height) from the slide centre.
struct TTileGrid {
  int32_t FirstColumn = 0;
  int32_t LastColumn = 0;
  int32_t FirstRow = 0;
  int32_t LastRow = 0;
};

// Columns from -ceil(w / tw / 2) to +ceil(w / tw / 2), rows likewise, so a
// picture smaller than the slide tiles all of it. A tile without extent
// gives the single tile (0, 0).
TTileGrid BackgroundTileGrid(TSize slide, TSize tile);

// The background picture reduced to its drawn size; rebuilt only when the
// name, the size percent or the slide size changes.
class TBackgroundPicture {
public:
  // Makes the picture for the settings when they differ from the last ones;
  // a picture the host does not have leaves none. Decoding errors raise.
  void Update(TVmoObjectHost& host, const std::string& name, int32_t sizePercent, TSize slide);
  // The reduced picture, or none. Shared so that the drawer can keep its
  // tiles cached while the picture lives.
  const TBitmap* Bitmap() const { return m_bitmap.get(); }
  const std::shared_ptr<const TBitmap>& SharedBitmap() const { return m_bitmap; }
  void Clear();

private:
  std::string m_name;
  int32_t m_sizePercent = 0;
  TSize m_slide;
  bool m_made = false;
  std::shared_ptr<const TBitmap> m_bitmap;
};

} // namespace qx
