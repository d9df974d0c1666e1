// The pixel formats of the bitmap library and the colour value type.
#pragma once

#include <cstdint>

namespace qx {

enum class TPixelFormat : uint8_t {
  None,     // no format asked for / unknown
  Bgr24,    // 24-bit: blue, green, red bytes
  Bgra32,   // 32-bit: blue, green, red, alpha bytes
  X1R5G5B5, // 16-bit little-endian word: unused bit, 5 red, 5 green, 5 blue
  R5G6B5,   // 16-bit little-endian word: 5 red, 6 green, 5 blue
  Gray8,    // 8-bit grey level or alpha mask
};

// A colour in the byte order of 32-bit pixels.
struct TBgra {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  uint8_t a = 255;

  bool operator==(const TBgra&) const = default;
};

// Bytes of one pixel; 0 for TPixelFormat::None.
int BytesPerPixel(TPixelFormat format);

// True for the formats that carry an alpha channel (Bgra32).
bool HasAlpha(TPixelFormat format);

// A short readable name ("Bgr24", ...), for messages and logs.
const char* PixelFormatName(TPixelFormat format);

// 16-bit pixel packing and unpacking; 5- and 6-bit channels widen by
// repeating their top bits so that full intensity stays 255.
uint16_t PackX1R5G5B5(uint8_t r, uint8_t g, uint8_t b);
uint16_t PackR5G6B5(uint8_t r, uint8_t g, uint8_t b);
TBgra UnpackX1R5G5B5(uint16_t pixel);
TBgra UnpackR5G6B5(uint16_t pixel);

} // namespace qx
