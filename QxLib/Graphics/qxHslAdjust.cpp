#include "QxLib/Graphics/qxHslAdjust.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr double kSextant = kHueTurn / 6;
constexpr double kThird = kHueTurn / 3;

double WrapHue(double hue) {
  hue = std::fmod(hue, kHueTurn);
  return hue < 0 ? hue + kHueTurn : hue;
}

// One channel from the two levels of a colour and the hue of the channel.
double Channel(double low, double high, double hue) {
  hue = WrapHue(hue);
  if (hue < kSextant)
    return low + (high - low) * hue / kSextant;
  if (hue < kHueTurn / 2)
    return high;
  if (hue < 2 * kThird)
    return low + (high - low) * (2 * kThird - hue) / kSextant;
  return low;
}

uint8_t Byte(double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

} // namespace

THsl RgbToHsl(uint8_t r, uint8_t g, uint8_t b) {
  const double high = std::max({r, g, b});
  const double low = std::min({r, g, b});
  THsl hsl;
  hsl.L = (high + low) / 2;
  if (high == low)
    return hsl;
  const double delta = high - low;
  hsl.S = hsl.L <= 127.5 ? delta * 255 / (high + low) : delta * 255 / (510 - high - low);
  double sextants = 0;
  if (r == high)
    sextants = (g - b) / delta;
  else if (g == high)
    sextants = 2 + (b - r) / delta;
  else
    sextants = 4 + (r - g) / delta;
  hsl.H = WrapHue(sextants * kSextant);
  return hsl;
}

TBgra HslToRgb(const THsl& hsl, uint8_t alpha) {
  if (hsl.S <= 0) {
    const uint8_t grey = Byte(hsl.L);
    return {grey, grey, grey, alpha};
  }
  const double high = hsl.L <= 127.5 ? hsl.L * (255 + hsl.S) / 255 : hsl.L + hsl.S - hsl.L * hsl.S / 255;
  const double low = 2 * hsl.L - high;
  return {Byte(Channel(low, high, hsl.H - kThird)), Byte(Channel(low, high, hsl.H)),
          Byte(Channel(low, high, hsl.H + kThird)), alpha};
}

TBgra AdjustPixel(TBgra pixel, const THslShift& shift) {
  THsl hsl = RgbToHsl(pixel.r, pixel.g, pixel.b);
  hsl.H = WrapHue(hsl.H + shift.Hue * 256.0 / 360);
  hsl.S = std::clamp(hsl.S + shift.Saturation * 256.0 / 100, 0.0, 255.0);
  hsl.L = std::clamp(hsl.L + shift.Lightness * 256.0 / 100, 0.0, 255.0);
  return HslToRgb(hsl, pixel.a);
}

void AdjustHsl(TBitmap& bitmap, const THslShift& shift) {
  QX_ASSERT(bitmap.Format() == TPixelFormat::Bgra32 || bitmap.IsEmpty(), "AdjustHsl: Bgra32 expected");
  if (shift.IsZero())
    return;
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.Scanline(y);
    // Skins repeat few colours: neighbours of the same colour reuse the result.
    TBgra last{};
    TBgra lastResult{};
    bool haveLast = false;
    for (int x = 0; x < bitmap.Width(); ++x, row += 4) {
      const TBgra pixel{row[0], row[1], row[2], row[3]};
      if (!haveLast || !(pixel == last)) {
        last = pixel;
        lastResult = AdjustPixel(pixel, shift);
        haveLast = true;
      }
      row[0] = lastResult.b;
      row[1] = lastResult.g;
      row[2] = lastResult.r;
    }
  }
}

} // namespace qx
