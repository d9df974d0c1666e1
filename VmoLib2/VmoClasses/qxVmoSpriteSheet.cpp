#include "VmoLib2/VmoClasses/qxVmoSpriteSheet.h"

#include "QxLib/Graphics/qxBitmapTags.h"
#include "QxLib/qxIniValues.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qx {

bool TImageAnimationParams::Animated() const {
  if (Columns <= 1 && Rows <= 1)
    return false;
  if (Frames() <= 1 || Intervals.empty())
    return false;
  double total = 0;
  for (int32_t i = 0; i < Frames(); ++i)
    total += Interval(i);
  return total > 0;
}

int32_t TImageAnimationParams::Frames() const {
  const int64_t cells = int64_t{std::max(Columns, 1)} * std::max(Rows, 1);
  return static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(FrameCount, cells)));
}

double TImageAnimationParams::Interval(int32_t frame) const {
  if (Intervals.empty())
    return 0;
  return Intervals[std::min(static_cast<size_t>(frame), Intervals.size() - 1)];
}

std::vector<double> ParseFrameIntervals(std::string_view text) {
  std::string list(text);
  std::replace(list.begin(), list.end(), ';', ',');
  std::vector<double> intervals;
  for (const std::string_view item : SplitValueList(list, -1)) {
    if (item.find_first_not_of(" \t") == std::string_view::npos)
      continue;
    double value = 0;
    if (!TryParseFloat(item, value) || !std::isfinite(value) || value < 0)
      value = 0;
    intervals.push_back(value);
  }
  return intervals;
}

void ApplyTilesTag(const TTilesTag& tag, TImageAnimationParams& params) {
  if (tag.FrameCount <= 1)
    return;
  params.Columns = tag.FrameCount;
  params.Rows = 1;
  params.FrameCount = tag.FrameCount;
  params.Intervals = ParseFrameIntervals(tag.Delays);
  if (params.Intervals.empty() && tag.AverageDelay > 0)
    params.Intervals.assign(1, tag.AverageDelay);
}

TAnimationFrame SelectAnimationFrame(const TImageAnimationParams& params, double elapsed) {
  if (!params.Animated() || !(elapsed > 0))
    return {};
  const int32_t frames = params.Frames();
  double total = 0;
  for (int32_t i = 0; i < frames; ++i)
    total += params.Interval(i);

  // Whole passes before the one that holds `elapsed` (which then lies in
  // (0, total] of its pass).
  const double passes = std::ceil(elapsed / total) - 1;
  if (params.Repetitions > 0 && passes >= params.Repetitions)
    return {frames - 1, params.Repetitions};
  const double within = elapsed - passes * total;
  const auto pass = static_cast<int32_t>(std::min(passes, 2147483647.0));

  double sum = params.Interval(0);
  int32_t frame = 0;
  while (sum < within && frame < frames - 1) {
    ++frame;
    sum += params.Interval(frame);
  }
  return {frame, pass};
}

} // namespace qx
