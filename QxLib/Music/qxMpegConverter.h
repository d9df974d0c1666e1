// The converter of MPEG audio (layers I to III, plain or inside WAVE),
// decoding through libmpg123 to 16-bit PCM.
#pragma once

#include "QxLib/Music/qxWavConverter.h"
#include "QxLib/qxRefCounted.h"

struct mpg123_handle_struct;

namespace qx {

// The decoder library, initialised once per process and shared by reference
// count; it holds only code and tables, every converter has a decoder state
// of its own.
class TMpg123 : public TRefCounted {
public:
  // The shared instance, made on first use.
  static TRefPtr<TMpg123> Acquire();
  ~TMpg123() override;

private:
  TMpg123();
};

class TMpegConverter : public TWavConverter {
public:
  // Output area given to each decoder call, at least.
  static constexpr int32_t kDecodeArea = 8192;
  // Decoded and dropped before a seek target so that the bit reservoir is
  // filled when the wanted audio begins.
  static constexpr double kPreroll = 100;

  explicit TMpegConverter(TStream& stream);
  ~TMpegConverter() override;

  bool Open(const TMediaInfo& info) override;
  // Starts decoding up to 100 ms before ms and drops what precedes ms.
  void Seek(double ms) override;
  bool Convert(TLocalBuffer& input) override;

  // Stream position at which the last seek started decoding.
  int64_t SeekStart() const { return m_seekStart; }

private:
  bool ResetDecoder();
  int64_t VbrFramePosition(double ms) const;
  int64_t CbrFramePosition(double ms) const;

  TRefPtr<TMpg123> m_library;
  mpg123_handle_struct* m_handle = nullptr;
  int64_t m_seekStart = 0;
};

} // namespace qx
