#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"

#include "QxLib/qxIniStorage.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::MakeSource;
using test::ProducerTest;
using test::ThreeSlideShow;

using SlideProducer = ProducerTest;

TEST_F(SlideProducer, GeometryGivesSlideRectAndCamera) {
  const auto producer = MakeProducer(ThreeSlideShow());
  EXPECT_EQ(producer->SlideSize(), (TSize{1440, 1080}));
  EXPECT_EQ(producer->SlideRect().Left, 240);
  EXPECT_EQ(producer->SlideRect().Right, 1680);
  EXPECT_EQ(producer->Host().SlideRect().Left, 240) << "the host asks the producer";
  const TVec3 camera = producer->Host().CameraPosition();
  EXPECT_FLOAT_EQ(camera.x, 960);
  EXPECT_FLOAT_EQ(camera.y, 540);
  EXPECT_FLOAT_EQ(camera.z, -1080);

  producer->SetGeometry({0, 0, 1920, 1080}, TSlideFitMode::Cover);
  EXPECT_EQ(producer->SlideSize(), (TSize{1920, 1440}));
  EXPECT_EQ(producer->Host().SlideCount(), 3);
  EXPECT_EQ(producer->Host().DesignSize(), (TSize{800, 600}));
}

TEST_F(SlideProducer, FixedSizeAndZeroSizeComeFromTheProject) {
  const auto fixed = MakeProducer(ThreeSlideShow("", "[main]\nopt_scr_fullfixedsize=1\n"));
  EXPECT_TRUE(fixed->FixedSize());
  EXPECT_EQ(fixed->SlideSize(), (TSize{800, 600}));

  auto zero = std::make_unique<TSlideProducer>(MakeSource("[Main]\nopt_slidescount=1\nopt_synchpos1=10\n"));
  EXPECT_THROW(zero->SetGeometry({0, 0, 640, 480}, TSlideFitMode::FitInside), EAssertionFailed);
}

TEST_F(SlideProducer, SlideCarriesItsTimesObjectsTransitionAndPlace) {
  const auto producer = MakeProducer(ThreeSlideShow());
  const auto slide = producer->MakeSlide(1, 0);
  ASSERT_TRUE(slide);
  EXPECT_EQ(slide->Index(), 1);
  EXPECT_EQ(slide->Repetition(), 0);
  EXPECT_EQ(slide->Times().SlideStart, 10000);
  EXPECT_EQ(slide->Times().SlideEnd, 20000);
  EXPECT_EQ(slide->Times().InEffect, 1000);
  EXPECT_EQ(slide->ChildCount(), 1);
  EXPECT_EQ(slide->BaseSize(), (TSize{1440, 1080}));
  EXPECT_FLOAT_EQ(slide->Center().x, 960);
  EXPECT_FLOAT_EQ(slide->Center().y, 540);
  EXPECT_EQ(slide->SlideHost(), &producer->Host());
  ASSERT_NE(slide->Transition(), nullptr);
  EXPECT_EQ(slide->Transition()->EffectClass(), 2);
  EXPECT_EQ(slide->Transition()->Duration(), 1000);
  EXPECT_EQ(slide->Background().Color1, (TRgb{0, 255, 0})) << "the show's background";
}

TEST_F(SlideProducer, ZoomMakesABaseSizeAndAScale) {
  const auto producer = MakeProducer(ThreeSlideShow());
  producer->SetGeometry({0, 0, 1920, 1080}, TSlideFitMode::FitInside, 200, 100);
  ASSERT_EQ(producer->SlideSize(), (TSize{1920, 720}));
  const auto slide = producer->MakeSlide(0, 0);
  ASSERT_TRUE(slide);
  EXPECT_EQ(slide->BaseSize(), (TSize{960, 720}));
  EXPECT_FLOAT_EQ(slide->Values().ScaleX, 200);
  EXPECT_FLOAT_EQ(slide->Values().ScaleY, 100);
}

