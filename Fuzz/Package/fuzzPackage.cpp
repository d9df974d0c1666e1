// Fuzz target of the show package: the input is a whole host file (an
// executable with a package appended, or anything else). It checks the
// package locator (both trailer forms, displaced tails, the recorded table
// position), the file table and every entry it lists, the project with its
// FileMap and RotationState sections, and the show model built from it.
//
// Promises checked: a located package has no error text and a file table; a
// refused one has neither; every listed entry opens to exactly its stored
// size (decoded by its method) or raises a stream error; opening a show
// gives a show or a message, never both and never an assertion text; and the
// entries read back unchanged from a package the writer makes of them.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "Tools/PackWriter/qxVmoPackWriter.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoLoader2.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoScrambleKey.h"

#include <set>
#include <vector>

namespace {

using namespace qx;

// Entries larger than this are read but not written again.
constexpr int64_t kRoundTripLimit = int64_t{1} << 20;

struct TReadEntry {
  std::string name;
  uint8_t method;
  std::string bytes;
};

std::string ReadWhole(TStream& stream) {
  std::string bytes;
  char piece[4096];
  for (;;) {
    const int64_t got = stream.Read(piece, sizeof piece);
    FUZZ_CHECK(got >= 0 && got <= static_cast<int64_t>(sizeof piece));
    if (got == 0)
      return bytes;
    bytes.append(piece, static_cast<size_t>(got));
    FUZZ_CHECK(static_cast<int64_t>(bytes.size()) <= TMemoryStream::kMaxSize);
  }
}

// Opens every entry of the table; returns those that decoded.
std::vector<TReadEntry> ReadEntries(const TVmoUnpack& unpack, const std::string& host) {
  std::vector<TReadEntry> entries;
  for (const std::string& name : unpack.Struc()->Table().SectionNames()) {
    TVmoEntryInfo info;
    if (!unpack.FindEntry(name, info))
      continue;
    FUZZ_CHECK(info.size >= 0 && info.size <= INT32_MAX);
    FUZZ_CHECK(info.position >= 0);
    std::unique_ptr<TStream> stream;
    std::string bytes;
    if (!FUZZ_RESULT_OR_ERROR(stream = unpack.OpenEntryByName(name); if (stream) bytes = ReadWhole(*stream)))
      continue;
    FUZZ_CHECK(stream != nullptr);
    if (info.method != kVmoDeflated) {
      // A window opens only when the host holds all of it.
      FUZZ_CHECK(info.position + info.size <= static_cast<int64_t>(host.size()));
      FUZZ_CHECK(stream->GetSize() == info.size);
      std::string expected = host.substr(static_cast<size_t>(info.position), static_cast<size_t>(info.size));
      if (info.method == kVmoScrambled)
        for (size_t i = 0; i < expected.size(); ++i)
          expected[i] = static_cast<char>(expected[i] ^ kVmoScrambleKey[i % kVmoScrambleKey.size()]);
      FUZZ_CHECK(bytes == expected);
      // Reading from the middle gives the same bytes as reading it whole.
      const int64_t middle = info.size / 2;
      stream->SetPosition(middle);
      FUZZ_CHECK(ReadWhole(*stream) == bytes.substr(static_cast<size_t>(middle)));
    }
    entries.push_back({name, info.method, std::move(bytes)});
  }
  return entries;
}

// Writes the entries into a new package and reads them back.
void CheckRoundTrip(const std::vector<TReadEntry>& entries, const std::string& version) {
  TMemoryStream out;
  TVmoPackWriter writer(out);
  std::set<std::string> upper;
  std::set<std::string> lower;
  std::vector<const TReadEntry*> written;
  int64_t total = 0;
  for (const TReadEntry& entry : entries) {
    if (static_cast<int64_t>(entry.bytes.size()) > kRoundTripLimit || total > 4 * kRoundTripLimit)
      continue;
    if (LowerCase(entry.name) == kVmoProtectionSection)
      continue;
    // The writer and the table compare names ignoring case in two ways.
    if (!upper.insert(UpperCase(entry.name)).second || !lower.insert(LowerCase(entry.name)).second)
      continue;
    writer.AddEntry(entry.name, entry.method, entry.bytes);
    written.push_back(&entry);
    total += static_cast<int64_t>(entry.bytes.size());
  }
  writer.Finish(version, TVmoTrailerForm::Current);
  out.SetPosition(0);
  const std::string path = fuzz::TScratchFolder::Instance().Write("again.exe", out.ReadAll());

  TVmoUnpack again(path);
  FUZZ_CHECK(again.IsOpen());
  FUZZ_CHECK(again.Version() == version);
  for (const TReadEntry* entry : written) {
    TVmoEntryInfo info;
    FUZZ_CHECK(again.FindEntry(entry->name, info));
    FUZZ_CHECK(info.method == entry->method);
    const std::unique_ptr<TStream> stream = again.OpenEntryByName(entry->name);
    FUZZ_CHECK(stream != nullptr);
    FUZZ_CHECK(ReadWhole(*stream) == entry->bytes);
  }
}

void CheckUnpack(const std::string& path, const std::string& host) {
  std::unique_ptr<TVmoUnpack> unpack;
  // A file table that does not inflate raises the decompressor's error.
  if (!FUZZ_RESULT_OR_ERROR(unpack = std::make_unique<TVmoUnpack>(path)))
    return;
  TVmoEntryInfo info;
  if (!unpack->IsOpen()) {
    FUZZ_CHECK(unpack->Struc() == nullptr);
    FUZZ_CHECK(!unpack->FindEntry("Project.vmo", info));
    FUZZ_CHECK(unpack->OpenFileHandle() == nullptr);
    return;
  }
  FUZZ_CHECK(unpack->ErrorText().empty());
  FUZZ_CHECK(unpack->Struc() != nullptr);
  FUZZ_CHECK(unpack->TablePosition() >= 0 && unpack->TablePosition() <= static_cast<int64_t>(host.size()));
  FUZZ_CHECK(unpack->BaseShift() >= 0);
  FUZZ_CHECK(unpack->Struc()->Table().Lines().size() <= static_cast<size_t>(TVmoUnpack::kMaxTableSize));
  CheckRoundTrip(ReadEntries(*unpack, host), unpack->Version());
}

// The name a FileMap chain ends at, or "" when it leaves the package.
std::string PackedTarget(const TMappedFileSource& source, std::string name) {
  for (int depth = 0; depth <= TMappedFileSource::kMaxMappingDepth; ++depth) {
    const std::string* target = source.MappedName(name);
    if (!target)
      break;
    name = *target;
  }
  return name.starts_with(kLoadFromDiskPrefix) ? std::string() : name;
}

void CheckShow(const std::string& path) {
  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(path, false, message);
  FUZZ_CHECK((show != nullptr) == message.empty());
  FUZZ_CHECK(message.find("Asseertion") == std::string::npos);
  if (!show)
    return;
  FUZZ_CHECK(show->ProjectStorage() != nullptr);
  // Only a packed show's files are opened here: a loose project names files
  // on this machine.
  auto* packed = dynamic_cast<TPackedFileSource*>(&show->Accessor().Source());
  if (packed) {
    const TIniSection* fileMap = show->ProjectStorage()->FindSection("FileMap");
    std::string name;
    std::string target;
    for (const std::string& line : fileMap ? SectionTextLines(*fileMap, false) : std::vector<std::string>{}) {
      if (!ParseFileMapLine(line, name, target) || PackedTarget(*packed, name).empty())
        continue;
      std::unique_ptr<TStream> stream;
      FUZZ_RESULT_OR_ERROR(stream = show->Accessor().OpenStream(name); if (stream) ReadWhole(*stream));
      (void)packed->Rotation(name);
    }
  }
  FUZZ_RESULT_OR_ERROR(show->Source());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string host = fuzz::Bytes(data, size);
  const std::string path = fuzz::TScratchFolder::Instance().Write("show.exe", host);
  CheckUnpack(path, host);
  CheckShow(path);
  return 0;
}
