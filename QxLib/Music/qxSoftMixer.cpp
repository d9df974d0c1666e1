#include "QxLib/Music/qxSoftMixer.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

constexpr uint64_t kUnitStep = uint64_t{1} << 32;
constexpr int32_t kUnityGain = 65536;

// Frame f of a voice as a left/right pair of 16-bit values; frames outside
// [0, validEnd) are silence. More than two channels play their first two.
template <int Bits>
inline void FetchFrame(const uint8_t* ring, int64_t ringFrames, int32_t blockAlign, int32_t channels, int64_t f,
                       int64_t validEnd, int32_t& left, int32_t& right) {
  if (f < 0 || f >= validEnd) {
    left = right = 0;
    return;
  }
  const uint8_t* p = ring + (f % ringFrames) * blockAlign;
  if constexpr (Bits == 8) {
    left = (static_cast<int32_t>(p[0]) - 128) * 256;
    right = channels > 1 ? (static_cast<int32_t>(p[1]) - 128) * 256 : left;
  } else {
    int16_t l;
    std::memcpy(&l, p, 2);
    left = l;
    if (channels > 1) {
      int16_t r;
      std::memcpy(&r, p + 2, 2);
      right = r;
    } else {
      right = left;
    }
  }
}

inline int32_t Scale(int32_t sample, int32_t gainQ16) {
  return static_cast<int32_t>((static_cast<int64_t>(sample) * gainQ16 + 32768) >> 16);
}

template <int Bits>
void MixFrames(const uint8_t* ring, int64_t ringFrames, int32_t blockAlign, int32_t channels, int64_t& frame,
               uint32_t& fraction, uint64_t step, int64_t validEnd, int32_t gainQ16, int32_t* acc, int32_t frames) {
  int32_t l0, r0, l1, r1;
  for (int32_t i = 0; i < frames; ++i) {
    FetchFrame<Bits>(ring, ringFrames, blockAlign, channels, frame, validEnd, l0, r0);
    if (fraction != 0) {
      // Linear interpolation towards the next frame.
      FetchFrame<Bits>(ring, ringFrames, blockAlign, channels, frame + 1, validEnd, l1, r1);
      l0 += static_cast<int32_t>((static_cast<int64_t>(l1 - l0) * fraction) >> 32);
      r0 += static_cast<int32_t>((static_cast<int64_t>(r1 - r0) * fraction) >> 32);
    }
    if (gainQ16 != kUnityGain) {
      l0 = Scale(l0, gainQ16);
      r0 = Scale(r0, gainQ16);
    }
    acc[2 * i] += l0;
    acc[2 * i + 1] += r0;
    const uint64_t next = static_cast<uint64_t>(fraction) + step;
    frame += static_cast<int64_t>(next >> 32);
    fraction = static_cast<uint32_t>(next);
  }
}

// The common case: 16-bit stereo at the output rate, copied piece by piece
// between the ring's wrap and the end of the valid data.
void MixSameRateStereo16(const uint8_t* ring, int64_t ringFrames, int64_t& frame, int64_t validEnd, int32_t gainQ16,
                         int32_t* acc, int32_t frames) {
  int32_t done = 0;
  while (done < frames) {
    if (frame >= validEnd) {
      frame += frames - done;
      return;
    }
    const int64_t inRing = frame % ringFrames;
    const int32_t run = static_cast<int32_t>(std::min<int64_t>({frames - done, ringFrames - inRing, validEnd - frame}));
    const uint8_t* p = ring + inRing * 4;
    int32_t* a = acc + 2 * done;
    if (gainQ16 == kUnityGain) {
      for (int32_t i = 0; i < 2 * run; ++i) {
        int16_t s;
        std::memcpy(&s, p + 2 * i, 2);
        a[i] += s;
      }
    } else {
      for (int32_t i = 0; i < 2 * run; ++i) {
        int16_t s;
        std::memcpy(&s, p + 2 * i, 2);
        a[i] += Scale(s, gainQ16);
      }
    }
    done += run;
    frame += run;
  }
}

} // namespace

bool IsMixableFormat(const TPcmFormat& format) {
  return format.FormatTag == kWaveFormatPcm && (format.BitsPerSample == 8 || format.BitsPerSample == 16) &&
         format.Channels >= 1 && format.Channels <= 8 && format.SamplesPerSec >= 1000 &&
         format.SamplesPerSec <= 384000 && format.BlockAlign == format.Channels * format.BitsPerSample / 8;
}

