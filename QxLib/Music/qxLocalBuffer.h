// A growable byte buffer of PCM (or still encoded) sound data with the
// format it holds: the input and output buffers of every converter.
#pragma once

#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/qxStream.h"

#include <cstdint>
#include <memory>

namespace qx {

class TLocalBuffer {
public:
  // No converter ever needs more; a request beyond it is the assertion
  // "Buffer overrun" rather than an allocation a damaged file could drive.
  static constexpr int32_t kMaxCapacity = 64 << 20;

  TLocalBuffer() = default;
  TLocalBuffer(const TLocalBuffer&) = delete;
  TLocalBuffer& operator=(const TLocalBuffer&) = delete;

  const TPcmFormat& Format() const { return m_format; }
  void SetFormat(const TPcmFormat& format) { m_format = format; }

  uint8_t* DataStart() { return m_data.get(); }
  const uint8_t* DataStart() const { return m_data.get(); }
  uint8_t* DataEnd() { return m_data.get() + m_used; }
  int32_t Used() const { return m_used; }
  int32_t Capacity() const { return m_capacity; }
  int32_t FreeSpace() const { return m_capacity - m_used; }

  // Adds n bytes of capacity, keeping the contents.
  void Grow(int32_t n);
  // Makes sure at least n bytes are free after the data.
  void EnsureFree(int32_t n);
  // Marks n more bytes after the data as used (written through DataEnd).
  void Commit(int32_t n);
  // Reads from the stream's position into the free space, never past the
  // stream position `limit`; returns the bytes read.
  int32_t FillFromStream(TStream& stream, int64_t limit);
  // Appends another buffer's data; the assertion "Buffer overrun" when it
  // does not fit into the free space.
  void Append(const TLocalBuffer& other);
  // Appends bytes, growing as needed.
  void Append(const void* data, int32_t count);
  // Appends count bytes of silence for the buffer's format (128 for 8-bit
  // data, 0 otherwise), growing as needed.
  void AppendSilence(int32_t count);
  // Drops n bytes from the front; the rest moves down.
  void Consume(int32_t n);
  // Copies up to n bytes from the front into `destination` and drops them;
  // returns the bytes taken.
  int32_t Take(void* destination, int32_t n);
  // Drops all data (the capacity stays).
  void Clear() { m_used = 0; }

private:
  void Reserve(int64_t capacity);

  TPcmFormat m_format;
  std::unique_ptr<uint8_t[]> m_data;
  int32_t m_capacity = 0;
  int32_t m_used = 0;
};

} // namespace qx
