#include "QxLib/qxMemoryStream.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qx {

namespace {
const char* const kOutOfMemory = "Out of memory while expanding memory stream";
}

int64_t TMemoryStream::GrowCapacity(int64_t capacity, int64_t wanted) {
  while (capacity < wanted) {
    if (capacity < 33)
      capacity += 16;
    else if (capacity < 257)
      capacity += 64;
    else
      capacity *= 2;
  }
  return std::min(capacity, kMaxSize);
}

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity <= m_capacity)
    return;
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[static_cast<size_t>(capacity)]);
  if (!data)
    throw EStreamError(kOutOfMemory);
  if (m_size > 0)
    std::memcpy(data.get(), m_data.get(), static_cast<size_t>(m_size));
  m_data = std::move(data);
  m_capacity = capacity;
}

void TMemoryStream::SetPosition(int64_t position) { m_position = std::max<int64_t>(position, 0); }

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0 || size > kMaxSize)
    throw EStreamError(kOutOfMemory);
  if (size > m_capacity)
    Reserve(GrowCapacity(m_capacity, size));
  if (size > m_size)
    std::memset(m_data.get() + m_size, 0, static_cast<size_t>(size - m_size));
  m_size = size;
  m_position = std::min(m_position, m_size);
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || m_position >= m_size)
    return 0;
  const int64_t n = std::min(count, m_size - m_position);
  std::memcpy(buffer, m_data.get() + m_position, static_cast<size_t>(n));
  m_position += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0)
    return 0;
  const int64_t end = m_position + count;
  if (end > kMaxSize)
    throw EStreamError(kOutOfMemory);
  if (end > m_size) {
    const int64_t oldSize = m_size;
    if (end > m_capacity)
      Reserve(GrowCapacity(m_capacity, end));
    // A gap left by a position beyond the end reads as zeros.
    if (m_position > oldSize)
      std::memset(m_data.get() + oldSize, 0, static_cast<size_t>(m_position - oldSize));
    m_size = end;
  }
  std::memcpy(m_data.get() + m_position, buffer, static_cast<size_t>(count));
  m_position = end;
  return count;
}

} // namespace qx
