// A long job asks to be told of Ctrl+C instead of being ended by it: the
// first request only sets the flag, a second one ends the process as the
// signal would have.
#include "QxLib/qxTerminationSignals.h"

#include "Tests/TestSupport/Posix/qxChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>

namespace qx {
namespace {

TEST(StopOnTermination, TheFirstRequestIsAFlagTheSecondEndsTheProcess) {
  const test::TChildResult result = test::RunInChild([](int) {
    StopOnTermination();
    if (TerminationRequested())
      return 2;
    raise(SIGINT);
    if (!TerminationRequested())
      return 3;
    raise(SIGTERM);
    return 4;
  });
  EXPECT_TRUE(result.KilledBy(SIGTERM)) << result.status << result.output;
}

TEST(StopOnTermination, ACleanUpInstalledLaterStillRunsBeforeTheFlag) {
  static int* cleaned = nullptr;
  const test::TChildResult result = test::RunInChild([](int) {
    int count = 0;
    cleaned = &count;
    StopOnTermination();
    CallOnTermination([] { ++*cleaned; });
    raise(SIGINT);
    return TerminationRequested() && count == 1 ? 0 : 5;
  });
  EXPECT_TRUE(result.Exited(0)) << result.status << result.output;
}

} // namespace
} // namespace qx
