// What a sound file holds: the media information record that the reader
// fills from a stream (kind, where the audio bytes lie, how long it plays)
// and the PCM format its converter will deliver.
#pragma once

#include "QxLib/qxStream.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qx {

// WAVE format tags the reader knows.
inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatAdpcm = 2;
inline constexpr uint16_t kWaveFormatIeeeFloat = 3;
inline constexpr uint16_t kWaveFormatMpegLayer3 = 85;

// The seven fields of a WAVE format header, in file order.
struct TPcmFormat {
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  uint16_t ExtraSize = 0;

  bool operator==(const TPcmFormat&) const = default;
};

// Plain PCM with the derived block align and bytes per second.
TPcmFormat MakePcmFormat(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels);

// The format every channel mixes in: PCM, 44100 Hz, 16 bits, 2 channels.
TPcmFormat MixingFormat();

// Which converter a file needs.
enum class TMediaKind : uint8_t {
  None = 0,
  WavePcm = 1,
  WaveAdpcm = 2,
  WaveFloat = 3,
  Mpeg = 4,      // MPEG audio layer I-III, plain or inside WAVE (tag 85)
  Wma = 5,       // WMA plug-in
  Ogg = 6,       // OGG plug-in
  Ape = 7,       // plug-in slot that no library fills
  Aac = 8,       // plug-in slot that no library fills
  Composite = 9, // composite description, mixed by the composite converter
  FFmpeg = 10,   // anything the video-decoding library opens
};

// The record is zero-filled before the reader fills it.
struct TMediaInfo {
  int32_t DataOffset = 0;       // stream position of the first audio byte
  int32_t DataSize = 0;         // bytes
  int32_t Length = 0;           // ms
  int32_t FrameSize = 0;        // MPEG only: bytes of the largest of the first frames
  double MeanFrameDuration = 0; // MPEG only: ms, for seeking
  bool InsideRiff = false;      // an MPEG stream inside a WAVE file
  TMediaKind Kind = TMediaKind::None;
  TPcmFormat Format;                    // what the converter delivers
  std::array<uint8_t, 32> AdpcmExtra{}; // MS-ADPCM format bytes after the 18-byte header
  bool Vbr = false;                     // MPEG: the first frame carries "Xing" or "VBRI"
};

// Decides what a stream holds. Returns nothing when the kind cannot be
// determined (too short, unknown format, damaged headers) and no plug-in or
// fallback probe answers. `name` is the file name: its extension chooses
// MPEG parsing and the plug-ins. The stream's position is left anywhere.
std::optional<TMediaInfo> ReadMediaInfo(TStream& stream, const std::string& name);

// A last resort asked when neither the built-in parsers nor a plug-in know
// the file: the video-decoding library's prober. It fills the record
// (kind FFmpeg, length, mixing format) and answers true when it opens the
// stream. Installed by the unit that loads that library; an empty function
// removes it. Returns the previous probe.
using TMediaProbe = std::function<bool(TStream& stream, const std::string& name, TMediaInfo& info)>;
TMediaProbe SetFallbackMediaProbe(TMediaProbe probe);

// Lower-case extension of a name including the dot (".mp3"), "" when none.
// The name is first cut at its last "?".
std::string SoundFileExtension(const std::string& name);

} // namespace qx
