// Fuzz target of contour curves: the serialised curve (big-endian point
// count and x, y pairs) and the serialised preset (name length, name, curve)
// of drop-shadow contours, and the lookup table the points produce.
//
// Promises checked: data is taken (2 .. 255 points within 0 .. 255) or
// rejected, leaving the identity curve; a taken curve's table passes through
// every control point whose x is its own; saving and loading again gives
// the same points and table, for curves and presets alike.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "VmoLib2/qxContourCurves.h"

#include <map>

namespace {

using namespace qx;

bool IsIdentity(const TCurvesData& curve) {
  for (int x = 0; x < 256; ++x)
    if (curve[x] != x)
      return false;
  return curve.Points() == std::vector<TCurvePoint>{{0, 0}, {255, 255}};
}

void CheckTaken(const TCurvesData& curve) {
  const std::vector<TCurvePoint>& points = curve.Points();
  FUZZ_CHECK(points.size() >= kMinCurvePoints && points.size() <= kMaxCurvePoints);
  std::map<int, int> uses;
  for (const TCurvePoint& point : points) {
    FUZZ_CHECK(point.X >= 0 && point.X <= kMaxCurveCoordinate && point.Y >= 0 && point.Y <= kMaxCurveCoordinate);
    ++uses[point.X];
  }
  for (const TCurvePoint& point : points)
    if (uses[point.X] == 1)
      FUZZ_CHECK(curve[point.X] == point.Y);
  FUZZ_CHECK(curve.Table() == BuildCurveTable(points));
}

void CheckCurve(const std::string& bytes) {
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  TCurvesData curve;
  bool taken = false;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(taken = curve.LoadFromStream(*stream)));
  FUZZ_CHECK(curve.PresetIndex() == kLinearContourPreset);
  if (!taken) {
    FUZZ_CHECK(IsIdentity(curve));
    return;
  }
  CheckTaken(curve);
  TMemoryStream saved;
  curve.SaveToStream(saved);
  saved.SetPosition(0);
  TCurvesData again;
  FUZZ_CHECK(again.LoadFromStream(saved));
  FUZZ_CHECK(again.Points() == curve.Points() && again.Table() == curve.Table());
  FUZZ_CHECK(saved.GetPosition() == saved.GetSize());
}

void CheckPreset(const std::string& bytes) {
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  TCurvesData curve;
  std::string name;
  bool taken = false;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(taken = curve.LoadPresetFromStream(*stream, name)));
  if (!taken) {
    FUZZ_CHECK(IsIdentity(curve));
    return;
  }
  CheckTaken(curve);
  TMemoryStream saved;
  curve.SavePresetToStream(saved, name);
  saved.SetPosition(0);
  TCurvesData again;
  std::string nameAgain;
  FUZZ_CHECK(again.LoadPresetFromStream(saved, nameAgain));
  FUZZ_CHECK(nameAgain == name);
  FUZZ_CHECK(again.Points() == curve.Points() && again.Table() == curve.Table());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  CheckCurve(bytes);
  CheckPreset(bytes);

  // A preset index from the input: the presets, or the identity outside them.
  TCurvesData chosen;
  const int index = size > 0 ? static_cast<int8_t>(data[0]) : 0;
  chosen.SetPresetIndex(index);
  if (index >= 0 && index < kContourPresetCount) {
    FUZZ_CHECK(chosen.PresetIndex() == index);
    CheckTaken(chosen);
  } else {
    FUZZ_CHECK(chosen.PresetIndex() == kNoContourPreset);
    FUZZ_CHECK(IsIdentity(chosen));
  }
  return 0;
}
