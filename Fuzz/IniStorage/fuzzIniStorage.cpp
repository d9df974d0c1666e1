// Fuzz target of the INI storage: the reader of the project text, the package
// file table, skins and play lists. Any bytes are a text in one of the four
// encodings, or an undecodable one that raises the invalid-character error.
// A decoded text always loads; saving it and loading the saved text gives the
// same lines again, a copy saves the same, and every typed reader answers a
// value or its default for every key of every section and object.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/qxIniParser.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"

#include <vector>

namespace {

using namespace qx;

struct TReport {
  int code;
  int64_t position;
  int line;
};

// Every typed reader on one key; none may raise on any value. A key that
// exists answers its value, never the default: the default here is a line
// break, which no value can hold.
void ReadTyped(const TIniIdentList& list, const std::string& key) {
  const std::string value = list.ReadString(key, "\n");
  FUZZ_CHECK(value != "\n");
  (void)list.ReadInteger(key, 7);
  (void)list.ReadInteger64Default(key, int64_t{1} << 40);
  (void)list.ReadFloat(key, 0.5);
  (void)list.ReadBool(key, true);
  FUZZ_CHECK(list.ReadChoice(key, {"stop", "loop", "pause"}, -5, true) >= -5);
  const std::vector<std::string> items = list.ReadTextList(key, 8);
  FUZZ_CHECK(items.size() <= 8);
  std::vector<int32_t> integers;
  const int count = list.ReadIntegerList(key, integers);
  FUZZ_CHECK(count >= 0 ? integers.size() == static_cast<size_t>(count)
                        : integers.size() == static_cast<size_t>(~count));
  std::vector<double> floats;
  const int floatCount = list.ReadFloatList(key, floats, 4);
  FUZZ_CHECK(floatCount >= 0 ? floats.size() == static_cast<size_t>(floatCount) && floatCount <= 4
                             : floats.size() == static_cast<size_t>(~floatCount));
  (void)list.ReadColor(key, TRgb{});
  (void)list.ReadColorAlpha(key, TRgba{});
  TPoint point{};
  (void)list.ReadPoint(key, point);
  TFloatPoint floatPoint{};
  (void)list.ReadFloatPoint(key, floatPoint);
  TFloatRect rect{};
  (void)list.ReadRect(key, rect, &floatPoint);
}

// Walks the keys and nested objects of a collection; the parser bounds the
// nesting, so the recursion is bounded too.
void Walk(const TIniIdentList& list, int depth) {
  FUZZ_CHECK(depth <= static_cast<int>(TIniParser::kMaxObjectDepth) + 1);
  for (const TCommonIniItem* item = list.First(); item; item = item->Next()) {
    FUZZ_CHECK(item->Owner() == &list);
    if (const auto* ident = dynamic_cast<const TIniIdent*>(item)) {
      const std::string key = ident->Key();
      FUZZ_CHECK(!key.empty());
      const TIniIdent* found = list.FindKey(key);
      FUZZ_CHECK(found != nullptr);
      FUZZ_CHECK(found->LowerKey() == ident->LowerKey());
      ReadTyped(list, key);
    }
  }
  int objects = 0;
  for (const TIniObject* object = list.FirstObject(); object && objects < 10000; object = list.NextObject(object)) {
    Walk(*object, depth + 1);
    ++objects;
  }
}

std::vector<std::string> Reload(const std::string& saved, std::vector<TReport>* reports) {
  TIniStorage storage;
  if (reports)
    storage.SetErrorHandler([reports](int code, int64_t position, int line) {
      reports->push_back({code, position, line});
    });
  bool loaded = false;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(loaded = storage.LoadFromString(saved)));
  FUZZ_CHECK(loaded);
  return storage.Lines();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzz::Bytes(data, size);
  TIniStorage storage;
  std::vector<TReport> reports;
  storage.SetErrorHandler([&reports](int code, int64_t position, int line) {
    reports.push_back({code, position, line});
  });
  bool loaded = false;
  if (!FUZZ_RESULT_OR_ERROR(loaded = storage.LoadFromString(bytes)))
    return 0; // undecodable text
  FUZZ_CHECK(loaded);

  int lastLine = 0;
  for (const TReport& report : reports) {
    FUZZ_CHECK(report.code >= TIniParser::kErrorEndWithoutObject && report.code <= TIniParser::kErrorUnknownLine);
    FUZZ_CHECK(report.line >= 1 && report.line >= lastLine);
    FUZZ_CHECK(report.position >= 0 && report.position <= static_cast<int64_t>(size));
    lastLine = report.line;
  }

  for (const std::string& name : storage.SectionNames()) {
    const TIniSection* section = storage.FindSection(name);
    FUZZ_CHECK(section != nullptr);
    FUZZ_CHECK(section->LowerName() == LowerCase(name));
  }
  Walk(storage, 0);

  // Saving writes the lines as they are: a byte-order mark, then each line
  // ended by CR LF.
  const std::vector<std::string> lines = storage.Lines();
  std::string expected = "\xEF\xBB\xBF";
  for (const std::string& line : lines)
    expected += line + "\r\n";
  const std::string saved = storage.SaveToString();
  FUZZ_CHECK(saved == expected);

  // The saved text reads back as the same lines; only unclosed objects are
  // reported again, since the other malformed lines were dropped.
  std::vector<TReport> again;
  FUZZ_CHECK(Reload(saved, &again) == lines);
  for (const TReport& report : again)
    FUZZ_CHECK(report.code == TIniParser::kErrorObjectNotClosed);

  // A copy holds the same lines.
  const std::unique_ptr<TCommonIniItem> copy = storage.Clone();
  std::vector<std::string> copied;
  copy->WriteLines(copied);
  FUZZ_CHECK(copied == lines);

  // A written value reads back, and survives a save and a reload.
  const std::vector<std::string> names = storage.SectionNames();
  const std::string section = names.empty() ? std::string("fuzz") : names.front();
  const std::string value = "v=1;x, 2";
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(storage.WriteString(section, "FuzzKey", value)));
  FUZZ_CHECK(storage.ReadString(section, "fuzzkey", "") == value);
  TIniStorage reloaded;
  FUZZ_CHECK(reloaded.LoadFromString(storage.SaveToString()));
  FUZZ_CHECK(reloaded.ReadString(section, "FUZZKEY", "") == value);
  return 0;
}
