#include "VmoLib2/qxContourCurves.h"

#include "QxLib/qxMemoryStream.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace qx {

namespace {

struct TPresetDefinition {
  std::string_view Name;
  std::initializer_list<TCurvePoint> Points;
};

const TPresetDefinition kPresets[kContourPresetCount] = {
    {"Linear", {{0, 0}, {255, 255}}},
    {"Cone", {{0, 0}, {128, 255}, {255, 0}}},
    {"Cone - Inverted", {{0, 255}, {128, 0}, {255, 255}}},
    {"Cove - Deep", {{1, 63}, {148, 110}, {192, 255}}},
    {"Cove - Shallow", {{0, 127}, {83, 174}, {128, 255}}},
    {"Gaussian", {{0, 0}, {63, 11}, {113, 63}, {146, 194}, {191, 241}, {255, 255}}},
    {"Half Round", {{0, 0}, {27, 84}, {81, 178}, {173, 236}, {255, 255}}},
    {"Ring", {{0, 0}, {86, 255}, {172, 0}, {255, 255}}},
    {"Ring - Double", {{0, 0}, {48, 255}, {105, 0}, {158, 253}, {214, 1}, {255, 255}}},
    {"Tooth", {{0, 0}, {64, 127}, {128, 1}, {193, 127}, {255, 0}}},
};

// Each spline segment is sampled in this many steps of equal parameter.
constexpr int kSegmentSteps = 1000;

bool ValidPresetIndex(int index) { return index >= 0 && index < kContourPresetCount; }

uint8_t ClampByte(double value) { return static_cast<uint8_t>(std::clamp(std::nearbyint(value), 0.0, 255.0)); }

// Writes the Catmull-Rom segment from p1 to p2 (neighbours p0 and p3) into
// the table, stepping the cubic by forward differences.
void DrawSegment(TCurveTable& table, TCurvePoint p0, TCurvePoint p1, TCurvePoint p2, TCurvePoint p3) {
  struct TCubic {
    double f, d1, d2, d3;
  };
  const double h = 1.0 / kSegmentSteps;
  const auto start = [h](double v0, double v1, double v2, double v3) {
    const double a = 0.5 * (-v0 + 3 * v1 - 3 * v2 + v3);
    const double b = 0.5 * (2 * v0 - 5 * v1 + 4 * v2 - v3);
    const double c = 0.5 * (-v0 + v2);
    return TCubic{v1, a * h * h * h + b * h * h + c * h, 6 * a * h * h * h + 2 * b * h * h, 6 * a * h * h * h};
  };
  TCubic x = start(p0.X, p1.X, p2.X, p3.X);
  TCubic y = start(p0.Y, p1.Y, p2.Y, p3.Y);
  for (int step = 0; step <= kSegmentSteps; ++step) {
    table[ClampByte(x.f)] = ClampByte(y.f);
    for (TCubic* c : {&x, &y}) {
      c->f += c->d1;
      c->d1 += c->d2;
      c->d2 += c->d3;
    }
  }
}

bool PointsValid(std::span<const TCurvePoint> points) {
  if (points.size() < kMinCurvePoints || points.size() > kMaxCurvePoints)
    return false;
  return std::all_of(points.begin(), points.end(), [](const TCurvePoint& p) {
    return p.X >= 0 && p.X <= kMaxCurveCoordinate && p.Y >= 0 && p.Y <= kMaxCurveCoordinate;
  });
}

// Reads up to `count` bytes; fewer at the end of the stream.
std::string ReadUpTo(TStream& stream, int64_t count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  const int64_t got = stream.Read(bytes.data(), count);
  bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  return bytes;
}

int BigEndian16(const std::string& bytes, size_t at) {
  return (static_cast<uint8_t>(bytes[at]) << 8) | static_cast<uint8_t>(bytes[at + 1]);
}

void WriteBigEndian16(TStream& stream, int value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  stream.WriteBuffer(bytes, 2);
}

} // namespace

std::string_view ContourPresetName(int index) {
  return ValidPresetIndex(index) ? kPresets[index].Name : std::string_view();
}

std::string ContourPresetData(int index) {
  if (!ValidPresetIndex(index))
    return {};
  const TPresetDefinition& preset = kPresets[index];
  TCurvesData curve;
  curve.SetPoints(std::span(preset.Points.begin(), preset.Points.size()));
  TMemoryStream stream;
  curve.SavePresetToStream(stream, preset.Name);
  stream.SetPosition(0);
  return stream.ReadAll();
}

