#include "QxLib/Music/qxMediaInfo.h"

#include "QxLib/Music/qxDecoderPlugins.h"
#include "QxLib/Music/qxMpegHeader.h"
#include "QxLib/Music/qxStreamWrapper.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace qx {

namespace {

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
// Bytes of the first frame searched for a VBR header.
constexpr int kVbrSearchBytes = 1729;
// Size of an ID3v1 tag at the end of the file.
constexpr int kId3v1Size = 128;
// Frames walked to find the largest frame size of a file without VBR header.
constexpr int kFramesWalked = 3;
// Bytes scanned at a time in the frame search.
constexpr int kScanPiece = 65536;

std::mutex g_probeLock;
TMediaProbe g_fallbackProbe;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint32_t Be32(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

int32_t ClampToInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, INT32_MAX)); }

// Reads up to `count` bytes at `position`; returns how many arrived.
int64_t ReadAt(TStream& stream, int64_t position, void* buffer, int64_t count) {
  stream.SetPosition(position);
  int64_t total = 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (total < count) {
    const int64_t got = stream.Read(bytes + total, count - total);
    if (got <= 0)
      break;
    total += got;
  }
  return total;
}

bool ReadHeaderAt(TStream& stream, int64_t position, int64_t end, TMpegFrameHeader& header) {
  uint8_t bytes[4];
  return position + 4 <= end && ReadAt(stream, position, bytes, 4) == 4 && ParseMpegFrameHeader(bytes, header);
}

// The first frame header at or after `from` before `end` whose successor (when
// it lies before the end) is a header of the same stream: a lone sync pattern
// in a tag or in junk is not taken for the first frame.
bool FindFirstFrame(TStream& stream, int64_t from, int64_t end, int64_t& found, TMpegFrameHeader& header) {
  std::vector<uint8_t> piece(kScanPiece + 3);
  for (int64_t base = from; base + 4 <= end; base += kScanPiece) {
    const int64_t want = std::min<int64_t>(kScanPiece + 3, end - base);
    const int64_t got = ReadAt(stream, base, piece.data(), want);
    for (int64_t i = 0; i + 4 <= got; ++i) {
      TMpegFrameHeader candidate;
      if (piece[i] != 255 || !ParseMpegFrameHeader(&piece[i], candidate))
        continue;
      const int64_t next = base + i + candidate.FrameSize();
      TMpegFrameHeader following;
      if (next + 4 <= end && !(ReadHeaderAt(stream, next, end, following) && following.SameStream(candidate)))
        continue;
      found = base + i;
      header = candidate;
      return true;
    }
    if (got < want)
      break;
  }
  return false;
}

struct TVbrHeader {
  bool Present = false;
  uint32_t Frames = 0;
};

TVbrHeader FindVbrHeader(TStream& stream, int64_t frameStart) {
  uint8_t bytes[kVbrSearchBytes];
  const int64_t got = ReadAt(stream, frameStart, bytes, kVbrSearchBytes);
  TVbrHeader vbr;
  for (int64_t i = 0; i + 4 <= got; ++i) {
    if (std::memcmp(bytes + i, "Xing", 4) == 0) {
      vbr.Present = true;
      if (i + 12 <= got && (Be32(bytes + i + 4) & 1))
        vbr.Frames = Be32(bytes + i + 8);
      return vbr;
    }
    if (std::memcmp(bytes + i, "VBRI", 4) == 0) {
      vbr.Present = true;
      // Version, delay and quality (2 bytes each), bytes (4), frames (4).
      if (i + 18 <= got)
        vbr.Frames = Be32(bytes + i + 14);
      return vbr;
    }
  }
  return vbr;
}

