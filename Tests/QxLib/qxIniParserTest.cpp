#include "QxLib/qxIniParser.h"

#include "QxLib/qxMemoryStream.h"

#include <gtest/gtest.h>

#include <tuple>

namespace qx {

namespace {

struct TReport {
  int code;
  int64_t position;
  int line;
  bool operator==(const TReport&) const = default;
};

// Loads `text` into `ini`, collecting the error reports.
std::vector<TReport> Load(TIniStorage& ini, std::string_view text) {
  std::vector<TReport> reports;
  ini.SetErrorHandler([&](int code, int64_t position, int line) { reports.push_back({code, position, line}); });
  ini.LoadFromString(text);
  ini.SetErrorHandler(nullptr);
  return reports;
}

std::vector<std::string> LinesOf(const TIniCollection& collection) {
  std::vector<std::string> lines;
  collection.WriteLines(lines);
  return lines;
}

} // namespace

TEST(IniParser, KeyLinesSplitAtTheFirstEqualsWithoutSurroundingBlanks) {
  TIniStorage ini;
  EXPECT_TRUE(Load(ini, "[S]\n"
                        "  Title \t=  Hello World  \t\n"
                        "Empty=\n"
                        "Formula=a=b;c\n"
                        "Spaced   =x\n"
                        "glued=x y = z\n")
                  .empty());
  const TIniSection* s = ini.FindSection("s");
  ASSERT_NE(s, nullptr);
  const TIniIdent* title = s->FindKey("title");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->Key(), "Title");
  EXPECT_EQ(title->Value(), "Hello World");
  EXPECT_EQ(title->Text(), "  Title \t=  Hello World  \t"); // the raw line is kept
  EXPECT_EQ(s->ReadString("Empty", "def"), "");
  EXPECT_EQ(s->ReadString("Formula", ""), "a=b;c");
  EXPECT_EQ(s->ReadString("spaced", ""), "x");
  EXPECT_EQ(s->ReadString("glued", ""), "x y = z");
}

TEST(IniParser, UnknownLinesAreDroppedWithCode2) {
  TIniStorage ini;
  const auto reports = Load(ini, "[S]\nfirst second=1\nkey=1\njust words\n");
  EXPECT_EQ(reports, (std::vector<TReport>{{2, 4, 2}, {2, 25, 4}}));
  EXPECT_EQ(ini.Lines(), (std::vector<std::string>{"[S]", "key=1"}));
  EXPECT_FALSE(ini.FindSection("S")->KeyExists("first"));
}

TEST(IniParser, ShortBlankCommentAndTextLines) {
  TIniStorage ini;
  EXPECT_TRUE(Load(ini, "[S]\n   \n;\n  x\n; note\n=orphan\n").empty());
  const TIniCollection& s = *ini.FindSection("S");
  std::vector<TIniItemKind> kinds;
  for (const TCommonIniItem* item = s.First(); item; item = item->Next())
    kinds.push_back(item->Kind());
  EXPECT_EQ(kinds, (std::vector<TIniItemKind>{TIniItemKind::EmptyLine, TIniItemKind::EmptyLine, TIniItemKind::EmptyLine,
                                              TIniItemKind::Comment, TIniItemKind::TextLine}));
  EXPECT_EQ(LinesOf(s), (std::vector<std::string>{"[S]", "", "", "", "; note", "=orphan"}));
  EXPECT_EQ(static_cast<const TIniComment*>(s.Last()->Prev())->Comment(), " note");
}

TEST(IniParser, SectionHeaders) {
  TIniStorage ini;
  EXPECT_TRUE(Load(ini, "[  My Section \t] trailing text\nk=1\n[broken\nk2=2\n[ ]\n[]\n").empty());
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"My Section"}));
  const TIniSection* s = ini.FindSection("MY SECTION");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Header(), "[  My Section \t] trailing text");
  // "[" lines without a usable name stay in the section as text lines.
  EXPECT_EQ(LinesOf(*s),
            (std::vector<std::string>{"[  My Section \t] trailing text", "k=1", "[broken", "k2=2", "[ ]", "[]"}));
  EXPECT_EQ(s->ReadInteger("k2", 0), 2);
}

