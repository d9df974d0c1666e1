#include "QxLib/Graphics/qxMipFilter.h"

#include "QxLib/Graphics/qxBitmapConvert.h"

#include <algorithm>
#include <vector>

namespace qx {

TBitmap HalveBitmap(const TBitmap& source, bool withAlpha) {
  QX_ASSERT(!source.IsEmpty(), "Invalid Combination Of Bitmap Parameters");
  const TPixelFormat format = withAlpha ? TPixelFormat::Bgra32 : TPixelFormat::Bgr24;
  if (source.Format() != format)
    return HalveBitmap(ConvertBitmap(source, format), withAlpha);

  const int channels = source.PixelBytes();
  const int sw = source.Width();
  const int sh = source.Height();
  const int dw = (sw + 1) / 2;
  const int dh = (sh + 1) / 2;
  TBitmap result = TBitmap::Uninitialized(dw, dh, format);

  // The filter is separable: the vertical 1-2-1 sums of the three source
  // rows are formed first for every source column (plus a clamped column on
  // each side), then combined horizontally. The total is the exact 3 x 3
  // weighted sum, so truncating it once gives the same result.
  const int paddedWidth = sw + 2;
  std::vector<uint16_t> column(static_cast<size_t>(paddedWidth) * channels);
  for (int y = 0; y < dh; ++y) {
    const int cy = 2 * y;
    const uint8_t* r0 = source.Scanline(std::max(cy - 1, 0));
    const uint8_t* r1 = source.Scanline(std::min(cy, sh - 1));
    const uint8_t* r2 = source.Scanline(std::min(cy + 1, sh - 1));
    uint16_t* v = column.data() + channels;
    const int rowBytes = sw * channels;
    for (int i = 0; i < rowBytes; ++i)
      v[i] = static_cast<uint16_t>(r0[i] + 2 * r1[i] + r2[i]);
    for (int c = 0; c < channels; ++c) {
      column[static_cast<size_t>(c)] = v[c];
      v[rowBytes + c] = v[rowBytes - channels + c];
    }
    uint8_t* d = result.Scanline(y);
    // Column 2x of the source sits at padded index 2x + 1.
    for (int x = 0; x < dw; ++x) {
      const uint16_t* left = column.data() + static_cast<size_t>(2 * x) * channels;
      const uint16_t* mid = left + channels;
      const uint16_t* right = mid + channels;
      for (int c = 0; c < channels; ++c)
        d[x * channels + c] = static_cast<uint8_t>((left[c] + 2 * mid[c] + right[c]) >> 4);
    }
  }
  return result;
}

} // namespace qx
