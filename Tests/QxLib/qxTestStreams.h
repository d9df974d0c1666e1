// Memory streams with knobs for the stream tests: they record the reads they
// serve, can refuse writes past a limit, and can claim a size they lack.
#pragma once

#include "QxLib/qxMemoryStream.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qx::test {

class TProbeStream : public TMemoryStream {
public:
  explicit TProbeStream(const std::string& bytes = {}) {
    WriteString(bytes);
    SetPosition(0);
  }

  int64_t Read(void* buffer, int64_t count) override {
    reads.push_back(count);
    return TMemoryStream::Read(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override {
    if (writeLimit >= 0)
      count = std::min(count, writeLimit - GetPosition());
    return count <= 0 ? 0 : TMemoryStream::Write(buffer, count);
  }
  int64_t GetSize() override { return claimedSize >= 0 ? claimedSize : TMemoryStream::GetSize(); }

  std::string Bytes() { return std::string(reinterpret_cast<const char*>(Memory()), TMemoryStream::GetSize()); }

  std::vector<int64_t> reads;
  int64_t writeLimit = -1;
  int64_t claimedSize = -1;
  bool* destroyed = nullptr;

  ~TProbeStream() override {
    if (destroyed)
      *destroyed = true;
  }
};

// Bytes 0, 1, 2, ... 250, 0, 1, ...: every offset is told apart from its
// neighbours and from the same offset one key period away.
inline std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

} // namespace qx::test
