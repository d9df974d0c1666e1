#include "QxLib/qxLoadCallback.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

namespace qx {

namespace {

int NiceOf(pid_t thread) {
  return getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

pid_t ThisThread() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

} // namespace

TEST(LoadCallback, ModesAnswerAsDocumented) {
  EXPECT_EQ(LoadCallbackMode(), lcmNone);
  for (const int mode : {lcmNone, lcmYield, lcmSleep}) {
    SetLoadCallbackMode(mode);
    EXPECT_TRUE(CallLoadCallback()) << mode;
    EXPECT_TRUE(ProcessLoadCallback()()) << mode;
  }
  SetLoadCallbackMode(lcmCancel);
  EXPECT_FALSE(CallLoadCallback());
  SetLoadCallbackMode(lcmNone);
}

TEST(LoadCallback, ModeOutsideTheRangeIsAnAssertion) {
  const bool muted = SetDebugOutputMuted(true);
  SetLoadCallbackMode(lcmYield);
  EXPECT_THROW(SetLoadCallbackMode(4), EAssertionFailed);
  EXPECT_THROW(SetLoadCallbackMode(-1), EAssertionFailed);
  EXPECT_EQ(LoadCallbackMode(), lcmYield);
  SetLoadCallbackMode(lcmNone);
  SetDebugOutputMuted(muted);
}

TEST(LoadCallback, SleepModeRaisesEveryThreadsPriorityAndRestoresIt) {
  // A second thread of the process, alive across the mode changes.
  std::promise<pid_t> started;
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    started.set_value(ThisThread());
    while (!stop)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  const pid_t other = started.get_future().get();
  const int before = NiceOf(ThisThread());

  SetLoadCallbackMode(lcmSleep);
  const int raisedHere = NiceOf(ThisThread());
  const int raisedThere = NiceOf(other);
  SetLoadCallbackMode(lcmYield);
  const int after = NiceOf(ThisThread());
  const int afterThere = NiceOf(other);
  SetLoadCallbackMode(lcmNone);
  stop = true;
  worker.join();

  EXPECT_EQ(after, before);
  EXPECT_EQ(afterThere, before);
  // Raising needs privileges; without them the priority simply stays.
  if (raisedHere != before) {
    EXPECT_LT(raisedHere, before);
    EXPECT_EQ(raisedThere, raisedHere);
  }
}

} // namespace qx
