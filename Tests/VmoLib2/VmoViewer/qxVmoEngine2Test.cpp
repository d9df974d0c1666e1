#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include "Tests/VmoLib2/VmoViewer/qxVmoEngineTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace qx {

namespace {

using test::EngineShow;
using test::TEngineHarness;

TSlideTimes Times(const std::string& project, int index) {
  TSlideTimes times;
  test::MakeSource(project)->GetSlideTimes(index, times);
  return times;
}

// Slide n (1-based) with the personal keys `keys`.
std::string Personal(int n, std::string_view keys) {
  return "[Slide" + std::to_string(n) + "]\nUsePersonal=1\n" + std::string(keys);
}

} // namespace

// --- Opening and positioning ------------------------------------------------

TEST(Engine, StartsPausedAndPlaysFromTheOpenPositionOnceResumed) {
  TEngineHarness harness;
  harness.Open(EngineShow(3, "opt_repeat=stop\n"), 1000, true);
  harness.RunFor(500);
  EXPECT_TRUE(harness.State().Paused);
  EXPECT_FALSE(harness.State().Running);
  EXPECT_EQ(harness.Position(), 1000);

  harness.Viewer->SetPaused(false);
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }));
  const double started = harness.Position();
  harness.RunFor(300);
  // The clock follows the music time: 300 ms of wall time, 300 ms of show.
  EXPECT_NEAR(harness.Position() - started, 300, 3);
  // The frame size of the project reached the window.
  ASSERT_FALSE(harness.Placements.empty());
  EXPECT_EQ(harness.Placements.back()[0], 800);
  EXPECT_EQ(harness.Placements.back()[2], TVmoShowViewer::kBorderlessWindow);
}

TEST(Engine, ASeekRightAfterAnOpenIsMergedIntoTheOpen) {
  TEngineHarness harness;
  harness.Open(EngineShow(3, "opt_repeat=stop\n"));
  harness.RunFor(100);
  harness.Viewer->SetPaused(true);
  // A second show of five slides, then a seek before the engine's next step:
  // the show opened is the second, at the seek's position, under the seek's
  // sequence number.
  harness.Open(EngineShow(5, "opt_repeat=stop\n"), 0, true);
  harness.Viewer->Seek(17000);
  harness.Reports.clear();
  harness.RunFor(50);
  EXPECT_EQ(harness.State().Duration, 20000);
  EXPECT_EQ(harness.Position(), 17000);
  ASSERT_FALSE(harness.Reports.empty());
  EXPECT_EQ(harness.Reports.front().Position, 17000);
  EXPECT_TRUE(harness.State().Paused);
}

TEST(Engine, APauseAskedWhileAnOpenWaitsAppliesAfterTheOpen) {
  TEngineHarness harness;
  harness.Open(EngineShow(3, "opt_repeat=stop\n"));
  harness.RunFor(100);
  harness.Viewer->SetPaused(true);
  harness.Open(EngineShow(3, "opt_repeat=stop\n"), 2000, true);
  harness.Viewer->SetPaused(false);
  harness.RunFor(1);
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }));
  EXPECT_FALSE(harness.State().Paused);
  EXPECT_GE(harness.Position(), 2000);
}

TEST(Engine, SeekWhilePlayingStopsTheClockUntilTheSlidesAreReady) {
  TEngineHarness harness;
  harness.Open(EngineShow(4, "opt_repeat=stop\n"));
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.Position() > 500; }));
  // Beyond the slides the loader holds.
  harness.Viewer->Seek(14500);
  harness.RunFor(1);
  EXPECT_EQ(harness.Position(), 14500);
  EXPECT_FALSE(harness.State().Running);
  EXPECT_FALSE(harness.State().Paused);
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }));
  harness.RunFor(200);
  EXPECT_NEAR(harness.Position(), 14700, 3);
}

TEST(Engine, WaitsForTheMusicBeforeTheClockRuns) {
  TEngineHarness harness;
  harness.Open(EngineShow(3, "opt_repeat=stop\n"), 0, true);
  harness.Music->Ready = false;
  harness.Viewer->SetPaused(false);
  harness.RunFor(500);
  EXPECT_FALSE(harness.State().Running);
  EXPECT_EQ(harness.Position(), 0);
  harness.Music->Ready = true;
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }, 100));
}

