// The virtual sound device: mixes like a sound card, but its clock is
// advanced by the caller and what it plays is appended to a WAV file
// (44100 Hz, 16 bits, stereo). Buffers refill and the clock ticks on the
// caller's thread as the clock passes their periods, so the same calls give
// the same bytes on every run. Tests and the headless renderer use it.
#pragma once

#include "QxLib/Music/qxSoftWaveOut.h"
#include "QxLib/qxStream.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TVirtualWaveOutDevice : public TSoftWaveOutDevice {
public:
  // Writes the WAV file into `output` (owned; null discards the sound).
  explicit TVirtualWaveOutDevice(std::unique_ptr<TStream> output = nullptr);
  // Creates the WAV file at `path`; raises EStreamError when it cannot.
  static std::unique_ptr<TVirtualWaveOutDevice> CreateForFile(const std::string& path);
  ~TVirtualWaveOutDevice() override;

  bool IsUsable() override { return true; }
  int64_t NowMs() override { return m_now.load(std::memory_order_acquire); }

  // Plays `ms` milliseconds: millisecond by millisecond the mix of every
  // playing buffer is appended to the file; every 10 ms the clock ticks,
  // every 100 ms each buffer runs its refill cycle, and a stop's fade runs
  // at the next millisecond. Called from one thread at a time.
  void Advance(int32_t ms);

  // Frames appended so far.
  int64_t FramesWritten() const { return m_framesWritten; }

private:
  void WriteHeader();
  void Flush();

  std::unique_ptr<TStream> m_output;
  std::atomic<int64_t> m_now{0};
  int64_t m_framesWritten = 0;
  int64_t m_fileFrames = 0;
  std::vector<int16_t> m_mixed;
};

} // namespace qx
