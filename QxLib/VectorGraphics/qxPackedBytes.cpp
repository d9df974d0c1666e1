#include "QxLib/VectorGraphics/qxPackedBytes.h"

#include "QxLib/qxUtf8.h"

#include <bit>
#include <cstring>

namespace qx {

void TPackedReader::Fail(const std::string& message) const { throw EVectorTextError(m_kind + ": " + message); }

const uint8_t* TPackedReader::Take(size_t count) {
  if (count > Remaining())
    Fail("truncated entry (" + std::to_string(count) + " bytes wanted at offset " + std::to_string(m_position) + ", " +
         std::to_string(Remaining()) + " left)");
  const auto* at = reinterpret_cast<const uint8_t*>(m_bytes.data()) + m_position;
  m_position += count;
  return at;
}

int32_t TPackedReader::Int32() {
  const uint8_t* b = Take(4);
  return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
}

uint16_t TPackedReader::UInt16() {
  const uint8_t* b = Take(2);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

float TPackedReader::Float() { return std::bit_cast<float>(static_cast<uint32_t>(Int32())); }

int32_t TPackedReader::Count(const char* what, int32_t max, size_t itemBytes) {
  const int32_t count = Int32();
  if (count < 0 || count > max)
    Fail(std::string(what) + " " + std::to_string(count) + " out of range (0 to " + std::to_string(max) + ")");
  if (itemBytes > 0 && static_cast<size_t>(count) > Remaining() / itemBytes)
    Fail(std::string(what) + " " + std::to_string(count) + " exceeds the entry (" + std::to_string(Remaining()) +
         " bytes left)");
  return count;
}

std::string TPackedReader::Utf16(int32_t units) {
  const uint8_t* b = Take(2 * static_cast<size_t>(units));
  std::u16string text(static_cast<size_t>(units), u'\0');
  for (int32_t i = 0; i < units; ++i)
    text[static_cast<size_t>(i)] = static_cast<char16_t>(b[2 * i] | b[2 * i + 1] << 8);
  return Utf16ToUtf8(text);
}

void TPackedWriter::Int32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                         static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
  m_bytes.append(bytes, 4);
}

void TPackedWriter::UInt16(uint16_t value) {
  const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
  m_bytes.append(bytes, 2);
}

void TPackedWriter::Float(float value) { Int32(static_cast<int32_t>(std::bit_cast<uint32_t>(value))); }

void TPackedWriter::Utf16WithLength(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  Int32(static_cast<int32_t>(units.size()));
  for (const char16_t unit : units)
    UInt16(static_cast<uint16_t>(unit));
}

} // namespace qx
