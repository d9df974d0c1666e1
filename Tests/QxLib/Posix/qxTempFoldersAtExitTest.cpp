// Temporary folders of a process that ends: normally, or by a termination
// signal, whose clean-up removes them before the process ends as the signal
// would have ended it.
#include "QxLib/qxTempManager.h"

#include "Tests/QxLib/qxTempFolderTestSupport.h"
#include "Tests/TestSupport/Posix/qxChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace qx {

namespace {

namespace fs = std::filesystem;
using test::FillFolder;

} // namespace

// The remaining cases end a child process and look at what it left behind.
class TempFoldersAtExit : public testing::Test {
protected:
  void SetUp() override { base = NewTempFolder(false); }

  // In the child: makes two filled folders under `base`, reports them.
  int MakeFolders(int messageFd) {
    test::TScopedEnv tmpdir("TMPDIR", base.c_str());
    for (int i = 0; i < 2; ++i) {
      const std::string folder = NewTempFolder(false);
      FillFolder(folder);
      test::SendMessage(messageFd, folder);
    }
    return 0;
  }

  std::string base;
};

TEST_F(TempFoldersAtExit, NormalExitRemovesEveryFolder) {
  const auto result = test::RunInChild([this](int fd) { return MakeFolders(fd); });
  EXPECT_TRUE(result.Exited(0));
  EXPECT_EQ(std::count(result.message.begin(), result.message.end(), '\n'), 2);
  EXPECT_TRUE(fs::is_empty(base));
}

TEST_F(TempFoldersAtExit, TerminationSignalsRemoveEveryFolderAndStillEndTheProcess) {
  for (const int signal : {SIGTERM, SIGINT}) {
    std::vector<std::string> seen;
    const auto result = test::RunInChild(
        [this](int fd) {
          MakeFolders(fd);
          test::SendMessage(fd, "ready");
          for (;;)
            pause();
          return 3;
        },
        [&](pid_t pid, int fd) {
          for (std::string line; (line = test::ReceiveLine(fd)) != "ready" && !line.empty();)
            seen.push_back(line);
          for (const std::string& folder : seen)
            EXPECT_TRUE(fs::is_directory(folder)) << folder;
          test::SignalChild(pid, signal);
        });
    EXPECT_TRUE(result.KilledBy(signal)) << "signal " << signal << ", status " << result.status;
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(fs::is_empty(base)) << "signal " << signal;
  }
}

TEST_F(TempFoldersAtExit, AForkedChildLeavesItsParentsFoldersAlone) {
  const std::string mine = NewTempFolder(false);
  const auto result = test::RunInChild([](int) { return 0; });
  EXPECT_TRUE(result.Exited(0));
  EXPECT_TRUE(fs::is_directory(mine));
}

} // namespace qx
