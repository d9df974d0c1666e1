#include "VmoLib2/VmoViewer/qxVmoSlideLoader2.h"

#include "QxLib/qxDebugOutput.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace qx {

namespace {

using namespace std::chrono_literals;

constexpr TSize kScreen{1920, 1080};

// Three slides of 10 s with 1 s transitions, at 800 x 600, plus `main`
// lines.
std::string TinyShow(std::string_view main = "") {
  return "[Main]\n"
         "opt_slidescount=3\n"
         "opt_synchpos1=10000\n"
         "opt_synchpos2=20000\n"
         "opt_synchpos3=30000\n"
         "opt_fx_enable=1\n"
         "opt_fx_time=1000\n"
         "opt_fx_eff3=1\n"
         "opt_scr_width=800\n"
         "opt_scr_height=600\n" +
         std::string(main) +
         "[slide1]\nobject a:box\n  Size=10,10\nend\n"
         "[slide2]\nobject b:box\n  Size=10,10\nend\n"
         "[slide3]\nobject c:box\n  Size=10,10\nend\n";
}

std::unique_ptr<TVmoSlideLoader> MakeLoader(std::string_view main = "", int capacity = 3) {
  return std::make_unique<TVmoSlideLoader>(test::MakeSource(TinyShow(main), true), capacity, kScreen);
}

// Collects the slide lists a loader reports.
struct TReports {
  std::vector<std::vector<TSlideEntry>> Lists;
  bool Take(int32_t id, TEventPayload& payload) {
    if (id != TVmoSlideLoader::kSlideListEvent)
      return false;
    const auto* data = dynamic_cast<const TSlideData*>(payload.get());
    if (!data)
      return false;
    Lists.emplace_back(data->Entries().begin(), data->Entries().end());
    return true;
  }
};

class SlideLoader : public testing::Test {
protected:
private:
  const test::TMutedDebugOutput m_muted;
};

} // namespace

TEST_F(SlideLoader, FullScreenByDefault) {
  const auto loader = MakeLoader("projectname=Holiday\nopt_scr_caption=Unused\n");
  EXPECT_EQ(loader->ScreenMode(), 1);
  EXPECT_FALSE(loader->Framed());
  EXPECT_EQ(loader->ScreenModeForWindow(), 0);
  EXPECT_EQ(loader->Title(), "Holiday");
  EXPECT_EQ(loader->FrameWidth(), 1920);
  EXPECT_EQ(loader->FrameHeight(), 1080);
  EXPECT_EQ(MakeLoader()->Title(), "VmoShow");
}

TEST_F(SlideLoader, FramedWindowTakesItsCaptionAndSize) {
  const auto loader =
      MakeLoader("projectname=Holiday\nopt_scr_full=0\nopt_withoutborder=0\nopt_scr_caption=On the beach\n");
  EXPECT_TRUE(loader->Framed());
  EXPECT_EQ(loader->Title(), "On the beach");
  EXPECT_EQ(loader->ScreenModeForWindow(), 1);
  // The window has the show's own size.
  EXPECT_EQ(loader->FrameWidth(), 800);
  EXPECT_EQ(loader->FrameHeight(), 600);

  const auto borderless = MakeLoader("projectname=Holiday\nopt_scr_full=0\nopt_withoutborder=1\nopt_scr_caption=X\n");
  EXPECT_FALSE(borderless->Framed());
  EXPECT_EQ(borderless->Title(), "Holiday");
  EXPECT_EQ(borderless->ScreenModeForWindow(), 2);

  const auto mode3 = MakeLoader("opt_scr_full=3\n");
  EXPECT_FALSE(mode3->Framed());
  EXPECT_EQ(mode3->ScreenModeForWindow(), 2);
  EXPECT_EQ(mode3->FrameWidth(), 800);
  const auto mode2 = MakeLoader("opt_scr_full=2\n");
  EXPECT_EQ(mode2->FrameWidth(), 1920);
}

TEST_F(SlideLoader, GeometryFitsOrCoversTheFrame) {
  const auto loader = MakeLoader();
  loader->SetGeometry(false);
  const TPixelRect fit = loader->SlideRect();
  EXPECT_EQ(fit.Left, 240);
  EXPECT_EQ(fit.Width(), 1440);
  EXPECT_EQ(fit.Height(), 1080);
  loader->SetGeometry(true);
  EXPECT_EQ(loader->Cache().Producer().SlideSize(), (TSize{1920, 1440}));
}

TEST_F(SlideLoader, DirectReportsFollowEachAddedSlide) {
  const auto loader = MakeLoader("", 2);
  loader->SetGeometry(false);
  TReports reports;
  loader->ReportDirectly([&reports](int32_t id, TEventPayload& payload) { reports.Take(id, payload); });
  loader->Timing()->SetPosition(15000);
  int added = 0;
  while (loader->PrepareOnce())
    ++added;
  EXPECT_EQ(added, 2);
  ASSERT_EQ(reports.Lists.size(), 2u);
  ASSERT_EQ(reports.Lists.back().size(), 2u);
  const TSlideEntry& first = reports.Lists.back()[0];
  const TSlideEntry& second = reports.Lists.back()[1];
  ASSERT_NE(first.Slide, nullptr);
  EXPECT_LT(first.Times.SlideStart, second.Times.SlideStart);
  EXPECT_LE(first.Times.SlideStart, 15000);
  EXPECT_EQ(first.Times.SlideStart, first.Slide->Times().SlideStart);
}

TEST_F(SlideLoader, ThreadPreparesSlidesAndSendsThemToTheEngine) {
  const auto loader = MakeLoader();
  loader->SetGeometry(false);
  TReports reports;
  TThreadEventList engine([&reports](int32_t id, TEventPayload& payload) { return reports.Take(id, payload); });
  engine.SetOwnerThread(std::this_thread::get_id());
  loader->ReportTo(engine);
  loader->Timing()->SetPosition(500);
  loader->Start();

  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline && (reports.Lists.empty() || reports.Lists.back().size() < 3)) {
    engine.WaitForEvents(20ms);
    engine.Process();
  }
  engine.Close(); // releases a loader still waiting in a send
  loader->Stop();
  EXPECT_TRUE(loader->FailureText().empty()) << loader->FailureText();
  ASSERT_FALSE(reports.Lists.empty());
  // One slide more per report, all of them built on the loader's thread.
  for (size_t k = 0; k < reports.Lists.size(); ++k)
    EXPECT_EQ(reports.Lists[k].size(), std::min<size_t>(k + 1, 3));
  ASSERT_EQ(reports.Lists.back().size(), 3u);
  for (const TSlideEntry& entry : reports.Lists.back())
    EXPECT_NE(entry.Slide, nullptr);
}

} // namespace qx
