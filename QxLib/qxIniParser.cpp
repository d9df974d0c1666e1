#include "QxLib/qxIniParser.h"

#include "QxLib/qxFileStream.h"
#include "QxLib/qxMemoryStream.h"
#include "QxLib/qxStream.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

constexpr size_t kSaveFlushSize = 65536;

bool IsWord(std::string_view word, std::string_view lowerAscii) {
  if (word.size() != lowerAscii.size())
    return false;
  for (size_t k = 0; k < word.size(); ++k) {
    const char c = (word[k] >= 'A' && word[k] <= 'Z') ? static_cast<char>(word[k] + 32) : word[k];
    if (c != lowerAscii[k])
      return false;
  }
  return true;
}

int32_t Pos32(size_t value) { return static_cast<int32_t>(value); }

// A read-only stream over bytes owned by the caller.
class TBytesStream : public TStream {
public:
  explicit TBytesStream(std::string_view bytes) : m_bytes(bytes) {}

  int64_t GetPosition() override { return m_position; }
  void SetPosition(int64_t position) override { m_position = std::max<int64_t>(position, 0); }
  int64_t GetSize() override { return static_cast<int64_t>(m_bytes.size()); }
  void SetSize(int64_t) override { throw EStreamWriteError("Stream is read-only"); }
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t size = GetSize();
    if (count <= 0 || m_position >= size)
      return 0;
    const int64_t n = std::min(count, size - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }

private:
  std::string_view m_bytes;
  int64_t m_position = 0;
};

} // namespace

// ---------------------------------------------------------------------------
// TIniParser

void TIniParser::Report(int code, int64_t position, int line) const {
  if (m_storage.ErrorHandler())
    m_storage.ErrorHandler()(code, position, line);
}

void TIniParser::ProcessLine(std::string_view line) {
  const size_t n = line.size();
  size_t i = 0;
  while (i < n && IsBlank(line[i]))
    ++i;
  // Blank, or a single character after the blanks.
  if (i + 1 >= n) {
    m_current->Add(std::make_unique<TIniEmptyLine>());
    return;
  }
  const char first = line[i];
  if (first == ';') {
    m_current->Add(std::make_unique<TIniComment>(std::string(line), Pos32(i)));
    return;
  }
  if (first == '=' || (first == '[' && !AddSectionLine(line, i))) {
    m_current->Add(std::make_unique<TIniTextLine>(std::string(line)));
    return;
  }
  if (first == '[')
    return;

  size_t wordEnd = i;
  bool isKey = false;
  while (wordEnd < n && !IsBlank(line[wordEnd])) {
    isKey = isKey || line[wordEnd] == '=';
    ++wordEnd;
  }
  if (!isKey) {
    size_t next = wordEnd;
    while (next < n && IsBlank(line[next]))
      ++next;
    isKey = next < n && line[next] == '=';
  }
  if (isKey) {
    AddKeyLine(line, i);
    return;
  }
  const std::string_view word = line.substr(i, wordEnd - i);
  if (IsWord(word, "object")) {
    OpenObject(line);
    return;
  }
  if (IsWord(word, "end")) {
    CloseObject(line);
    return;
  }
  Report(kErrorUnknownLine, LinePosition(), LineNumber());
}

void TIniParser::AddKeyLine(std::string_view line, size_t keyStart) {
  const size_t equals = line.find('=', keyStart);
  size_t keyEnd = equals;
  while (keyEnd > keyStart && IsBlank(line[keyEnd - 1]))
    --keyEnd;
  size_t valueStart = equals + 1;
  while (valueStart < line.size() && IsBlank(line[valueStart]))
    ++valueStart;
  m_current->Add(
      std::make_unique<TIniIdent>(std::string(line), Pos32(keyStart), Pos32(keyEnd - keyStart), Pos32(valueStart)));
}

bool TIniParser::AddSectionLine(std::string_view line, size_t bracket) {
  size_t nameStart = bracket + 1;
  while (nameStart < line.size() && IsBlank(line[nameStart]))
    ++nameStart;
  if (nameStart >= line.size())
    return false;
  const size_t close = line.find(']', nameStart + 1);
  if (close == std::string_view::npos)
    return false;
  size_t nameEnd = close;
  while (nameEnd > nameStart && IsBlank(line[nameEnd - 1]))
    --nameEnd;
  // Sections always belong to the storage; open objects stay open.
  m_current = static_cast<TIniSection*>(
      &m_storage.Add(std::make_unique<TIniSection>(std::string(line), Pos32(nameStart), Pos32(nameEnd - nameStart))));
  return true;
}

