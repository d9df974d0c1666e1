// The software mixer shared by the sound devices: every voice is a ring of
// PCM in its own format (rate, 1 or 2 channels, 8 or 16 bits) played from a
// cursor; the mixer converts each playing voice to the output format
// (44100 Hz, 16 bits, stereo), scales it by its attenuation and sums all of
// them with clipping, the way a sound card mixes its secondary buffers.
#pragma once

#include "QxLib/Music/qxMediaInfo.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace qx {

// One voice. Its counters and ring contents are guarded by the mixer's lock
// once the voice is added.
class TSoftVoice {
public:
  // A ring of `ringBytes` (whole frames) of `format`, filled with silence.
  TSoftVoice(const TPcmFormat& format, int32_t ringBytes);

  const TPcmFormat& Format() const { return m_format; }
  int32_t RingSize() const { return static_cast<int32_t>(m_ring.size()); }
  uint8_t* Ring() { return m_ring.data(); }
  // The silence byte of the format (128 for 8-bit data, 0 otherwise).
  uint8_t SilenceByte() const { return m_format.BitsPerSample == 8 ? 128 : 0; }

  // Copies bytes into the ring at the byte position `at` (counted like
  // Written, wrapping around the ring).
  void Put(int64_t at, const uint8_t* data, int32_t count);
  // Copies bytes out of the ring from the byte position `at`.
  void Get(int64_t at, uint8_t* data, int32_t count);

  // Bytes the mixer has consumed since the voice started.
  int64_t Played = 0;
  // Bytes of valid data since the voice started; what lies beyond is played
  // as silence (a late refill is heard as a gap, never as old data).
  int64_t Written = 0;
  bool Playing = false;
  // A voice whose data is known to be silence only moves its cursor.
  bool Silent = false;
  int32_t GainQ16 = 65536;

private:
  friend class TSoftMixer;

  // The ring part(s) that hold positions [from, from + count): at most two
  // pieces because of the wrap; returns the piece count.
  int Pieces(int64_t from, int32_t count, uint8_t* pointers[2], int32_t counts[2]);

  TPcmFormat m_format;
  std::vector<uint8_t> m_ring;
  uint64_t m_step; // source frames per output frame, 32.32 fixed point
  uint32_t m_fraction = 0;
};

class TSoftMixer {
public:
  static constexpr int32_t kOutputRate = 44100;

  TSoftMixer() = default;
  TSoftMixer(const TSoftMixer&) = delete;
  TSoftMixer& operator=(const TSoftMixer&) = delete;

  // Guards the voice list and every voice's counters and ring.
  std::mutex& Lock() { return m_lock; }

  // Both with the lock held. A voice must be removed before it is freed.
  void Add(TSoftVoice& voice);
  void Remove(TSoftVoice& voice);

  // With the lock held: mixes `frames` stereo 16-bit frames into `out`
  // (overwritten), advancing every playing voice.
  void Mix(int16_t* out, int32_t frames);

private:
  void MixVoice(TSoftVoice& voice, int32_t frames);

  std::mutex m_lock;
  std::vector<TSoftVoice*> m_voices;
  std::vector<int32_t> m_accumulator;
};

// Whether a buffer of this format can be mixed: PCM, 8 or 16 bits, 1 or 2
// channels, 1000 ... 384000 samples per second, a matching block align.
bool IsMixableFormat(const TPcmFormat& format);

} // namespace qx
