#include "QxLib/qxLoadCallback.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace qx {

TEST(LoadCallback, OnlyTheCancelModeAnswersFalse) {
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
  const test::TMutedDebugOutput muted;
  SetLoadCallbackMode(lcmYield);
  EXPECT_THROW(SetLoadCallbackMode(4), EAssertionFailed);
  EXPECT_THROW(SetLoadCallbackMode(-1), EAssertionFailed);
  EXPECT_EQ(LoadCallbackMode(), lcmYield);
  SetLoadCallbackMode(lcmNone);
}

} // namespace qx
