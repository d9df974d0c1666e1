// Hue, saturation and lightness changes of 32-bit pictures (button skins,
// navigation bars). Colours are taken apart on a 0 ... 255 scale: lightness
// is (max + min) / 2, saturation the usual HLS ratio scaled to 255, and hue
// runs 0 ... 255 for a full turn in six sextants of 42.5.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <cstdint>

namespace qx {

// One full turn of hue on the 0 ... 255 scale.
inline constexpr double kHueTurn = 255;

struct THsl {
  double H = 0; // 0 <= H < kHueTurn
  double S = 0; // 0 ... 255
  double L = 0; // 0 ... 255
};

// The amounts of a recolouring: hue in degrees, saturation and lightness in
// percent (positive or negative).
struct THslShift {
  int32_t Hue = 0;
  int32_t Saturation = 0;
  int32_t Lightness = 0;
  bool IsZero() const { return Hue == 0 && Saturation == 0 && Lightness == 0; }
  bool operator==(const THslShift&) const = default;
};

THsl RgbToHsl(uint8_t r, uint8_t g, uint8_t b);
// Rounded to the nearest byte.
TBgra HslToRgb(const THsl& hsl, uint8_t alpha);

// One pixel recoloured: hue shifted by Hue × 256 / 360 and wrapped into the
// turn, saturation and lightness changed by amount × 256 / 100 and clamped
// to 0 ... 255; alpha is kept. A grey pixel (saturation 0) stays grey
// unless the saturation amount is positive.
TBgra AdjustPixel(TBgra pixel, const THslShift& shift);

// Recolours every pixel of a Bgra32 bitmap; nothing happens when all three
// amounts are 0. Another pixel format is an assertion.
void AdjustHsl(TBitmap& bitmap, const THslShift& shift);

} // namespace qx
