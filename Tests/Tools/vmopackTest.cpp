// Runs the vmopack program as a user would and checks what it prints.
#include "QxLib/qxProcess.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace qx {
namespace {

using test::TScratchFolder;

struct TRun {
  int exitCode = -1;
  bool signalled = false;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TRun Vmopack(const std::vector<std::string>& args) {
  const TProgramResult result = RunProgram(VMOPACK_PATH, args);
  return {result.ExitCode, result.Signalled, result.Out, result.Err};
}

struct TListed {
  int method;
  int64_t position;
  int64_t size;
  std::string name;
};

std::vector<TListed> ParseList(const std::string& text) {
  std::vector<TListed> entries;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    TListed entry{};
    std::string method, position, size;
    std::getline(fields, method, '\t');
    std::getline(fields, position, '\t');
    std::getline(fields, size, '\t');
    std::getline(fields, entry.name);
    entry.method = std::stoi(method);
    entry.position = std::stoll(position);
    entry.size = std::stoll(size);
    entries.push_back(entry);
  }
  return entries;
}

std::string Binary(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random() % 7 == 0 ? 0 : random());
  return bytes;
}

const std::string kProject = "\xEF\xBB\xBF[Main]\r\nVmoVersion=5.7\r\nopt_slidescount=1\r\n";

// A manifest with one entry of every method, a bracket name and a name
// with blanks.
class VmopackRoundTrip : public testing::Test {
protected:
  void SetUp() override {
    files = {{"Project.vmo", kProject},
             {"stored.bin", Binary(3000, 1)},
             {"deflated.txt", std::string(5000, 'd') + "tail"},
             {"scrambled.bin", Binary(777, 2)},
             {"bracket.bin", "bracketed"},
             {"empty.bin", ""}};
    for (const auto& [name, bytes] : files)
      folder.Write("media/" + name, bytes);
    folder.Write("show.manifest", "# test manifest\n"
                                  "\n"
                                  "deflate | Project.vmo | media/Project.vmo\n"
                                  "  stored|C:\\Media\\stored.bin|media/stored.bin  \r\n"
                                  "deflate | C:\\Media\\deflated.txt | media/deflated.txt\n"
                                  "scramble | C:\\My Media\\scrambled.bin | media/scrambled.bin\n"
                                  "stored | C:\\Media[2]\\bracket.bin | media/bracket.bin\n"
                                  "scramble | empty | media/empty.bin\n");
  }

  std::map<std::string, std::string> files;
  TScratchFolder folder;
};

