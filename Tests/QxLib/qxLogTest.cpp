#include "QxLib/qxLog.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxMemoryStream.h"
#include "QxLib/qxTempManager.h"
#include "Tests/TestSupport/Posix/qxChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace qx {

namespace {

// Keeps the formatted lines instead of writing them anywhere.
class TLinesLog : public TLog {
public:
  std::vector<std::string> lines;

protected:
  void WriteText(std::string_view line) override { lines.emplace_back(line); }
};

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::vector<std::string> SplitCrLf(std::string_view bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string_view::npos; start = end + 2)
    lines.emplace_back(bytes.substr(start, end - start));
  EXPECT_EQ(start, bytes.size()) << "text after the last CR LF";
  return lines;
}

const std::string kBom = "\xEF\xBB\xBF";

} // namespace

TEST(LogLine, PrefixThreadIdAndTimeComeBeforeTheText) {
  TLinesLog log;
  log.WriteLine("plain");
  log.SetPrefix("Engine: ");
  log.SetShowThreadId(true);
  log.WriteLine("with id");
  log.SetShowTime(true);
  log.WriteLine("with both");
  log.SetShowThreadId(false);
  log.WriteLine("with time");
  ASSERT_EQ(log.lines.size(), 4u);
  EXPECT_EQ(log.lines[0], "plain");
  EXPECT_TRUE(std::regex_match(log.lines[1], std::regex("Engine: #[0-9]+ with id"))) << log.lines[1];
  EXPECT_TRUE(std::regex_match(log.lines[2], std::regex("Engine: #[0-9]+ \\[[0-9]+\\] with both"))) << log.lines[2];
  EXPECT_TRUE(std::regex_match(log.lines[3], std::regex("Engine: \\[[0-9]+\\] with time"))) << log.lines[3];
}

TEST(LogLine, ThreadIdsDifferBetweenThreads) {
  TLinesLog main;
  main.SetShowThreadId(true);
  main.WriteLine("x");
  TLinesLog other;
  other.SetShowThreadId(true);
  std::thread([&other] { other.WriteLine("x"); }).join();
  EXPECT_NE(main.lines.at(0), other.lines.at(0));
}

TEST(LogWriters, ValuesAreFormattedAfterTheTextAndBeforeTheSuffix) {
  TLinesLog log;
  log.WriteValue("Size = ", -9000000000LL, " bytes");
  log.WriteFloat("Zoom = ", 0.1);
  log.WriteFloat("Third = ", 1.0 / 3.0, "!");
  log.WriteFloat("Whole = ", 250.0);
  log.WriteBool("Active = ", true);
  log.WriteBool("Active = ", false, ".");
  const int64_t values[] = {1, -2, 3};
  log.WriteList("List: ", values, ";");
  log.WriteList("Empty: ", {});
  log.WriteRect("Rect ", 0, 10.5, 640, 480);
  log.WritePoint("Point ", -1, 2, " px");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"Size = -9000000000 bytes", "Zoom = 0.1", "Third = 0.333333333333333!",
                                                 "Whole = 250", "Active = True", "Active = False.", "List: 1, -2, 3;",
                                                 "Empty: ", "Rect (0, 10.5, 640, 480)", "Point (-1, 2) px"}));
}

TEST(LogWriters, ElapsedCountsMillisecondsSinceTheMark) {
  TLinesLog log;
  const int64_t mark = TLog::Mark();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  log.WriteElapsed("Load: ", mark, " ms");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(log.lines.at(0), match, std::regex("Load: ([0-9]+) ms")));
  const int elapsed = std::stoi(match[1]);
  EXPECT_GE(elapsed, 30);
  EXPECT_LT(elapsed, 5000);
}

TEST(LogBanners, StartAndStopBlocksWithoutTimePrefix) {
  const std::string savedPath = ProgramPath();
  SetProgramPath("/opt/show/player");
  TLinesLog log;
  log.SetShowTime(true);
  log.StartBanner();
  log.StopBanner();
  SetProgramPath(savedPath);
  ASSERT_EQ(log.lines.size(), 9u);
  const std::string date = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}";
  EXPECT_EQ(log.lines[0], "");
  EXPECT_EQ(log.lines[1], std::string(64, '='));
  EXPECT_EQ(log.lines[2], "Program : /opt/show/player");
  EXPECT_TRUE(std::regex_match(log.lines[3], std::regex("started : " + date))) << log.lines[3];
  EXPECT_EQ(log.lines[4], std::string(64, '='));
  EXPECT_EQ(log.lines[5], "");
  EXPECT_EQ(log.lines[6], std::string(64, '-'));
  EXPECT_TRUE(std::regex_match(log.lines[7], std::regex("Program stoped : " + date + " \\(work time : [0-9]+ ms\\)")))
      << log.lines[7];
  EXPECT_EQ(log.lines[8], std::string(64, '-'));
}

TEST(StreamLog, EmptyStreamGetsByteOrderMarkAndLinesEndInCrLf) {
  TMemoryStream stream;
  {
    TStreamLog log(stream);
    log.WriteLine("Gr\xC3\xBC\xC3\x9F"
                  "e");
    log.WriteLine("");
  }
  stream.SetPosition(0);
  EXPECT_EQ(stream.ReadAll(), kBom + "Gr\xC3\xBC\xC3\x9F"
                                     "e\r\n\r\n");
}

TEST(StreamLog, StreamWithContentGetsNoSecondMark) {
  TMemoryStream stream;
  stream.WriteString("old\r\n");
  TStreamLog log(stream);
  log.WriteLine("new");
  stream.SetPosition(0);
  EXPECT_EQ(stream.ReadAll(), "old\r\nnew\r\n");
}

