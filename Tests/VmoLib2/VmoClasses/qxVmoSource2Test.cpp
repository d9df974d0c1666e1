#include "VmoLib2/VmoClasses/qxVmoSource2.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <thread>

namespace qx {
namespace {

using test::MakeSource;

// Three slides ending at 21 s, 30 s and 40 s; every transition is a 2 s
// cross-fade.
constexpr std::string_view kThreeSlides = "[Main]\n"
                                          "opt_slidescount=3\n"
                                          "opt_synchpos1=21000\n"
                                          "opt_synchpos2=30000\n"
                                          "opt_synchpos3=40000\n"
                                          "opt_fx_enable=1\n"
                                          "opt_fx_time=2000\n"
                                          "opt_fx_eff3=1\n";

std::string WithMain(std::string_view project, std::string_view extraMainLines) {
  std::string text(project);
  text.insert(text.find('\n') + 1, extraMainLines);
  return text;
}

// The slide whose block holds the time, by a plain scan from the lead-in.
int ScanForSlide(const TVmoSource& source, double time) {
  TSlideTimes times;
  for (int index = -1;; ++index) {
    source.GetSlideTimes(index, times);
    if (times.SlideStart <= time && time <= times.SlideEnd)
      return index;
  }
}

using SourceTest = test::TShowSourceTest;

using TimeLine = SourceTest;

TEST_F(TimeLine, EmptyShowHasNoBlocksAndAnswersFindSlideWithoutSearching) {
  const auto source = MakeSource("[Main]\nopt_slidescount=0\n");
  EXPECT_EQ(source->SlideCount(), 0);
  EXPECT_TRUE(source->Slides().empty());
  EXPECT_EQ(source->TotalDuration(), 0);
  EXPECT_EQ(source->FindSlide(0), -1);
  EXPECT_EQ(source->FindSlide(5000), -1);
}

TEST_F(TimeLine, BlocksFollowSynchronisationPositionsAndTransitions) {
  const auto source = MakeSource(kThreeSlides);
  ASSERT_EQ(source->SlideCount(), 3);
  const TSlideInfo& first = source->Slides()[0];
  EXPECT_EQ(first.SlideStart, 0);
  EXPECT_EQ(first.SlideEnd, 21000);
  EXPECT_EQ(first.InEffect, 2000);
  EXPECT_EQ(first.OutEffect, 2000);
  EXPECT_EQ(first.VisibleEnd, 23000);
  const TSlideInfo& second = source->Slides()[1];
  EXPECT_EQ(second.SlideStart, 21000);
  EXPECT_EQ(second.SlideEnd, 30000);
  EXPECT_EQ(source->TotalDuration(), 40000);
}

TEST_F(TimeLine, LastOutEffectRepeatsIntoTheFirstSlideOnlyWhenTheShowRepeats) {
  const auto repeating = MakeSource(WithMain(kThreeSlides, "opt_repeat=repeat\n"));
  EXPECT_EQ(repeating->EndMode(), TEndMode::Repeat);
  EXPECT_EQ(repeating->Slides()[2].OutEffect, 2000);
  EXPECT_EQ(repeating->Slides()[2].VisibleEnd, 42000);

  const auto closing = MakeSource(WithMain(kThreeSlides, "opt_repeat=Close\n"));
  EXPECT_EQ(closing->EndMode(), TEndMode::Close);
  EXPECT_EQ(closing->Slides()[2].OutEffect, 0);
  EXPECT_EQ(closing->Slides()[2].VisibleEnd, 40000);
  EXPECT_EQ(closing->Slides()[0].InEffect, 2000);

  const auto unknownWord = MakeSource(WithMain(kThreeSlides, "opt_repeat=forever\n"));
  EXPECT_EQ(unknownWord->EndMode(), TEndMode::Repeat);
}

TEST_F(TimeLine, InEffectIsCappedToTheSlideLengthAndZeroForAZeroLengthSlide) {
  const auto source = MakeSource("[Main]\nopt_slidescount=3\nopt_synchpos1=10000\n"
                                 "opt_synchpos2=10000\nopt_synchpos3=11500\n"
                                 "opt_fx_enable=1\nopt_fx_time=2000\nopt_fx_eff3=1\n");
  const TSlideInfo& empty = source->Slides()[1];
  EXPECT_EQ(empty.SlideStart, 10000);
  EXPECT_EQ(empty.SlideEnd, 10000);
  EXPECT_EQ(empty.InEffect, 0);
  // The transition out of a slide is not capped.
  EXPECT_EQ(empty.OutEffect, 2000);
  EXPECT_EQ(source->Slides()[2].InEffect, 1500);
}

TEST_F(TimeLine, DecreasingPositionFailsWithIncorrectTime) {
  try {
    MakeSource("[Main]\nopt_slidescount=2\nopt_synchpos1=10000\nopt_synchpos2=9999\n");
    FAIL() << "a decreasing position was accepted";
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("'Incorrect time'"), std::string::npos);
  }
}

TEST_F(TimeLine, DamagedSlideCountIsRefusedInsteadOfAllocated) {
  EXPECT_THROW(MakeSource("[Main]\nopt_slidescount=2000000000\n"), EAssertionFailed);
  EXPECT_EQ(MakeSource("[Main]\nopt_slidescount=-4\n")->SlideCount(), 0);
}

using SlideTimes = SourceTest;

TEST_F(SlideTimes, RepetitionsShiftByTheTotalDuration) {
  const auto source = MakeSource(kThreeSlides);
  TSlideTimes times;
  EXPECT_EQ(source->GetSlideTimes(3 + 2, times), 1);
  EXPECT_EQ(times.SlideStart, 30000 + 40000);
  EXPECT_EQ(times.SlideEnd, 40000 + 40000);
  EXPECT_EQ(times.VisibleEnd, 42000 + 40000);
  EXPECT_EQ(times.InEffect, 2000);
  EXPECT_EQ(times.OutEffect, 2000);
  EXPECT_EQ(source->GetSlideTimes(2, times), 0);
  EXPECT_EQ(times.SlideStart, 30000);
}

TEST_F(SlideTimes, LeadInAndVirtualBlocksPrecedeTheShow) {
  const auto source = MakeSource(kThreeSlides);
  TSlideTimes times;
  EXPECT_EQ(source->GetSlideTimes(-1, times), -1);
  EXPECT_EQ(times.SlideStart, -1073741823.0);
  EXPECT_EQ(times.SlideEnd, 0);
  EXPECT_EQ(times.InEffect, 0);
  EXPECT_EQ(times.OutEffect, 2000);
  EXPECT_EQ(times.VisibleEnd, 2000);

  EXPECT_EQ(source->GetSlideTimes(-7, times), -1);
  EXPECT_EQ(times.SlideStart, -2147483647.0);
  EXPECT_EQ(times.SlideEnd, -1073741823.0);
  EXPECT_EQ(times.OutEffect, 0);
  EXPECT_EQ(times.VisibleEnd, -1073741823.0);
}

TEST_F(SlideTimes, FindSlideResolvesBoundariesToTheEarlierSlide) {
  const auto source = MakeSource(kThreeSlides);
  EXPECT_EQ(source->FindSlide(0), -1);
  EXPECT_EQ(source->FindSlide(0.5), 0);
  EXPECT_EQ(source->FindSlide(21000), 0);
  EXPECT_EQ(source->FindSlide(21000.5), 1);
  EXPECT_EQ(source->FindSlide(40000), 2);
  EXPECT_EQ(source->FindSlide(40000.5), 3);
  EXPECT_EQ(source->FindSlide(80000), 5);
  EXPECT_EQ(source->FindSlide(-5), -1);
}

TEST_F(SlideTimes, FindSlideAgreesWithAScanFromTheLeadIn) {
  const auto source = MakeSource("[Main]\nopt_slidescount=4\nopt_synchpos1=0\nopt_synchpos2=333\n"
                                 "opt_synchpos3=333\nopt_synchpos4=1001\n");
  std::mt19937 generator(7);
  std::uniform_real_distribution<double> timeOf(0, 25000);
  for (int step = 0; step < 2000; ++step) {
    const double time = step % 2 ? timeOf(generator) : (step / 2 % 25) * 1000.0 + 333 * (step % 3);
    ASSERT_EQ(source->FindSlide(time), ScanForSlide(*source, time)) << "time " << time;
  }
}

TEST_F(SlideTimes, FindSlideEndsForAShowOfZeroLength) {
  const auto source = MakeSource("[Main]\nopt_slidescount=2\n");
  EXPECT_EQ(source->FindSlide(0), -1);
  EXPECT_EQ(source->FindSlide(10), 1);
}

using ScreenSaver = SourceTest;

TEST_F(ScreenSaver, ScrProgramOverridesTheProjectOptions) {
  SetProgramPath("C:\\Shows\\Holiday.SCR");
  const auto source = MakeSource("[Main]\nopt_slidescount=1\nopt_synchpos1=5000\n"
                                 "opt_repeat=close\nopt_fcp=1\n");
  EXPECT_TRUE(source->ScreenSaver());
  EXPECT_EQ(source->EndMode(), TEndMode::Repeat);
  const TIniSection& main = source->MainSection();
  EXPECT_EQ(main.ReadString("opt_ssaver", ""), "1");
  EXPECT_EQ(main.ReadString("opt_fcp", ""), "0");
  EXPECT_EQ(main.ReadString("opt_hidecursor", ""), "1");
  EXPECT_EQ(main.ReadString("opt_scr_full", ""), "1");
  EXPECT_EQ(main.ReadString("opt_repeat", ""), "repeat");
}

TEST_F(ScreenSaver, OtherProgramsOnlyClearTheScreenSaverFlag) {
  SetProgramPath("/opt/shows/holiday.scr.bin");
  const auto source = MakeSource("[Main]\nopt_repeat=close\nopt_fcp=1\nopt_ssaver=1\n");
  EXPECT_FALSE(source->ScreenSaver());
  EXPECT_EQ(source->EndMode(), TEndMode::Close);
  EXPECT_EQ(source->MainSection().ReadString("opt_ssaver", ""), "0");
  EXPECT_EQ(source->MainSection().ReadString("opt_fcp", ""), "1");
}

TEST_F(ScreenSaver, ExtensionIsComparedWithoutRegardToCase) {
  EXPECT_TRUE(TVmoSource::IsScreenSaverPath("/x/show.Scr"));
  EXPECT_FALSE(TVmoSource::IsScreenSaverPath("/x.scr/show"));
  EXPECT_FALSE(TVmoSource::IsScreenSaverPath(""));
}

using PlayOrder = SourceTest;

std::string RandomProject(std::string_view path, int count) {
  std::string text = "[Main]\nopt_random=1\nProjectFilePath=" + std::string(path) +
                     "\nopt_slidescount=" + std::to_string(count) + "\n";
  for (int i = 1; i <= count; ++i)
    text += "[Slide" + std::to_string(i) + "]\nslideid=s" + std::to_string(i) + "\n";
  return text;
}

TEST_F(PlayOrder, SourcesOfOneProjectPathShareOneRandomOrder) {
  const std::string project = RandomProject("C:\\Shows\\SharedOrder.vmo", 40);
  const auto first = MakeSource(project);
  const auto second = MakeSource(project);
  std::set<std::string> seen;
  for (int n = 0; n < 40; ++n) {
    const std::string name = TVmoSource::SlideSectionName(first->Storage(), n);
    EXPECT_EQ(name, TVmoSource::SlideSectionName(second->Storage(), n));
    EXPECT_EQ(first->Slides()[n].SlideName, second->Slides()[n].SlideName);
    seen.insert(name);
  }
  EXPECT_EQ(seen.size(), 40u) << "the order is not a permutation";
}

TEST_F(PlayOrder, EmptyProjectPathPlaysInProjectOrder) {
  const auto source = MakeSource(RandomProject("", 12));
  for (int n = 0; n < 12; ++n)
    EXPECT_EQ(source->Slides()[n].SlideName, "s" + std::to_string(n + 1));
}

TEST_F(PlayOrder, PositionsBeyondTheListMapToThemselves) {
  const auto source = MakeSource(RandomProject("C:\\Shows\\Grown.vmo", 3));
  EXPECT_EQ(TVmoSource::SlideSectionName(source->Storage(), 5), "Slide6");
  EXPECT_EQ(TVmoSource::SlideSectionName(source->Storage(), 2000000000), "Slide2000000001");
  EXPECT_EQ(source->SlideSection(7), nullptr);
}

TEST_F(PlayOrder, ConcurrentFirstRequestsAgreeOnOneOrder) {
  const std::string project = RandomProject("C:\\Shows\\Raced.vmo", 30);
  const auto storage = test::Project(project);
  std::vector<std::string> orders[4];
  std::vector<std::thread> threads;
  for (auto& order : orders) {
    threads.emplace_back([&storage, &order] {
      for (int n = 0; n < 30; ++n)
        order.push_back(TVmoSource::SlideSectionName(*storage, n));
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (const auto& order : orders)
    EXPECT_EQ(order, orders[0]);
}

TEST_F(PlayOrder, ShowLocatorMakesItsSourceOnce) {
  const auto files = MakeRef<test::TTestFileSource>();
  files->Add("Project.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=4000\n");
  TFileAccessor accessor = test::TestAccessor(files);
  TVmoShowLocator locator(accessor, "Project.vmo");
  TVmoSource& source = locator.Source();
  EXPECT_EQ(&locator.Source(), &source);
  EXPECT_EQ(source.TotalDuration(), 4000);
  EXPECT_EQ(&source.Storage(), locator.ProjectStorage());

  TVmoShowLocator missing(accessor, "Other.vmo");
  EXPECT_THROW(missing.Source(), EAssertionFailed);
}

using SlideSettings = SourceTest;

TEST_F(SlideSettings, SlideNameFallsBackToThePictureBaseName) {
  const auto source = MakeSource("[Main]\nopt_slidescount=4\n"
                                 "[Slide1]\nslideid=Intro\npicture=C:\\p\\a.jpg\n"
                                 "[Slide2]\npicture=C:\\Pictures\\Beach.Day.jpg\n"
                                 "[Slide3]\npicture=C:\\Pictures\\Folder\\\n");
  EXPECT_EQ(source->Slides()[0].SlideName, "Intro");
  EXPECT_EQ(source->Slides()[1].SlideName, "Beach.Day");
  EXPECT_EQ(source->Slides()[2].SlideName, "Folder");
  EXPECT_EQ(source->Slides()[3].SlideName, "");
}

constexpr std::string_view kActions = "[Main]\nopt_slidescount=5\nopt_synchpos1=4000\n"
                                      "opt_synchpos2=10000\nopt_synchpos3=12000\n"
                                      "opt_synchpos4=13000\nopt_synchpos5=14000\n"
                                      "opt_fx_enable=1\nopt_fx_time=1500\nopt_fx_eff3=1\n"
                                      "[Slide1]\nUsePersonal=1\nPers_EndAction=pause\n"
                                      "[Slide2]\nUsePersonal=1\nPers_EndAction=Loop\n"
                                      "[Slide3]\nUsePersonal=1\nPers_EndAction=\n"
                                      "[Slide4]\nUsePersonal=0\nPers_EndAction=loop\n"
                                      "[Slide5]\nUsePersonal=1\n";

TEST_F(SlideSettings, EndActionsOfPersonalSlidesAndTheManualDefault) {
  const auto automatic = MakeSource(kActions);
  EXPECT_EQ(automatic->GetEndAction(0).Action, TSlideEndAction::Pause);
  const TEndAction loop = automatic->GetEndAction(1);
  EXPECT_EQ(loop.Action, TSlideEndAction::Loop);
  EXPECT_EQ(loop.LoopLength, 10000 - 4000 - 1500);
  EXPECT_EQ(automatic->GetEndAction(2).Action, TSlideEndAction::None);
  EXPECT_EQ(automatic->GetEndAction(3).Action, TSlideEndAction::None);
  EXPECT_EQ(automatic->GetEndAction(4).Action, TSlideEndAction::None);
  // Repetitions ask for the same slide.
  EXPECT_EQ(automatic->GetEndAction(5 + 1).Action, TSlideEndAction::Loop);

  const auto manual = MakeSource(WithMain(kActions, "opt_manualshow=1\n"));
  EXPECT_EQ(manual->GetEndAction(2).Action, TSlideEndAction::Pause);
  EXPECT_EQ(manual->GetEndAction(3).Action, TSlideEndAction::Pause);
  EXPECT_EQ(manual->GetEndAction(3).LoopLength, 0);
  // A personal slide without an end action keeps none.
  EXPECT_EQ(manual->GetEndAction(4).Action, TSlideEndAction::None);
  EXPECT_FALSE(manual->GetEndAction(4).HasAction());

  const auto notManual = MakeSource(WithMain(kActions, "opt_manualshow=true\n"));
  EXPECT_EQ(notManual->GetEndAction(3).Action, TSlideEndAction::None);
}

TEST_F(SlideSettings, ProgramToRunNeedsEveryKey) {
  const auto source = MakeSource("[Main]\nopt_slidescount=4\n"
                                 "[Slide1]\nUsePersonal=1\nPers_RunApp=1\nRunAppFN=C:\\a.exe\n"
                                 "[Slide2]\nUsePersonal=1\nPers_RunApp=1\nRunAppFN=\n"
                                 "[Slide3]\nUsePersonal=1\nPers_RunApp=0\nRunAppFN=C:\\b.exe\n"
                                 "[Slide4]\nUsePersonal=0\nPers_RunApp=1\nRunAppFN=C:\\c.exe\n");
  std::string program;
  EXPECT_TRUE(source->GetRunApp(0, program));
  EXPECT_EQ(program, "C:\\a.exe");
  for (int index = 1; index < 4; ++index)
    EXPECT_FALSE(source->GetRunApp(index, program)) << index;
}

TEST_F(SlideSettings, MainOptionsForTheDrawerAndTheWindow) {
  const auto defaults = MakeSource("[Main]\n");
  EXPECT_TRUE(defaults->PauseWhenInactive());
  EXPECT_EQ(defaults->HiderColor(), (TRgb{0, 0, 0}));

  const auto source = MakeSource("[Main]\nopt_pausewheninactive=0\nopt_scr_hidercolor=33023\n"
                                 "opt_scr_unsharpamount=0.75\nopt_scr_unsharpthreshold=12\n");
  EXPECT_FALSE(source->PauseWhenInactive());
  EXPECT_EQ(source->HiderColor(), (TRgb{255, 128, 0}));
  EXPECT_DOUBLE_EQ(source->UnsharpAmount(), 0.75);
  EXPECT_EQ(source->UnsharpThreshold(), 12);
}

} // namespace
} // namespace qx