TCurveTable BuildCurveTable(std::span<const TCurvePoint> points) {
  TCurveTable table;
  for (size_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<uint8_t>(i);
  std::vector<TCurvePoint> kept;
  kept.reserve(points.size());
  for (const TCurvePoint& p : points) {
    if (kept.empty() || kept.back().X != p.X)
      kept.push_back(p);
  }
  if (kept.empty())
    return table;

  const size_t last = kept.size() - 1;
  for (size_t i = 0; i < last; ++i) {
    const TCurvePoint p0 = kept[i == 0 ? 0 : i - 1];
    const TCurvePoint p3 = kept[i + 1 == last ? last : i + 2];
    DrawSegment(table, p0, kept[i], kept[i + 1], p3);
  }
  for (int x = 0; x < kept.front().X; ++x)
    table[static_cast<size_t>(x)] = static_cast<uint8_t>(kept.front().Y);
  for (int x = kept.back().X + 1; x <= kMaxCurveCoordinate; ++x)
    table[static_cast<size_t>(x)] = static_cast<uint8_t>(kept.back().Y);
  for (const TCurvePoint& p : kept)
    table[static_cast<size_t>(p.X)] = static_cast<uint8_t>(p.Y);
  return table;
}

TCurvesData::TCurvesData() { Reset(); }

void TCurvesData::Reset() {
  m_points = {{0, 0}, {kMaxCurveCoordinate, kMaxCurveCoordinate}};
  BuildTable();
}

void TCurvesData::BuildTable() { m_table = BuildCurveTable(m_points); }

bool TCurvesData::SetPoints(std::span<const TCurvePoint> points) {
  if (!PointsValid(points)) {
    Reset();
    return false;
  }
  m_points.assign(points.begin(), points.end());
  BuildTable();
  return true;
}

void TCurvesData::SetPresetIndex(int index) {
  if (!ValidPresetIndex(index)) {
    m_presetIndex = kNoContourPreset;
    Reset();
    return;
  }
  m_presetIndex = index;
  TMemoryStream stream;
  stream.WriteString(ContourPresetData(index));
  stream.SetPosition(0);
  std::string name;
  LoadPresetFromStream(stream, name);
}

bool TCurvesData::LoadFromStream(TStream& stream) {
  const std::string header = ReadUpTo(stream, 2);
  if (header.size() < 2) {
    Reset();
    return false;
  }
  const int count = BigEndian16(header, 0);
  if (count < kMinCurvePoints || count > kMaxCurvePoints) {
    Reset();
    return false;
  }
  const std::string data = ReadUpTo(stream, int64_t{count} * 4);
  if (data.size() < static_cast<size_t>(count) * 4) {
    Reset();
    return false;
  }
  std::vector<TCurvePoint> points(static_cast<size_t>(count));
  for (size_t i = 0; i < points.size(); ++i)
    points[i] = {BigEndian16(data, i * 4), BigEndian16(data, i * 4 + 2)};
  return SetPoints(points);
}

void TCurvesData::SaveToStream(TStream& stream) const {
  WriteBigEndian16(stream, static_cast<int>(m_points.size()));
  for (const TCurvePoint& p : m_points) {
    WriteBigEndian16(stream, p.X);
    WriteBigEndian16(stream, p.Y);
  }
}

bool TCurvesData::LoadPresetFromStream(TStream& stream, std::string& name) {
  name.clear();
  const std::string length = ReadUpTo(stream, 4);
  if (length.size() < 4) {
    Reset();
    return false;
  }
  const int32_t nameLength = static_cast<int32_t>(
      static_cast<uint8_t>(length[0]) | (static_cast<uint8_t>(length[1]) << 8) |
      (static_cast<uint8_t>(length[2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(length[3])) << 24));
  const int64_t left = stream.GetSize() - stream.GetPosition();
  if (nameLength < 0 || nameLength > left) {
    Reset();
    return false;
  }
  name = ReadUpTo(stream, nameLength);
  return LoadFromStream(stream);
}

void TCurvesData::SavePresetToStream(TStream& stream, std::string_view name) const {
  stream.WriteInt32(static_cast<int32_t>(name.size()));
  stream.WriteBuffer(name.data(), static_cast<int64_t>(name.size()));
  SaveToStream(stream);
}

} // namespace qx