TEST_F(SlideProducer, LeadInShowsTheFirstBackgroundWithoutObjects) {
  const auto producer = MakeProducer(ThreeSlideShow());
  const auto leadIn = producer->MakeSlide(-1, 0);
  ASSERT_TRUE(leadIn);
  EXPECT_EQ(leadIn->Index(), -1);
  EXPECT_EQ(leadIn->ChildCount(), 0);
  EXPECT_EQ(leadIn->Background().Color1, (TRgb{255, 0, 0})) << "slide 1's own background";
  EXPECT_EQ(leadIn->Times().SlideStart, kLeadInStart);
  EXPECT_EQ(leadIn->Times().SlideEnd, 0);
  EXPECT_EQ(leadIn->Times().InEffect, 0);
  EXPECT_EQ(leadIn->Times().OutEffect, 1000) << "the transition into slide 1";
  EXPECT_EQ(leadIn->Transition(), nullptr);
  EXPECT_EQ(leadIn->BaseSize(), (TSize{1440, 1080}));
}

TEST_F(SlideProducer, RepetitionsShiftTimesByTheShowLength) {
  const auto producer = MakeProducer(ThreeSlideShow());
  const auto container = producer->MakeContainer(4);
  ASSERT_TRUE(container->Slide());
  EXPECT_EQ(container->Index(), 4);
  EXPECT_EQ(container->RepetitionOffset(), 30000);
  EXPECT_EQ(container->Times().SlideStart, 40000);
  EXPECT_EQ(container->Times().SlideEnd, 50000);
  EXPECT_EQ(container->Times().VisibleEnd, 51000);
  EXPECT_EQ(container->Slide()->Index(), 1);
  EXPECT_EQ(container->Slide()->Repetition(), 1);
  EXPECT_EQ(container->Slide()->AnchorTimes()[0], 40000) << "the slide's anchors follow the repetition";
  EXPECT_EQ(container->Transition(), container->Slide()->Transition());
  EXPECT_EQ(container->Timing(), producer->CurrentTiming());

  const auto leadIn = producer->MakeContainer(-1);
  ASSERT_TRUE(leadIn->Slide());
  EXPECT_EQ(leadIn->Index(), -1);
  EXPECT_EQ(leadIn->RepetitionOffset(), 0);
  EXPECT_EQ(leadIn->Times().SlideEnd, 0);
}

TEST_F(SlideProducer, ContainersNeedTimingAndSlides) {
  const auto untimed = MakeProducer(ThreeSlideShow(), false);
  try {
    untimed->MakeContainer(0);
    ADD_FAILURE() << "no exception";
  } catch (const EQxError& error) {
    EXPECT_STREQ(error.what(), "TSlideProducer.CurrentTiming not Assigned");
  }

  auto empty = std::make_unique<TSlideProducer>(MakeSource("[Main]\nopt_scr_width=4\nopt_scr_height=3\n"));
  empty->SetGeometry({0, 0, 640, 480}, TSlideFitMode::FitInside);
  empty->SetTiming(MakeRef<TTiming>());
  try {
    empty->MakeSlide(0, 0);
    ADD_FAILURE() << "no exception";
  } catch (const EQxError& error) {
    EXPECT_STREQ(error.what(), "No Slides in Presentation");
  }
  EXPECT_THROW(empty->MakeContainer(2), EQxError);
  const auto leadIn = empty->MakeContainer(-1);
  EXPECT_TRUE(leadIn->Slide()) << "an empty show still has its background";
  EXPECT_EQ(empty->VisibleRange(5000), (TVisibleRange{-1, -1}));
}

TEST_F(SlideProducer, SlideThatFailsToLoadIsDropped) {
  test::TCapturedLog log;
  const auto producer = MakeProducer(ThreeSlideShow(test::kFailingObject));
  EXPECT_EQ(producer->MakeSlide(1, 0), nullptr);
  EXPECT_TRUE(log.Contains("this object cannot load"));
  const auto container = producer->MakeContainer(1);
  EXPECT_EQ(container->Slide(), nullptr);
  EXPECT_EQ(container->Transition(), nullptr);
  EXPECT_EQ(container->Times().SlideStart, 10000) << "the time block stays";
  EXPECT_TRUE(log.Contains("................ 1"));
  EXPECT_TRUE(producer->MakeSlide(2, 0)) << "the other slides are unaffected";
}

