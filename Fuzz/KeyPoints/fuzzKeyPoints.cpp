// Fuzz target of an object's key points as the project text holds them: an
// object block (INI text) with nested "keypoint" blocks ("Time", "Origin",
// the animated values), "PerspectiveCorrection" and the three speed keys,
// then the evaluation of the animation at show times around every key.
//
// Promises checked: every "keypoint" block becomes one key point; the key
// points are in time order with their key times truncated from it; every
// speed store covers the key points; evaluation of any damaged store or any
// time neither fails nor reads outside the key points, and with values and
// times of sensible size it gives finite values.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoClasses/qxKeyPointsLoader.h"

#include <cmath>
#include <vector>

namespace {

using namespace qx;

// The anchors of a slide from 1000 ms to 9000 ms with transitions of 500 and
// 700 ms.
class TSlideAnchors : public TKeyPointList {
public:
  TAnchorTimes AnchorTimes() const override { return {1000, 1500, 9000, 9700}; }
};

// Values beyond this size are allowed to overflow to infinities while
// interpolating; smaller ones must stay finite.
constexpr double kSensible = 1e6;

bool Sensible(double value) { return std::isfinite(value) && std::fabs(value) <= kSensible; }

bool Sensible(const TKeyValues& v) {
  for (const float value : {v.Opacity, v.Angle, v.ScaleX, v.ScaleY, v.Position.X, v.Position.Y, v.ZPos, v.CenterPos.X,
                            v.CenterPos.Y, v.AngleX, v.AngleY, v.Blur})
    if (!Sensible(value))
      return false;
  return true;
}

bool Finite(const TKeyValues& v) {
  for (const float value : {v.Opacity, v.Angle, v.ScaleX, v.ScaleY, v.Position.X, v.Position.Y, v.ZPos, v.CenterPos.X,
                            v.CenterPos.Y, v.AngleX, v.AngleY, v.Blur})
    if (!std::isfinite(value))
      return false;
  return true;
}

const TIniIdentList& ObjectBlock(const TIniStorage& storage) {
  for (const std::string& name : storage.SectionNames()) {
    const TIniSection* section = storage.FindSection(name);
    if (const TIniObject* object = section ? section->FirstObject() : nullptr)
      return *object;
  }
  if (const TIniObject* object = storage.FirstObject())
    return *object;
  return storage;
}

int KeyPointBlocks(const TIniIdentList& block) {
  int count = 0;
  for (const TIniObject* child = block.FirstObject(); child; child = block.NextObject(child))
    if (LowerCase(Trim(child->ClassName())) == kKeyPointClassName)
      ++count;
  return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIniStorage storage;
  if (!FUZZ_RESULT_OR_ERROR(storage.LoadFromString(fuzz::Bytes(data, size))))
    return 0;
  const TIniIdentList& block = ObjectBlock(storage);
  TSlideAnchors list;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(LoadObjectKeyPoints(block, list)));
  FUZZ_CHECK(list.Count() == KeyPointBlocks(block));

  bool sensible = true;
  std::vector<double> times{-1e9, 0, 1e12};
  for (int i = 0; i < list.Count(); ++i) {
    const double time = list.AbsoluteTime(i);
    if (i > 0) {
      FUZZ_CHECK(!(time < list.AbsoluteTime(i - 1)));
      FUZZ_CHECK(list.KeyTime(i) >= list.KeyTime(i - 1));
    }
    if (std::isfinite(time) && std::fabs(time) < 2e9)
      FUZZ_CHECK(list.KeyTime(i) == static_cast<int32_t>(std::trunc(time)));
    sensible = sensible && Sensible(time) && Sensible(list.KeyPoint(i).Values());
    FUZZ_CHECK(list.KeyPoint(i).Values().ScaleX >= TKeyPoint::kMinScale ||
               std::isnan(list.KeyPoint(i).Values().ScaleX));
    times.insert(times.end(), {time, time - 0.5, time + 0.25, std::nextafter(time, -1e300)});
  }
  for (int kind = 0; kind < kSpeedKindCount; ++kind) {
    const TSpeedStorage* store = list.FindStore(static_cast<TSpeedKind>(kind));
    FUZZ_CHECK(store != nullptr);
  }

  for (const double time : times) {
    list.Evaluate(time);
    if (sensible && list.Count() > 0)
      FUZZ_CHECK(Finite(list.Current()));
  }
  return 0;
}
