#include "QxLib/Music/qxLocalBuffer.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cstring>

namespace qx {

void TLocalBuffer::Reserve(int64_t capacity) {
  QX_ASSERT(capacity <= kMaxCapacity, "Buffer overrun");
  if (capacity <= m_capacity)
    return;
  auto data = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  if (m_used > 0)
    std::memcpy(data.get(), m_data.get(), static_cast<size_t>(m_used));
  m_data = std::move(data);
  m_capacity = static_cast<int32_t>(capacity);
}

void TLocalBuffer::Grow(int32_t n) {
  if (n > 0)
    Reserve(static_cast<int64_t>(m_capacity) + n);
}

void TLocalBuffer::EnsureFree(int32_t n) {
  if (n <= FreeSpace())
    return;
  // Grow by at least half again so that repeated small appends stay cheap.
  const int64_t wanted = static_cast<int64_t>(m_used) + n;
  Reserve(std::max<int64_t>(wanted, std::min<int64_t>(m_capacity + m_capacity / 2, kMaxCapacity)));
}

void TLocalBuffer::Commit(int32_t n) {
  QX_ASSERT(n >= 0 && n <= FreeSpace(), "Buffer overrun");
  m_used += n;
}

int32_t TLocalBuffer::FillFromStream(TStream& stream, int64_t limit) {
  const int64_t room = std::min<int64_t>(FreeSpace(), limit - stream.GetPosition());
  if (room <= 0)
    return 0;
  const int64_t got = stream.Read(DataEnd(), room);
  if (got <= 0)
    return 0;
  m_used += static_cast<int32_t>(got);
  return static_cast<int32_t>(got);
}

void TLocalBuffer::Append(const TLocalBuffer& other) {
  QX_ASSERT(other.m_used <= FreeSpace(), "Buffer overrun");
  if (other.m_used > 0)
    std::memcpy(DataEnd(), other.m_data.get(), static_cast<size_t>(other.m_used));
  m_used += other.m_used;
}

void TLocalBuffer::Append(const void* data, int32_t count) {
  if (count <= 0)
    return;
  EnsureFree(count);
  std::memcpy(DataEnd(), data, static_cast<size_t>(count));
  m_used += count;
}

void TLocalBuffer::AppendSilence(int32_t count) {
  if (count <= 0)
    return;
  EnsureFree(count);
  std::memset(DataEnd(), m_format.BitsPerSample == 8 ? 128 : 0, static_cast<size_t>(count));
  m_used += count;
}

void TLocalBuffer::Consume(int32_t n) {
  n = std::clamp(n, 0, m_used);
  if (n < m_used)
    std::memmove(m_data.get(), m_data.get() + n, static_cast<size_t>(m_used - n));
  m_used -= n;
}

int32_t TLocalBuffer::Take(void* destination, int32_t n) {
  n = std::clamp(n, 0, m_used);
  if (n > 0)
    std::memcpy(destination, m_data.get(), static_cast<size_t>(n));
  Consume(n);
  return n;
}

} // namespace qx
