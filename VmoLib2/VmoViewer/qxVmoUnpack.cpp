#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxMemoryStream.h"
#include "QxLib/qxStreamUtils.h"
#include "QxLib/qxZLib.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoScrambleKey.h"

#include <charconv>
#include <climits>
#include <cstring>

namespace qx {

namespace {

constexpr int64_t kCurrentTrailerSize = 20;
constexpr int64_t kOlderTrailerSize = 12;
constexpr int64_t kInflatePiece = 65536;

bool ReadMarkerAt(TStream& stream, int64_t position) {
  char marker[4];
  stream.SetPosition(position);
  return stream.Read(marker, 4) == 4 && std::memcmp(marker, kVmoTrailerMarker.data(), 4) == 0;
}

// Inflates the raw deflate window into text, giving up beyond `limit` bytes.
bool InflateBounded(TStream& window, int64_t limit, std::string& text) {
  TInflateStream inflater(window);
  std::string piece(kInflatePiece, '\0');
  for (;;) {
    const int64_t got = inflater.Read(piece.data(), kInflatePiece);
    if (got <= 0)
      return true;
    if (static_cast<int64_t>(text.size()) + got > limit)
      return false;
    text.append(piece.data(), static_cast<size_t>(got));
  }
}

int64_t ReadNumber(const TIniSection& section, std::string_view key, int64_t minimum, int64_t maximum) {
  int64_t value = 0;
  if (!ParseDecimal(section.ReadString(key, ""), minimum, maximum, value))
    return -1;
  return value;
}

} // namespace

bool ParseDecimal(std::string_view text, int64_t minimum, int64_t maximum, int64_t& value) {
  if (text.starts_with('+'))
    text.remove_prefix(1);
  if (text.empty())
    return false;
  int64_t parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || parsed < minimum || parsed > maximum)
    return false;
  value = parsed;
  return true;
}

TUnpackStruc::TUnpackStruc(std::unique_ptr<TIniStorage> table) : m_table(std::move(table)) {}

TUnpackStruc::~TUnpackStruc() = default;

std::string TUnpackStruc::TableName(std::string_view name) {
  std::string result(name);
  for (char& c : result) {
    if (c == '[')
      c = '<';
    else if (c == ']')
      c = '>';
  }
  return result;
}

TIniSection* TUnpackStruc::FindEntrySection(std::string_view name) const {
  return m_table->FindSection(TableName(name));
}

TVmoUnpack::TVmoUnpack(std::string hostFileName) : m_hostFileName(std::move(hostFileName)), m_key(kVmoScrambleKey) {
  m_host = TFileStream::TryOpen(m_hostFileName, TFileMode::OpenRead);
  if (!m_host) {
    m_errorText = kErrShowNotFound;
    return;
  }
  Locate();
}

TVmoUnpack::~TVmoUnpack() = default;

void TVmoUnpack::Fail(std::string_view error) {
  m_errorText = error;
  m_host.reset();
  m_struc.Reset();
}

bool TVmoUnpack::ReadTrailer(int64_t& tableStart, int64_t& tableSize) {
  TStream& host = *m_host;
  const int64_t length = host.GetSize();
  if (length >= 4 && ReadMarkerAt(host, length - 4)) {
    if (length < kOlderTrailerSize) {
      Fail(kErrShowDamaged);
      return false;
    }
    m_olderTrailer = true;
    m_endPosition = length;
    m_displacement = 0;
  } else if (length >= kOlderTrailerSize && ReadMarkerAt(host, length - kOlderTrailerSize)) {
    if (length < kCurrentTrailerSize) {
      Fail(kErrShowDamaged);
      return false;
    }
    m_endPosition = length - 8;
    host.SetPosition(length - 8);
    const int64_t self = host.ReadInt64();
    if (__builtin_sub_overflow(length - 8, self, &m_displacement)) {
      Fail(kErrShowDamaged);
      return false;
    }
  } else {
    Fail("");
    return false;
  }

  host.SetPosition(m_endPosition - 12);
  const int64_t recorded = host.ReadInt64();
  // The table runs from its start up to the trailer.
  const int64_t tableEnd = m_endPosition - 12;
  if (__builtin_add_overflow(recorded, m_displacement, &tableStart) || tableStart < 0 || tableStart > tableEnd) {
    Fail(kErrShowDamaged);
    return false;
  }
  tableSize = tableEnd - tableStart;
  return true;
}

