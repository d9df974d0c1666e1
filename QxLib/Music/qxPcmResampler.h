// Sample-rate and format conversion of PCM: 8-bit unsigned, 16-, 24- and
// 32-bit integer or 32-bit float input, mono, stereo or six channels, into
// 8- or 16-bit mono or stereo output at another rate, by three-point
// (quadratic Lagrange) interpolation. Used by converters whose source is not
// the format they deliver.
#pragma once

#include "QxLib/Music/qxMediaInfo.h"

#include <cstdint>

namespace qx {

class TPcmResampler {
public:
  // Raises EQxError for formats it cannot convert (other channel counts or
  // sample sizes, a zero rate).
  TPcmResampler(const TPcmFormat& input, const TPcmFormat& output);

  const TPcmFormat& InputFormat() const { return m_in; }
  const TPcmFormat& OutputFormat() const { return m_out; }

  // An upper bound of the output bytes that `inputBytes` more bytes of input
  // can produce, computed from the rates.
  int32_t OutputSize(int32_t inputBytes) const;
  // Converts whole input frames (a trailing partial frame is ignored) and
  // writes at most OutputSize(inputBytes) bytes; returns the bytes written.
  // The interpolation state carries over to the next call.
  int32_t Resample(const uint8_t* input, int32_t inputBytes, uint8_t* output);
  // Forgets the interpolation history (after a seek).
  void Reset();

private:
  // One input frame as 16-bit left and right (mono repeats the sample).
  void ReadFrame(const uint8_t* frame, int32_t& left, int32_t& right) const;
  int32_t WriteFrame(int32_t left, int32_t right, uint8_t* output) const;

  TPcmFormat m_in;
  TPcmFormat m_out;
  int32_t m_inFrameBytes;
  int32_t m_outFrameBytes;
  double m_step;             // input frames per output frame
  double m_next = 0;         // position of the next output frame, in input frames
  int64_t m_seen = 0;        // input frames taken since the last reset
  int32_t m_history[3][2]{}; // the last three input frames, oldest first
};

} // namespace qx