// --- Barriers ---------------------------------------------------------------

TEST(Engine, APauseEndActionStopsExactlyAtSlideEndUntilASeek) {
  const std::string project = EngineShow(3, "opt_repeat=stop\n", Personal(1, "Pers_EndAction=pause\n"));
  const double slideEnd = Times(project, 0).SlideEnd;
  TEngineHarness harness;
  harness.Open(project);
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().AtBarrier; }));
  EXPECT_EQ(harness.Position(), slideEnd);
  EXPECT_FALSE(harness.State().Running);
  EXPECT_TRUE(harness.State().WaitsForUser());
  // The music may not run past the barrier either.
  EXPECT_EQ(harness.Music->GetTime(), slideEnd);

  harness.RunFor(2000);
  EXPECT_EQ(harness.Position(), slideEnd);
  EXPECT_TRUE(harness.State().AtBarrier);

  // The main window continues by a seek to where the show stands.
  harness.Viewer->Seek(static_cast<int32_t>(slideEnd));
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }, 500));
  harness.RunFor(500);
  EXPECT_GT(harness.Position(), slideEnd + 400);
  EXPECT_FALSE(harness.State().AtBarrier);
}

// Runs the show from just before the end of a slide with a loop end action
// until the position goes back; answers the position before and after.
std::pair<double, double> RunIntoLoop(TEngineHarness& harness) {
  // Started near the end, so that the clock reaches it while it is still
  // the raw music time.
  double before = 0;
  EXPECT_TRUE(harness.RunUntilTrue([&] {
    const double now = harness.Position();
    if (now < before)
      return true;
    before = now;
    return false;
  }));
  return {before, harness.Position()};
}

TEST(Engine, ALoopEndActionContinuesAsFarIntoTheLoopAsItRanPastItsEnd) {
  const std::string project = EngineShow(3, "opt_repeat=stop\n", Personal(2, "Pers_EndAction=loop\n"), 1000);
  const TSlideTimes slide = Times(project, 1);
  const double loop = slide.SlideEnd - slide.SlideStart - slide.InEffect;
  ASSERT_GT(loop, 0);
  {
    // The music clock stops at the barrier: the loop starts again exactly
    // at its beginning.
    TEngineHarness harness;
    harness.Open(project, static_cast<int32_t>(slide.SlideEnd) - 100);
    EXPECT_EQ(RunIntoLoop(harness).second, slide.SlideEnd - loop);
    // And keeps looping.
    ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }, 500));
    harness.RunFor(static_cast<int64_t>(loop) + 500);
    EXPECT_LT(harness.Position(), slide.SlideEnd);
    EXPECT_GT(harness.Position(), slide.SlideEnd - loop);
  }
  {
    // A clock d ms past the end continues d ms into the loop.
    TEngineHarness harness;
    harness.Open(project, static_cast<int32_t>(slide.SlideEnd) - 100);
    harness.Music->HonourLimit = false;
    const auto [before, after] = RunIntoLoop(harness);
    const double past = before + TVmoEngine::kSleepMs - slide.SlideEnd;
    ASSERT_GT(past, 0);
    EXPECT_EQ(after, slide.SlideEnd - loop + past);
  }
}

TEST(Engine, EndActionsAreIgnoredWhenActionsAreDisabled) {
  const std::string project = EngineShow(3, "opt_repeat=stop\n", Personal(1, "Pers_EndAction=pause\n"));
  TEngineHarness harness;
  harness.Viewer->SetActionsEnabled(false);
  harness.Open(project);
  const double slideEnd = Times(project, 0).SlideEnd;
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.Position() > slideEnd + 100; }));
  EXPECT_FALSE(harness.State().AtBarrier);
}

TEST(Engine, ARepeatingShowWithoutEndActionsOpensWithoutSearchingForever) {
  TEngineHarness harness;
  harness.Open(EngineShow(3, "opt_repeat=repeat\n"), 5000);
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }));
  EXPECT_FALSE(harness.State().AtBarrier);
}

// --- The end of the show ------------------------------------------------------

