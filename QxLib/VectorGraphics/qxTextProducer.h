// The text producer: lays the lines of a vector text out with their
// alignment and line spacing, fills every glyph (and the underline and
// strike-out bars) through the outline rasteriser and returns the 32-bit
// anti-aliased text bitmap.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/VectorGraphics/qxVectorText.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qx {

// Style bits of a text.
enum TFontStyleBits : uint32_t {
  kStyleBold = 1,
  kStyleItalic = 2,
  kStyleUnderline = 4,
  kStyleStrikeOut = 8,
};

enum class TTextAlign : int32_t { Left = 0, Center = 1, Right = 2 };

// The parameters of a text picture.
struct TTextParams {
  std::string FontName;
  uint32_t Style = 0;
  TTextAlign Align = TTextAlign::Center;
  // Extra space between lines in percent of half a line height: 100 puts
  // baselines 1.5 line heights apart.
  float LineSpacing = 0;
  TBgra Color{255, 255, 255, 255};
  // The height of one line (ascent + descent) in pixels.
  float FontSize = 32;
  // Horizontal and vertical stretch of the glyphs (1: as designed).
  float ScaleX = 1;
  float ScaleY = 1;
  // Not fully opaque pixels are composed over this colour and fully
  // transparent ones take it. None: transparent in the text colour.
  std::optional<TBgra> Background;
  bool operator==(const TTextParams&) const = default;
};

// Where each line of a text lands in its bitmap (pixels).
struct TPlacedLine {
  // The x of the line's origin and its baseline.
  double OriginX = 0;
  double Baseline = 0;
  // ceil(advance × scale): the width used for alignment.
  int32_t Width = 0;
  TLineMetrics Metrics;
};

struct TTextPlacement {
  // Pixels per layout unit.
  double ScaleX = 0;
  double ScaleY = 0;
  int32_t TextWidth = 0;
  double TextHeight = 0;
  int32_t LeftMargin = 0;
  int32_t RightMargin = 0;
  int32_t TopMargin = 0;
  int32_t BottomMargin = 0;
  int32_t BitmapWidth = 0;
  int32_t BitmapHeight = 0;
  std::vector<TPlacedLine> Lines;
};

// Lays a text out for `params` without drawing it. A text whose line height
// is not positive is an assertion.
TTextPlacement PlaceText(const TVectorText& text, const TTextParams& params);

// The vertical band [top, bottom) of a line's underline or strike-out bar in
// bitmap pixels: `position` is the stroke's centre above the baseline and
// `thickness` its height, both in layout units; the bar is at least one
// pixel high.
std::pair<double, double> BarBand(const TPlacedLine& line, double scaleY, float position, float thickness);

// Produces the text bitmap (Bgra32). `cancel` is polled after each line and
// each bitmap row; when it answers true what is done so far is returned. A
// bitmap beyond the picture limits raises EPictureTooLarge.
TBitmap ProduceTextBitmap(const TVectorText& text, const TTextParams& params, const std::function<bool()>& cancel = {});

} // namespace qx
