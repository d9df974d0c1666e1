#include "VmoLib2/qxShadowBlur.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace qx {

namespace {

// The source taps of one target pixel along one axis: weights for the
// consecutive source pixels from First on. Taps beyond an edge are folded
// onto their mirror pixels, so the range always lies inside the source.
struct TContributors {
  int First = 0;
  std::vector<float> Weight;
};

int Reflect(int index, int size) {
  if (size == 1)
    return 0;
  // Mirror about the first and last pixel until inside; the period is
  // 2 (size - 1).
  const int period = 2 * (size - 1);
  index %= period;
  if (index < 0)
    index += period;
  return index < size ? index : period - index;
}

std::vector<TContributors> ComputeContributors(int sourceSize, int targetSize) {
  const double scale = targetSize == 1 ? 1.0 : static_cast<double>(targetSize - 1) / (sourceSize - 1);
  const double filterScale = std::min(scale, 1.0);
  const double reach = kBSplineSupport / filterScale;
  std::vector<TContributors> result(static_cast<size_t>(targetSize));
  std::vector<double> folded(static_cast<size_t>(sourceSize));
  for (int i = 0; i < targetSize; ++i) {
    const double centre = i / scale;
    const int left = static_cast<int>(std::floor(centre - reach));
    const int right = static_cast<int>(std::ceil(centre + reach));
    int first = sourceSize;
    int last = -1;
    double total = 0;
    for (int j = left; j <= right; ++j) {
      const int at = Reflect(j, sourceSize);
      first = std::min(first, at);
      last = std::max(last, at);
    }
    std::fill(folded.begin() + first, folded.begin() + last + 1, 0.0);
    for (int j = left; j <= right; ++j) {
      const double weight = CubicBSpline((centre - j) * filterScale);
      folded[static_cast<size_t>(Reflect(j, sourceSize))] += weight;
      total += weight;
    }
    // Taps exactly at the filter's reach weigh nothing.
    while (first < last && folded[static_cast<size_t>(first)] <= 0)
      ++first;
    while (last > first && folded[static_cast<size_t>(last)] <= 0)
      --last;
    TContributors& c = result[static_cast<size_t>(i)];
    c.First = first;
    c.Weight.assign(folded.begin() + first, folded.begin() + last + 1);
    for (float& w : c.Weight)
      w = static_cast<float>(w / total);
  }
  return result;
}

// to[x] += weight * from[x] for x < count. Written in blocks of a fixed
// length so that the compiler turns each block into vector instructions.
template <class TSource>
void AddWeighted(float* __restrict to, const TSource* __restrict from, float weight, int count) {
  constexpr int kBlock = 16;
  int x = 0;
  for (; x + kBlock <= count; x += kBlock) {
    for (int k = 0; k < kBlock; ++k)
      to[x + k] += weight * static_cast<float>(from[x + k]);
  }
  for (; x < count; ++x)
    to[x] += weight * static_cast<float>(from[x]);
}

} // namespace

double CubicBSpline(double x) {
  const double a = std::fabs(x);
  if (a < 1)
    return a * a * a / 2 - a * a + 2.0 / 3.0;
  if (a < 2) {
    const double b = 2 - a;
    return b * b * b / 6;
  }
  return 0;
}

void ResampleMaskRows(const TBitmap& mask, int width, int height, const TResampledRowSink& sink) {
  QX_ASSERT(mask.Format() == TPixelFormat::Gray8, "ResampleMask: mask is not 8-bit");
  QX_ASSERT(mask.Width() >= 2 && mask.Height() >= 2 && width >= 1 && height >= 1, "ResampleMask: size too small");
  const int sw = mask.Width();
  const int sh = mask.Height();
  const std::vector<TContributors> across = ComputeContributors(sw, width);
  const std::vector<TContributors> down = ComputeContributors(sh, height);

  std::vector<float> line(static_cast<size_t>(std::max(sw, width)));
  std::vector<uint16_t> values(static_cast<size_t>(width));
  // Resizes one row held in `from` (source width) to the target width.
  const auto resizeRow = [&across, width](const float* from, float* to) {
    for (int x = 0; x < width; ++x) {
      const TContributors& c = across[static_cast<size_t>(x)];
      const float* taps = from + c.First;
      float sum = 0;
      for (size_t t = 0; t < c.Weight.size(); ++t)
        sum += c.Weight[t] * taps[t];
      to[x] = sum;
    }
  };
  const auto emit = [&values, &sink, width](int y, const float* row) {
    constexpr float kToSixteenBits = 65535.0f / 255.0f;
    for (int x = 0; x < width; ++x)
      values[static_cast<size_t>(x)] =
          static_cast<uint16_t>(std::clamp(row[x] * kToSixteenBits + 0.5f, 0.0f, 65535.0f));
    sink(y, values.data());
  };

  if (height <= sh) {
    // Shrinking: columns first, one target row at a time, so that the long
    // filter runs over whole rows and no intermediate picture is needed.
    std::vector<float> resized(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
      std::fill(line.begin(), line.begin() + sw, 0.0f);
      const TContributors& c = down[static_cast<size_t>(y)];
      for (size_t t = 0; t < c.Weight.size(); ++t) {
        const float w = c.Weight[t];
        AddWeighted(line.data(), mask.Scanline(c.First + static_cast<int>(t)), w, sw);
      }
      resizeRow(line.data(), resized.data());
      emit(y, resized.data());
    }
    return;
  }

  // Enlarging: rows first, then columns accumulating whole rows.
  const auto rows = std::make_unique_for_overwrite<float[]>(static_cast<size_t>(sh) * width);
  for (int y = 0; y < sh; ++y) {
    const uint8_t* src = mask.Scanline(y);
    std::copy(src, src + sw, line.begin());
    resizeRow(line.data(), rows.get() + static_cast<size_t>(y) * width);
  }
  for (int y = 0; y < height; ++y) {
    std::fill(line.begin(), line.begin() + width, 0.0f);
    const TContributors& c = down[static_cast<size_t>(y)];
    for (size_t t = 0; t < c.Weight.size(); ++t) {
      const float w = c.Weight[t];
      AddWeighted(line.data(), rows.get() + static_cast<size_t>(c.First + static_cast<int>(t)) * width, w, width);
    }
    emit(y, line.data());
  }
}

std::vector<uint16_t> ResampleMask(const TBitmap& mask, int width, int height) {
  std::vector<uint16_t> result(static_cast<size_t>(width) * height);
  ResampleMaskRows(mask, width, height, [&result, width](int y, const uint16_t* values) {
    std::copy(values, values + width, result.begin() + static_cast<ptrdiff_t>(y) * width);
  });
  return result;
}

TTransferTable BuildTransferTable(const TCurveTable& curve) {
  constexpr double kLast = kTransferTableSize - 1;
  TTransferTable table;
  for (int i = 0; i < kTransferTableSize; ++i) {
    const int g = static_cast<int>(i * 255.0 / kLast);
    const int n = std::min(g + 1, 255);
    // At the top entry both interpolation weights vanish; the curve's last
    // entry is the value there.
    if (n == g) {
      table[static_cast<size_t>(i)] = curve[static_cast<size_t>(g)];
      continue;
    }
    const double value = (curve[static_cast<size_t>(n)] * (i - g * kLast / 255) +
                          curve[static_cast<size_t>(g)] * (n * kLast / 255 - i)) *
                         255 / kLast;
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(std::nearbyint(value), 0.0, 255.0));
  }
  return table;
}

} // namespace qx
