#include "QxLib/qxCacheStream.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>

namespace qx {

namespace {

TStream& Checked(const std::unique_ptr<TStream>& stream) {
  QX_ASSERT(stream != nullptr, "Stream expected");
  return *stream;
}

} // namespace

TCacheStream::TCacheStream(TStream& source) : m_source(source), m_sourceSize(source.GetSize()) {}

TCacheStream::TCacheStream(std::unique_ptr<TStream> source)
    : m_ownedSource(std::move(source)), m_source(Checked(m_ownedSource)), m_sourceSize(m_source.GetSize()) {}

TCacheStream::~TCacheStream() = default;

void TCacheStream::PullUpTo(int64_t upTo) {
  if (upTo > m_sourceSize)
    throw EAbort("Operation aborted");
  while (m_pulled < upTo) {
    // The memory grows by a whole step; the source may hold less at its end.
    const int64_t step = kPullStep;
    const int64_t expected = std::min(step, m_sourceSize - m_pulled);
    const int64_t position = TMemoryStream::GetPosition();
    TMemoryStream::SetSize(m_pulled + step);
    m_source.SetPosition(m_pulled);
    const int64_t got = m_source.Read(Memory() + m_pulled, step);
    TMemoryStream::SetPosition(position);
    // A source shorter than it claimed must not pass for zeros.
    if (got < expected)
      throw EStreamReadError("Stream read error");
    m_pulled += step;
  }
}

void TCacheStream::SetPosition(int64_t position) {
  PullUpTo(position);
  TMemoryStream::SetPosition(position);
}

void TCacheStream::SetSize(int64_t) { throw EStreamError("Stream Cannot be resized"); }

int64_t TCacheStream::Read(void* buffer, int64_t count) {
  const int64_t position = TMemoryStream::GetPosition();
  count = std::min(count, m_sourceSize - position);
  if (count <= 0)
    return 0;
  PullUpTo(position + count);
  return TMemoryStream::Read(buffer, count);
}

int64_t TCacheStream::Write(const void*, int64_t) { return 0; }

} // namespace qx
