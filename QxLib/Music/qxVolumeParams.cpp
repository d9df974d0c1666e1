#include "QxLib/Music/qxVolumeParams.h"

#include "QxLib/qxIniStorage.h"

#include <algorithm>
#include <climits>
#include <string>

namespace qx {

namespace {

// Per-mille volume difference over a byte distance -> gain change per frame.
constexpr double kSlopeScale = 1000.0 / kMixFrameBytes;

std::string EnvelopeSection(std::string_view section, int32_t envelope, int32_t point) {
  return "Vol_" + std::string(section) + "_" + std::to_string(envelope) + "_" + std::to_string(point);
}

} // namespace

// TVolumeParams

void TVolumeParams::Build(int32_t length) {
  std::vector<TVolumeItem> points = m_points;
  if (!points.empty())
    points.push_back({length, points.back().Volume});
  std::stable_sort(points.begin(), points.end(),
                   [](const TVolumeItem& a, const TVolumeItem& b) { return a.Time < b.Time; });

  m_segments.clear();
  m_segments.reserve(points.size());
  int64_t previousPosition = 0;
  int32_t previousVolume = FirstVolume();
  for (size_t k = 0; k < points.size(); ++k) {
    if (k + 1 < points.size() && points[k + 1].Time == points[k].Time)
      continue;
    TVolumeSegment segment;
    segment.Position = MixBytesOfTime(points[k].Time);
    segment.Level = points[k].Volume / 1000.0;
    const int64_t distance = segment.Position - previousPosition;
    segment.Flat = distance == 0 || points[k].Volume == previousVolume;
    segment.Slope = segment.Flat ? 0.0 : (points[k].Volume - previousVolume) / (static_cast<double>(distance) * 250.0);
    m_segments.push_back(segment);
    previousPosition = segment.Position;
    previousVolume = points[k].Volume;
  }
  if (!m_segments.empty())
    m_segments.back().Last = true;
  Seek(0);
}

double TVolumeParams::GainAt(size_t segment, int64_t position) const {
  const TVolumeSegment& s = m_segments[segment];
  if (s.Flat)
    return s.Level;
  return s.Level - static_cast<double>(s.Position - position) * s.Slope / kMixFrameBytes;
}

void TVolumeParams::SetPastEnd() {
  m_pastEnd = true;
  m_cursor = static_cast<int32_t>(m_segments.size());
  SetGain(0.0);
}

void TVolumeParams::SetGain(double gain) {
  m_gain = gain;
  m_unity = gain > kUnityLow && gain < kUnityHigh;
}

void TVolumeParams::Seek(int64_t position) {
  m_position = position;
  m_pastEnd = false;
  if (m_segments.empty()) {
    m_cursor = 0;
    SetGain(1.0);
    return;
  }
  const auto it = std::upper_bound(m_segments.begin(), m_segments.end(), position,
                                   [](int64_t x, const TVolumeSegment& s) { return x < s.Position; });
  if (it == m_segments.end()) {
    SetPastEnd();
    return;
  }
  m_cursor = static_cast<int32_t>(it - m_segments.begin());
  SetGain(GainAt(static_cast<size_t>(m_cursor), position));
}

TVolumeStep TVolumeParams::Step(int64_t position) {
  if (m_segments.empty())
    return {};
  const size_t count = m_segments.size();
  size_t cursor = static_cast<size_t>(m_cursor);
  if (cursor >= count) {
    m_pastEnd = true;
    return {0.0, true};
  }
  if (position >= m_segments[cursor].Position || position < m_position) {
    Seek(position);
    return {m_pastEnd ? 0.0 : m_segments[static_cast<size_t>(m_cursor)].Slope, m_pastEnd};
  }
  const TVolumeSegment& segment = m_segments[cursor];
  if (position == m_position + kMixFrameBytes)
    SetGain(m_gain + segment.Slope);
  else if (position != m_position)
    SetGain(GainAt(cursor, position));
  m_position = position;
  return {segment.Slope, false};
}

int64_t TVolumeParams::ConstantUntil() const {
  const size_t cursor = static_cast<size_t>(m_cursor);
  if (m_segments.empty() || cursor >= m_segments.size())
    return INT64_MAX;
  const TVolumeSegment& segment = m_segments[cursor];
  return segment.Flat ? segment.Position : m_position + kMixFrameBytes;
}

// TVolumeParamsList

TVolumeParams& TVolumeParamsList::Add(bool isAuto) {
  m_list.emplace_back(isAuto);
  return m_list.back();
}

int32_t TVolumeParamsList::WrittenCount() const {
  return static_cast<int32_t>(std::count_if(m_list.begin(), m_list.end(),
                                            [](const TVolumeParams& v) { return !v.Auto() && v.PointCount() > 0; }));
}

int64_t TVolumeParamsList::PointCount() const {
  int64_t count = 0;
  for (const TVolumeParams& envelope : m_list)
    count += envelope.PointCount();
  return count;
}

bool TVolumeParamsList::Read(const TIniStorage& ini, std::string_view section) {
  const int32_t fadeCount = ini.ReadInteger(section, "FadeCount", 0);
  if (fadeCount < 0 || fadeCount > kMaxFadeCount)
    return false;
  for (int32_t j = 0; j < fadeCount; ++j) {
    TVolumeParams envelope;
    for (int32_t k = 0;; ++k) {
      const TIniSection* const point = ini.FindSection(EnvelopeSection(section, j, k));
      if (!point)
        break;
      const int32_t volume = point->ReadInteger("1", -1);
      if (volume < 0)
        break;
      envelope.AddPoint(point->ReadInteger("0", 0), volume);
    }
    if (envelope.PointCount() == 0)
      break;
    m_list.push_back(std::move(envelope));
  }
  return true;
}

void TVolumeParamsList::Write(TIniStorage& ini, std::string_view section) const {
  ini.WriteInteger(section, "FadeCount", WrittenCount());
  int32_t j = 0;
  for (const TVolumeParams& envelope : m_list) {
    if (envelope.Auto() || envelope.PointCount() == 0)
      continue;
    for (int32_t k = 0; k < envelope.PointCount(); ++k) {
      const std::string name = EnvelopeSection(section, j, k);
      ini.WriteInteger(name, "0", envelope.Points()[static_cast<size_t>(k)].Time);
      ini.WriteInteger(name, "1", envelope.Points()[static_cast<size_t>(k)].Volume);
    }
    ++j;
  }
}

void TVolumeParamsList::BuildAll(int32_t length) {
  if (m_autoFade) {
    std::erase_if(m_list, [](const TVolumeParams& v) { return v.Auto(); });
    TVolumeParams& fade = Add(true);
    fade.AddPoint(0, 0);
    fade.AddPoint(kAutoFadeTime, 1000);
    fade.AddPoint(length - kAutoFadeTime, 1000);
    fade.AddPoint(length, 0);
  }
  for (TVolumeParams& envelope : m_list)
    envelope.Build(length);
}

double TVolumeParamsList::Gain(bool& allUnity) const {
  double gain = 1.0;
  allUnity = true;
  for (const TVolumeParams& envelope : m_list) {
    if (envelope.IsUnity())
      continue;
    gain *= envelope.Gain();
    allUnity = false;
  }
  return gain;
}

void TVolumeParamsList::SeekAll(int64_t position) {
  for (TVolumeParams& envelope : m_list)
    envelope.Seek(position);
}

int64_t TVolumeParamsList::ConstantUntil() const {
  int64_t until = INT64_MAX;
  for (const TVolumeParams& envelope : m_list)
    until = std::min(until, envelope.ConstantUntil());
  return until;
}

bool TVolumeParamsList::StepAll(int64_t position) {
  bool allEnded = !m_list.empty();
  for (TVolumeParams& envelope : m_list)
    allEnded = envelope.Step(position).PastEnd && allEnded;
  return allEnded;
}

} // namespace qx
