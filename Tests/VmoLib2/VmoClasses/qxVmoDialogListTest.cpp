#include "VmoLib2/VmoClasses/qxVmoDialogList.h"

#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "qxRecordingDrawer.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

// Two pausing dialogs and a plain one, each a box across the centre that
// closes the dialog when clicked.
constexpr std::string_view kShow =
    "[Main]\nopt_slidescount=1\nopt_synchpos1=5000\nopt_scr_width=800\nopt_scr_height=600\n"
    "opt_customdialogscount=1\ncustom_dialog1=Info\n[slide1]\n"
    "[dialog_1_]\nDialogPause=1\nobject close:box\nSize=400,200\nFitMode=None\nAction=16,0,\nend\n"
    "[dialog_Stop]\nDialogPause=1\nobject s:box\nSize=100,100\nFitMode=None\nend\n"
    "[dialog_Plain]\nobject p:box\nSize=100,100\nFitMode=None\nAction=7,1,\nend\n"
    "[dialog_Side]\nobject s:box\nSize=50,50\nFitMode=None\nobject k:keypoint\nPosition=-80,-80\nend\nend\n";

class DialogList : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_producer = std::make_unique<TSlideProducer>(
        std::make_unique<TVmoSource>(test::TestAccessor(), test::Project(kShow), true));
    m_producer->SetGeometry({0, 0, 800, 600}, TSlideFitMode::FitInside);
    m_producer->SetTiming(MakeRef<TTiming>());
  }

  bool Open(const std::string& name, int64_t now) {
    return m_list.Open(name, m_producer->MakeDialogSlide(name), now);
  }

  std::unique_ptr<TSlideProducer> m_producer;
  TVmoDialogList m_list;
};

TEST_F(DialogList, FadesInAndASecondRequestFadesItOut) {
  ASSERT_TRUE(Open("Info", 1000));
  ASSERT_EQ(m_list.Count(), 1);
  EXPECT_EQ(m_list.Dialog(0).Name(), "dialog_1_") << "a listed name takes its numbered section";
  EXPECT_EQ(m_list.Dialog(0).OpacityFactor(), 0);
  EXPECT_TRUE(m_list.Step(1050));
  EXPECT_FLOAT_EQ(m_list.Dialog(0).OpacityFactor(), 25);
  m_list.Step(1200);
  EXPECT_FLOAT_EQ(m_list.Dialog(0).OpacityFactor(), 100);
  EXPECT_FALSE(m_list.Step(1300)) << "nothing fades any more";

  // Asked again, the open dialog closes.
  EXPECT_TRUE(Open("Info", 2000));
  EXPECT_TRUE(m_list.Closing());
  m_list.Step(2100);
  EXPECT_FLOAT_EQ(m_list.Dialog(0).OpacityFactor(), 50);
  // Nothing opens while a dialog fades out.
  EXPECT_FALSE(Open("Plain", 2100));
  EXPECT_EQ(m_list.Count(), 1);
  m_list.Step(2198);
  EXPECT_EQ(m_list.Count(), 1);
  EXPECT_TRUE(m_list.Step(2200));
  EXPECT_TRUE(m_list.Empty());
  EXPECT_FALSE(m_list.CloseLast(2300));
}

TEST_F(DialogList, MissingDialogOpensNothing) {
  EXPECT_FALSE(Open("Nowhere", 0));
  EXPECT_TRUE(m_list.Empty());
  EXPECT_FALSE(m_list.HoldsClock());
}

TEST_F(DialogList, PausingDialogsHoldTheClockUntilTheShowResumes) {
  Open("Plain", 0);
  EXPECT_FALSE(m_list.HoldsClock());
  Open("Info", 10);
  Open("Stop", 20);
  EXPECT_EQ(m_list.Count(), 3);
  EXPECT_FLOAT_EQ(m_list.Dialog(1).OpacityFactor(), 100) << "a new dialog ends the fade of the one before";
  EXPECT_TRUE(m_list.HoldsClock());

  m_list.ClosePauseDialogs(500);
  ASSERT_EQ(m_list.Count(), 2) << "every pausing dialog but the last goes at once";
  EXPECT_EQ(m_list.Name(0), "Plain");
  EXPECT_EQ(m_list.Name(1), "Stop");
  EXPECT_TRUE(m_list.Closing());
  EXPECT_TRUE(m_list.HoldsClock()) << "the last holds the clock while it fades out";
  m_list.Step(700);
  EXPECT_EQ(m_list.Count(), 1);
  EXPECT_FALSE(m_list.HoldsClock());
}

TEST_F(DialogList, MouseGoesToTheLastOpenedDialogFirst) {
  Open("Plain", 0);
  Open("Info", 0);
  m_list.Step(1000);
  TMouseResult result = m_list.MouseEvent(TMouseEventKind::ButtonDown, 400, 300, 0, 1);
  EXPECT_EQ(result.Object->Name(), "close");
  result = m_list.MouseEvent(TMouseEventKind::ButtonUp, 400, 300, 0, 1);
  EXPECT_TRUE(result.ActionReported);
  EXPECT_EQ(result.Action, "16,0,");

  // Once it fades out, the one below takes the mouse.
  ASSERT_TRUE(m_list.CloseLast(1000));
  m_list.MouseEvent(TMouseEventKind::ButtonDown, 400, 300, 0, 1);
  result = m_list.MouseEvent(TMouseEventKind::ButtonUp, 400, 300, 0, 1);
  EXPECT_EQ(result.Action, "7,1,");

  test::TRecordingDrawer drawer;
  m_list.Draw(drawer);
  EXPECT_EQ(drawer.OfKind("box").size(), 4u) << "each dialog's background and box";
}

TEST_F(DialogList, OnlyAnOpaqueBackgroundHidesTheDialogsBelowFromTheMouse) {
  Open("Plain", 0);
  m_list.Step(1000);
  // "Side" has nothing in the centre; half faded in, its background lets
  // the click through to the box of the dialog below.
  Open("Side", 1000);
  m_list.Step(1100);
  m_list.MouseEvent(TMouseEventKind::ButtonDown, 400, 300, 0, 1);
  TMouseResult result = m_list.MouseEvent(TMouseEventKind::ButtonUp, 400, 300, 0, 1);
  EXPECT_TRUE(result.ActionReported);
  EXPECT_EQ(result.Action, "7,1,");
  // At full opacity its background hides that box: the click is taken by
  // the top dialog, with no action.
  m_list.Step(1300);
  m_list.MouseEvent(TMouseEventKind::ButtonDown, 400, 300, 0, 1);
  result = m_list.MouseEvent(TMouseEventKind::ButtonUp, 400, 300, 0, 1);
  EXPECT_FALSE(result.ActionReported);
  ASSERT_NE(result.Object, nullptr);
  EXPECT_EQ(result.Object, &m_list.Dialog(1));
}

} // namespace
} // namespace qx