TEST_F(VmopackRoundTrip, EveryMethodAndBothTrailerForms) {
  for (const bool older : {false, true}) {
    std::vector<std::string> args = {"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "show.exe"};
    if (older)
      args.push_back("--older-trailer");
    const TRun pack = Vmopack(args);
    ASSERT_EQ(pack.exitCode, 0) << pack.err;

    TVmoUnpack unpack(folder.Path() + "show.exe");
    ASSERT_TRUE(unpack.IsOpen());
    EXPECT_EQ(unpack.OlderTrailer(), older);
    EXPECT_EQ(unpack.Version(), "5.7");

    const TRun list = Vmopack({"list", folder.Path() + "show.exe"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const std::vector<TListed> entries = ParseList(list.out);
    ASSERT_EQ(entries.size(), 7u);
    const std::vector<std::pair<std::string, int>> expected = {{"Project.vmo", 1},
                                                               {"C:\\Media\\stored.bin", 0},
                                                               {"C:\\Media\\deflated.txt", 1},
                                                               {"C:\\My Media\\scrambled.bin", 2},
                                                               {"C:\\Media<2>\\bracket.bin", 0},
                                                               {"empty", 2},
                                                               {"ExeGUID", 0}};
    int64_t next = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(entries[i].name, expected[i].first);
      EXPECT_EQ(entries[i].method, expected[i].second) << entries[i].name;
      EXPECT_EQ(entries[i].position, next) << "entries follow each other: " << entries[i].name;
      next = entries[i].position + entries[i].size;
    }
    EXPECT_EQ(entries[1].size, 3000);
    EXPECT_LT(entries[2].size, 5004) << "deflated";
    EXPECT_EQ(entries[6].size, 4 + 38 * 2);
    EXPECT_EQ(next, unpack.TablePosition());

    const std::pair<std::string, std::string> cats[] = {{"Project.vmo", "Project.vmo"},
                                                        {"c:\\media\\STORED.bin", "stored.bin"},
                                                        {"C:\\Media\\deflated.txt", "deflated.txt"},
                                                        {"C:\\My Media\\scrambled.bin", "scrambled.bin"},
                                                        {"C:\\Media[2]\\bracket.bin", "bracket.bin"},
                                                        {"empty", "empty.bin"}};
    for (const auto& [entry, file] : cats) {
      const TRun cat = Vmopack({"cat", folder.Path() + "show.exe", entry});
      ASSERT_EQ(cat.exitCode, 0) << entry << ": " << cat.err;
      EXPECT_EQ(cat.out, files[file]) << entry;
    }
    const TRun project = Vmopack({"project", folder.Path() + "show.exe"});
    ASSERT_EQ(project.exitCode, 0) << project.err;
    EXPECT_EQ(project.out, kProject);
  }
}

TEST_F(VmopackRoundTrip, StubComesFirstAndMovedTailsStillRead) {
  const std::string stub = folder.Write("player", Binary(4321, 3));
  const TRun pack =
      Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "show.exe", "--stub", stub});
  ASSERT_EQ(pack.exitCode, 0) << pack.err;
  const std::string built = ReadFile(folder.Path() + "show.exe");
  EXPECT_EQ(built.substr(0, 4321), ReadFile(stub));

  const std::vector<TListed> entries = ParseList(Vmopack({"list", folder.Path() + "show.exe"}).out);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].name, "player");
  EXPECT_EQ(entries[0].position, 0);
  EXPECT_EQ(entries[0].size, 4321);
  EXPECT_EQ(entries[1].position, 4321);
  EXPECT_EQ(Vmopack({"cat", folder.Path() + "show.exe", "player"}).out, ReadFile(stub));

  // Another program in front of the whole file: every entry moves with it.
  const int64_t k = 999;
  folder.Write("moved.exe", std::string(k, 'M') + built);
  const TRun moved = Vmopack({"list", folder.Path() + "moved.exe"});
  ASSERT_EQ(moved.exitCode, 0) << moved.err;
  const std::vector<TListed> shifted = ParseList(moved.out);
  ASSERT_EQ(shifted.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    EXPECT_EQ(shifted[i].position, entries[i].position + k) << entries[i].name;
  EXPECT_EQ(Vmopack({"cat", folder.Path() + "moved.exe", "C:\\My Media\\scrambled.bin"}).out, files["scrambled.bin"]);
}

TEST_F(VmopackRoundTrip, ExeGuidHoldsABracedGuidInUtf16) {
  ASSERT_EQ(Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "a.exe"}).exitCode, 0);
  ASSERT_EQ(Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "b.exe"}).exitCode, 0);
  const std::string a = Vmopack({"cat", folder.Path() + "a.exe", "ExeGUID"}).out;
  const std::string b = Vmopack({"cat", folder.Path() + "b.exe", "ExeGUID"}).out;
  ASSERT_EQ(a.size(), 80u);
  EXPECT_EQ(std::string(a.data(), 4), std::string("\x26\0\0\0", 4)) << "38 characters";
  EXPECT_EQ(a.substr(4, 2), std::string("{\0", 2));
  EXPECT_EQ(a.substr(78, 2), std::string("}\0", 2));
  EXPECT_NE(a, b) << "every package gets a fresh GUID";
}

