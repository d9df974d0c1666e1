// Checks shared by the sound targets: a converter read piece by piece as a
// channel reads it.
#pragma once

#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/Music/qxWavConverter.h"

#include <algorithm>

namespace qx::fuzz {

// The piece a channel asks for.
constexpr int32_t kSoundPiece = 4096;

// Reads up to `pieces` pieces: each read delivers the whole piece and moves
// the position forward. True when a read reported the end, false when none
// did; an error raised by a read is a finding.
inline bool ReadPieces(TWavConverter& converter, int64_t pieces) {
  for (int64_t i = 0; i < pieces; ++i) {
    const double before = converter.Position();
    bool more = false;
    FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(more = converter.Read(kSoundPiece)));
    FUZZ_CHECK(converter.Output().Used() >= kSoundPiece);
    FUZZ_CHECK(!(converter.Position() < before));
    converter.Output().Consume(kSoundPiece);
    if (!more)
      return true;
  }
  return false;
}

// The pieces in which a converter must reach the end of `lengthMs` of
// sound, with `slackMs` to spare.
inline int64_t PiecesFor(const TWavConverter& converter, double lengthMs, double slackMs) {
  const double perSecond = std::max<uint32_t>(converter.OutputFormat().AvgBytesPerSec, 1);
  return static_cast<int64_t>((std::max(lengthMs, 0.0) + slackMs) / 1000 * perSecond / kSoundPiece) + 2;
}

} // namespace qx::fuzz