TEST_F(SlideProducer, MissingSectionGivesNoSlide) {
  const auto producer = MakeProducer("[Main]\nopt_slidescount=2\nopt_synchpos1=100\nopt_synchpos2=200\n"
                                     "opt_scr_width=4\nopt_scr_height=3\n[slide1]\n");
  EXPECT_TRUE(producer->MakeSlide(0, 0));
  EXPECT_EQ(producer->MakeSlide(1, 0), nullptr);
  EXPECT_EQ(producer->MakeSlide(3, 0), nullptr) << "index 3 is slide 2 again";
}

TEST_F(SlideProducer, VisibleRangeCoversTransitions) {
  const auto producer = MakeProducer(ThreeSlideShow());
  EXPECT_EQ(producer->VisibleRange(-5), (TVisibleRange{-1, -1}));
  EXPECT_EQ(producer->VisibleRange(500), (TVisibleRange{-1, 0})) << "fading into slide 1";
  EXPECT_EQ(producer->VisibleRange(5000), (TVisibleRange{0, 0}));
  EXPECT_EQ(producer->VisibleRange(10000), (TVisibleRange{0, 1}));
  EXPECT_EQ(producer->VisibleRange(10500), (TVisibleRange{0, 1}));
  EXPECT_EQ(producer->VisibleRange(11000.4), (TVisibleRange{0, 1})) << "times compare rounded";
  EXPECT_EQ(producer->VisibleRange(11000.6), (TVisibleRange{1, 1}));
  EXPECT_EQ(producer->VisibleRange(25000), (TVisibleRange{2, 2}));
  EXPECT_EQ(producer->VisibleRange(30500), (TVisibleRange{2, 3})) << "into the repetition";
  EXPECT_EQ(producer->VisibleRange(2000), (TVisibleRange{0, 0})) << "the cursor walks back";
  EXPECT_EQ(producer->VisibleRange(30000.0 * 1000 + 5000), (TVisibleRange{3000, 3000})) << "and far ahead";
  EXPECT_EQ(producer->VisibleRange(15000), (TVisibleRange{1, 1}));
}

TEST_F(SlideProducer, ShowOfZeroLengthEndsTheSearch) {
  const auto producer = MakeProducer("[Main]\nopt_slidescount=2\nopt_scr_width=4\nopt_scr_height=3\n");
  const TVisibleRange range = producer->VisibleRange(1e9);
  EXPECT_EQ(range.First, 1);
}

TEST_F(SlideProducer, DialogSectionsAreFoundByName) {
  const std::string extra = "[main]\n"
                            "opt_customdialogscount=2\n"
                            "custom_dialog1=Intro\n"
                            "custom_dialog2=Help\n"
                            "[dialog_2_]\n"
                            "DialogPause=1\n"
                            "object d:box\n"
                            "end\n"
                            "[dialog_Other]\n"
                            "object e:box\n"
                            "end\n";
  const auto producer = MakeProducer(ThreeSlideShow("object b:box\nend\n", extra));
  const TDialogSlide help = producer->MakeDialogSlide("Help");
  EXPECT_EQ(help.Section, "dialog_2_");
  EXPECT_TRUE(help.DialogPause);
  ASSERT_TRUE(help.Slide);
  EXPECT_EQ(help.Slide->ChildCount(), 1);
  EXPECT_EQ(help.Slide->Index(), -1);
  EXPECT_EQ(help.Slide->AnchorTimes()[2], 0);
  EXPECT_EQ(help.Slide->KeyPoints().EvaluationTime(), 0);

  const TDialogSlide other = producer->MakeDialogSlide("Other");
  EXPECT_EQ(other.Section, "dialog_Other");
  EXPECT_FALSE(other.DialogPause);
  EXPECT_TRUE(other.Slide);

  const TDialogSlide intro = producer->MakeDialogSlide("Intro");
  EXPECT_EQ(intro.Section, "dialog_1_");
  EXPECT_FALSE(intro.Slide) << "no such section";
}

TEST(DialogSection, UnsetEntriesReadAsNotFound) {
  TIniStorage storage;
  storage.LoadFromString("[main]\nopt_customdialogscount=3\ncustom_dialog3=x\n");
  const TIniSection& main = *storage.FindSection("main");
  EXPECT_EQ(DialogSectionName(main, "NotFound"), "dialog_1_");
  EXPECT_EQ(DialogSectionName(main, "x"), "dialog_3_");
  EXPECT_EQ(DialogSectionName(main, "X"), "dialog_X") << "names compare exactly";
}

} // namespace
} // namespace qx
