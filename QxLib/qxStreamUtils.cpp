#include "QxLib/qxStreamUtils.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>

namespace qx {

namespace {

const char* const kInsufficientSourceSize = "Insufficient Source Size";
const char* const kCannotResize = "Stream Cannot be resized";

// Size of the copy that Write scrambles at a time.
constexpr int64_t kCryptWritePiece = 32768;

TStream& Checked(const std::unique_ptr<TStream>& stream) {
  QX_ASSERT(stream != nullptr, "Stream expected");
  return *stream;
}

bool DoNothing() { return true; }

} // namespace

// ---------------------------------------------------------------------------
// TPartialStream

TPartialStream::TPartialStream(std::unique_ptr<TStream> source, int64_t start, int64_t size)
    : m_ownedSource(std::move(source)), m_source(Checked(m_ownedSource)), m_start(start), m_size(size) {
  Open();
}

TPartialStream::TPartialStream(TStream& source, int64_t start, int64_t size)
    : m_source(source), m_start(start), m_size(size) {
  Open();
}

void TPartialStream::Open() {
  AttachCallback(kDefaultPieceSize, nullptr);
  // A negative start or size, or an end past the source's, means the
  // window does not lie within its source; the subtraction cannot overflow.
  if (m_start < 0 || m_size < 0 || m_size > m_source.GetSize() - m_start)
    throw EStreamError(kInsufficientSourceSize);
  SetPosition(0);
}

TPartialStream::~TPartialStream() = default;

void TPartialStream::AttachCallback(int32_t requestedPieceSize, TLoadCallback callback) {
  if (!callback) {
    m_callback = DoNothing;
    m_pieceSize = kDefaultPieceSize;
  } else {
    // Pieces are as large as asked: smaller ones would only multiply the
    // system calls of a file read.
    m_callback = std::move(callback);
    m_pieceSize = std::clamp(requestedPieceSize, int32_t(1), kMaxPieceSize);
  }
  if (static_cast<int64_t>(m_pieceBuffer.size()) != m_pieceSize)
    m_pieceBuffer.clear();
}

void TPartialStream::AttachLoadCallback(int32_t requestedPieceSize) {
  AttachCallback(requestedPieceSize, ProcessLoadCallback());
}

int64_t TPartialStream::GetPosition() { return m_source.GetPosition() - m_start; }

void TPartialStream::SetPosition(int64_t position) { m_source.SetPosition(position + m_start); }

void TPartialStream::SetSize(int64_t) { throw EStreamError(kCannotResize); }

int64_t TPartialStream::RoomAt(int64_t position) const {
  // A source moved before the window (by another window on it) must not let
  // bytes outside the window through.
  if (position < 0 || position >= m_size)
    return 0;
  return m_size - position;
}

int64_t TPartialStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t position = GetPosition();
  int64_t remaining = count;
  while (remaining > 0) {
    const int64_t n = std::min({RoomAt(position), remaining, int64_t(m_pieceSize)});
    if (n <= 0)
      break;
    const int64_t got = m_source.Read(out, n);
    m_callback();
    if (got <= 0)
      break;
    position += got;
    out += got;
    remaining -= got;
  }
  return count - std::max<int64_t>(remaining, 0);
}

int64_t TPartialStream::Write(const void* buffer, int64_t count) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t position = GetPosition();
  int64_t remaining = count;
  while (remaining > 0) {
    const int64_t n = std::min({RoomAt(position), remaining, int64_t(m_pieceSize)});
    if (n <= 0)
      break;
    const int64_t put = m_source.Write(in, n);
    m_callback();
    if (put <= 0)
      break;
    position += put;
    in += put;
    remaining -= put;
  }
  return count - std::max<int64_t>(remaining, 0);
}

int64_t TPartialStream::CopyFrom(TStream& source, int64_t count) {
  if (m_pieceBuffer.empty())
    m_pieceBuffer.resize(static_cast<size_t>(m_pieceSize));
  int64_t written = 0;
  while (count > 0) {
    const int64_t n = std::min<int64_t>(m_pieceSize, count);
    const int64_t got = source.Read(m_pieceBuffer.data(), n);
    if (got <= 0)
      break;
    m_callback();
    if (m_source.Write(m_pieceBuffer.data(), got) != got)
      throw EStreamWriteError("Stream write error");
    m_callback();
    written += got;
    count -= got;
  }
  return written;
}

// ---------------------------------------------------------------------------
// TCryptStream

TCryptStream::TCryptStream(std::unique_ptr<TStream> inner, std::string key)
    : m_ownedInner(std::move(inner)), m_inner(Checked(m_ownedInner)), m_key(std::move(key)) {
  QX_ASSERT(!m_key.empty(), "Empty scrambling key");
}

TCryptStream::TCryptStream(TStream& inner, std::string key) : m_inner(inner), m_key(std::move(key)) {
  QX_ASSERT(!m_key.empty(), "Empty scrambling key");
}

TCryptStream::~TCryptStream() = default;

void TCryptStream::Apply(uint8_t* bytes, int64_t count, int64_t position) const {
  const auto length = static_cast<int64_t>(m_key.size());
  // Positions before 0 cannot carry data, but keep the index in range anyway.
  int64_t k = ((position % length) + length) % length;
  for (int64_t j = 0; j < count; ++j) {
    bytes[j] ^= static_cast<uint8_t>(m_key[static_cast<size_t>(k)]);
    if (++k == length)
      k = 0;
  }
}

int64_t TCryptStream::Read(void* buffer, int64_t count) {
  if (count <= 0)
    return 0;
  const int64_t position = m_inner.GetPosition();
  const int64_t got = m_inner.Read(buffer, count);
  if (got > 0)
    Apply(static_cast<uint8_t*>(buffer), got, position);
  return got;
}

int64_t TCryptStream::Write(const void* buffer, int64_t count) {
  if (count <= 0)
    return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  uint8_t copy[kCryptWritePiece];
  int64_t written = 0;
  while (written < count) {
    const int64_t n = std::min(kCryptWritePiece, count - written);
    std::copy_n(in + written, n, copy);
    Apply(copy, n, m_inner.GetPosition());
    const int64_t put = m_inner.Write(copy, n);
    if (put > 0)
      written += put;
    if (put != n)
      break;
  }
  return written;
}

} // namespace qx