void TVmoUnpack::Locate() {
  int64_t tableStart = 0;
  int64_t tableSize = 0;
  if (!ReadTrailer(tableStart, tableSize))
    return;
  m_tablePosition = tableStart;

  std::string text;
  {
    TPartialStream window(*m_host, tableStart, tableSize);
    if (!InflateBounded(window, kMaxTableSize, text)) {
      Fail(kErrShowDamaged);
      return;
    }
  }
  auto table = std::make_unique<TIniStorage>();
  if (!table->LoadFromString(text)) {
    Fail(kErrShowDamaged);
    return;
  }
  m_struc = MakeRef<TUnpackStruc>(std::move(table));

  const TIniStorage& storage = m_struc->Table();
  const std::string recordedStart = storage.ReadString(kVmoProtectionSection, "strucpos", "");
  if (!recordedStart.empty() && recordedStart != std::to_string(tableStart)) {
    int64_t recorded = 0;
    if (!ParseDecimal(recordedStart, INT64_MIN, tableStart, recorded) ||
        __builtin_sub_overflow(tableStart, recorded, &m_baseShift)) {
      Fail(kErrShowDamaged);
      return;
    }
  }
  m_version = storage.ReadString(kVmoProtectionSection, "vmoversion", "");
}

bool TVmoUnpack::FindEntry(std::string_view name, TVmoEntryInfo& info) const {
  if (!IsOpen())
    return false;
  const TIniSection* section = m_struc->FindEntrySection(name);
  if (!section)
    return false;
  // "_ps" and "_sz" are 32-bit values; anything else counts as missing, and
  // so does a negative one.
  const int64_t position = ReadNumber(*section, "_ps", 0, INT32_MAX);
  const int64_t size = ReadNumber(*section, "_sz", 0, INT32_MAX);
  if (position < 0 || size < 0)
    return false;
  int64_t method = 0;
  if (!ParseDecimal(section->ReadString("_pm", ""), INT32_MIN, INT32_MAX, method))
    method = kVmoStored;
  // A recorded table position far below the real one gives a base shift
  // that no entry can be moved by; such an entry is not in the file.
  if (__builtin_add_overflow(position, m_baseShift, &info.position))
    return false;
  info.size = size;
  info.method = static_cast<uint8_t>(method);
  return true;
}

std::unique_ptr<TStream> TVmoUnpack::OpenFileHandle() const {
  if (!IsOpen())
    return nullptr;
  return TFileStream::TryOpen(m_hostFileName, TFileMode::OpenRead);
}

std::unique_ptr<TStream> TVmoUnpack::OpenEntry(std::unique_ptr<TStream> host, uint8_t method, int64_t start,
                                               int64_t size) const {
  auto window = std::make_unique<TPartialStream>(std::move(host), start, size);
  if (method == kVmoDeflated) {
    auto memory = std::make_unique<TMemoryStream>();
    {
      window->SetPosition(0);
      TInflateStream inflater(*window);
      memory->CopyFrom(inflater, INT64_MAX);
    }
    window.reset();
    memory->SetPosition(0);
    const int64_t inflated = memory->GetSize();
    auto result = std::make_unique<TPartialStream>(std::move(memory), 0, inflated);
    result->AttachLoadCallback(TFileSource::kLoadPieceSize);
    return result;
  }
  window->AttachLoadCallback(TFileSource::kLoadPieceSize);
  if (method == kVmoScrambled)
    return std::make_unique<TCryptStream>(std::move(window), m_key);
  return window;
}

std::unique_ptr<TStream> TVmoUnpack::OpenEntryByName(std::string_view name) const {
  TVmoEntryInfo info;
  if (!FindEntry(name, info))
    return nullptr;
  std::unique_ptr<TStream> host = OpenFileHandle();
  if (!host)
    return nullptr;
  return OpenEntry(std::move(host), info.method, info.position, info.size);
}

} // namespace qx