// MPEG audio from `start` to `end`. Inside WAVE the bit rate (kbit/s) comes
// from the WAVE header; elsewhere it is 0 and the first frame's is used.
bool ParseMpeg(TStream& stream, int64_t start, int64_t end, int insideRiffBitRate, TMediaInfo& info) {
  if (!info.InsideRiff) {
    uint8_t id3[10];
    if (ReadAt(stream, start, id3, 10) == 10 && std::memcmp(id3, "ID3", 3) == 0) {
      const int64_t size = ((id3[6] & 0x7F) << 21) | ((id3[7] & 0x7F) << 14) | ((id3[8] & 0x7F) << 7) | (id3[9] & 0x7F);
      start += size + 10;
    }
  }
  int64_t offset = 0;
  TMpegFrameHeader first;
  if (!FindFirstFrame(stream, start, end, offset, first))
    return false;
  const TVbrHeader vbr = FindVbrHeader(stream, offset);

  int64_t dataEnd = end;
  if (!info.InsideRiff && end - offset >= kId3v1Size) {
    char tag[3];
    if (ReadAt(stream, end - kId3v1Size, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0)
      dataEnd = end - kId3v1Size;
  }
  const int64_t dataSize = dataEnd - offset;
  if (dataSize <= 0)
    return false;

  const int bitRate = insideRiffBitRate > 0 ? insideRiffBitRate : first.BitRate;
  double length;
  if (vbr.Present && vbr.Frames > 0)
    length = static_cast<double>(vbr.Frames) * first.SamplesPerFrame() / first.SampleRate * 1000.0;
  else
    length = static_cast<double>(dataSize) * 8.0 / bitRate;

  int frameSize = first.FrameSize();
  if (!vbr.Present) {
    int64_t position = offset;
    TMpegFrameHeader header;
    for (int i = 0; i < kFramesWalked && ReadHeaderAt(stream, position, dataEnd, header); ++i) {
      frameSize = std::max(frameSize, header.FrameSize());
      position += header.FrameSize();
    }
  }

  info.DataOffset = ClampToInt32(offset);
  info.DataSize = ClampToInt32(dataSize);
  info.Length = ClampToInt32(std::llround(length));
  info.FrameSize = frameSize;
  info.Vbr = vbr.Present;
  if (vbr.Present && vbr.Frames > 0)
    info.MeanFrameDuration = static_cast<double>(info.Length) / vbr.Frames;
  else
    info.MeanFrameDuration = static_cast<double>(info.Length) / static_cast<double>(dataSize) * frameSize;
  info.Format = MakePcmFormat(static_cast<uint32_t>(first.SampleRate), 16, first.SingleChannel ? 1 : 2);
  info.Kind = TMediaKind::Mpeg;
  return true;
}

// Kind and format of a WAVE format chunk's tag (extensible headers name the
// tag in their sub-format).
TMediaKind WaveKindOf(uint16_t tag) {
  switch (tag) {
  case kWaveFormatPcm: return TMediaKind::WavePcm;
  case kWaveFormatAdpcm: return TMediaKind::WaveAdpcm;
  case kWaveFormatIeeeFloat: return TMediaKind::WaveFloat;
  default: return TMediaKind::None;
  }
}

bool ParseWave(TStream& stream, int64_t size, TMediaInfo& info) {
  uint8_t head[28];
  if (ReadAt(stream, 8, head, 28) != 28 || std::memcmp(head, "WAVE", 4) != 0 || std::memcmp(head + 4, "fmt ", 4) != 0)
    return false;
  const uint32_t fmtSize = Le32(head + 8);
  if (fmtSize < 16)
    return false;
  // The format chunk itself: 16 bytes, 18 with the extra size, 50 for
  // MS-ADPCM, 40 for extensible headers.
  uint8_t fmt[72]{};
  ReadAt(stream, 20, fmt, std::min<uint32_t>(fmtSize, sizeof fmt));
  TPcmFormat format;
  format.FormatTag = Le16(fmt);
  format.Channels = Le16(fmt + 2);
  format.SamplesPerSec = Le32(fmt + 4);
  format.AvgBytesPerSec = Le32(fmt + 8);
  format.BlockAlign = Le16(fmt + 12);
  format.BitsPerSample = Le16(fmt + 14);
  format.ExtraSize = fmtSize >= 18 ? Le16(fmt + 16) : 0;
  if (format.FormatTag == kWaveFormatExtensible && fmtSize >= 40)
    format.FormatTag = Le16(fmt + 24);
  if (format.Channels == 0 || format.SamplesPerSec == 0 || format.AvgBytesPerSec == 0 || format.BlockAlign == 0)
    return false;

  const TMediaKind kind = WaveKindOf(format.FormatTag);
  if (kind == TMediaKind::None && format.FormatTag != kWaveFormatMpegLayer3)
    return false;

  // Walk the chunks after the format chunk to "data"; chunks are padded to
  // an even size.
  int64_t position = 20 + static_cast<int64_t>(fmtSize) + (fmtSize & 1);
  int64_t dataOffset = -1, dataSize = 0;
  while (position + 8 <= size) {
    uint8_t chunk[8];
    if (ReadAt(stream, position, chunk, 8) != 8)
      return false;
    const uint32_t chunkSize = Le32(chunk + 4);
    if (std::memcmp(chunk, "data", 4) == 0) {
      dataOffset = position + 8;
      // A size that points past the end of the file covers what is there.
      dataSize = std::min<int64_t>(chunkSize, size - dataOffset);
      break;
    }
    position += 8 + static_cast<int64_t>(chunkSize) + (chunkSize & 1);
  }
  if (dataOffset < 0)
    return false;

  if (format.FormatTag == kWaveFormatMpegLayer3) {
    info.InsideRiff = true;
    const int bitRate = static_cast<int>(static_cast<int64_t>(format.AvgBytesPerSec) * 8 / 1000);
    return bitRate > 0 && ParseMpeg(stream, dataOffset, dataOffset + dataSize, bitRate, info);
  }
  info.Kind = kind;
  info.Format = format;
  if (kind == TMediaKind::WaveAdpcm) {
    info.Format.ExtraSize = std::min<uint16_t>(format.ExtraSize, 32);
    std::memcpy(info.AdpcmExtra.data(), fmt + 18, info.AdpcmExtra.size());
  } else {
    info.Format.ExtraSize = 0;
  }
  info.DataOffset = ClampToInt32(dataOffset);
  info.DataSize = ClampToInt32(dataSize);
  info.Length = ClampToInt32(std::llround(static_cast<double>(dataSize) / format.AvgBytesPerSec * 1000.0));
  return true;
}

bool IsMpegExtension(const std::string& extension) {
  return extension == ".mp3" || extension == ".mp2" || extension == ".mp1";
}

} // namespace

