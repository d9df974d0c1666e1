// The in-memory bitmap of the picture code: width, height, pixel format and
// rows of pixels, stored top-down. A bitmap either owns its memory, shares it
// with the bitmap it was cut from (a crop view), or borrows memory that
// somebody else owns (a wrapped buffer such as a locked texture).
#pragma once

#include "QxLib/Graphics/qxPixelFormats.h"
#include "QxLib/qxExceptions.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qx {

// Decoders refuse pictures beyond these limits before allocating anything.
constexpr int64_t kMaxPictureSide = 16384;
constexpr int64_t kMaxPictureBytes = int64_t{512} << 20;

// Raised for a picture whose size is beyond the limits above.
class EPictureTooLarge : public EQxError {
public:
  using EQxError::EQxError;
};

// Raises EPictureTooLarge ("Picture too large: W x H ...") when a picture of
// width x height pixels in `format` exceeds kMaxPictureSide on a side or
// kMaxPictureBytes of pixel memory; also refuses non-positive sizes with
// EQxError "Invalid picture size: W x H".
void CheckPictureSize(int64_t width, int64_t height, TPixelFormat format);

// Row stride of a tightly allocated bitmap: rows are padded to 4 bytes.
int64_t DefaultStride(int64_t width, TPixelFormat format);

class TBitmap {
public:
  TBitmap() = default;
  // Allocates zero-filled pixels. Pixel memory beyond kMaxPictureBytes is
  // refused with EPictureTooLarge; negative sizes or format None with width
  // and height > 0 are an assertion.
  TBitmap(int width, int height, TPixelFormat format);
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  virtual ~TBitmap() = default;

  // Like the constructor but leaves the pixels unset, for decoders that
  // write every pixel anyway.
  static TBitmap Uninitialized(int width, int height, TPixelFormat format);

  // A bitmap over memory owned elsewhere; the memory must outlive it.
  static TBitmap Wrap(void* bits, int width, int height, int64_t stride, TPixelFormat format);

  // A view of the rectangle (x, y, width, height) sharing this bitmap's
  // pixels; writing through the view changes this bitmap. The view keeps
  // owned memory alive by itself. A rectangle outside the bitmap is an
  // assertion.
  TBitmap CropView(int x, int y, int width, int height) const;

  // A deep copy with its own tightly packed memory.
  TBitmap Clone() const;

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int64_t Stride() const { return m_stride; }
  TPixelFormat Format() const { return m_format; }
  int PixelBytes() const { return BytesPerPixel(m_format); }
  bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
  // True for crop views and wrapped memory.
  bool IsView() const { return m_view; }

  // Row y (0 = top); a row outside the bitmap is an assertion.
  uint8_t* Scanline(int y);
  const uint8_t* Scanline(int y) const;
  uint8_t* Bits() { return m_bits; }
  const uint8_t* Bits() const { return m_bits; }

  // Reads or writes one pixel as BGRA in any format (16-bit formats widen,
  // grey reads into B, G and R with alpha 255 and writes the luminance);
  // meant for tests and slow paths. Outside the bitmap is an assertion.
  TBgra GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TBgra color);

  // Sets every pixel to `color`. Grey bitmaps store the colour's luminance
  // ((77 R + 150 G + 29 B) / 256, exact for grey colours).
  void Fill(TBgra color);

  // Copies `source` (same format) with its top-left corner at (x, y),
  // clipped to this bitmap.
  void Draw(const TBitmap& source, int x, int y);

  // True when both have the same size and format and equal pixels.
  bool SamePixels(const TBitmap& other) const;

private:
  void Allocate(int width, int height, TPixelFormat format, bool zeroed);

  std::shared_ptr<uint8_t[]> m_memory;
  uint8_t* m_bits = nullptr;
  int m_width = 0;
  int m_height = 0;
  int64_t m_stride = 0;
  TPixelFormat m_format = TPixelFormat::None;
  bool m_view = false;
};

} // namespace qx
