#include "QxLib/Graphics/qxResample.h"

#include "QxLib/Graphics/qxBitmapConvert.h"

#include <algorithm>
#include <vector>

namespace qx {

namespace {

// One source sample position along an axis: the two neighbours and the
// weight of the second in 1/256.
struct TTap {
  int i0;
  int i1;
  int w1;
};

std::vector<TTap> MakeTaps(int sourceSize, int targetSize) {
  std::vector<TTap> taps(static_cast<size_t>(targetSize));
  const double scale = static_cast<double>(sourceSize) / targetSize;
  for (int i = 0; i < targetSize; ++i) {
    double pos = (i + 0.5) * scale - 0.5;
    pos = std::clamp(pos, 0.0, static_cast<double>(sourceSize - 1));
    const int i0 = static_cast<int>(pos);
    const int i1 = std::min(i0 + 1, sourceSize - 1);
    taps[static_cast<size_t>(i)] = TTap{i0, i1, static_cast<int>((pos - i0) * 256 + 0.5)};
  }
  return taps;
}

} // namespace

TBitmap ResizeBilinear(const TBitmap& source, int width, int height) {
  QX_ASSERT(width > 0 && height > 0 && !source.IsEmpty(), "Invalid Combination Of Bitmap Parameters");
  const TPixelFormat format = source.Format();
  if (format == TPixelFormat::X1R5G5B5 || format == TPixelFormat::R5G6B5)
    return ResizeBilinear(ConvertBitmap(source, TPixelFormat::Bgr24), width, height);
  QX_ASSERT(format == TPixelFormat::Bgr24 || format == TPixelFormat::Bgra32 || format == TPixelFormat::Gray8,
            "Invalid Combination Of Bitmap Parameters");

  const int channels = source.PixelBytes();
  const std::vector<TTap> xs = MakeTaps(source.Width(), width);
  const std::vector<TTap> ys = MakeTaps(source.Height(), height);
  TBitmap result = TBitmap::Uninitialized(width, height, format);
  // Horizontal pass of the two source rows, kept in 1/256 units.
  std::vector<int> row0(static_cast<size_t>(width) * channels);
  std::vector<int> row1(row0.size());
  auto horizontal = [&](int sy, std::vector<int>& out) {
    const uint8_t* s = source.Scanline(sy);
    for (int x = 0; x < width; ++x) {
      const TTap& t = xs[static_cast<size_t>(x)];
      const uint8_t* a = s + t.i0 * channels;
      const uint8_t* b = s + t.i1 * channels;
      for (int c = 0; c < channels; ++c)
        out[static_cast<size_t>(x * channels + c)] = a[c] * (256 - t.w1) + b[c] * t.w1;
    }
  };
  int cached0 = -1;
  int cached1 = -1;
  for (int y = 0; y < height; ++y) {
    const TTap& t = ys[static_cast<size_t>(y)];
    if (t.i0 == cached1) {
      std::swap(row0, row1);
      std::swap(cached0, cached1);
    }
    if (t.i0 != cached0) {
      horizontal(t.i0, row0);
      cached0 = t.i0;
    }
    if (t.i1 != cached1) {
      horizontal(t.i1, row1);
      cached1 = t.i1;
    }
    uint8_t* d = result.Scanline(y);
    const size_t n = row0.size();
    for (size_t i = 0; i < n; ++i)
      d[i] = static_cast<uint8_t>((row0[i] * (256 - t.w1) + row1[i] * t.w1 + 32768) >> 16);
  }
  return result;
}

} // namespace qx
