// The sleeping load mode raises the priority of every thread of the process
// (the nice value of each Linux thread) and restores it afterwards.
#include "QxLib/qxLoadCallback.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace qx {

namespace {

int NiceOf(pid_t thread) { return getpriority(PRIO_PROCESS, static_cast<id_t>(thread)); }

pid_t ThisThread() { return static_cast<pid_t>(syscall(SYS_gettid)); }

} // namespace

TEST(LoadCallback, SleepModeRaisesEveryThreadsPriorityAndRestoresIt) {
  // One thread alive across the mode changes, one started while raised.
  std::atomic<bool> stop{false};
  std::promise<pid_t> olderStarted;
  std::promise<pid_t> newerStarted;
  const auto idle = [&stop](std::promise<pid_t>& started) {
    started.set_value(ThisThread());
    while (!stop)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::thread older(idle, std::ref(olderStarted));
  const pid_t olderId = olderStarted.get_future().get();
  const int before = NiceOf(ThisThread());

  SetLoadCallbackMode(lcmSleep);
  const int raisedHere = NiceOf(ThisThread());
  const int raisedThere = NiceOf(olderId);
  std::thread newer(idle, std::ref(newerStarted));
  const pid_t newerId = newerStarted.get_future().get();
  SetLoadCallbackMode(lcmYield);
  const std::vector<int> after = {NiceOf(ThisThread()), NiceOf(olderId), NiceOf(newerId)};
  SetLoadCallbackMode(lcmNone);
  stop = true;
  older.join();
  newer.join();

  EXPECT_EQ(after, std::vector<int>(3, before));
  // Raising needs privileges; without them the priority simply stays.
  if (raisedHere != before) {
    EXPECT_LT(raisedHere, before);
    EXPECT_EQ(raisedThere, raisedHere);
  }
}

} // namespace qx