void TIniParser::OpenObject(std::string_view line) {
  if (m_openParents.size() >= kMaxObjectDepth) {
    ++m_droppedObjects;
    Report(kErrorUnknownLine, LinePosition(), LineNumber());
    return;
  }
  TCommonIniItem& object = m_current->Add(std::make_unique<TIniObject>(std::string(line)));
  m_openParents.push_back(m_current);
  m_current = static_cast<TIniObject*>(&object);
}

void TIniParser::CloseObject(std::string_view line) {
  if (m_droppedObjects > 0) {
    --m_droppedObjects;
    Report(kErrorUnknownLine, LinePosition(), LineNumber());
    return;
  }
  if (m_current->Kind() != TIniItemKind::Object || m_openParents.empty()) {
    Report(kErrorEndWithoutObject, LinePosition(), LineNumber());
    return;
  }
  m_current->Add(std::make_unique<TIniTextLine>(std::string(line)));
  m_current = m_openParents.back();
  m_openParents.pop_back();
}

void TIniParser::EndOfText() {
  const size_t unclosed = m_openParents.size() + static_cast<size_t>(m_droppedObjects);
  for (size_t k = 0; k < unclosed; ++k)
    Report(kErrorObjectNotClosed, LinePosition(), LineNumber());
}

// ---------------------------------------------------------------------------
// TIniSaver

void TIniSaver::Save(const TIniCollection& items) {
  m_buffer.assign(kUtf8ByteOrderMark);
  WriteItems(items);
  Flush();
}

void TIniSaver::WriteItems(const TIniCollection& items) {
  for (const TCommonIniItem* item = items.First(); item; item = item->Next()) {
    switch (item->Kind()) {
    case TIniItemKind::EmptyLine: WriteLine({}); break;
    case TIniItemKind::TextLine:
    case TIniItemKind::Comment:
    case TIniItemKind::Ident: WriteLine(static_cast<const TIniTextLine*>(item)->Text()); break;
    case TIniItemKind::Section:
    case TIniItemKind::Object:
      WriteLine(static_cast<const TCommonIniSection*>(item)->Header());
      WriteItems(*static_cast<const TIniCollection*>(item));
      break;
    case TIniItemKind::Storage: WriteItems(*static_cast<const TIniCollection*>(item)); break;
    }
  }
}

void TIniSaver::WriteLine(std::string_view line) {
  m_buffer.append(line);
  m_buffer.append("\r\n");
  if (m_buffer.size() >= kSaveFlushSize)
    Flush();
}

void TIniSaver::Flush() {
  m_stream.WriteBuffer(m_buffer.data(), static_cast<int64_t>(m_buffer.size()));
  m_buffer.clear();
}

// ---------------------------------------------------------------------------
// Loading and saving of TIniStorage

bool TIniStorage::LoadFromStream(TStream& stream) {
  Clear();
  try {
    TIniParser parser(*this);
    parser.Parse(stream);
  } catch (...) {
    Clear(); // no half-read storage
    throw;
  }
  return true;
}

bool TIniStorage::LoadFromString(std::string_view bytes) {
  TBytesStream stream(bytes);
  return LoadFromStream(stream);
}

bool TIniStorage::SaveToStream(TStream& stream) const {
  try {
    TIniSaver saver(stream);
    saver.Save(*this);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string TIniStorage::SaveToString() const {
  TMemoryStream stream;
  TIniSaver saver(stream);
  saver.Save(*this);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

// ---------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(const std::string& path) { LoadFromFile(path); }

bool TIniFile::LoadFromFile(const std::string& path) {
  m_fileName = path;
  const std::unique_ptr<TFileStream> stream = TFileStream::TryOpen(path, TFileMode::OpenRead);
  if (!stream) {
    Clear();
    return false;
  }
  return LoadFromStream(*stream);
}

bool TIniFile::SaveToFile(const std::string& path) const {
  const std::unique_ptr<TFileStream> stream = TFileStream::TryOpen(path, TFileMode::Create);
  return stream && SaveToStream(*stream);
}

} // namespace qx
