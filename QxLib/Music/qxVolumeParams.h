// Volume envelopes of composite sound descriptions: the points an author set
// (time in ms relative to the start of an item, level in per-mille), built
// into segments over the byte positions of the mixing format, and the
// running gain that the mixer seeks and steps frame by frame.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qx {

class TIniStorage;

// The mixing format: PCM, 44100 Hz, 16 bits, 2 channels.
inline constexpr int32_t kMixSamplesPerSecond = 44100;
inline constexpr int32_t kMixChannels = 2;
inline constexpr int32_t kMixBitsPerSample = 16;
inline constexpr int32_t kMixFrameBytes = 4;
inline constexpr int32_t kMixBytesPerSecond = kMixSamplesPerSecond * kMixFrameBytes;

// The byte position of a time (ms) in the mixing format, on a whole frame:
// ((t * 176400) div 4000) * 4, truncating towards zero like the rest of the
// time arithmetic of the player.
constexpr int64_t MixBytesOfTime(int64_t ms) {
  return (ms * kMixBytesPerSecond / (1000 * kMixFrameBytes)) * kMixFrameBytes;
}

// One envelope point.
struct TVolumeItem {
  int32_t Time = 0;   // ms, relative to the start of the envelope's item
  int32_t Volume = 0; // per-mille: 1000 = unchanged, 0 = silent
};

// One built segment: the gain reaches Level at byte Position, moving by
// Slope per 4-byte frame over the bytes since the previous segment.
struct TVolumeSegment {
  int64_t Position = 0;
  double Level = 0.0;
  double Slope = 0.0;
  bool Flat = true;
  bool Last = false;
};

// The result of stepping an envelope by one frame.
struct TVolumeStep {
  double Slope = 0.0;
  bool PastEnd = false;
};

// A gain strictly between these bounds counts as exactly 1.
inline constexpr double kUnityLow = 0.99;
inline constexpr double kUnityHigh = 1.01;

// One volume envelope.
class TVolumeParams {
public:
  // An Auto envelope is generated (the 10 ms fades) and is rebuilt on every
  // build; it is never written out.
  explicit TVolumeParams(bool isAuto = false) : m_auto(isAuto) {}

  bool Auto() const { return m_auto; }
  void AddPoint(int32_t time, int32_t volume) { m_points.push_back({time, volume}); }
  int32_t PointCount() const { return static_cast<int32_t>(m_points.size()); }
  const std::vector<TVolumeItem>& Points() const { return m_points; }
  // The first point's volume, 1000 when there are no points.
  int32_t FirstVolume() const { return m_points.empty() ? 1000 : m_points.front().Volume; }

  // Builds the segments for an item of `length` ms: the last point is
  // repeated at `length`, points are sorted by time and of points sharing a
  // time only the last one stays. Leaves the envelope seeked to 0. An
  // envelope without points has no segments and stays at unity for ever.
  void Build(int32_t length);
  const std::vector<TVolumeSegment>& Segments() const { return m_segments; }

  // Sets the gain for the frame at byte position x: level_k - (p_k - x) *
  // slope_k / 4 for the first segment that ends after x; 0 past the last.
  void Seek(int64_t position);
  // Moves to the frame at byte position x and returns the slope now used.
  // The frame right after the last one stepped adds the slope to the gain;
  // a frame in a later segment, or any other jump, takes the exact gain of
  // Seek, so that long runs do not drift across segment borders.
  TVolumeStep Step(int64_t position);
  void SetGain(double gain);

  double Gain() const { return m_gain; }
  bool IsUnity() const { return m_unity; }
  bool PastEnd() const { return m_pastEnd; }
  // Index of the segment last used.
  int32_t Cursor() const { return m_cursor; }
  // The first byte position after the one last sought or stepped at which
  // the gain may change: the end of a flat segment, the next frame in a
  // sloped one; never for an envelope without points or past its end.
  int64_t ConstantUntil() const;

private:
  double GainAt(size_t segment, int64_t position) const;
  void SetPastEnd();

  std::vector<TVolumeItem> m_points;
  std::vector<TVolumeSegment> m_segments;
  double m_gain = 1.0;
  bool m_unity = true;
  bool m_pastEnd = false;
  int32_t m_cursor = 0;
  int64_t m_position = 0;
  bool m_auto = false;
};

// The envelopes of one item (AutoFade: the 10 ms fade in and out is added on
// every build) or the master envelopes of a description.
class TVolumeParamsList {
public:
  // The largest "FadeCount" a description may give.
  static constexpr int32_t kMaxFadeCount = 1000000;
  // Length of the automatic fades (ms).
  static constexpr int32_t kAutoFadeTime = 10;

  explicit TVolumeParamsList(bool autoFade) : m_autoFade(autoFade) {}

  bool AutoFade() const { return m_autoFade; }
  TVolumeParams& Add(bool isAuto = false);
  int32_t Count() const { return static_cast<int32_t>(m_list.size()); }
  bool IsEmpty() const { return m_list.empty(); }
  TVolumeParams& operator[](int32_t index) { return m_list[static_cast<size_t>(index)]; }
  const TVolumeParams& operator[](int32_t index) const { return m_list[static_cast<size_t>(index)]; }
  // Envelopes an author set (those that are not Auto).
  int32_t WrittenCount() const;
  // The points of all envelopes.
  int64_t PointCount() const;

  // Reads "FadeCount" of `section` and the points of envelope j from the
  // sections "Vol_<section>_<j>_<k>" (key "0" time, "1" volume; a missing or
  // negative volume ends the points). Reading stops at the first envelope
  // without points, since one written here never has none. False when
  // "FadeCount" lies outside 0 ... kMaxFadeCount.
  bool Read(const TIniStorage& ini, std::string_view section);
  // Writes "FadeCount" into `section` and the points of every envelope that
  // is not Auto and has points, numbered from 0.
  void Write(TIniStorage& ini, std::string_view section) const;

  // With AutoFade, replaces the Auto envelope by (0, 0), (10, 1000),
  // (L - 10, 1000), (L, 0); then builds every envelope for L ms.
  void BuildAll(int32_t length);
  // Product of the gains of the envelopes that are not at unity; allUnity
  // tells that none was counted.
  double Gain(bool& allUnity) const;
  void SeekAll(int64_t position);
  // Steps every envelope to the frame at byte position x; true when the
  // list has envelopes and all of them are past their end.
  bool StepAll(int64_t position);
  // The first byte position at which the combined gain may change (see
  // TVolumeParams::ConstantUntil): the mixer scales whole runs up to it.
  int64_t ConstantUntil() const;

private:
  std::vector<TVolumeParams> m_list;
  bool m_autoFade;
};

} // namespace qx
