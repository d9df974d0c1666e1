// The abstract stream with 64-bit positions and sizes through which every
// file, packed entry and memory buffer of the system is read.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

enum class TSeekOrigin { Begin, Current, End };

class TStream {
public:
  // Size of the pieces in which CopyFrom moves bytes.
  static constexpr int64_t kCopyPieceSize = 32768;

  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  virtual int64_t GetPosition() = 0;
  // Always counted from the beginning. Positions beyond the end are allowed
  // where the stream allows them; reads there return 0 bytes.
  virtual void SetPosition(int64_t position) = 0;
  // -1 when the stream does not know its size (an inflater without a
  // declared size).
  virtual int64_t GetSize() = 0;
  virtual void SetSize(int64_t size) = 0;

  // Replaces the contents by all of `source`: Clear, copy from the source's
  // start (until a read returns 0 when its size is -1, otherwise exactly its
  // size, raising EStreamReadError when fewer bytes arrive), then restore the
  // source's position (also on failure) and set this position to 0.
  virtual void LoadFrom(TStream& source);

  // Position 0, size 0.
  virtual void Clear();

  // Copies up to `count` bytes from the source's position in pieces of at
  // most kCopyPieceSize until count is reached or a read returns 0; returns
  // the bytes copied. A short write raises EStreamWriteError.
  virtual int64_t CopyFrom(TStream& source, int64_t count);

  // Reads up to count bytes at the position; returns how many arrived.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes at the position; returns how many were taken.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;

  // Moves the position relative to an origin; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin);

  // Exact transfers: raise EStreamReadError / EStreamWriteError when the
  // full count does not move.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);

  // Little-endian values of exact size.
  uint8_t ReadByte();
  uint16_t ReadUInt16();
  uint32_t ReadUInt32();
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }
  uint64_t ReadUInt64();
  int64_t ReadInt64() { return static_cast<int64_t>(ReadUInt64()); }
  float ReadFloat();

  void WriteByte(uint8_t value);
  void WriteUInt16(uint16_t value);
  void WriteUInt32(uint32_t value);
  void WriteInt32(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); }
  void WriteUInt64(uint64_t value);
  void WriteInt64(int64_t value) { WriteUInt64(static_cast<uint64_t>(value)); }
  void WriteFloat(float value);

  // Reads from the position to the end (or until reads return 0).
  std::string ReadAll();
  void WriteString(const std::string& bytes) { WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size())); }
};

} // namespace qx
