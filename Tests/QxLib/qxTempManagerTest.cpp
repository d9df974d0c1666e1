#include "QxLib/qxTempManager.h"

#include "Tests/QxLib/qxTempFolderTestSupport.h"
#include "Tests/TestSupport/Posix/qxChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <thread>

namespace qx {

namespace {

namespace fs = std::filesystem;
using test::TScopedEnv;

using test::FillFolder;
using test::WriteFile;

} // namespace

TEST(TempFolders, NamesAreGuidsInSquareBrackets) {
  const std::regex form("\\[[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\]");
  EXPECT_TRUE(std::regex_match(NewTempFolderName(), form));
  const std::string folder = NewTempFolder(false);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(fs::path(folder).parent_path().string(), TempBaseFolder());
  EXPECT_TRUE(std::regex_match(fs::path(folder).filename().string(), form)) << folder;
  const std::string withSeparator = NewTempFolder(true);
  ASSERT_EQ(withSeparator.back(), '/');
  EXPECT_TRUE(fs::is_directory(withSeparator));
  EXPECT_NE(withSeparator, folder + "/");
}

TEST(TempFolders, ManyThreadsGetDistinctFolders) {
  std::mutex lock;
  std::set<std::string> folders;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        std::string folder = NewTempFolder(false);
        const std::lock_guard guard(lock);
        folders.insert(std::move(folder));
      }
    });
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(folders.size(), 100u);
  for (const std::string& folder : folders)
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(TempFolders, BaseIsTheFirstExistingFolderOfTheEnvironment) {
  const std::string existing = NewTempFolder(false);
  const std::string missing = existing + "/missing";
  {
    TScopedEnv tmpdir("TMPDIR", missing.c_str());
    TScopedEnv tmp("TMP", "");
    TScopedEnv temp("TEMP", existing.c_str());
    EXPECT_EQ(ChooseTempBase(), existing);
  }
  {
    TScopedEnv tmpdir("TMPDIR", existing.c_str());
    TScopedEnv temp("TEMP", "/");
    EXPECT_EQ(ChooseTempBase(), existing);
  }
  {
    // A file is no folder.
    WriteFile(existing + "/file", "x");
    TScopedEnv tmpdir("TMPDIR", (existing + "/file").c_str());
    TScopedEnv tmp("TMP", nullptr);
    TScopedEnv temp("TEMP", nullptr);
    EXPECT_EQ(ChooseTempBase(), "/tmp");
  }
}

TEST(TempFolders, RemovingATreeDeletesEverythingButNeverFollowsLinks) {
  const fs::path folder = NewTempFolder(false);
  const fs::path keep = NewTempFolder(false);
  WriteFile(keep / "precious", "keep me");
  const fs::path tree = folder / "tree";
  fs::create_directory(tree);
  FillFolder(tree);
  fs::create_directory_symlink(keep, tree / "link-to-folder");
  fs::create_symlink(keep / "precious", tree / "a" / "link-to-file");
  // More entries than one directory read returns, with long names.
  for (int i = 0; i < 300; ++i)
    WriteFile(tree / ("file-with-a-rather-long-name-" + std::to_string(i)), "");
  EXPECT_TRUE(RemoveFolderTree(tree.c_str()));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_TRUE(fs::exists(keep / "precious"));
  EXPECT_TRUE(RemoveFolderTree((folder / "never-made").c_str()));
}

} // namespace qx