TSoftVoice::TSoftVoice(const TPcmFormat& format, int32_t ringBytes) : m_format(format) {
  QX_ASSERT(IsMixableFormat(format), "Sound format cannot be mixed");
  const int32_t frames = std::max(1, ringBytes / format.BlockAlign);
  m_ring.assign(static_cast<size_t>(frames) * format.BlockAlign, SilenceByte());
  m_step = (static_cast<uint64_t>(format.SamplesPerSec) << 32) / TSoftMixer::kOutputRate;
}

int TSoftVoice::Pieces(int64_t from, int32_t count, uint8_t* pointers[2], int32_t counts[2]) {
  const int64_t size = RingSize();
  count = static_cast<int32_t>(std::min<int64_t>(count, size));
  if (count <= 0)
    return 0;
  const int32_t start = static_cast<int32_t>(((from % size) + size) % size);
  const int32_t first = static_cast<int32_t>(std::min<int64_t>(count, size - start));
  pointers[0] = m_ring.data() + start;
  counts[0] = first;
  if (first == count)
    return 1;
  pointers[1] = m_ring.data();
  counts[1] = count - first;
  return 2;
}

void TSoftVoice::Put(int64_t at, const uint8_t* data, int32_t count) {
  uint8_t* pointers[2];
  int32_t counts[2];
  const int pieces = Pieces(at, count, pointers, counts);
  for (int i = 0; i < pieces; ++i) {
    std::memcpy(pointers[i], data, static_cast<size_t>(counts[i]));
    data += counts[i];
  }
}

void TSoftVoice::Get(int64_t at, uint8_t* data, int32_t count) {
  uint8_t* pointers[2];
  int32_t counts[2];
  const int pieces = Pieces(at, count, pointers, counts);
  for (int i = 0; i < pieces; ++i) {
    std::memcpy(data, pointers[i], static_cast<size_t>(counts[i]));
    data += counts[i];
  }
}

void TSoftMixer::Add(TSoftVoice& voice) {
  if (std::find(m_voices.begin(), m_voices.end(), &voice) == m_voices.end())
    m_voices.push_back(&voice);
}

void TSoftMixer::Remove(TSoftVoice& voice) { std::erase(m_voices, &voice); }

void TSoftMixer::Mix(int16_t* out, int32_t frames) {
  if (frames <= 0)
    return;
  m_accumulator.assign(static_cast<size_t>(frames) * 2, 0);
  for (TSoftVoice* voice : m_voices) {
    if (voice->Playing)
      MixVoice(*voice, frames);
  }
  for (size_t i = 0; i < m_accumulator.size(); ++i)
    out[i] = static_cast<int16_t>(std::clamp(m_accumulator[i], -32768, 32767));
}

void TSoftMixer::MixVoice(TSoftVoice& voice, int32_t frames) {
  const int32_t blockAlign = voice.m_format.BlockAlign;
  const int64_t ringFrames = voice.RingSize() / blockAlign;
  int64_t frame = voice.Played / blockAlign;
  const int64_t validEnd = voice.Written / blockAlign;
  if (voice.Silent || voice.GainQ16 == 0) {
    const uint64_t advance = static_cast<uint64_t>(voice.m_fraction) + voice.m_step * static_cast<uint64_t>(frames);
    frame += static_cast<int64_t>(advance >> 32);
    voice.m_fraction = static_cast<uint32_t>(advance);
  } else if (voice.m_step == kUnitStep && voice.m_format.Channels == 2 && voice.m_format.BitsPerSample == 16 &&
             voice.m_fraction == 0) {
    MixSameRateStereo16(voice.m_ring.data(), ringFrames, frame, validEnd, voice.GainQ16, m_accumulator.data(), frames);
  } else if (voice.m_format.BitsPerSample == 8) {
    MixFrames<8>(voice.m_ring.data(), ringFrames, blockAlign, voice.m_format.Channels, frame, voice.m_fraction,
                 voice.m_step, validEnd, voice.GainQ16, m_accumulator.data(), frames);
  } else {
    MixFrames<16>(voice.m_ring.data(), ringFrames, blockAlign, voice.m_format.Channels, frame, voice.m_fraction,
                  voice.m_step, validEnd, voice.GainQ16, m_accumulator.data(), frames);
  }
  voice.Played = frame * blockAlign;
}

} // namespace qx
