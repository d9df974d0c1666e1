// A memory stream that fills itself lazily from a source stream, for readers
// that jump back and forth in the first part of a file (picture metadata).
#pragma once

#include "QxLib/qxMemoryStream.h"

#include <memory>

namespace qx {

class TCacheStream : public TMemoryStream {
public:
  // Bytes pulled from the source at a time.
  static constexpr int64_t kPullStep = 4096;

  // The first form borrows the source, the second owns it. The size is the
  // source's size at construction.
  explicit TCacheStream(TStream& source);
  explicit TCacheStream(std::unique_ptr<TStream> source);
  ~TCacheStream() override;

  int64_t GetSize() override { return m_sourceSize; }
  // Pulls the bytes up to the position first; beyond the size raises EAbort.
  void SetPosition(int64_t position) override;
  // Raises EStreamError "Stream Cannot be resized".
  void SetSize(int64_t size) override;
  // Clamped to the bytes left before the size; pulls them first.
  int64_t Read(void* buffer, int64_t count) override;
  // A cache is read only: writes take no bytes.
  int64_t Write(const void* buffer, int64_t count) override;

  // Bytes held in memory so far.
  int64_t Pulled() const { return m_pulled; }

private:
  // Pulls source bytes in steps until at least `upTo` bytes are held.
  void PullUpTo(int64_t upTo);

  std::unique_ptr<TStream> m_ownedSource;
  TStream& m_source;
  const int64_t m_sourceSize;
  int64_t m_pulled = 0;
};

} // namespace qx
