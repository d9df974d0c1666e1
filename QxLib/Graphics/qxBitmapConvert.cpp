#include "QxLib/Graphics/qxBitmapConvert.h"

#include <cstring>

namespace qx {

namespace {

// Reads one pixel of a row in `format` as BGRA.
inline TBgra ReadPixel(const uint8_t* p, TPixelFormat format) {
  switch (format) {
  case TPixelFormat::Bgr24: return TBgra{p[0], p[1], p[2], 255};
  case TPixelFormat::Bgra32: return TBgra{p[0], p[1], p[2], p[3]};
  case TPixelFormat::X1R5G5B5: return UnpackX1R5G5B5(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  case TPixelFormat::R5G6B5: return UnpackR5G6B5(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  case TPixelFormat::Gray8: return TBgra{p[0], p[0], p[0], 255};
  case TPixelFormat::None: break;
  }
  return TBgra{};
}

inline void WritePixel(uint8_t* p, TPixelFormat format, TBgra c) {
  uint16_t word = 0;
  switch (format) {
  case TPixelFormat::Bgr24: p[0] = c.b, p[1] = c.g, p[2] = c.r; return;
  case TPixelFormat::Bgra32: p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = c.a; return;
  case TPixelFormat::X1R5G5B5: word = PackX1R5G5B5(c.r, c.g, c.b); break;
  case TPixelFormat::R5G6B5: word = PackR5G6B5(c.r, c.g, c.b); break;
  case TPixelFormat::Gray8:
  case TPixelFormat::None: return;
  }
  p[0] = static_cast<uint8_t>(word);
  p[1] = static_cast<uint8_t>(word >> 8);
}

// The common fast paths between 24- and 32-bit rows.
void Bgr24ToBgra32(const uint8_t* s, uint8_t* d, int width) {
  for (int x = 0; x < width; ++x, s += 3, d += 4)
    d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
}

void Bgra32ToBgr24(const uint8_t* s, uint8_t* d, int width) {
  for (int x = 0; x < width; ++x, s += 4, d += 3)
    d[0] = s[0], d[1] = s[1], d[2] = s[2];
}

bool IsColour(TPixelFormat f) {
  return f == TPixelFormat::Bgr24 || f == TPixelFormat::Bgra32 || f == TPixelFormat::X1R5G5B5 ||
         f == TPixelFormat::R5G6B5;
}

} // namespace

bool CanConvert(TPixelFormat from, TPixelFormat to) {
  if (from == TPixelFormat::None || to == TPixelFormat::None)
    return false;
  if (to == TPixelFormat::Gray8)
    return from == TPixelFormat::Gray8;
  return IsColour(to) && (IsColour(from) || from == TPixelFormat::Gray8);
}

TBitmap ConvertBitmap(const TBitmap& source, TPixelFormat format) {
  QX_ASSERT(CanConvert(source.Format(), format), "Invalid Combination Of Bitmap Parameters");
  const TPixelFormat from = source.Format();
  if (from == format)
    return source.Clone();
  TBitmap result = TBitmap::Uninitialized(source.Width(), source.Height(), format);
  const int width = source.Width();
  const int sb = source.PixelBytes();
  const int db = result.PixelBytes();
  for (int y = 0; y < source.Height(); ++y) {
    const uint8_t* s = source.Scanline(y);
    uint8_t* d = result.Scanline(y);
    if (from == TPixelFormat::Bgr24 && format == TPixelFormat::Bgra32) {
      Bgr24ToBgra32(s, d, width);
      continue;
    }
    if (from == TPixelFormat::Bgra32 && format == TPixelFormat::Bgr24) {
      Bgra32ToBgr24(s, d, width);
      continue;
    }
    for (int x = 0; x < width; ++x, s += sb, d += db)
      WritePixel(d, format, ReadPixel(s, from));
  }
  return result;
}

TBitmap ExtractAlpha(const TBitmap& source) {
  QX_ASSERT(source.Format() != TPixelFormat::None || source.IsEmpty(), "Invalid Combination Of Bitmap Parameters");
  if (source.Format() == TPixelFormat::Gray8)
    return source.Clone();
  TBitmap mask(source.Width(), source.Height(), TPixelFormat::Gray8);
  const bool hasAlpha = source.Format() == TPixelFormat::Bgra32;
  for (int y = 0; y < source.Height(); ++y) {
    uint8_t* d = mask.Scanline(y);
    if (!hasAlpha) {
      std::memset(d, 255, static_cast<size_t>(source.Width()));
      continue;
    }
    const uint8_t* s = source.Scanline(y);
    for (int x = 0; x < source.Width(); ++x)
      d[x] = s[4 * x + 3];
  }
  return mask;
}

} // namespace qx
