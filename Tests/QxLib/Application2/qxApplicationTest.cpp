#include "QxLib/Application2/qxApplication.h"

#include "QxLib/qxDebugOutput.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace qx {

namespace {

class TNumber : public TApplicationMessage {
public:
  explicit TNumber(int value) : Value(value) {}
  int Value;
};

int ValueOf(const std::unique_ptr<TApplicationMessage>& message) { return static_cast<const TNumber&>(*message).Value; }

} // namespace

TEST(Application, MessagesOfOtherThreadsAreHandledInOrderOnTheMainThread) {
  TApplication application;
  std::vector<int> seen;
  const std::thread::id main = std::this_thread::get_id();
  const int32_t id = application.RegisterMessage([&](std::unique_ptr<TApplicationMessage>& message) {
    EXPECT_EQ(std::this_thread::get_id(), main);
    seen.push_back(ValueOf(message));
  });
  int wakes = 0;
  application.SetWakeCallback([&wakes] { ++wakes; });
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      application.Post(id, std::make_unique<TNumber>(i));
  });
  poster.join();
  EXPECT_TRUE(application.HasMessages());
  EXPECT_EQ(wakes, 100);
  EXPECT_EQ(application.ProcessMessages(), 100);
  ASSERT_EQ(seen.size(), 100u);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(Application, MessagesOfAnUnregisteredIdAreDropped) {
  TApplication application;
  int calls = 0;
  const int32_t id = application.RegisterMessage([&](std::unique_ptr<TApplicationMessage>&) { ++calls; });
  const int32_t other = application.RegisterMessage([&](std::unique_ptr<TApplicationMessage>&) { ++calls; });
  EXPECT_NE(id, other);
  application.Post(id, nullptr);
  application.UnregisterMessage(id);
  application.Post(other, nullptr);
  application.ProcessMessages();
  EXPECT_EQ(calls, 1);
}

TEST(Application, AHandlerThatRaisesDoesNotStopTheQueue) {
  TApplication application;
  const bool wasMuted = SetDebugOutputMuted(true);
  std::vector<int> seen;
  const int32_t id = application.RegisterMessage([&](std::unique_ptr<TApplicationMessage>& message) {
    if (ValueOf(message) == 1)
      throw std::runtime_error("bad");
    seen.push_back(ValueOf(message));
  });
  for (int i = 0; i < 3; ++i)
    application.Post(id, std::make_unique<TNumber>(i));
  application.ProcessMessages();
  EXPECT_EQ(seen, (std::vector<int>{0, 2}));
  SetDebugOutputMuted(wasMuted);
}

TEST(Application, TerminateEndsAWait) {
  TApplication application;
  std::thread ender([&] { application.Terminate(); });
  application.WaitForMessages(std::chrono::seconds(10));
  ender.join();
  EXPECT_TRUE(application.Terminated());
}

} // namespace qx
