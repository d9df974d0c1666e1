// The resampling behind the shadow blur: 8-bit masks resized with a cubic
// B-spline filter, and the transfer table through which a contour curve
// reshapes the blurred values.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/qxContourCurves.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace qx {

// Support of the cubic B-spline filter: the weight is 0 from |x| = 2 on.
constexpr double kBSplineSupport = 2.0;

// The cubic B-spline weight: (2 - |x|)^3 / 6 for 1 <= |x| < 2,
// |x|^3 / 2 - x^2 + 2/3 for |x| < 1, 0 beyond.
double CubicBSpline(double x);

// Resamples the Gray8 `mask` to width x height in two separable passes
// (columns first when shrinking vertically, rows first otherwise). The first and last pixels of source and target line
// up (the scale is (target - 1) / (source - 1)); when shrinking, the filter
// is widened by the inverse scale. Taps beyond an edge reflect about the
// edge pixel, and each pixel's weights are normalised to sum 1. Values come
// back as 16-bit numbers, 65535 standing for mask value 255, row by row.
// The mask must be at least 2 x 2 and the target at least 1 x 1
// (assertion otherwise).
std::vector<uint16_t> ResampleMask(const TBitmap& mask, int width, int height);

// Receives row y of a resampled mask as `width` 16-bit values; the values
// are only valid during the call.
using TResampledRowSink = std::function<void(int y, const uint16_t* values)>;

// ResampleMask handing each target row to `sink` in turn instead of
// building the whole result.
void ResampleMaskRows(const TBitmap& mask, int width, int height, const TResampledRowSink& sink);

// Entries of the transfer table, indexed by a 16-bit value scaled to 0..4095.
constexpr int kTransferTableSize = 4096;
using TTransferTable = std::array<uint8_t, kTransferTableSize>;

// The transfer table of a curve: entry i interpolates linearly between the
// curve's entries around i * 255 / 4095, rounded.
TTransferTable BuildTransferTable(const TCurveTable& curve);

// The transfer table entry a 16-bit value selects: round(v * 4095 / 65535).
inline int TransferIndex(uint16_t value) { return (value * (kTransferTableSize - 1) + 32767) / 65535; }

} // namespace qx
