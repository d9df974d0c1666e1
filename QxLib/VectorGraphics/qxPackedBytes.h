// Little-endian readers and writers of the packed vector-text entries. The
// reader works on a plain byte buffer and checks every read against what is
// left, so a truncated or forged entry fails with a message naming the entry
// kind instead of reading past its end.
#pragma once

#include "QxLib/qxExceptions.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// A packed glyph cache or text layout that cannot be read.
class EVectorTextError : public EQxError {
public:
  using EQxError::EQxError;
};

class TPackedReader {
public:
  // `kind` starts every message ("VectTextCache", "VectTxt2").
  TPackedReader(std::string_view bytes, std::string kind) : m_bytes(bytes), m_kind(std::move(kind)) {}

  size_t Remaining() const { return m_bytes.size() - m_position; }
  bool AtEnd() const { return m_position == m_bytes.size(); }

  int32_t Int32();
  uint16_t UInt16();
  float Float();
  // A count read as int32 that must lie within 0 … max and whose items, each
  // at least `itemBytes` long, must fit in what is left; `what` names it in
  // the message.
  int32_t Count(const char* what, int32_t max, size_t itemBytes);
  // A UTF-16LE text of `units` code units, as UTF-8.
  std::string Utf16(int32_t units);

  // Raises EVectorTextError "<kind>: <message>".
  [[noreturn]] void Fail(const std::string& message) const;

private:
  const uint8_t* Take(size_t count);

  std::string_view m_bytes;
  size_t m_position = 0;
  std::string m_kind;
};

class TPackedWriter {
public:
  void Int32(int32_t value);
  void UInt16(uint16_t value);
  void Float(float value);
  // Writes the UTF-16 length of the text as int32, then its code units.
  void Utf16WithLength(std::string_view utf8);

  const std::string& Bytes() const { return m_bytes; }
  std::string Take() { return std::move(m_bytes); }

private:
  std::string m_bytes;
};

} // namespace qx