class FileLog : public testing::Test {
protected:
  void SetUp() override { folder = NewTempFolder(true); }
  std::string folder;
};

TEST_F(FileLog, CreatesTheFileAnewOrAppends) {
  const std::string path = folder + "show.log";
  { std::ofstream(path, std::ios::binary) << "previous run\r\n"; }
  {
    TFileLog log(path);
    ASSERT_TRUE(log.HasStream());
    log.WriteLine("first");
  }
  EXPECT_EQ(FileBytes(path), kBom + "first\r\n");
  {
    TFileLog log(path, true);
    log.WriteLine("second");
  }
  EXPECT_EQ(FileBytes(path), kBom + "first\r\nsecond\r\n");
  const std::string fresh = folder + "fresh.log";
  {
    TFileLog log(fresh, true);
    log.WriteLine("x");
  }
  EXPECT_EQ(FileBytes(fresh), kBom + "x\r\n");
}

TEST_F(FileLog, UnopenableFileDiscardsLines) {
  TFileLog log(folder + "missing/sub/show.log");
  EXPECT_FALSE(log.HasStream());
  log.WriteLine("lost");
  EXPECT_FALSE(std::filesystem::exists(folder + "missing"));
}

TEST_F(FileLog, DefaultNameIsTheProgramWithLogExtension) {
  const std::string savedPath = ProgramPath();
  SetProgramPath(folder + "player.bin");
  EXPECT_EQ(DefaultLogFileName(), folder + "player.log");
  SetProgramPath(folder + "player");
  {
    TFileLog log;
    EXPECT_EQ(log.FileName(), folder + "player.log");
    log.WriteLine("default");
  }
  SetProgramPath(savedPath);
  EXPECT_EQ(FileBytes(folder + "player.log"), kBom + "default\r\n");
}

TEST_F(FileLog, LinesFromManyThreadsStayWhole) {
  const std::string path = folder + "threads.log";
  constexpr int kThreads = 4;
  constexpr int kLines = 500;
  {
    TFileLog log(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&log, t] {
        for (int i = 0; i < kLines; ++i)
          log.WriteLine("thread " + std::to_string(t) + " line " + std::to_string(i) + " " + std::string(40, 'x'));
      });
    for (auto& thread : threads)
      thread.join();
  }
  const std::string bytes = FileBytes(path);
  ASSERT_EQ(bytes.substr(0, 3), kBom);
  const auto lines = SplitCrLf(std::string_view(bytes).substr(3));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  const std::regex form("thread ([0-9]) line ([0-9]+) x{40}");
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, form)) << line;
    const int thread = std::stoi(match[1]);
    EXPECT_EQ(std::stoi(match[2]), next[thread]++);
  }
}

// Installing is process-wide, so these run in child processes.
TEST_F(FileLog, WithoutLogCommandsNothingIsWrittenAnywhere) {
  const std::string program = folder + "player";
  const auto result = test::RunInChild([&](int) {
    InitCommandLine(0, nullptr);
    CommandLine().Parse("player -slide 3");
    SetProgramPath(program);
    if (InstallLogFromCommandLine())
      return 2;
    Log().WriteLine("should vanish");
    Log().StartBanner();
    return 0;
  });
  EXPECT_TRUE(result.Exited(0));
  EXPECT_EQ(result.output, "");
  EXPECT_FALSE(std::filesystem::exists(program + ".log"));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(FileLog, FileLogCommandWritesBannerAndLinesToTheDefaultFile) {
  const std::string program = folder + "player.exe";
  const auto result = test::RunInChild([&](int) {
    CommandLine().Parse("player.exe -FileLog");
    SetProgramPath(program);
    if (!InstallLogFromCommandLine())
      return 2;
    Log().WriteLine("TVmoEngine.MainLoop: started");
    return 0;
  });
  EXPECT_TRUE(result.Exited(0));
  EXPECT_EQ(result.output, "");
  const std::string bytes = FileBytes(folder + "player.log");
  ASSERT_EQ(bytes.substr(0, 3), kBom);
  const auto lines = SplitCrLf(std::string_view(bytes).substr(3));
  ASSERT_EQ(lines.size(), 6u);
  // Banner lines keep the thread id but have no time.
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("#[0-9]+ Program : .*player\\.exe"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[5], std::regex("#[0-9]+ \\[[0-9]+\\] TVmoEngine.MainLoop: started"))) << lines[5];
}

TEST_F(FileLog, FileLogCommandTakesAGivenNameAndLogCommandWritesToStandardError) {
  const std::string named = folder + "named file.log";
  const auto fileResult = test::RunInChild([&](int) {
    CommandLine().Parse("player -filelog \"" + named + "\" -log");
    InstallLogFromCommandLine();
    Log().WriteLine("to the file");
    return 0;
  });
  EXPECT_TRUE(fileResult.Exited(0));
  EXPECT_EQ(fileResult.output, "");
  EXPECT_NE(FileBytes(named).find("to the file\r\n"), std::string::npos);

  const auto stdResult = test::RunInChild([&](int) {
    CommandLine().Parse("player -log");
    InstallLogFromCommandLine();
    Log().WriteLine("to standard error");
    return 0;
  });
  EXPECT_TRUE(stdResult.Exited(0));
  EXPECT_NE(stdResult.output.find("Program : "), std::string::npos);
  EXPECT_TRUE(std::regex_search(stdResult.output, std::regex("#[0-9]+ \\[[0-9]+\\] to standard error\n")))
      << stdResult.output;
}

} // namespace qx
