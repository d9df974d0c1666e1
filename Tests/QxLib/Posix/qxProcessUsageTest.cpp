// The snapshot of what the process holds: it follows threads starting and
// ending, files opening and closing, and memory being touched.
#include "QxLib/qxProcessUsage.h"

#include "QxLib/qxFileStream.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx {
namespace {

TEST(ProcessUsage, CountsAThreadWhileItRunsAndNotAfter) {
  const int32_t before = CurrentProcessUsage().Threads;
  ASSERT_GT(before, 0);
  std::mutex lock;
  std::condition_variable changed;
  bool release = false;
  std::thread worker([&] {
    std::unique_lock hold(lock);
    changed.wait(hold, [&] { return release; });
  });
  const TProcessUsage during = CurrentProcessUsage();
  EXPECT_EQ(during.Threads, before + 1);
  EXPECT_EQ(ThreadNames().size(), static_cast<size_t>(during.Threads));
  {
    std::lock_guard hold(lock);
    release = true;
  }
  changed.notify_all();
  worker.join();
  EXPECT_EQ(CurrentProcessUsage().Threads, before);
}

TEST(ProcessUsage, CountsOpenFilesAndNotTheOneItReadsThrough) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const std::string stem = "qx-usage-" + std::to_string(CurrentProcessUsage().ResidentBytes);
  const int32_t before = CurrentProcessUsage().OpenFiles;
  ASSERT_GT(before, 0);
  // Asked twice in a row, the answer is the same: the snapshot's own
  // reading leaves nothing open.
  EXPECT_EQ(CurrentProcessUsage().OpenFiles, before);
  {
    TFileStream first((folder / (stem + "a")).string(), TFileMode::Create);
    TFileStream second((folder / (stem + "b")).string(), TFileMode::Create);
    EXPECT_EQ(CurrentProcessUsage().OpenFiles, before + 2);
  }
  std::filesystem::remove(folder / (stem + "a"));
  std::filesystem::remove(folder / (stem + "b"));
  EXPECT_EQ(CurrentProcessUsage().OpenFiles, before);
}

TEST(ProcessUsage, ResidentMemoryFollowsTouchedPagesAndThePeakKeepsTheHighest) {
  constexpr size_t kBytes = size_t{64} << 20;
  const TProcessUsage before = CurrentProcessUsage();
  ASSERT_GT(before.ResidentBytes, 0);
  EXPECT_GE(before.PeakResidentBytes, before.ResidentBytes);
  auto block = std::make_unique<char[]>(kBytes);
  std::memset(block.get(), 1, kBytes);
  const TProcessUsage touched = CurrentProcessUsage();
  EXPECT_GE(touched.ResidentBytes, before.ResidentBytes + static_cast<int64_t>(kBytes) * 3 / 4);
  EXPECT_GE(touched.PeakResidentBytes, touched.ResidentBytes);
  block.reset();
  const TProcessUsage freed = CurrentProcessUsage();
  // The system's counters of resident pages lag by a few pages per thread.
  constexpr int64_t kCounterSlack = int64_t{1} << 20;
  EXPECT_GE(freed.PeakResidentBytes, touched.ResidentBytes - kCounterSlack)
      << "the peak stays after the memory is given back";
}

} // namespace
} // namespace qx
