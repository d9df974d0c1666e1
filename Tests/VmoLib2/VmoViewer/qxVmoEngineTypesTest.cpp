#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qx {

namespace {

using namespace std::chrono_literals;

// A payload that counts the live instances, to prove that every payload is
// freed exactly once whichever way its event goes.
class TCountedData : public TVmoEventData {
public:
  explicit TCountedData(int number) : value(number) { ++Live(); }
  ~TCountedData() override { --Live(); }
  static std::atomic<int>& Live() {
    static std::atomic<int> live{0};
    return live;
  }
  const int value;
};

TEventPayload Data(int value) { return std::make_unique<TCountedData>(value); }

int ValueOf(const TEventPayload& payload) { return payload ? static_cast<const TCountedData&>(*payload).value : -1; }

class EventQueue : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(TCountedData::Live(), 0); }
  void TearDown() override { EXPECT_EQ(TCountedData::Live(), 0) << "payloads leaked"; }
};

// Waits (bounded) until the condition holds.
template <class Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 5000 && !condition(); ++i)
    std::this_thread::sleep_for(1ms);
  return condition();
}

} // namespace

TEST_F(EventQueue, PostedEventsAreHandledInOrderAndHandlersMayKeepThePayload) {
  std::vector<int> seen;
  TEventPayload kept;
  TThreadEventList queue([&](int32_t id, TEventPayload& payload) {
    seen.push_back(id * 100 + ValueOf(payload));
    if (id == 2)
      kept = std::move(payload);
    return true;
  });
  EXPECT_TRUE(queue.Post(1, Data(5)));
  EXPECT_TRUE(queue.Post(2, Data(6)));
  EXPECT_TRUE(queue.Post(3));
  EXPECT_EQ(queue.PendingCount(), 3);
  EXPECT_EQ(TCountedData::Live(), 2);
  EXPECT_EQ(queue.Process(), 3);
  EXPECT_EQ(seen, (std::vector<int>{105, 206, 299}));
  // The taken payload outlives its item; the other was freed with its item.
  EXPECT_EQ(TCountedData::Live(), 1);
  EXPECT_EQ(ValueOf(kept), 6);
  kept.reset();
  EXPECT_EQ(queue.Process(), 0);
}

TEST_F(EventQueue, ClosedQueueFreesPostedPayloadsAndReturnsSendsAtOnce) {
  int handled = 0;
  TThreadEventList queue([&](int32_t, TEventPayload&) { return ++handled, true; });
  queue.Post(1, Data(1));
  queue.Close();
  EXPECT_TRUE(queue.IsClosed());
  EXPECT_EQ(TCountedData::Live(), 0) << "pending payloads are freed by the close";
  EXPECT_FALSE(queue.Post(2, Data(2)));
  EXPECT_EQ(TCountedData::Live(), 0);
  EXPECT_FALSE(queue.Send(3, Data(3)));
  EXPECT_EQ(queue.Process(), 0);
  EXPECT_EQ(handled, 0);
  EXPECT_FALSE(queue.WaitForEvents(10s)) << "a closed queue does not make its owner sleep";
}

TEST_F(EventQueue, RaisingHandlerDoesNotStopTheQueueAndUnhandledEventsReachTheDefault) {
  class TQueue : public TThreadEventList {
  public:
    using TThreadEventList::TThreadEventList;
    std::vector<int> defaults;

  protected:
    void DefaultHandler(int32_t id, TEventPayload&) override { defaults.push_back(id); }
  };
  std::vector<int> handled;
  TQueue queue([&](int32_t id, TEventPayload&) {
    if (id == 1)
      throw EQxError("broken event");
    if (id == 2)
      throw 42;
    handled.push_back(id);
    return id != 4;
  });
  for (int id = 1; id <= 5; ++id)
    queue.Post(id, Data(id));
  EXPECT_EQ(queue.Process(), 5);
  EXPECT_EQ(handled, (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(queue.defaults, std::vector<int>{4});
}

TEST_F(EventQueue, SendWaitsUntilTheWorkerHasHandledTheEvent) {
  std::atomic<bool> handlerDone{false};
  TThreadEventList queue([&](int32_t, TEventPayload& payload) {
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ValueOf(payload), 7);
    handlerDone = true;
    return true;
  });
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) {
      queue.WaitForEvents(5ms);
      queue.Process();
    }
  });
  EXPECT_TRUE(queue.Send(1, Data(7)));
  EXPECT_TRUE(handlerDone) << "Send returned before the handler finished";
  stop = true;
  worker.join();
}

TEST_F(EventQueue, SendToAQueueBeingClosedIsReleasedWithoutBeingHandled) {
  int handled = 0;
  TThreadEventList queue([&](int32_t, TEventPayload&) { return ++handled, true; });
  std::atomic<int> result{-1};
  std::thread sender([&] { result = queue.Send(1, Data(1)) ? 1 : 0; });
  ASSERT_TRUE(Eventually([&] { return queue.PendingCount() == 1; }));
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(result, -1) << "the sender must wait while nobody processes";
  queue.Close();
  sender.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(handled, 0);
}

