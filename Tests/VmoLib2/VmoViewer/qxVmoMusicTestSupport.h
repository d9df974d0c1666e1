// Sound files and shows for the tests of the music timeline: PCM files whose
// samples tell the file position they come from, loose projects with music,
// and the reading of what the virtual device wrote.
#pragma once

#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qx::test {

// Frames of the mixing format per millisecond.
inline constexpr double kFramesPerMs = 44.1;

// A stereo 16-bit 44100 Hz file whose frame n holds L = (n >> 4) - 16000 and
// R = (n & 15) * 1000 - 7500, so that any frame played at unity gain tells
// its position in the file.
inline std::string PositionWave(int32_t ms) {
  const int32_t frames = static_cast<int32_t>(ms * kFramesPerMs);
  std::vector<int16_t> samples;
  samples.reserve(static_cast<size_t>(frames) * 2);
  for (int32_t n = 0; n < frames; ++n) {
    samples.push_back(static_cast<int16_t>((n >> 4) - 16000));
    samples.push_back(static_cast<int16_t>((n & 15) * 1000 - 7500));
  }
  return MakeWave(MakePcmFormat(44100, 16, 2), Samples16(samples));
}

// The file position a frame of PositionWave stands for, when it was played
// unchanged.
inline std::optional<int32_t> FramePosition(int16_t left, int16_t right) {
  const int32_t fine = right + 7500;
  if (fine < 0 || fine > 15000 || fine % 1000 != 0 || left < -16000 || left > 16767)
    return std::nullopt;
  return ((left + 16000) << 4) + fine / 1000;
}

// A stereo 16-bit 44100 Hz file of one constant value (both channels).
inline std::string ConstantWave(int32_t ms, int16_t value) {
  const size_t frames = static_cast<size_t>(ms * kFramesPerMs);
  return MakeWave(MakePcmFormat(44100, 16, 2), Samples16(std::vector<int16_t>(frames * 2, value)));
}

// The samples (interleaved stereo) of a WAV file the virtual device wrote.
inline std::vector<int16_t> WaveSamples(const std::string& file) {
  constexpr size_t kHeader = 44;
  if (file.size() < kHeader)
    return {};
  return ToSamples16(file.substr(kHeader));
}

} // namespace qx::test
