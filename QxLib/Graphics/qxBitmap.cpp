#include "QxLib/Graphics/qxBitmap.h"

#include "QxLib/qxMemoryAdvice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace qx {

namespace {

// Pixel memory of this size or more is placed on huge pages where the system
// offers them: touching a freshly mapped 24-megapixel picture page by page
// otherwise costs more than decoding it.
constexpr size_t kHugePageThreshold = 2 * kHugePageSize;

std::shared_ptr<uint8_t[]> AllocatePixels(size_t bytes, bool zeroed) {
  if (bytes < kHugePageThreshold)
    return zeroed ? std::make_shared<uint8_t[]>(bytes) : std::make_shared_for_overwrite<uint8_t[]>(bytes);
  const size_t rounded = (bytes + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
  void* memory = std::aligned_alloc(kHugePageSize, rounded);
  if (!memory)
    throw std::bad_alloc();
  AdviseHugePages(memory, rounded);
  std::shared_ptr<uint8_t[]> result(static_cast<uint8_t*>(memory), [](uint8_t* p) { std::free(p); });
  if (zeroed)
    std::memset(memory, 0, bytes);
  return result;
}

uint8_t Luminance(TBgra c) { return static_cast<uint8_t>((77u * c.r + 150u * c.g + 29u * c.b) >> 8); }

} // namespace

void CheckPictureSize(int64_t width, int64_t height, TPixelFormat format) {
  if (width <= 0 || height <= 0)
    throw EQxError("Invalid picture size: " + std::to_string(width) + " x " + std::to_string(height));
  const int64_t bytes = std::max(BytesPerPixel(format), 1);
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPictureBytes / bytes)
    throw EPictureTooLarge("Picture too large: " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels (limit " + std::to_string(kMaxPictureSide) + " x " +
                           std::to_string(kMaxPictureSide) + " and " + std::to_string(kMaxPictureBytes >> 20) +
                           " MiB)");
}

int64_t DefaultStride(int64_t width, TPixelFormat format) { return (width * BytesPerPixel(format) + 3) / 4 * 4; }

TBitmap::TBitmap(int width, int height, TPixelFormat format) { Allocate(width, height, format, true); }

TBitmap TBitmap::Uninitialized(int width, int height, TPixelFormat format) {
  TBitmap result;
  result.Allocate(width, height, format, false);
  return result;
}

void TBitmap::Allocate(int width, int height, TPixelFormat format, bool zeroed) {
  QX_ASSERT(width >= 0 && height >= 0, "Invalid Combination Of Bitmap Parameters");
  m_format = format;
  if (width == 0 || height == 0)
    return;
  QX_ASSERT(format != TPixelFormat::None, "Invalid Combination Of Bitmap Parameters");
  const int64_t stride = DefaultStride(width, format);
  if (stride * height > kMaxPictureBytes)
    throw EPictureTooLarge("Picture too large: " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels (limit " + std::to_string(kMaxPictureBytes >> 20) + " MiB)");
  const auto bytes = static_cast<size_t>(stride * height);
  m_memory = AllocatePixels(bytes, zeroed);
  m_bits = m_memory.get();
  m_width = width;
  m_height = height;
  m_stride = stride;
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : m_memory(std::move(other.m_memory)), m_bits(std::exchange(other.m_bits, nullptr)),
      m_width(std::exchange(other.m_width, 0)), m_height(std::exchange(other.m_height, 0)),
      m_stride(std::exchange(other.m_stride, 0)), m_format(std::exchange(other.m_format, TPixelFormat::None)),
      m_view(std::exchange(other.m_view, false)) {}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this == &other)
    return *this;
  m_memory = std::move(other.m_memory);
  m_bits = std::exchange(other.m_bits, nullptr);
  m_width = std::exchange(other.m_width, 0);
  m_height = std::exchange(other.m_height, 0);
  m_stride = std::exchange(other.m_stride, 0);
  m_format = std::exchange(other.m_format, TPixelFormat::None);
  m_view = std::exchange(other.m_view, false);
  return *this;
}

TBitmap TBitmap::Wrap(void* bits, int width, int height, int64_t stride, TPixelFormat format) {
  QX_ASSERT(bits != nullptr && width > 0 && height > 0 && format != TPixelFormat::None &&
                stride >= int64_t{width} * BytesPerPixel(format),
            "Invalid Combination Of Bitmap Parameters");
  TBitmap result;
  result.m_bits = static_cast<uint8_t*>(bits);
  result.m_width = width;
  result.m_height = height;
  result.m_stride = stride;
  result.m_format = format;
  result.m_view = true;
  return result;
}

TBitmap TBitmap::CropView(int x, int y, int width, int height) const {
  QX_ASSERT(x >= 0 && y >= 0 && width > 0 && height > 0 && int64_t{x} + width <= m_width &&
                int64_t{y} + height <= m_height,
            "Crop rectangle outside the bitmap");
  TBitmap result;
  result.m_memory = m_memory;
  result.m_bits = m_bits + y * m_stride + int64_t{x} * PixelBytes();
  result.m_width = width;
  result.m_height = height;
  result.m_stride = m_stride;
  result.m_format = m_format;
  result.m_view = true;
  return result;
}

TBitmap TBitmap::Clone() const {
  TBitmap result = Uninitialized(m_width, m_height, m_format);
  const size_t rowBytes = static_cast<size_t>(m_width) * PixelBytes();
  for (int y = 0; y < m_height; ++y)
    std::memcpy(result.Scanline(y), Scanline(y), rowBytes);
  return result;
}

uint8_t* TBitmap::Scanline(int y) {
  QX_ASSERT(y >= 0 && y < m_height, "Scanline out of bitmap");
  return m_bits + y * m_stride;
}

const uint8_t* TBitmap::Scanline(int y) const {
  QX_ASSERT(y >= 0 && y < m_height, "Scanline out of bitmap");
  return m_bits + y * m_stride;
}

TBgra TBitmap::GetPixel(int x, int y) const {
  QX_ASSERT(x >= 0 && x < m_width, "Pixel out of bitmap");
  const uint8_t* p = Scanline(y) + int64_t{x} * PixelBytes();
  switch (m_format) {
  case TPixelFormat::Bgr24: return TBgra{p[0], p[1], p[2], 255};
  case TPixelFormat::Bgra32: return TBgra{p[0], p[1], p[2], p[3]};
  case TPixelFormat::X1R5G5B5: return UnpackX1R5G5B5(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  case TPixelFormat::R5G6B5: return UnpackR5G6B5(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  case TPixelFormat::Gray8: return TBgra{p[0], p[0], p[0], 255};
  case TPixelFormat::None: break;
  }
  return TBgra{};
}

void TBitmap::SetPixel(int x, int y, TBgra c) {
  QX_ASSERT(x >= 0 && x < m_width, "Pixel out of bitmap");
  uint8_t* p = Scanline(y) + int64_t{x} * PixelBytes();
  uint16_t word = 0;
  switch (m_format) {
  case TPixelFormat::Bgr24: p[0] = c.b, p[1] = c.g, p[2] = c.r; return;
  case TPixelFormat::Bgra32: p[0] = c.b, p[1] = c.g, p[2] = c.r, p[3] = c.a; return;
  case TPixelFormat::X1R5G5B5: word = PackX1R5G5B5(c.r, c.g, c.b); break;
  case TPixelFormat::R5G6B5: word = PackR5G6B5(c.r, c.g, c.b); break;
  case TPixelFormat::Gray8: p[0] = Luminance(c); return;
  case TPixelFormat::None: return;
  }
  p[0] = static_cast<uint8_t>(word);
  p[1] = static_cast<uint8_t>(word >> 8);
}

void TBitmap::Fill(TBgra color) {
  if (IsEmpty())
    return;
  SetPixel(0, 0, color);
  const int bytes = PixelBytes();
  uint8_t pixel[4];
  std::memcpy(pixel, m_bits, static_cast<size_t>(bytes));
  for (int y = 0; y < m_height; ++y) {
    uint8_t* row = Scanline(y);
    if (bytes == 1) {
      std::memset(row, pixel[0], static_cast<size_t>(m_width));
      continue;
    }
    for (int x = 0; x < m_width; ++x, row += bytes)
      std::memcpy(row, pixel, static_cast<size_t>(bytes));
  }
}

void TBitmap::Draw(const TBitmap& source, int x, int y) {
  QX_ASSERT(source.Format() == m_format, "Invalid Combination Of Bitmap Parameters");
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + source.Width(), m_width));
  const int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + source.Height(), m_height));
  if (left >= right || top >= bottom)
    return;
  const int bytes = PixelBytes();
  for (int row = top; row < bottom; ++row)
    std::memmove(Scanline(row) + int64_t{left} * bytes, source.Scanline(row - y) + int64_t{left - x} * bytes,
                 static_cast<size_t>(right - left) * bytes);
}

bool TBitmap::SamePixels(const TBitmap& other) const {
  if (m_width != other.m_width || m_height != other.m_height || m_format != other.m_format)
    return false;
  const size_t rowBytes = static_cast<size_t>(m_width) * PixelBytes();
  for (int y = 0; y < m_height; ++y)
    if (std::memcmp(Scanline(y), other.Scanline(y), rowBytes) != 0)
      return false;
  return true;
}

} // namespace qx
