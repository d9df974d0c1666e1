#include "QxLib/Music/qxPcmResampler.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qx {

namespace {

int32_t Limit16(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767)); }

int32_t FloatTo16(double value) {
  if (!std::isfinite(value))
    return 0;
  return Limit16(std::llround(std::clamp(value, -2.0, 2.0) * 32767.0));
}

int16_t Le16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

bool IsFloat(const TPcmFormat& format) { return format.FormatTag == kWaveFormatIeeeFloat; }

int32_t SampleBytes(const TPcmFormat& format) { return format.BitsPerSample / 8; }

} // namespace

TPcmResampler::TPcmResampler(const TPcmFormat& input, const TPcmFormat& output) : m_in(input), m_out(output) {
  const bool floatIn = IsFloat(input);
  const bool inBitsOk = floatIn ? (input.BitsPerSample == 32 || input.BitsPerSample == 64)
                                : (input.BitsPerSample == 8 || input.BitsPerSample == 16 || input.BitsPerSample == 24 ||
                                   input.BitsPerSample == 32);
  const bool inChannelsOk = input.Channels == 1 || input.Channels == 2 || input.Channels == 6;
  const bool outOk =
      (output.BitsPerSample == 8 || output.BitsPerSample == 16) && (output.Channels == 1 || output.Channels == 2);
  if (!inBitsOk || !inChannelsOk || !outOk || input.SamplesPerSec == 0 || output.SamplesPerSec == 0)
    throw EQxError("Unsupported PCM conversion");
  m_inFrameBytes = SampleBytes(input) * input.Channels;
  m_outFrameBytes = SampleBytes(output) * output.Channels;
  // The file's own block align may pad frames; whole frames are what count.
  m_in.BlockAlign = static_cast<uint16_t>(m_inFrameBytes);
  m_step = static_cast<double>(input.SamplesPerSec) / output.SamplesPerSec;
}

void TPcmResampler::Reset() {
  m_next = 0;
  m_seen = 0;
  std::memset(m_history, 0, sizeof m_history);
}

int32_t TPcmResampler::OutputSize(int32_t inputBytes) const {
  const int64_t frames = std::max(inputBytes, 0) / m_inFrameBytes;
  const int64_t outFrames = static_cast<int64_t>(std::ceil(static_cast<double>(frames) / m_step)) + 2;
  return static_cast<int32_t>(std::min<int64_t>(outFrames * m_outFrameBytes, INT32_MAX));
}

void TPcmResampler::ReadFrame(const uint8_t* frame, int32_t& left, int32_t& right) const {
  int32_t samples[6];
  const int32_t size = SampleBytes(m_in);
  for (int c = 0; c < m_in.Channels; ++c) {
    const uint8_t* p = frame + c * size;
    if (IsFloat(m_in)) {
      if (size == 4) {
        float value;
        std::memcpy(&value, p, sizeof value);
        samples[c] = FloatTo16(value);
      } else {
        double value;
        std::memcpy(&value, p, sizeof value);
        samples[c] = FloatTo16(value);
      }
      continue;
    }
    switch (size) {
    case 1: samples[c] = (p[0] - 128) * 256; break;
    case 2: samples[c] = Le16(p); break;
    default: // 24 and 32 bits: the top 16 bits
      samples[c] = Le16(p + size - 2);
      break;
    }
  }
  if (m_in.Channels == 1) {
    left = right = samples[0];
  } else if (m_in.Channels == 2) {
    left = samples[0];
    right = samples[1];
  } else {
    // Front left/right, centre, low-frequency, back left/right: the centre
    // and low-frequency channels go to both sides.
    left = Limit16(static_cast<int64_t>(samples[0]) + samples[2] + samples[3] + samples[4]);
    right = Limit16(static_cast<int64_t>(samples[1]) + samples[2] + samples[3] + samples[5]);
  }
}

int32_t TPcmResampler::WriteFrame(int32_t left, int32_t right, uint8_t* output) const {
  int32_t values[2] = {left, right};
  if (m_out.Channels == 1)
    values[0] = (left + right) / 2;
  for (int c = 0; c < m_out.Channels; ++c) {
    if (m_out.BitsPerSample == 8) {
      output[c] = static_cast<uint8_t>((values[c] >> 8) + 128);
    } else {
      output[2 * c] = static_cast<uint8_t>(values[c] & 0xFF);
      output[2 * c + 1] = static_cast<uint8_t>((values[c] >> 8) & 0xFF);
    }
  }
  return m_outFrameBytes;
}

int32_t TPcmResampler::Resample(const uint8_t* input, int32_t inputBytes, uint8_t* output) {
  const int32_t frames = std::max(inputBytes, 0) / m_inFrameBytes;
  const int32_t capacity = OutputSize(inputBytes);
  int32_t written = 0;
  for (int32_t i = 0; i < frames; ++i) {
    int32_t left, right;
    ReadFrame(input + static_cast<ptrdiff_t>(i) * m_inFrameBytes, left, right);
    if (m_seen == 0) {
      for (auto& frame : m_history) {
        frame[0] = left;
        frame[1] = right;
      }
    } else {
      std::memmove(m_history[0], m_history[1], sizeof m_history[0] * 2);
      m_history[2][0] = left;
      m_history[2][1] = right;
    }
    const double newest = static_cast<double>(m_seen++);
    // Output frames whose position lies between the middle and the newest
    // input frame are interpolated through all three.
    while (m_next < newest && written + m_outFrameBytes <= capacity) {
      const double t = m_next - (newest - 1);
      int32_t value[2];
      for (int c = 0; c < 2; ++c) {
        const double y0 = m_history[0][c], y1 = m_history[1][c], y2 = m_history[2][c];
        const double y = y1 + t * (y2 - y0) / 2 + t * t * (y2 - 2 * y1 + y0) / 2;
        value[c] = Limit16(std::llround(y));
      }
      written += WriteFrame(value[0], value[1], output + written);
      m_next += m_step;
    }
  }
  // Keep the positions small over long files.
  if (m_seen > (1 << 30)) {
    m_seen -= 1 << 29;
    m_next -= 1 << 29;
  }
  return written;
}

} // namespace qx
