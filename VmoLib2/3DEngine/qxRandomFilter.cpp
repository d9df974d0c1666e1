#include "VmoLib2/3DEngine/qxRandomFilter.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace qx {

namespace {

constexpr int kScaleLimit = 100;
constexpr int kFallbackScale = 1000;
constexpr int kScaleUnit = 100;
// Steps over which one cell fades in.
constexpr int kFadeSteps = 256;
constexpr int kOpaque = 255;
constexpr uint32_t kMultiplier = 1664525u;
constexpr uint32_t kIncrement = 1013904223u;
constexpr uint32_t kOneBits = 0x3F800000u;
constexpr uint32_t kMantissa = 0x007FFFFFu;

} // namespace

float NextMosaicRandom(uint32_t& state) {
  state = state * kMultiplier + kIncrement;
  return std::bit_cast<float>(kOneBits | (state & kMantissa)) - 1.0f;
}

TRandomFilter::TRandomFilter(int effectClass, int variant, const TEffectParams& params)
    : TDrawFilter(effectClass, variant, params), m_columns(std::clamp(params.MosaicDX, 1, kMaxCellsPerSide)),
      m_rows(std::clamp(params.MosaicDY, 1, kMaxCellsPerSide)),
      m_scale(params.MosaicSC < kScaleLimit ? std::max(params.MosaicSC, 0) : kFallbackScale),
      m_seed(static_cast<uint32_t>(params.Seed)) {}

void TRandomFilter::ComputeGeometry() {
  m_thresholds.resize(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows));
  uint32_t state = m_seed;
  const double range = static_cast<double>(m_scale) * kScaleUnit;
  for (int32_t& threshold : m_thresholds) {
    threshold = static_cast<int32_t>(std::trunc(NextMosaicRandom(state) * range));
  }
}

int64_t TRandomFilter::Step() const {
  return static_cast<int64_t>(std::trunc(Phase() * (static_cast<double>(m_scale) * kScaleUnit + kFadeSteps))) -
         kFadeSteps;
}

int TRandomFilter::CellAlpha(int index) const {
  const int64_t d = m_thresholds[static_cast<size_t>(index)] - Step();
  if (d >= kOpaque) {
    return 0;
  }
  return d < 0 ? kOpaque : static_cast<int>(kOpaque - d);
}

void TRandomFilter::Draw(TEffController& controller) {
  const TPixelRect& target = TargetRect();
  if (target.Width() <= 0 || target.Height() <= 0 || m_thresholds.empty()) {
    return;
  }
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  const double cellWidth = static_cast<double>(target.Width()) / m_columns;
  const double cellHeight = static_cast<double>(target.Height()) / m_rows;
  for (int row = 0; row < m_rows; ++row) {
    const double top = target.Top + row * cellHeight;
    const double bottom = row + 1 == m_rows ? target.Bottom : target.Top + (row + 1) * cellHeight;
    for (int column = 0; column < m_columns; ++column) {
      const int alpha = CellAlpha(row * m_columns + column);
      if (alpha <= 0) {
        continue;
      }
      const double left = target.Left + column * cellWidth;
      const double right = column + 1 == m_columns ? target.Right : target.Left + (column + 1) * cellWidth;
      const double a = alpha;
      area.AddTriangle({left, top, a}, {right, top, a}, {left, bottom, a});
      area.AddTriangle({right, top, a}, {right, bottom, a}, {left, bottom, a});
    }
  }
  area.Flush();
}

} // namespace qx
