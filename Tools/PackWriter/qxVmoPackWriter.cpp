#include "Tools/PackWriter/qxVmoPackWriter.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxTextReader.h"
#include "QxLib/qxUtf8.h"
#include "QxLib/qxZLib.h"
#include "VmoLib2/VmoViewer/qxVmoScrambleKey.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

namespace qx {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendLine(std::string& text, std::string_view line) {
  text += line;
  text += kLineEnd;
}

} // namespace

std::string EncodeEntry(uint8_t method, std::string_view bytes) {
  switch (method) {
  case kVmoDeflated: return DeflateRaw(bytes);
  case kVmoScrambled: {
    // The key runs from each entry's first byte.
    std::string scrambled(bytes);
    for (size_t i = 0; i < scrambled.size(); ++i)
      scrambled[i] = static_cast<char>(scrambled[i] ^ kVmoScrambleKey[i % kVmoScrambleKey.size()]);
    return scrambled;
  }
  default: return std::string(bytes);
  }
}

std::string ExeGuidBytes(std::string_view guidText) {
  const std::u16string units = Utf8ToUtf16(guidText);
  std::string bytes;
  const auto count = static_cast<uint32_t>(units.size());
  for (int shift = 0; shift < 32; shift += 8)
    bytes += static_cast<char>((count >> shift) & 0xFF);
  for (const char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

TVmoPackWriter::TVmoPackWriter(TStream& out) : m_out(out) { m_out.SetPosition(m_out.GetSize()); }

void TVmoPackWriter::AppendTableEntry(std::string_view name, uint8_t method, int64_t position, int64_t size) {
  if (name.empty())
    throw EQxError("An entry needs a name");
  if (!m_names.insert(UpperCase(name)).second)
    throw EQxError("Entry \"" + std::string(name) + "\" is listed twice");
  if (position + size > kMaxPackageSize)
    throw EQxError("Package would exceed 2 GiB at entry \"" + std::string(name) + "\"");
  AppendLine(m_table, "[" + TUnpackStruc::TableName(name) + "]");
  AppendLine(m_table, "_ps=" + std::to_string(position));
  AppendLine(m_table, "_sz=" + std::to_string(size));
  AppendLine(m_table, "_pm=" + std::to_string(method));
  ++m_entryCount;
}

void TVmoPackWriter::ListExisting(std::string_view name, int64_t position, int64_t size) {
  AppendTableEntry(name, kVmoStored, position, size);
}

void TVmoPackWriter::AddEntry(std::string_view name, uint8_t method, std::string_view bytes) {
  const std::string encoded = EncodeEntry(method, bytes);
  const int64_t position = m_out.GetPosition();
  AppendTableEntry(name, method, position, static_cast<int64_t>(encoded.size()));
  m_out.WriteString(encoded);
}

void TVmoPackWriter::AddExeGuid(std::string_view guidText) { AddEntry("ExeGUID", kVmoStored, ExeGuidBytes(guidText)); }

void TVmoPackWriter::Finish(std::string_view vmoVersion, TVmoTrailerForm form) {
  const int64_t tablePosition = m_out.GetPosition();
  std::string text(kUtf8ByteOrderMark);
  text += m_table;
  AppendLine(text, "[" + std::string(kVmoProtectionSection) + "]");
  AppendLine(text, "vmoversion=" + std::string(vmoVersion));
  AppendLine(text, "strucpos=" + std::to_string(tablePosition));
  m_out.WriteString(DeflateRaw(text));
  m_out.WriteInt64(tablePosition);
  m_out.WriteString(std::string(kVmoTrailerMarker));
  if (form == TVmoTrailerForm::Current)
    m_out.WriteInt64(m_out.GetPosition());
}

} // namespace qx
