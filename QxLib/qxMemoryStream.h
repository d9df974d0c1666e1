// A growable in-memory stream.
#pragma once

#include "QxLib/qxStream.h"

#include <memory>

namespace qx {

class TMemoryStream : public TStream {
public:
  // The largest size a memory stream can take.
  static constexpr int64_t kMaxSize = 536870910;

  TMemoryStream() = default;
  ~TMemoryStream() override = default;

  int64_t GetPosition() override { return m_position; }
  void SetPosition(int64_t position) override;
  int64_t GetSize() override { return m_size; }
  // Grows or shrinks the contents; new bytes are zero. Beyond kMaxSize it
  // raises EStreamError "Out of memory while expanding memory stream".
  void SetSize(int64_t size) override;
  int64_t Read(void* buffer, int64_t count) override;
  // Writing beyond the end grows the stream.
  int64_t Write(const void* buffer, int64_t count) override;

  uint8_t* Memory() { return m_data.get(); }
  const uint8_t* Memory() const { return m_data.get(); }
  int64_t Capacity() const { return m_capacity; }

  // Capacity chosen for a requested size: +16 while below 33, +64 while
  // below 257, doubling beyond.
  static int64_t GrowCapacity(int64_t capacity, int64_t wanted);

private:
  void Reserve(int64_t capacity);

  std::unique_ptr<uint8_t[]> m_data;
  int64_t m_capacity = 0;
  int64_t m_size = 0;
  int64_t m_position = 0;
};

} // namespace qx
