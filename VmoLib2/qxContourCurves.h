// Contour curves: the 0..255 -> 0..255 curves that reshape the blurred mask
// of a drop shadow, their serialised forms and the ten built-in presets.
#pragma once

#include "QxLib/qxStream.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

struct TCurvePoint {
  int X = 0;
  int Y = 0;

  bool operator==(const TCurvePoint&) const = default;
};

// Number of built-in presets; preset indices run 0 .. kContourPresetCount - 1.
constexpr int kContourPresetCount = 10;
// Index of the preset "Linear", which leaves a mask unchanged.
constexpr int kLinearContourPreset = 0;
// The preset index of a curve chosen by an index outside the presets.
constexpr int kNoContourPreset = -1;

// A serialised curve holds 2 .. 255 points, each coordinate 0 .. 255.
constexpr int kMinCurvePoints = 2;
constexpr int kMaxCurvePoints = 255;
constexpr int kMaxCurveCoordinate = 255;

using TCurveTable = std::array<uint8_t, 256>;

// The name of preset `index` ("Linear", "Cone", ...); "" outside the presets.
std::string_view ContourPresetName(int index);

// Preset `index` in the serialised preset form (int32 little-endian name
// length, the name, then the serialised curve); "" outside the presets.
std::string ContourPresetData(int index);

// A contour curve: its points, the lookup table they produce and the preset
// it came from. A new curve is the identity with preset index 0.
class TCurvesData {
public:
  TCurvesData();

  int PresetIndex() const { return m_presetIndex; }
  const std::vector<TCurvePoint>& Points() const { return m_points; }
  const TCurveTable& Table() const { return m_table; }
  uint8_t operator[](int x) const { return m_table[static_cast<size_t>(x)]; }

  // Loads preset `index`; an index outside the presets gives the identity
  // curve with preset index kNoContourPreset.
  void SetPresetIndex(int index);

  // Sets the points (first, middle ones, last) and rebuilds the table. Too
  // few or too many points, or a coordinate outside 0 .. 255, rejects them:
  // the curve becomes the identity and false is returned. The preset index
  // is left as it is.
  bool SetPoints(std::span<const TCurvePoint> points);

  // Makes the identity curve ((0,0) (255,255)); the preset index is kept.
  void Reset();

  // Reads a serialised curve: big-endian uint16 point count, then big-endian
  // uint16 x, y pairs. A count outside 2 .. 255, a coordinate outside
  // 0 .. 255 or data ending early rejects it: the curve becomes the identity
  // and false is returned. The stream is left after the data read.
  bool LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  // The same for the serialised preset form; `name` receives the preset's
  // name. A name length that is negative or runs past the stream's end
  // rejects the data like a bad curve.
  bool LoadPresetFromStream(TStream& stream, std::string& name);
  void SavePresetToStream(TStream& stream, std::string_view name) const;

private:
  void BuildTable();

  int m_presetIndex = kLinearContourPreset;
  std::vector<TCurvePoint> m_points;
  TCurveTable m_table{};
};

// Builds the 256-entry table of a curve through `points` (already checked):
// Catmull-Rom segments between consecutive points of distinct x, sampled by
// forward differencing; the flat ends take the end points' y and every
// control point is finally written exactly.
TCurveTable BuildCurveTable(std::span<const TCurvePoint> points);

} // namespace qx
