// The converter base: turns the audio bytes of one sound file into exactly
// the number of PCM bytes a channel or the composite mixer asks for. It is
// itself the converter of plain PCM WAVE files (and, with a resampler, of
// 24-bit, 32-bit and floating-point ones); the other kinds derive from it.
//
// Use: Open(information); Seek(ms); then repeatedly Read(n) and take n bytes
// from Output() (Output().Take or DataStart + Consume). A converter is used
// by one thread at a time; its stream is read through the process-wide
// stream access when it came from there.
#pragma once

#include "QxLib/Music/qxLocalBuffer.h"
#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/qxStream.h"

#include <cstdint>
#include <memory>

namespace qx {

class TPcmResampler;

class TWavConverter {
public:
  static constexpr int32_t kDefaultReadSize = 4096;
  // Three 24-bit stereo frames fit in 18 bytes; 12288 bytes keep the input
  // whole frames for any channel count up to six.
  static constexpr int32_t k24BitReadSize = 12288;

  // The stream is borrowed and must outlive the converter; nullptr for
  // converters that read no stream of their own (the composite mixer).
  explicit TWavConverter(TStream* stream);
  virtual ~TWavConverter();
  TWavConverter(const TWavConverter&) = delete;
  TWavConverter& operator=(const TWavConverter&) = delete;

  // Empties both buffers and positions the source at ms (rounded down to a
  // whole block); Position() becomes ms.
  virtual void Seek(double ms);
  // Turns the input buffer's bytes into output bytes (appends, or resamples
  // when a resampler is set) and advances Position() by what was added.
  // False when nothing could be converted.
  virtual bool Convert(TLocalBuffer& input);
  // Reads the next piece of the source into the input buffer, never past the
  // end of the audio data; false when nothing was read.
  virtual bool FillInput();
  // Takes the information's formats and seeks to 0; false when the file
  // cannot be played by this converter.
  virtual bool Open(const TMediaInfo& info);
  // Fills the output buffer until it holds at least `count` bytes. At the end
  // of the data it pads the output to `count` with silence and returns false.
  virtual bool Read(int32_t count);

  // Delivered PCM; valid after Open.
  TLocalBuffer& Output() { return m_output; }
  const TPcmFormat& OutputFormat() const { return m_output.Format(); }
  const TLocalBuffer& Input() const { return m_input; }
  const TMediaInfo& MediaInfo() const { return m_info; }
  // ms of the file delivered up to the end of the output buffer.
  double Position() const { return m_position; }
  int32_t ReadSize() const { return m_readSize; }
  // Bytes of silence the last Read added after the end of the data.
  int32_t PaddedBytes() const { return m_padded; }

protected:
  TStream* Stream() const { return m_stream; }
  TLocalBuffer& InputBuffer() { return m_input; }
  void SetOutputFormat(const TPcmFormat& format) { m_output.SetFormat(format); }
  void SetReadSize(int32_t size) { m_readSize = size; }
  void SetPosition(double ms) { m_position = ms; }
  // Advances the position by `bytes` of output.
  void AdvancePosition(int64_t bytes);
  // Appends converted bytes to the output and advances the position.
  void Deliver(const void* data, int32_t count);
  // One past the last byte of audio data in the stream.
  int64_t DataEnd() const;
  // Sets a resampler from the source format to the output format.
  void UseResampler(const TPcmFormat& from, const TPcmFormat& to);
  TPcmResampler* Resampler() const { return m_resampler.get(); }

private:
  TStream* m_stream;
  TLocalBuffer m_input;
  TLocalBuffer m_output;
  int32_t m_readSize = kDefaultReadSize;
  TMediaInfo m_info;
  double m_position = 0;
  int32_t m_padded = 0;
  std::unique_ptr<TPcmResampler> m_resampler;
};

} // namespace qx