TEST_F(EventQueue, SendingToTheOwnQueueIsRefusedInsteadOfWaitingForever) {
  TThreadEventList queue([](int32_t, TEventPayload&) { return true; });
  queue.SetOwnerThread(std::this_thread::get_id());
  {
    const test::TMutedDebugOutput muted;
    EXPECT_THROW(queue.Send(1, Data(1)), EAssertionFailed);
  }
  EXPECT_EQ(queue.PendingCount(), 0);
}

namespace {

// A worker that records its life and handles events 1 (add the payload's
// value) and 2 (raise); its Step raises once `failStep` is set.
class TTestWorker : public TVmoThread {
public:
  explicit TTestWorker(std::chrono::milliseconds period) : m_period(period) {}
  ~TTestWorker() override { Stop(); }

  std::atomic<int> started{0};
  std::atomic<int> steps{0};
  std::atomic<int> stopped{0};
  std::atomic<int> sum{0};
  std::atomic<bool> failStep{false};
  std::atomic<bool> failStart{false};

protected:
  void OnStart() override {
    ++started;
    if (failStart)
      throw EQxError("cannot start");
  }
  void Step() override {
    ++steps;
    if (failStep)
      throw EQxError("step failed");
    ProcessEvents();
    WaitForEvents(m_period);
  }
  void OnStop() override {
    ++stopped;
    throw std::runtime_error("ignored");
  }
  bool HandleEvent(int32_t id, TEventPayload& payload) override {
    if (id == 2)
      throw EQxError("bad event");
    if (id != 1)
      return false;
    sum += ValueOf(payload);
    return true;
  }

private:
  const std::chrono::milliseconds m_period;
};

} // namespace

TEST_F(EventQueue, WorkerRunsStartStepsAndStopOnceAndRefusesEventsAfterwards) {
  TTestWorker worker(1ms);
  worker.Start();
  EXPECT_TRUE(worker.Send(1, Data(3)));
  EXPECT_TRUE(worker.Send(2, Data(0))) << "a raising handler still releases its sender";
  EXPECT_TRUE(worker.Send(1, Data(4)));
  EXPECT_EQ(worker.sum, 7);
  EXPECT_TRUE(worker.Send(9, Data(9))) << "unknown events are delivered to the default handler";
  worker.Stop();
  EXPECT_FALSE(worker.Running());
  EXPECT_EQ(worker.started, 1);
  EXPECT_EQ(worker.stopped, 1);
  EXPECT_GT(worker.steps, 0);
  EXPECT_EQ(worker.FailureText(), "");
  EXPECT_FALSE(worker.Post(1, Data(100)));
  EXPECT_EQ(TCountedData::Live(), 0) << "a post to a stopped worker frees the payload";
  EXPECT_FALSE(worker.Send(1, Data(100)));
  EXPECT_EQ(worker.sum, 7);
  worker.Stop();
}

TEST_F(EventQueue, WorkerWakesEarlyForAnEventInsteadOfSleepingItsPeriod) {
  TTestWorker worker(10s);
  worker.Start();
  ASSERT_TRUE(Eventually([&] { return worker.steps > 0; }));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(worker.Send(1, Data(1)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  const auto stopStart = std::chrono::steady_clock::now();
  worker.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, 5s) << "Stop must wake the sleeping worker";
}

TEST_F(EventQueue, RaisingStepEndsTheWorkerAndReleasesLaterSenders) {
  for (const bool inStart : {false, true}) {
    TTestWorker worker(1ms);
    worker.failStart = inStart;
    worker.failStep = !inStart;
    worker.Start();
    ASSERT_TRUE(Eventually([&] { return !worker.Running(); }));
    EXPECT_EQ(worker.FailureText(), inStart ? "cannot start" : "step failed");
    EXPECT_EQ(worker.stopped, 1);
    EXPECT_EQ(worker.steps, inStart ? 0 : 1);
    EXPECT_FALSE(worker.Send(1, Data(1))) << "nobody would ever handle it";
    worker.Stop();
  }
}

// Senders and posters race with the worker and with its stop: every sender
// must come back, every payload must be freed (the sanitizer build checks
// the rest).
TEST_F(EventQueue, SendersAndPostersRacingWithStopAllReturn) {
  for (int round = 0; round < 20; ++round) {
    TTestWorker worker(1ms);
    worker.Start();
    std::atomic<int> delivered{0};
    std::atomic<int> refused{0};
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&, t] {
        for (int i = 0; i < 200; ++i) {
          if (t % 2 == 0) {
            (worker.Send(1, Data(1)) ? delivered : refused)++;
            continue;
          }
          if (worker.Post(1, Data(1)))
            ++accepted;
        }
      });
    std::this_thread::sleep_for(std::chrono::microseconds(500 * (round % 5)));
    worker.Stop();
    for (auto& thread : threads)
      thread.join();
    EXPECT_EQ(delivered + refused, 400);
    // Every delivered send was counted; posts may have been dropped at the close.
    EXPECT_GE(worker.sum, delivered);
    EXPECT_LE(worker.sum, delivered + accepted);
  }
}

} // namespace qx