TEST_F(VmopackRoundTrip, PackageBesideTheExecutableIsFound) {
  ASSERT_EQ(Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "Show.VmShow"}).exitCode, 0);
  folder.Write("Show.exe", "just the player");
  const TRun list = Vmopack({"list", folder.Path() + "Show.exe"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(ParseList(list.out).size(), 7u);
}

TEST(Vmopack, DefaultVersionWhenTheProjectHasNone) {
  TScratchFolder folder;
  folder.Write("Project.vmo", "[Main]\r\nopt_slidescount=0\r\n");
  folder.Write("m", "deflate | Project.vmo | Project.vmo\n");
  ASSERT_EQ(Vmopack({"pack", folder.Path() + "m", "-o", folder.Path() + "p"}).exitCode, 0);
  EXPECT_EQ(TVmoUnpack(folder.Path() + "p").Version(), "5.6");
}

TEST(Vmopack, ErrorsGoToStandardErrorWithExitCodeOne) {
  TScratchFolder folder;
  folder.Write("a.bin", "a");
  folder.Write("plain", "no package");
  folder.Write("dup", "stored | A | a.bin\nstored | a | a.bin\n");
  folder.Write("badline", "stored | only two\n");
  folder.Write("badmethod", "zip | A | a.bin\n");
  folder.Write("nofile", "stored | A | missing.bin\n");
  test::TTestPackage damaged;
  damaged.strucpos = "abc";
  folder.Write("damaged", damaged.Build());

  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"list", folder.Path() + "absent"}, "Slideshow File not Found"},
      {{"list", folder.Path() + "plain"}, "Can`t Load Show"},
      {{"list", folder.Path() + "damaged"}, "Slide-show File Damaged"},
      {{"project", folder.Path() + "damaged"}, "Slide-show File Damaged"},
      {{"cat", folder.Path() + "damaged", "x"}, "Slide-show File Damaged"},
      {{"pack", folder.Path() + "dup", "-o", folder.Path() + "out"}, "listed twice"},
      {{"pack", folder.Path() + "badline", "-o", folder.Path() + "out"}, "manifest line 1"},
      {{"pack", folder.Path() + "badmethod", "-o", folder.Path() + "out"}, "unknown method"},
      {{"pack", folder.Path() + "nofile", "-o", folder.Path() + "out"}, "missing.bin"},
      {{"pack", folder.Path() + "nofile"}, "-o OUT is required"},
      {{"pack", folder.Path() + "dup", "-o", folder.Path() + "a.bin", "--stub", folder.Path() + "a.bin"},
       "different files"},
      {{"list"}, "wrong number of arguments"},
      {{"frobnicate"}, "unknown command"},
  };
  for (const auto& [args, message] : cases) {
    const TRun run = Vmopack(args);
    EXPECT_EQ(run.exitCode, 1) << args[0] << " " << message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "out")) << "failed packs leave no file";
}

TEST_F(VmopackRoundTrip, DamagedPackagesNeverCrashTheTool) {
  ASSERT_EQ(Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "show.exe"}).exitCode, 0);
  const std::string bytes = ReadFile(folder.Path() + "show.exe");
  std::mt19937 random(7);
  std::vector<size_t> cuts = {0, 1, 4, 12, 20};
  for (size_t cut = bytes.size() - 64; cut < bytes.size(); cut += 3)
    cuts.push_back(cut);
  for (int i = 0; i < 10; ++i)
    cuts.push_back(random() % bytes.size());
  for (const size_t cut : cuts) {
    folder.Write("cut.exe", bytes.substr(0, cut));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", folder.Path() + "cut.exe"},
          std::vector<std::string>{"cat", folder.Path() + "cut.exe", "C:\\Media\\deflated.txt"}}) {
      const TRun run = Vmopack(args);
      EXPECT_FALSE(run.signalled) << "cut at " << cut;
      EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << "cut at " << cut;
      if (run.exitCode == 1) {
        EXPECT_FALSE(run.err.empty()) << "cut at " << cut;
      }
      // Under the sanitizers a fault is reported on standard error.
      EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
      EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    }
  }
}

TEST(Vmopack, PacksTheSampleProject) {
  TScratchFolder folder;
  const std::string sample = std::string(VMO_SOURCE_DIR) + "/samples/sample/";
  const TRun pack =
      Vmopack({"pack", sample + "sample.manifest", "-o", folder.Path() + "sample-show", "--stub", VMOPACK_PATH});
  ASSERT_EQ(pack.exitCode, 0) << pack.err;
  const std::vector<TListed> entries = ParseList(Vmopack({"list", folder.Path() + "sample-show"}).out);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0].name, "vmopack");
  const TRun project = Vmopack({"project", folder.Path() + "sample-show"});
  EXPECT_NE(project.out.find("opt_slidescount=3"), std::string::npos);
  EXPECT_EQ(Vmopack({"cat", folder.Path() + "sample-show", "C:\\Shows\\Sample\\pictures[1]\\tiles.bmp"}).out,
            ReadFile(sample + "tiles.bmp"));
}

} // namespace
} // namespace qx
