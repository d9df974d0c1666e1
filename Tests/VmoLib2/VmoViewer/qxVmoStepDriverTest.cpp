#include "VmoLib2/VmoViewer/qxVmoStepDriver.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {

namespace {

using namespace std::chrono_literals;

// A worker that records the driver's time of each step and sleeps its
// period; event 1 is recorded, event 2 (sent) answers by posting event 1
// to `echo`.
class TRecorder : public TVmoThread {
public:
  TRecorder(std::string name, std::chrono::milliseconds period, std::vector<std::string>& log)
      : m_name(std::move(name)), m_period(period), m_log(log) {}
  ~TRecorder() override { Stop(); }

  TRecorder* Echo = nullptr;

protected:
  void OnStart() override { m_log.push_back(m_name + " start " + std::to_string(NowMs())); }
  void Step() override {
    ProcessEvents();
    m_log.push_back(m_name + " " + std::to_string(NowMs()));
    WaitForEvents(m_period);
  }
  void OnStop() override { m_log.push_back(m_name + " stop"); }
  bool HandleEvent(int32_t id, TEventPayload&) override {
    m_log.push_back(m_name + " event " + std::to_string(id) + " at " + std::to_string(NowMs()));
    if (id == 2 && Echo)
      Echo->Post(1);
    return true;
  }

private:
  std::string m_name;
  std::chrono::milliseconds m_period;
  std::vector<std::string>& m_log;
};

} // namespace

TEST(StepDriver, WorkersStartedUnderADriverStepAtVirtualTimesInAttachOrder) {
  std::vector<std::string> log;
  std::vector<int32_t> advanced;
  TStepDriver driver([&](int32_t ms) { advanced.push_back(ms); });
  const TStepDriver::TScope scope(driver);
  TRecorder a("a", 5ms, log);
  TRecorder b("b", 3ms, log);
  a.Start();
  b.Start();
  EXPECT_TRUE(a.Driven());
  driver.RunUntil(7);
  EXPECT_EQ(log, (std::vector<std::string>{"a start 0", "b start 0", "a 0", "b 0", "b 3", "a 5", "b 6"}));
  // The clock moved from step to step, and finally to the time asked.
  EXPECT_EQ(advanced, (std::vector<int32_t>{3, 2, 1, 1}));
  EXPECT_EQ(driver.Now(), 7);
}

TEST(StepDriver, AnEventWakesItsWorkerAtTheSameInstant) {
  std::vector<std::string> log;
  TStepDriver driver;
  const TStepDriver::TScope scope(driver);
  TRecorder a("a", 10ms, log);
  TRecorder b("b", 10ms, log);
  b.Echo = &a;
  a.Start();
  b.Start();
  driver.RunUntil(4);
  log.clear();
  // A send to a driven worker is handled at once, on the sender's thread;
  // its answer wakes the other worker at the same instant.
  EXPECT_TRUE(b.Send(2));
  EXPECT_EQ(log, (std::vector<std::string>{"b event 2 at 4"}));
  driver.RunDue();
  EXPECT_EQ(log, (std::vector<std::string>{"b event 2 at 4", "a event 1 at 4", "a 4"}));
}

TEST(StepDriver, AStoppedWorkerEndsAtOnceAndLeavesTheDriver) {
  std::vector<std::string> log;
  TStepDriver driver;
  const TStepDriver::TScope scope(driver);
  TRecorder a("a", 10ms, log);
  a.Start();
  driver.RunUntil(0);
  a.Stop();
  EXPECT_FALSE(a.Running());
  EXPECT_EQ(log.back(), "a stop");
  EXPECT_FALSE(a.Post(1));
  driver.RunUntil(100);
  EXPECT_EQ(log.back(), "a stop");
}

TEST(StepDriver, WorkersWithoutADriverGetThreads) {
  std::vector<std::string> log;
  TRecorder a("a", 1ms, log);
  a.Start();
  EXPECT_FALSE(a.Driven());
  a.Stop();
  EXPECT_EQ(log.front(), "a start " + log.front().substr(8));
  EXPECT_EQ(log.back(), "a stop");
}

TEST(StepDriver, StepsThatKeepWakingEachOtherAreRefused) {
  struct TPingPong : TStepDriver::TParticipant {
    bool HasEvents() const override { return true; }
    void RunStep() override {}
  } endless;
  TStepDriver driver;
  driver.Attach(endless, TStepDriver::kNever);
  EXPECT_THROW(driver.RunDue(), EQxError);
}

TEST(StepDriver, TheApplicationsQueueIsHandledAtThePostingInstant) {
  TApplication application;
  std::vector<int64_t> handled;
  TStepDriver driver;
  TApplicationSteps steps(application);
  driver.Attach(steps, TStepDriver::kNever);
  const int32_t id =
      application.RegisterMessage([&](std::unique_ptr<TApplicationMessage>&) { handled.push_back(driver.Now()); });
  driver.RunUntil(10);
  application.Post(id, nullptr);
  driver.RunUntil(20);
  EXPECT_EQ(handled, (std::vector<int64_t>{10}));
  driver.Detach(steps);
}

} // namespace qx
