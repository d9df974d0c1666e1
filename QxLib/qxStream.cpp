#include "QxLib/qxStream.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace qx {

namespace {

static_assert(std::endian::native == std::endian::little, "stream values are little-endian and read by copying");

class TPositionRestorer {
public:
  explicit TPositionRestorer(TStream& stream) : m_stream(stream), m_position(stream.GetPosition()) {}
  ~TPositionRestorer() {
    try {
      m_stream.SetPosition(m_position);
    } catch (...) {
      // The restore is best effort; the original failure, if any, wins.
    }
  }

private:
  TStream& m_stream;
  int64_t m_position;
};

} // namespace

void TStream::LoadFrom(TStream& source) {
  Clear();
  {
    TPositionRestorer restore(source);
    source.SetPosition(0);
    const int64_t size = source.GetSize();
    if (size < 0) {
      CopyFrom(source, INT64_MAX);
    } else {
      SetSize(size);
      SetPosition(0);
      if (CopyFrom(source, size) != size)
        throw EStreamReadError("Stream read error");
    }
  }
  SetPosition(0);
}

void TStream::Clear() {
  SetPosition(0);
  SetSize(0);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 0), kCopyPieceSize)));
  int64_t copied = 0;
  while (copied < count) {
    const int64_t want = std::min<int64_t>(kCopyPieceSize, count - copied);
    const int64_t got = source.Read(buffer.data(), want);
    if (got <= 0)
      break;
    if (Write(buffer.data(), got) != got)
      throw EStreamWriteError("Stream write error");
    copied += got;
  }
  return copied;
}

int64_t TStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
  case TSeekOrigin::Begin: break;
  case TSeekOrigin::Current: offset += GetPosition(); break;
  case TSeekOrigin::End: offset += GetSize(); break;
  }
  SetPosition(offset);
  return GetPosition();
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count)
    throw EStreamReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count)
    throw EStreamWriteError("Stream write error");
}

uint8_t TStream::ReadByte() {
  uint8_t value;
  ReadBuffer(&value, 1);
  return value;
}

uint16_t TStream::ReadUInt16() {
  uint16_t value;
  ReadBuffer(&value, sizeof value);
  return value;
}

uint32_t TStream::ReadUInt32() {
  uint32_t value;
  ReadBuffer(&value, sizeof value);
  return value;
}

uint64_t TStream::ReadUInt64() {
  uint64_t value;
  ReadBuffer(&value, sizeof value);
  return value;
}

float TStream::ReadFloat() {
  float value;
  ReadBuffer(&value, sizeof value);
  return value;
}

void TStream::WriteByte(uint8_t value) { WriteBuffer(&value, 1); }
void TStream::WriteUInt16(uint16_t value) { WriteBuffer(&value, sizeof value); }
void TStream::WriteUInt32(uint32_t value) { WriteBuffer(&value, sizeof value); }
void TStream::WriteUInt64(uint64_t value) { WriteBuffer(&value, sizeof value); }
void TStream::WriteFloat(float value) { WriteBuffer(&value, sizeof value); }

std::string TStream::ReadAll() {
  std::string bytes;
  const int64_t size = GetSize();
  const int64_t position = GetPosition();
  if (size >= 0 && size > position)
    // A declared size is only a hint: a damaged file may claim far more than it holds.
    bytes.reserve(static_cast<size_t>(std::min<int64_t>(size - position, int64_t(64) << 20)));
  char buffer[kCopyPieceSize];
  for (;;) {
    const int64_t got = Read(buffer, sizeof buffer);
    if (got <= 0)
      break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

} // namespace qx