TEST(IniParser, ObjectInMainHoldsItsOwnKeys) {
  TIniStorage ini;
  EXPECT_TRUE(Load(ini, "[Main]\n"
                        "Volume=1\n"
                        "object Music:Music\n"
                        "  Volume=2\n"
                        "  FileName=a.mp3\n"
                        "end\n"
                        "After=3\n")
                  .empty());
  const TIniSection* main = ini.FindSection("main");
  ASSERT_NE(main, nullptr);
  const TIniObject* music = main->FirstObject();
  ASSERT_NE(music, nullptr);
  EXPECT_EQ(music->Name(), "Music");
  EXPECT_EQ(music->ClassName(), "Music");
  EXPECT_EQ(music->ReadInteger("volume", 0), 2);
  EXPECT_EQ(main->ReadInteger("volume", 0), 1);
  EXPECT_FALSE(main->KeyExists("FileName"));
  EXPECT_EQ(main->ReadInteger("After", 0), 3); // "end" closed the object
  EXPECT_FALSE(music->KeyExists("After"));
  EXPECT_EQ(music->Last()->Kind(), TIniItemKind::TextLine);
  EXPECT_EQ(main->NextObject(music), nullptr);
}

TEST(IniParser, ObjectHeaderNameAndClass) {
  TIniObject a("    object  Logo Box :  TBox  ");
  EXPECT_EQ(a.Name(), "Logo Box");
  EXPECT_EQ(a.ClassName(), "TBox");
  EXPECT_EQ(a.Indent(), 4);
  TIniObject b("object a:b:c");
  EXPECT_EQ(b.Name(), "a:b");
  EXPECT_EQ(b.ClassName(), "c");
  TIniObject c("object OnlyClass");
  EXPECT_EQ(c.Name(), "");
  EXPECT_EQ(c.ClassName(), "OnlyClass");
  c.SetClassName("Picture");
  EXPECT_EQ(c.Header(), "object OnlyClass:Picture");
  EXPECT_EQ(c.Name(), "OnlyClass");
  EXPECT_EQ(c.ClassName(), "Picture");
  b.SetName("x");
  EXPECT_EQ(b.Header(), "object x:c");
}

TEST(IniParser, EndWithoutObjectAndUnclosedObjectsAreReported) {
  TIniStorage ini;
  const auto reports = Load(ini, "[S]\nend\nobject A:B\nk=1\nobject C:D\n");
  EXPECT_EQ(reports, (std::vector<TReport>{{0, 4, 2}, {1, 34, 5}, {1, 34, 5}}));
  EXPECT_EQ(ini.Lines(), (std::vector<std::string>{"[S]", "object A:B", "k=1", "object C:D"}));
}

TEST(IniParser, SectionHeaderInsideAnOpenObjectStartsATopLevelSection) {
  TIniStorage ini;
  const auto reports = Load(ini, "[A]\nobject O:P\nk=1\n[B]\nk=2\nend\n");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].code, 0); // B is a section, not an object
  EXPECT_EQ(reports[1].code, 1);
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ini.ReadInteger("B", "k", 0), 2);
  EXPECT_EQ(ini.FindSection("A")->FirstObject()->ReadInteger("k", 0), 1);
}

TEST(IniParser, KeysAndObjectsBeforeTheFirstSectionBelongToTheStorage) {
  TIniStorage ini;
  EXPECT_TRUE(Load(ini, "Top=1\nobject X:Y\nend\n[S]\nTop=2\n").empty());
  EXPECT_EQ(ini.ReadInteger("top", 0), 1);
  EXPECT_EQ(ini.ReadInteger("S", "top", 0), 2);
  ASSERT_NE(ini.FirstObject(), nullptr);
  EXPECT_EQ(ini.FirstObject()->ClassName(), "Y");
}

TEST(IniParser, ErrorPositionsCountUtf16UnitsAndLineEnds) {
  TIniStorage ini;
  // BOM, then a 4-byte character (2 units) and CR LF before the bad line.
  const auto reports = Load(ini, "\xEF\xBB\xBF[\xF0\x9F\x98\x80]\r\nbad line\r\n");
  EXPECT_EQ(reports, (std::vector<TReport>{{2, 6, 2}}));
}

TEST(IniParser, VeryDeepNestingIsCutOffWithoutCrashing) {
  std::string text = "[S]\n";
  const int depth = static_cast<int>(TIniParser::kMaxObjectDepth) + 100;
  for (int k = 0; k < depth; ++k)
    text += "object o:c\n";
  for (int k = 0; k < depth; ++k)
    text += "end\n";
  text += "after=1\n";
  TIniStorage ini;
  const auto reports = Load(ini, text);
  EXPECT_EQ(reports.size(), 200u); // 100 dropped headers and their "end" lines
  for (const TReport& r : reports)
    EXPECT_EQ(r.code, 2);
  EXPECT_EQ(ini.ReadInteger("S", "after", 0), 1);
  TIniStorage copy;
  copy.Assign(ini);
  EXPECT_EQ(copy.SaveToString(), ini.SaveToString());
}

