// Fuzz target of speed store texts ("PanSpeed", "ZoomSpeed", "RotateSpeed"):
// key times, intervals with their acceleration and deceleration fractions,
// and the defaults, each field ended by ";".
//
// Promises checked: a text is read, or refused leaving a single key at 0;
// counts stay within 0 .. 10000; the text a store writes reads back to the
// same store and the same text; the speed profile of every interval starts
// at its first value, ends at its last and stays finite in between.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "VmoLib2/qxSpeedStorage.h"

#include <cmath>

namespace {

using namespace qx;

void CheckProfile(const TSmoothing& smoothing) {
  constexpr float kFrom = -40;
  constexpr float kTo = 260;
  constexpr float kDuration = 1000;
  FUZZ_CHECK(SpeedProfile(kFrom, kTo, kDuration, smoothing.AccelEnd, smoothing.DecelStart, 0) == kFrom);
  FUZZ_CHECK(SpeedProfile(kFrom, kTo, kDuration, smoothing.AccelEnd, smoothing.DecelStart, kDuration) == kTo);
  if (!std::isfinite(smoothing.AccelEnd) || !std::isfinite(smoothing.DecelStart))
    return;
  for (const float e : {1.0f, 125.0f, 499.5f, 500.0f, 875.0f, 999.0f})
    FUZZ_CHECK(std::isfinite(SpeedProfile(kFrom, kTo, kDuration, smoothing.AccelEnd, smoothing.DecelStart, e)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Bytes(data, size);
  TSpeedStorage store;
  int changes = 0;
  store.SetOnChange([&changes] { ++changes; });
  const bool read = store.LoadFromText(text);
  FUZZ_CHECK(changes == 1);
  if (!read) {
    FUZZ_CHECK(store.KeyTimes() == std::vector<int32_t>{0});
    FUZZ_CHECK(store.Intervals().empty());
    return 0;
  }
  FUZZ_CHECK(store.KeyCount() <= TSpeedStorage::kMaxCount);
  FUZZ_CHECK(store.Intervals().size() <= static_cast<size_t>(TSpeedStorage::kMaxCount));
  FUZZ_CHECK(store.Smoothings().size() == store.Intervals().size());
  for (size_t i = 0; i < store.Intervals().size(); ++i) {
    const TInterval& interval = store.Intervals()[i];
    const TSmoothing& smoothing = store.Smoothings()[i];
    if (store.KeyCount() > 1)
      FUZZ_CHECK(interval.From != interval.To);
    FUZZ_CHECK(smoothing.From == interval.From && smoothing.To == interval.To);
    FUZZ_CHECK(smoothing.Smooths == interval.Smooths());
    CheckProfile(smoothing);
  }

  const std::string saved = store.SaveToText();
  TSpeedStorage again;
  FUZZ_CHECK(again.LoadFromText(saved));
  FUZZ_CHECK(again.KeyTimes() == store.KeyTimes());
  FUZZ_CHECK(again.Intervals().size() == store.Intervals().size());
  for (size_t i = 0; i < store.Intervals().size(); ++i) {
    FUZZ_CHECK(again.Intervals()[i].From == store.Intervals()[i].From);
    FUZZ_CHECK(again.Intervals()[i].To == store.Intervals()[i].To);
    FUZZ_CHECK(static_cast<double>(again.Intervals()[i].AccelEnd) ==
               static_cast<double>(store.Intervals()[i].AccelEnd));
    FUZZ_CHECK(static_cast<double>(again.Intervals()[i].DecelStart) ==
               static_cast<double>(store.Intervals()[i].DecelStart));
  }
  FUZZ_CHECK(again.SaveToText() == saved);
  return 0;
}
