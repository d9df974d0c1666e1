// Builders of small sound files in memory and helpers that decode through a
// converter, shared by the sound decoding tests.
#pragma once

#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/Music/qxWavConverter.h"
#include "QxLib/qxMemoryStream.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace qx::test {

inline void PutLe16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

inline void PutLe32(std::string& out, uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

inline std::string Chunk(const std::string& id, const std::string& body) {
  std::string out = id;
  PutLe32(out, static_cast<uint32_t>(body.size()));
  out += body;
  if (body.size() & 1)
    out += '\0';
  return out;
}

inline std::string FormatChunkBody(const TPcmFormat& format, const std::string& extra = {}) {
  std::string body;
  PutLe16(body, format.FormatTag);
  PutLe16(body, format.Channels);
  PutLe32(body, format.SamplesPerSec);
  PutLe32(body, format.AvgBytesPerSec);
  PutLe16(body, format.BlockAlign);
  PutLe16(body, format.BitsPerSample);
  if (!extra.empty()) {
    PutLe16(body, static_cast<uint32_t>(extra.size()));
    body += extra;
  }
  return body;
}

// A RIFF WAVE file: the format chunk, then `between` (whole chunks), then the
// data chunk.
inline std::string MakeWave(const TPcmFormat& format, const std::string& data, const std::string& between = {}) {
  const std::string body = "WAVE" + Chunk("fmt ", FormatChunkBody(format)) + between + Chunk("data", data);
  std::string out = "RIFF";
  PutLe32(out, static_cast<uint32_t>(body.size()));
  return out + body;
}

// 16-bit samples as little-endian bytes.
inline std::string Samples16(const std::vector<int16_t>& samples) {
  std::string out(samples.size() * 2, '\0');
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

inline std::vector<int16_t> ToSamples16(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

inline std::unique_ptr<TMemoryStream> MemoryStreamOf(const std::string& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteString(bytes);
  stream->SetPosition(0);
  return stream;
}

// Reads `count` bytes from an opened converter and takes them.
inline std::string ReadBytes(TWavConverter& converter, int32_t count, bool* more = nullptr) {
  const bool result = converter.Read(count);
  if (more)
    *more = result;
  std::string out(static_cast<size_t>(count), '\0');
  converter.Output().Take(out.data(), count);
  return out;
}

// Everything a converter delivers from its position to the end, in reads of
// `step` bytes, including the silence that pads the last read.
inline std::string ReadAll(TWavConverter& converter, int32_t step = 4096, int maxReads = 1 << 20) {
  std::string out;
  for (int i = 0; i < maxReads; ++i) {
    const bool more = converter.Read(step);
    std::string piece(static_cast<size_t>(step), '\0');
    converter.Output().Take(piece.data(), step);
    out += piece;
    if (!more)
      break;
  }
  return out;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

} // namespace qx::test
