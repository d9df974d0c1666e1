#include "VmoLib2/qxShadow.h"

#include "VmoLib2/qxShadowBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace qx {

namespace {

// Border width per unit of sigma, so that the blurred edge fades out inside
// the picture.
constexpr double kBorderPerSigma = 2.5;

void Poll(const TCancelCallback& cancel) {
  if (cancel && cancel())
    throw EAbort("Shadow production cancelled");
}

[[noreturn]] void RaiseTooSmall() { throw EQxError("Source bitmap too small"); }

// Narrows a 16-bit resampled value back to 8 bits, rounded.
uint8_t ToByte(uint16_t value) { return static_cast<uint8_t>((value + 128) / 257); }

} // namespace

void TDropShadow::SetSigma(double sigma) { m_sigma = sigma > 0 ? sigma : 1.0; }

int TDropShadow::Border() const {
  const double border = std::ceil(kBorderPerSigma * m_sigma);
  // Far beyond any picture size; Execute refuses such a border anyway.
  return border < kMaxPictureSide ? static_cast<int>(border) : static_cast<int>(kMaxPictureSide);
}

TBitmap TDropShadow::BorderedMask(const TBitmap& source, const TCancelCallback& cancel) const {
  const int border = Border();
  const int width = source.Width();
  const int height = source.Height();
  TBitmap mask(width + 2 * border, height + 2 * border, TPixelFormat::Gray8);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = source.Scanline(y);
    uint8_t* dst = mask.Scanline(y + border) + border;
    switch (source.Format()) {
    case TPixelFormat::Gray8: std::memcpy(dst, src, static_cast<size_t>(width)); break;
    case TPixelFormat::Bgra32:
      for (int x = 0; x < width; ++x)
        dst[x] = src[4 * x + 3];
      break;
    default: std::memset(dst, 255, static_cast<size_t>(width)); break;
    }
    Poll(cancel);
  }
  return mask;
}

void TDropShadow::Execute(const TBitmap& source, const TCancelCallback& cancel) {
  m_smallMask = TBitmap();
  m_mask = TBitmap();
  if (source.IsEmpty())
    RaiseTooSmall();
  const double border = std::ceil(kBorderPerSigma * m_sigma);
  CheckPictureSize(static_cast<int64_t>(std::min<double>(source.Width() + 2 * border, 1e12)),
                   static_cast<int64_t>(std::min<double>(source.Height() + 2 * border, 1e12)), TPixelFormat::Bgra32);

  const TBitmap bordered = BorderedMask(source, cancel);
  const int width = bordered.Width();
  const int height = bordered.Height();
  // A sigma below 1 (a strongly reduced shadow picture) would make the
  // "small" mask many times larger than the mask itself; it is kept at the
  // size that sigma 1 gives. The bound is applied before converting, since
  // the quotient of a tiny sigma passes the int range.
  const int smallWidth = static_cast<int>(std::min(std::nearbyint(width / m_sigma) + 1, width + 1.0));
  const int smallHeight = static_cast<int>(std::min(std::nearbyint(height / m_sigma) + 1, height + 1.0));
  if (smallWidth < 2 || smallHeight < 2)
    RaiseTooSmall();

  TBitmap small = TBitmap::Uninitialized(smallWidth, smallHeight, TPixelFormat::Gray8);
  ResampleMaskRows(bordered, smallWidth, smallHeight, [&small, smallWidth](int y, const uint16_t* values) {
    uint8_t* dst = small.Scanline(y);
    for (int x = 0; x < smallWidth; ++x)
      dst[x] = ToByte(values[x]);
  });
  Poll(cancel);

  std::optional<TTransferTable> transfer;
  if (m_curve.PresetIndex() != kLinearContourPreset)
    transfer = BuildTransferTable(m_curve.Table());

  TBitmap mask = TBitmap::Uninitialized(width, height, TPixelFormat::Gray8);
  ResampleMaskRows(small, width, height, [&mask, &transfer, width](int y, const uint16_t* values) {
    uint8_t* dst = mask.Scanline(y);
    if (transfer) {
      for (int x = 0; x < width; ++x)
        dst[x] = (*transfer)[static_cast<size_t>(TransferIndex(values[x]))];
      return;
    }
    for (int x = 0; x < width; ++x)
      dst[x] = ToByte(values[x]);
  });
  m_smallMask = std::move(small);
  m_mask = std::move(mask);
}

TBitmap ColorizeMask(const TBitmap& mask, TBgra color, const TCancelCallback& cancel) {
  QX_ASSERT(mask.Format() == TPixelFormat::Gray8, "ColorizeMask: mask is not 8-bit");
  TBitmap result = TBitmap::Uninitialized(mask.Width(), mask.Height(), TPixelFormat::Bgra32);
  // Alpha for every mask value, computed once.
  uint8_t alpha[256];
  for (int m = 0; m < 256; ++m)
    alpha[m] = static_cast<uint8_t>(m * color.a / 255);
  for (int y = 0; y < mask.Height(); ++y) {
    const uint8_t* src = mask.Scanline(y);
    uint8_t* dst = result.Scanline(y);
    for (int x = 0; x < mask.Width(); ++x) {
      dst[4 * x] = color.b;
      dst[4 * x + 1] = color.g;
      dst[4 * x + 2] = color.r;
      dst[4 * x + 3] = alpha[src[x]];
    }
    Poll(cancel);
  }
  return result;
}

TBitmap TShadowProducer::Produce(const TBitmap& source) {
  m_shadow.Execute(source, m_cancel);
  return ColorizeMask(m_shadow.Mask(), m_color, m_cancel);
}

TBitmap TShadowProducer::Produce(TBitmapStore& store) {
  const std::shared_ptr<const TBitmap> level = store.GetMipLevel(0, TPixelFormat::Bgra32);
  return Produce(*level);
}

} // namespace qx
