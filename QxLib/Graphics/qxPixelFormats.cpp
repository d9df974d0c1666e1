#include "QxLib/Graphics/qxPixelFormats.h"

namespace qx {

int BytesPerPixel(TPixelFormat format) {
  switch (format) {
  case TPixelFormat::Bgr24: return 3;
  case TPixelFormat::Bgra32: return 4;
  case TPixelFormat::X1R5G5B5:
  case TPixelFormat::R5G6B5: return 2;
  case TPixelFormat::Gray8: return 1;
  case TPixelFormat::None: break;
  }
  return 0;
}

bool HasAlpha(TPixelFormat format) { return format == TPixelFormat::Bgra32; }

const char* PixelFormatName(TPixelFormat format) {
  switch (format) {
  case TPixelFormat::Bgr24: return "Bgr24";
  case TPixelFormat::Bgra32: return "Bgra32";
  case TPixelFormat::X1R5G5B5: return "X1R5G5B5";
  case TPixelFormat::R5G6B5: return "R5G6B5";
  case TPixelFormat::Gray8: return "Gray8";
  case TPixelFormat::None: break;
  }
  return "None";
}

uint16_t PackX1R5G5B5(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

uint16_t PackR5G6B5(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

namespace {
uint8_t Widen5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t Widen6(unsigned v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }
} // namespace

TBgra UnpackX1R5G5B5(uint16_t pixel) {
  return TBgra{Widen5(pixel & 31u), Widen5((pixel >> 5) & 31u), Widen5((pixel >> 10) & 31u), 255};
}

TBgra UnpackR5G6B5(uint16_t pixel) {
  return TBgra{Widen5(pixel & 31u), Widen6((pixel >> 5) & 63u), Widen5((pixel >> 11) & 31u), 255};
}

} // namespace qx
