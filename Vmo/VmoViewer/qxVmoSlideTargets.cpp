#include "Vmo/VmoViewer/qxVmoSlideTargets.h"

#include "VmoLib2/VmoClasses/qxVmoSource2.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qx {

namespace {

int32_t Round(double time) {
  const double rounded = std::nearbyint(time);
  return static_cast<int32_t>(std::clamp(rounded, 0.0, static_cast<double>(std::numeric_limits<int32_t>::max())));
}

TSlideTimes TimesOf(const TVmoSource& source, int index) {
  TSlideTimes times;
  source.GetSlideTimes(index, times);
  return times;
}

bool NoRepeat(const TVmoSource& source) { return source.EndMode() != TEndMode::Repeat; }

// The point of slide `index` where its transition is done; 0 before the
// first slide.
double VisiblePoint(const TVmoSource& source, int index) {
  if (index < 0)
    return 0;
  const TSlideTimes times = TimesOf(source, index);
  return times.SlideStart + times.InEffect;
}

} // namespace

int32_t SlideStartTime(const TVmoSource& source, int index) {
  if (source.SlideCount() <= 0)
    return 0;
  index = std::max(index, 0);
  const TSlideTimes times = TimesOf(source, index);
  const bool afterLast = NoRepeat(source) && index >= source.SlideCount();
  int32_t start = Round(times.SlideStart);
  if (times.InEffect == 0 && !afterLast)
    ++start;
  return start;
}

int32_t NextSlideTime(const TVmoSource& source, double position, bool paused) {
  const int count = source.SlideCount();
  if (count <= 0)
    return 0;
  const int cap = NoRepeat(source) ? count - 1 : std::numeric_limits<int>::max() - 1;
  int index = std::min(source.FindSlide(position), cap);
  TSlideTimes times = TimesOf(source, index);
  // One pass of the slides always gets past the position, unless the show
  // has no length at all.
  for (int steps = 0; steps <= count && index < cap && !(Round(times.SlideStart) > position); ++steps) {
    ++index;
    times = TimesOf(source, index);
  }
  if (times.InEffect > 0)
    return Round(paused ? times.SlideStart + times.InEffect : times.SlideStart);
  return Round(times.SlideStart) + 1;
}

int32_t PreviousSlideTime(const TVmoSource& source, double position) {
  if (source.SlideCount() <= 0)
    return 0;
  int index = source.FindSlide(position);
  if (index >= 0 && position < TimesOf(source, index).SlideEnd)
    --index;
  if (index < 0)
    return 0;
  double target = VisiblePoint(source, index);
  if (position - target < kPreviousSlideGraceMs)
    target = VisiblePoint(source, index - 1);
  return Round(target);
}

int32_t NamedSlideTime(const TVmoSource& source, std::string_view name) {
  const TSlideInfoList& slides = source.Slides();
  for (size_t i = 0; i < slides.size(); ++i) {
    if (slides[i].SlideName == name)
      return SlideStartTime(source, static_cast<int>(i));
  }
  return SlideStartTime(source, 0);
}

int SlideIndexAt(const TVmoSource& source, double position) {
  const int count = source.SlideCount();
  if (count <= 0)
    return 0;
  const int index = std::max(source.FindSlide(position), 0);
  return index % count;
}

} // namespace qx
