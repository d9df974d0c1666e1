// The converter of MS-ADPCM WAVE files: whole blocks of the file's block
// align are decoded to 16-bit PCM of the same channels and rate through
// libavcodec's MS-ADPCM decoder; a partial block waits for the rest.
#pragma once

#include "QxLib/Music/qxWavConverter.h"

#include <memory>

namespace qx {

class TAdpcmConverter : public TWavConverter {
public:
  static constexpr int32_t kAdpcmReadSize = 2048;

  explicit TAdpcmConverter(TStream& stream);
  ~TAdpcmConverter() override;

  // False when the decoder does not accept the file's format.
  bool Open(const TMediaInfo& info) override;
  void Seek(double ms) override;
  // Decodes the whole blocks of the input; the rest of a block stays.
  bool Convert(TLocalBuffer& input) override;

private:
  struct TCodec;
  std::unique_ptr<TCodec> m_codec;
};

} // namespace qx