TPcmFormat MakePcmFormat(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels) {
  TPcmFormat format;
  format.FormatTag = kWaveFormatPcm;
  format.Channels = channels;
  format.SamplesPerSec = samplesPerSec;
  format.BitsPerSample = bitsPerSample;
  format.BlockAlign = static_cast<uint16_t>(bitsPerSample / 8 * channels);
  format.AvgBytesPerSec = format.BlockAlign * samplesPerSec;
  return format;
}

TPcmFormat MixingFormat() { return MakePcmFormat(44100, 16, 2); }

std::string SoundFileExtension(const std::string& name) {
  const std::string file = StreamNameOf(name);
  const size_t dot = file.rfind('.');
  const size_t slash = file.find_last_of("/\\:");
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot))
    return {};
  std::string extension = file.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

TMediaProbe SetFallbackMediaProbe(TMediaProbe probe) {
  std::lock_guard lock(g_probeLock);
  std::swap(g_fallbackProbe, probe);
  return probe;
}

std::optional<TMediaInfo> ReadMediaInfo(TStream& stream, const std::string& name) {
  TMediaInfo info;
  try {
    const int64_t size = stream.GetSize();
    char magic[8];
    if (size < 8 || ReadAt(stream, 0, magic, 8) != 8)
      return std::nullopt;
    bool known = false;
    if (std::memcmp(magic, "RIFF", 4) == 0)
      known = ParseWave(stream, size, info);
    else if (IsMpegExtension(SoundFileExtension(name)))
      known = ParseMpeg(stream, 0, size, 0, info);
    if (known)
      return info;
  } catch (const std::exception&) {
    // A read failure of a damaged file: it has no information of its own.
  }
  info = TMediaInfo{};
  if (QueryPluginMediaInfo(stream, name, info))
    return info;

  TMediaProbe probe;
  {
    std::lock_guard lock(g_probeLock);
    probe = g_fallbackProbe;
  }
  info = TMediaInfo{};
  try {
    if (probe && probe(stream, name, info))
      return info;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

} // namespace qx