TEST(Engine, ANonRepeatingShowStopsAtItsEndAndReportsItOnce) {
  TEngineHarness harness;
  harness.Open(EngineShow(2, "opt_repeat=stop\n"), 7000);
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Ended; }));
  harness.RunFor(1000);
  EXPECT_EQ(harness.Position(), 8000);
  EXPECT_FALSE(harness.State().Running);
  EXPECT_EQ(harness.EndReports(), 1);
  EXPECT_TRUE(harness.Viewer->Ended());

  // Played to the end again after a seek, it reports the end again.
  harness.Viewer->Seek(7500);
  harness.RunFor(2000);
  EXPECT_EQ(harness.EndReports(), 2);
}

// --- Position reports ---------------------------------------------------------

TEST(Engine, PositionsAreReportedOnlyAfterMovingMoreThan20Ms) {
  TEngineHarness harness;
  harness.Open(EngineShow(3, "opt_repeat=stop\n"));
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.State().Running; }));
  harness.Reports.clear();
  harness.RunFor(1000);
  ASSERT_GE(harness.Reports.size(), 30u);
  EXPECT_LE(harness.Reports.size(), 48u);
  for (size_t i = 1; i < harness.Reports.size(); ++i)
    EXPECT_GT(harness.Reports[i].Position - harness.Reports[i - 1].Position, TVmoEngine::kReportStepMs);
}

// A report of an older open or seek is dropped on the main thread.
class ReportingEngine : public TCustomVmoEngine {
public:
  using TCustomVmoEngine::PostToMain;
  using TCustomVmoEngine::TCustomVmoEngine;
  ~ReportingEngine() override { Stop(); }

protected:
  void Step() override { WaitForEvents(std::chrono::milliseconds(1)); }
};

TEST(Engine, AReportOfAnOlderSequenceIsDropped) {
  TApplication application;
  ReportingEngine engine(&application);
  std::vector<int32_t> seen;
  engine.SetPositionCallback([&](int32_t position, bool, int32_t) { seen.push_back(position); });
  const int32_t first = engine.NextSequence();
  engine.PostToMain(TCustomVmoEngine::kPositionKind, {first, 100, 5000, 0});
  const int32_t second = engine.NextSequence();
  engine.PostToMain(TCustomVmoEngine::kPositionKind, {first, 200, 5000, 0});
  engine.PostToMain(TCustomVmoEngine::kPositionKind, {second, 300, 5000, 0});
  application.ProcessMessages();
  EXPECT_EQ(seen, (std::vector<int32_t>{300}));
}

TEST(Engine, ReportsOfAnEngineThatIsGoneAreDropped) {
  TApplication application;
  std::vector<int32_t> seen;
  {
    ReportingEngine engine(&application);
    engine.SetPositionCallback([&](int32_t position, bool, int32_t) { seen.push_back(position); });
    engine.PostToMain(TCustomVmoEngine::kPositionKind, {engine.SequenceNo(), 100, 5000, 0});
  }
  application.ProcessMessages();
  EXPECT_TRUE(seen.empty());
}

// --- Action points ------------------------------------------------------------

TEST(Engine, ASlideProgramRunsOnceWhenItsSlideStarts) {
  const std::string project = EngineShow(3, "opt_repeat=stop\n", Personal(2, "Pers_RunApp=1\nRunAppFN=notes.txt\n"));
  TEngineHarness harness;
  harness.Open(project);
  const double start = Times(project, 1).SlideStart;
  ASSERT_TRUE(harness.RunUntilTrue([&] { return harness.Position() > start + 500; }));
  ASSERT_EQ(harness.Actions.size(), 1u);
  EXPECT_EQ(harness.Actions[0].Kind, akRunProgram);
  EXPECT_EQ(harness.Actions[0].Text, "notes.txt");
  // Not again while the show plays on, nor when paused at the slide.
  harness.RunFor(3000);
  EXPECT_EQ(harness.Actions.size(), 1u);
}

TEST(Engine, AProgramOfASlidePassedByASeekDoesNotRun) {
  const std::string project = EngineShow(3, "opt_repeat=stop\n", Personal(2, "Pers_RunApp=1\nRunAppFN=notes.txt\n"));
  TEngineHarness harness;
  harness.Open(project, static_cast<int32_t>(Times(project, 1).SlideStart) + 500);
  harness.RunFor(2000);
  EXPECT_TRUE(harness.Actions.empty());
}

} // namespace qx
