// The engine with its overlay: dialogs opened and closed by actions, the
// clock held by a pausing dialog, and the mouse taken by a dialog before
// the slides below see it.
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include "Tests/VmoLib2/VmoViewer/qxVmoEngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace qx {
namespace {

using test::EngineShow;
using test::TEngineHarness;

// Slide 1 has a box (100 ... 700, 100 ... 500) that goes to the next slide;
// the pausing dialog "Info" a close box (200 ... 600, 200 ... 400) over its
// background and a box (30 ... 50, 20 ... 40) that asks for "Info" again;
// the help dialog a small box in the centre that goes to slide 2.
const std::string kShow =
    EngineShow(3, "opt_repeat=stop\nopt_customdialogscount=1\ncustom_dialog1=Info\n",
               "[Slide1]\nobject s:box\nSize=600,400\nFitMode=None\nAction=3,0,\nend\n"
               "[dialog_1_]\nDialogPause=1\nobject close:box\nSize=400,200\nFitMode=None\nAction=16,0,\nend\n"
               "object again:box\nSize=20,20\nFitMode=None\nAction=15,0,Info\n"
               "object k:keypoint\nPosition=-90,-90\nend\nend\n"
               "[dialog_help]\nobject h:box\nSize=10,10\nFitMode=None\nAction=7,2,\nend\n");

class EngineOverlay : public testing::Test {
protected:
  void SetUp() override {
    m_harness.Open(kShow);
    ASSERT_TRUE(m_harness.RunUntilTrue([&] { return m_harness.State().Running; }));
  }

  // A press and a release at (x, y); `action` is the mouse word's action,
  // performed where nothing takes the click.
  void Click(int32_t x, int32_t y, const TVmoActionInfo& action = {}) {
    m_harness.Viewer->Mouse(mkButtonDown, x, y, 0, mbLeft, &action);
    m_harness.Viewer->Mouse(mkButtonUp, x, y, 0, mbLeft, nullptr);
    m_harness.RunFor(20);
  }
  bool ShowsDialog() const { return m_harness.State().ShowsDialog; }
  int ActionsOfKind(uint8_t kind) const {
    return static_cast<int>(std::count_if(m_harness.Actions.begin(), m_harness.Actions.end(),
                                          [kind](const TVmoActionInfo& action) { return action.Kind == kind; }));
  }

  TEngineHarness m_harness;
};

const TVmoActionInfo kOpenInfo{akShowDialog, 0, "Info"};

TEST_F(EngineOverlay, APausingDialogHoldsTheClockAndTakesTheMouseUntilItsButtonClosesIt) {
  Click(20, 20, kOpenInfo);
  EXPECT_TRUE(ShowsDialog());
  ASSERT_TRUE(m_harness.RunUntilTrue([&] { return !m_harness.State().Running; }, 100));
  const double held = m_harness.Position();
  m_harness.RunFor(1000);
  EXPECT_EQ(m_harness.Position(), held);
  EXPECT_FALSE(m_harness.State().Paused) << "held by the dialog, not paused by the user";

  // The dialog's background lies over the slide's box: a click there is the
  // dialog's, and the slide does not go on.
  Click(150, 150);
  EXPECT_EQ(ActionsOfKind(akNextSlide), 0);
  EXPECT_TRUE(ShowsDialog());

  // Its close button ("16,0,") closes it without reaching the main window;
  // the clock runs again once it has faded out.
  Click(400, 300);
  EXPECT_EQ(ActionsOfKind(akCloseDialog), 0);
  EXPECT_EQ(ActionsOfKind(akNextSlide), 0);
  ASSERT_TRUE(m_harness.RunUntilTrue([&] { return m_harness.State().Running; }, 500));
  EXPECT_FALSE(ShowsDialog());
  m_harness.RunFor(300);
  EXPECT_GT(m_harness.Position(), held + 200);

  // Without a dialog the slide's box takes the click again.
  Click(150, 150);
  EXPECT_EQ(ActionsOfKind(akNextSlide), 1);
}

TEST_F(EngineOverlay, ASecondOpenOrTheCloseEventClosesTheDialog) {
  Click(20, 20, kOpenInfo);
  EXPECT_TRUE(ShowsDialog());
  // Over the open dialog the click is the dialog's: the mouse word's
  // action does not run, the dialog's own request for it toggles it off.
  Click(20, 20, kOpenInfo);
  m_harness.RunFor(300);
  EXPECT_TRUE(ShowsDialog());
  Click(40, 30);
  m_harness.RunFor(300);
  EXPECT_FALSE(ShowsDialog());

  // The close event (Escape in the main window).
  Click(20, 20, kOpenInfo);
  EXPECT_TRUE(ShowsDialog());
  m_harness.Viewer->CloseDialog();
  m_harness.RunFor(300);
  EXPECT_FALSE(ShowsDialog());

  // With no dialog open, "close dialog" goes on to the main window; a
  // dialog the show does not have opens nothing.
  Click(20, 20, {akCloseDialog, 0, ""});
  EXPECT_EQ(ActionsOfKind(akCloseDialog), 1);
  Click(20, 20, {akShowDialog, 0, "Nowhere"});
  EXPECT_FALSE(ShowsDialog());
  EXPECT_EQ(ActionsOfKind(akShowDialog), 0);
}

TEST_F(EngineOverlay, HelpOpensTheHelpDialogAndASlideChangeClosesIt) {
  m_harness.Viewer->Help();
  m_harness.RunFor(20);
  EXPECT_TRUE(ShowsDialog());
  EXPECT_TRUE(m_harness.State().Running) << "the help dialog does not pause the show";
  Click(400, 300);
  EXPECT_EQ(ActionsOfKind(akGotoSlide), 1);
  m_harness.RunFor(300);
  EXPECT_FALSE(ShowsDialog());
}

} // namespace
} // namespace qx