TEST(IniParser, UndecodableTextRaisesAndLeavesTheStorageEmpty) {
  TIniStorage ini;
  ini.LoadFromString("[Old]\nk=1\n");
  EXPECT_THROW(ini.LoadFromString("\xEF\xBB\xBF[S]\nk=\x80\n"), EIniInvalidCharacter);
  EXPECT_TRUE(ini.IsEmpty());
  EXPECT_FALSE(ini.SectionExists("Old"));
  EXPECT_TRUE(ini.LoadFromString(""));
  EXPECT_TRUE(ini.IsEmpty());
}

TEST(IniParser, RandomBytesNeverCrash) {
  uint32_t seed = 12345;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<char>(seed >> 24);
  };
  const std::string alphabet = "[]=; \t\r\nobjectend:\x80\xC3\xF0";
  for (const std::string prefix : {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"}) {
    for (int round = 0; round < 200; ++round) {
      std::string text = prefix;
      const int length = 1 + (static_cast<unsigned char>(next()) % 200);
      for (int k = 0; k < length; ++k) {
        const char c = next();
        text += (c & 1) ? c : alphabet[static_cast<unsigned char>(c) % alphabet.size()];
      }
      TIniStorage ini;
      try {
        Load(ini, text);
      } catch (const EIniInvalidCharacter&) {
        EXPECT_TRUE(ini.IsEmpty());
        continue;
      }
      TIniStorage reloaded;
      reloaded.LoadFromString(ini.SaveToString());
      EXPECT_EQ(reloaded.Lines().size(), ini.Lines().size());
    }
  }
}

TEST(IniSaver, RoundTripWritesBomAndCrLf) {
  const std::string text = "; head\n"
                           "[Main]\n"
                           "Key = Value  \n"
                           "object Music:Music\n"
                           "  Volume=2\n"
                           "end\n"
                           "\n"
                           "[Slide1]\r"
                           "Name=caf\xE9"; // Windows-1252 without a byte-order mark
  TIniStorage ini;
  ini.LoadFromString(text);
  const std::string expected = "\xEF\xBB\xBF; head\r\n[Main]\r\nKey = Value  \r\nobject Music:Music\r\n"
                               "  Volume=2\r\nend\r\n\r\n[Slide1]\r\nName=caf\xC3\xA9\r\n";
  EXPECT_EQ(ini.SaveToString(), expected);
  TMemoryStream stream;
  EXPECT_TRUE(ini.SaveToStream(stream));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), stream.GetSize()), expected);
  // Saving what was saved changes nothing.
  TIniStorage again;
  again.LoadFromString(expected);
  EXPECT_EQ(again.SaveToString(), expected);
}

TEST(IniSaver, AnsiTextIsSavedAsUtf8) {
  TIniStorage ini;
  ini.LoadFromString("[S]\nPrice=5\x80\n");
  EXPECT_EQ(ini.SaveToString(), "\xEF\xBB\xBF[S]\r\nPrice=5\xE2\x82\xAC\r\n");
}

TEST(IniSaver, FailedWriteReportsFalse) {
  class TFullStream : public TMemoryStream {
  public:
    int64_t Write(const void*, int64_t) override { return 0; }
  };
  TIniStorage ini;
  ini.WriteString("S", "k", "v");
  TFullStream stream;
  EXPECT_FALSE(ini.SaveToStream(stream));
}

TEST(IniFile, SavesAndLoadsFiles) {
  const std::string path = std::string(VMO_BINARY_DIR) + "/ini_file_test.ini";
  TIniFile file;
  file.WriteInteger("Main", "Count", 7);
  ASSERT_TRUE(file.SaveToFile(path));
  TIniFile loaded(path);
  EXPECT_EQ(loaded.ReadInteger("main", "count", 0), 7);
  EXPECT_EQ(loaded.FileName(), path);
  std::remove(path.c_str());
  EXPECT_FALSE(loaded.LoadFromFile(path));
  EXPECT_TRUE(loaded.IsEmpty());
}

} // namespace qx
