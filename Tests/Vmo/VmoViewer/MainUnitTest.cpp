// The main window driven as a window system drives it: keys, buttons, the
// wheel, the actions they give, the end of the show, other shows with the
// return stack, and the messages of opening a show.
#include "Vmo/VmoViewer/MainUnit.h"

#include "Tests/Vmo/VmoViewer/qxMainFormTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoInputMapping.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::EngineShow;
using test::TFormHarness;

// Four slides of 4 s that do not repeat.
std::string Show(std::string_view main = "", std::string_view slides = "", int transition = 0) {
  return EngineShow(4, "opt_repeat=stop\n" + std::string(main), slides, transition);
}

TEST(MainForm, NextSlideAndNoneMouseWords) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("opt_leftmouse=Next slide\nopt_rightmouse=None\n")));
  const double before = h.Position();
  EXPECT_LT(before, 4000);
  h.Click(mbRight);
  EXPECT_LT(h.Position(), 4000) << "a right click does nothing";
  h.Click(mbLeft);
  EXPECT_GE(h.Position(), 4001);
  EXPECT_LT(h.Position(), 4100);
}

TEST(MainForm, MouseButtonsAreIgnoredInTheFirstSecond) {
  TFormHarness h;
  ASSERT_TRUE(h.Create("-filename \"" + h.WriteProject("s.vmo", Show("opt_leftmouse=Next slide\n")) + "\""));
  h.RunFor(500);
  h.Click(mbLeft);
  EXPECT_LT(h.Position(), 4000);
  h.RunFor(600);
  h.Click(mbLeft);
  EXPECT_GE(h.Position(), 4001);
}

TEST(MainForm, CtrlPPausesButCtrlShiftPDoesNot) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show()));
  h.Key(vkP, ssCtrl | ssShift);
  EXPECT_FALSE(h.Form->Viewer()->Paused());
  h.Key(vkP, ssCtrl);
  EXPECT_TRUE(h.Form->Viewer()->Paused());
  const double held = h.Position();
  h.RunFor(500);
  EXPECT_EQ(h.Position(), held);
  h.Key(vkSpace);
  h.RunFor(500);
  EXPECT_GT(h.Position(), held);
}

TEST(MainForm, WhileADialogIsOpenEscapeClosesItAndOtherKeysAreSwallowed) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("", "[dialog_help]\nobject b:box\nSize=10,10\nFitMode=None\nend\n")));
  h.Key(vkF1);
  h.RunFor(20);
  ASSERT_TRUE(h.State().ShowsDialog);
  h.Key(vkSpace);
  h.Key(vkRight);
  h.RunFor(20);
  EXPECT_FALSE(h.Form->Viewer()->Paused());
  EXPECT_LT(h.Position(), 4000);
  // Escape closes the dialog, not the window; the next one closes the window.
  h.Key(vkEscape);
  h.RunFor(300);
  EXPECT_FALSE(h.Form->Closed());
  EXPECT_FALSE(h.State().ShowsDialog);
  h.Key(vkEscape);
  EXPECT_TRUE(h.Form->Closed());
}

TEST(MainForm, HomeGoesToTheFirstSlideAndEndToTheLast) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show()));
  h.Key(vkEnd);
  EXPECT_GE(h.Position(), 12001);
  EXPECT_LT(h.Position(), 12100);
  h.Key(vkHome);
  EXPECT_GE(h.Position(), 1);
  EXPECT_LT(h.Position(), 100);
}

TEST(MainForm, NextSlideEntersATransitionPlayingAndSkipsItPaused) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("", "", 1000)));
  const TVmoSource& source = h.Form->CurrentShow()->Source();
  const TSlideInfo& second = source.Slides()[1];
  ASSERT_GT(second.InEffect, 0);
  h.Key(vkRight);
  EXPECT_GE(h.Position(), second.SlideStart);
  EXPECT_LT(h.Position(), second.SlideStart + second.InEffect);
  h.Key(vkSpace);
  EXPECT_TRUE(h.Form->Viewer()->Paused());
  h.Key(vkRight);
  const TSlideInfo& third = source.Slides()[2];
  EXPECT_EQ(h.Position(), third.SlideStart + third.InEffect);
  // Previous, paused: the slide before, fully visible.
  h.Key(vkLeft);
  EXPECT_EQ(h.Position(), second.SlideStart + second.InEffect);
  EXPECT_TRUE(h.Form->Viewer()->Paused());
}

TEST(MainForm, NextSlideOnTheLastSlideOfAShowThatStopsStaysOnIt) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show()));
  h.Key(vkEnd);
  h.Key(vkSpace);
  h.Key(vkRight);
  EXPECT_EQ(h.Position(), 12001);
}

TEST(MainForm, WithoutPermitControlSpaceOnlyContinuesFromAPauseBarrier) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("opt_synchpermitcontrol=0\n", "[Slide1]\nUsePersonal=1\nPers_EndAction=pause\n")));
  h.Key(vkSpace);
  EXPECT_FALSE(h.Form->Viewer()->Paused()) << "space is not bound";
  h.RunFor(4000);
  ASSERT_TRUE(h.State().AtBarrier);
  EXPECT_EQ(h.Position(), 4000);
  h.Key(vkLeft);
  EXPECT_TRUE(h.State().AtBarrier) << "only the continuing keys act";
  h.Key(vkSpace);
  h.RunFor(300);
  EXPECT_FALSE(h.State().AtBarrier);
  EXPECT_GT(h.Position(), 4000);
}

TEST(MainForm, WithPermitControlNextSlideContinuesFromAPauseBarrier) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("", "[Slide1]\nUsePersonal=1\nPers_EndAction=pause\n")));
  h.RunFor(4000);
  ASSERT_TRUE(h.State().AtBarrier);
  h.Key(vkRight);
  h.RunFor(300);
  EXPECT_FALSE(h.State().AtBarrier);
  EXPECT_GT(h.Position(), 4000);
  EXPECT_LT(h.Position(), 5000) << "continued, not skipped a slide";
}

TEST(MainForm, WheelStepsTimeOrWithCtrlSlides) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show()));
  h.Key(vkSpace);
  h.Form->Viewer()->Seek(6000);
  h.Settle();
  h.Form->MouseWheel(1, 0);
  h.Settle();
  EXPECT_EQ(h.Position(), 5300) << "a notch away from the user goes 700 ms back";
  h.Form->MouseWheel(-2, 0);
  h.Settle();
  EXPECT_EQ(h.Position(), 6700);
  h.Form->MouseWheel(-1, ssCtrl);
  h.Settle();
  EXPECT_EQ(h.Position(), 8001);
  h.Form->MouseWheel(1, ssCtrl);
  h.Settle();
  EXPECT_EQ(h.Position(), 4000) << "previous slide";
  // Ctrl with another key is the time wheel.
  h.Form->MouseWheel(1, ssCtrl | ssShift);
  h.Settle();
  EXPECT_EQ(h.Position(), 3300);
  EXPECT_TRUE(h.Form->Viewer()->Paused());
}

TEST(MainForm, ALockedWheelDoesNothing) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("opt_lockwheel=1\n")));
  h.Key(vkSpace);
  const double held = h.Position();
  h.Form->MouseWheel(-3, 0);
  h.Settle();
  EXPECT_EQ(h.Position(), held);
}

TEST(MainForm, ScreenSaverNeedsSlashSAndExitsOnAnyKey) {
  const std::string program = ProgramPath();
  SetProgramPath("/opt/vmo/show.scr");
  {
    TFormHarness h;
    EXPECT_FALSE(h.Play(Show()));
    EXPECT_TRUE(h.Form->Closed());
    EXPECT_TRUE(h.Host->Messages.empty()) << "refused without a message";
  }
  {
    TFormHarness h;
    ASSERT_TRUE(h.Play(Show(), "/s"));
    ASSERT_TRUE(h.Form->InputMapping()->ScreenSaver());
    h.Key(vkA, ssShift);
    EXPECT_TRUE(h.Form->Closed());
    EXPECT_EQ(h.Form->ExitCode(), 0);
  }
  {
    TFormHarness h;
    ASSERT_TRUE(h.Play(Show(), "/S"));
    h.Form->MouseMove(10, 10, 0);
    h.Form->MouseMove(13, 12, 0);
    EXPECT_FALSE(h.Form->Closed());
    h.Form->MouseMove(13, 13, 0);
    EXPECT_TRUE(h.Form->Closed()) << "a move of 6 pixels exits";
  }
  SetProgramPath(program);
}

TEST(MainForm, ProhibitedProgramsRunNothingAndQuotedCommasStayInTheirPart) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show()));
  h.Form->Perform({akRunProgram, 0, "notepad readme.txt, cmd /c del x"});
  EXPECT_TRUE(h.Host->Programs.empty()) << "not even the first";
  ASSERT_EQ(h.Host->Messages.size(), 1u);
  EXPECT_EQ(h.Host->Messages[0], "\nCommand line contains prohibited command and will not be performed.");
  h.Form->Perform({akRunProgram, 0, "\"my, cmd.sh\" one, viewer \"a, del\""});
  EXPECT_EQ(h.Host->Programs, (std::vector<std::string>{"my, cmd.sh one", "viewer \"a, del\""}));
  h.Form->Perform({akRunProgram, 0, "\"C:\\Windows\\System32\\CMD.EXE\" /c"});
  EXPECT_EQ(h.Host->Messages.size(), 2u);
  h.Form->Perform({akOpenWeb, 0, "example.org/a,b"});
  h.Form->Perform({akOpenWeb, 0, "HTTPS://example.org"});
  h.Form->Perform({akOpenMail, 0, "someone@example.org"});
  EXPECT_EQ(h.Host->Addresses,
            (std::vector<std::string>{"http://example.org/a,b", "HTTPS://example.org", "mailto:someone@example.org"}));
}

TEST(MainForm, AnotherShowWithAReturnEntryComesBackOnExit) {
  TFormHarness h;
  const std::string first = h.WritePackage("first.exe", Show("VmoVersion=5.6\n"));
  const std::string second = h.WritePackage("second.VmShow", EngineShow(2, "opt_repeat=stop\nVmoVersion=5.6\n"));
  ASSERT_TRUE(h.Create("-exename \"" + first + "\""));
  h.RunFor(1100);
  h.Form->Viewer()->Seek(9000);
  h.Settle();
  h.Form->Perform({akOpenShowReturning, 0, "second.VmShow -slide 2"});
  h.Settle();
  EXPECT_EQ(h.Form->ShowPath(), second);
  ASSERT_EQ(h.Form->ReturnStack().size(), 1u);
  EXPECT_EQ(h.Form->ReturnStack()[0], "\"" + first + "\" -slide 3");
  EXPECT_GE(h.Position(), 4001);
  EXPECT_FALSE(h.Form->Viewer()->Paused());
  h.Key(vkEscape);
  EXPECT_FALSE(h.Form->Closed());
  EXPECT_EQ(h.Form->ShowPath(), first);
  EXPECT_TRUE(h.Form->ReturnStack().empty());
  EXPECT_GE(h.Position(), 8001);
  EXPECT_LT(h.Position(), 8100);
  h.Key(vkEscape);
  EXPECT_TRUE(h.Form->Closed());
}

TEST(MainForm, AnotherShowThatCannotBeOpenedSaysWhy) {
  TFormHarness h;
  const std::string first = h.WritePackage("first.exe", Show("VmoVersion=5.6\n"));
  h.WritePackage("old.exe", Show("VmoVersion=4.0\n"), "4.0");
  h.Folder.Write("plain.txt", "no show here");
  ASSERT_TRUE(h.Create("-exename \"" + first + "\""));
  h.Form->Perform({akOpenShowReturning, 0, "missing.exe"});
  h.Form->Perform({akOpenShowReturning, 0, "plain.txt"});
  h.Form->Perform({akOpenShowReturning, 0, "old.exe"});
  ASSERT_EQ(h.Host->Messages.size(), 3u);
  EXPECT_EQ(h.Host->Messages[0], "Slideshow Error\nVmoShow File not Found:\nmissing.exe");
  EXPECT_EQ(h.Host->Messages[1],
            "Slideshow Error\nNot VmoShow Executable File or File Corrupted:\n" + h.Folder.Path() + "plain.txt");
  EXPECT_EQ(h.Host->Messages[2], "Slideshow Error\nVmoShow ExeFile Version Mismatch:\n" + h.Folder.Path() + "old.exe");
  EXPECT_FALSE(h.Form->Closed()) << "with a return entry the show stays";
  EXPECT_EQ(h.Form->ShowPath(), first);
  h.Form->Perform({akOpenShow, 0, "missing.exe"});
  EXPECT_TRUE(h.Form->Closed()) << "without one the window closes";
}

TEST(MainForm, OpeningMessages) {
  {
    TFormHarness h;
    const std::string missing = h.Folder.Path() + "missing.exe";
    EXPECT_FALSE(h.Create("-exename \"" + missing + "\""));
    ASSERT_EQ(h.Host->Messages.size(), 1u);
    EXPECT_EQ(h.Host->Messages[0], "Slideshow Error\nSlideshow File not Found\n\"" + missing + "\" or \"" +
                                       h.Folder.Path() + "missing.VmShow\"");
    EXPECT_TRUE(h.Host->Terminated);
  }
  {
    TFormHarness h;
    const std::string missing = h.Folder.Path() + "missing.vmo";
    EXPECT_FALSE(h.Create("-filename \"" + missing + "\""));
    ASSERT_EQ(h.Host->Messages.size(), 1u);
    EXPECT_EQ(h.Host->Messages[0], "Slideshow Error\nCan`t Load .vmo File\n\"" + missing + "\"");
  }
  {
    TFormHarness h;
    // A file without a package beside a ".VmShow" package opens the package.
    h.Folder.Write("show.exe", "just a program");
    h.WritePackage("show.VmShow", Show("opt_exefn=\n"));
    EXPECT_TRUE(h.Create("-exename \"" + h.Folder.Path() + "show.exe\""));
    ASSERT_EQ(h.Host->Messages.size(), 1u);
    EXPECT_EQ(h.Host->Messages[0], "Slideshow Error\nopt_exefn - Empty");
  }
}

TEST(MainForm, CaptionCursorAndStartFromTheCommandLine) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("opt_scr_caption=Holiday\nopt_hidecursor=1\n"), "-slide 3"));
  EXPECT_EQ(h.Host->Caption, "Holiday");
  EXPECT_TRUE(h.Form->MouseMonitor().Hidden());
  EXPECT_GE(h.Position(), 8001);
  EXPECT_LT(h.Position(), 10000);

  TFormHarness t;
  ASSERT_TRUE(t.Play(Show(), "-time 5001"));
  EXPECT_EQ(t.Host->Caption, "VmoViewer v5.6");
  EXPECT_FALSE(t.Form->MouseMonitor().Hidden());
  EXPECT_GE(t.Position(), 5000);
  EXPECT_LT(t.Position(), 7000);
}

TEST(MainForm, TheCursorHidesAfterTheIntervalAndComesBackAfterAMove) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("opt_hidecursor=2\nopt_hc2_hideinterval=2\n")));
  EXPECT_FALSE(h.Form->MouseMonitor().Hidden());
  h.Form->MouseMove(100, 100, 0);
  for (int i = 0; i < 90; ++i) {
    h.RunFor(TMouseMonitor::kPollIntervalMs);
    h.Form->Poll();
  }
  EXPECT_FALSE(h.Form->MouseMonitor().Hidden()) << "1.8 s without a move";
  for (int i = 0; i < 15; ++i) {
    h.RunFor(TMouseMonitor::kPollIntervalMs);
    h.Form->Poll();
  }
  EXPECT_TRUE(h.Form->MouseMonitor().Hidden());
  EXPECT_EQ(h.Host->Cursors.back(), TMainFormHost::TCursor::None);
  h.Form->MouseMove(104, 96, 0);
  EXPECT_TRUE(h.Form->MouseMonitor().Hidden()) << "4 pixels are no move";
  h.Form->MouseMove(105, 100, 0);
  EXPECT_FALSE(h.Form->MouseMonitor().Hidden());
  EXPECT_EQ(h.Host->Cursors.back(), TMainFormHost::TCursor::Default);
}

TEST(MainForm, AShowThatClosesAtItsEndClosesTheWindow) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(EngineShow(2, "opt_repeat=close\n")));
  h.RunFor(8000);
  EXPECT_TRUE(h.Form->Closed());
  EXPECT_TRUE(h.Host->Terminated);
}

TEST(MainForm, RunOnExitOnlyAfterTheLastSlideWhenTheProjectSaysSo) {
  {
    TFormHarness h;
    ASSERT_TRUE(h.Play(EngineShow(2, "opt_repeat=stop\nopt_runapponexit=1\nopt_runapponexitfn=goodbye.sh\n")));
    h.Key(vkEscape);
    EXPECT_TRUE(h.Form->Closed());
    EXPECT_TRUE(h.Host->Programs.empty());
  }
  {
    TFormHarness h;
    ASSERT_TRUE(h.Play(EngineShow(2, "opt_repeat=close\nopt_runapponexit=1\nopt_runapponexitfn=goodbye.sh\n")));
    h.RunFor(8000);
    EXPECT_TRUE(h.Form->Closed());
    EXPECT_EQ(h.Host->Programs, std::vector<std::string>{"goodbye.sh"});
  }
  {
    TFormHarness h;
    ASSERT_TRUE(h.Play(EngineShow(2, "opt_repeat=stop\nopt_runapponexit=1\nopt_runapponexitiflastslide=0\n"
                                     "opt_runapponexitfn=goodbye.sh\n")));
    h.Key(vkEscape);
    EXPECT_EQ(h.Host->Programs, std::vector<std::string>{"goodbye.sh"});
  }
}

TEST(MainForm, PasswordMustMatchExactly) {
  const std::string main = "opt_usepass=1\nopt_pass=Secret\nopt_lng_password_caption=Kennwort\n";
  for (const auto& [typed, opens] : std::vector<std::pair<std::optional<std::string>, bool>>{
           {"Secret", true}, {"secret", false}, {std::nullopt, false}}) {
    TFormHarness h;
    h.Host->SetPasswordSource([typed] { return typed; });
    EXPECT_EQ(h.Play(Show(main)), opens);
    ASSERT_EQ(h.Host->PasswordDialogs.size(), 1u);
    EXPECT_EQ(h.Host->PasswordDialogs[0].Caption, "Kennwort");
    EXPECT_EQ(h.Host->PasswordDialogs[0].Label, "Enter password:");
  }
  // Without "opt_pass" an empty entry does not pass.
  TFormHarness h;
  h.Host->SetPasswordSource([] { return std::string(); });
  EXPECT_FALSE(h.Play(Show("opt_usepass=1\n")));
}

TEST(MainForm, StartupWindowDecidesWhetherTheShowGoesOn) {
  for (const auto& [code, opens] :
       std::vector<std::pair<std::optional<int>, bool>>{{1, true}, {0, false}, {std::nullopt, false}}) {
    TFormHarness h;
    h.Host->SetStartupExitCode(code);
    const std::string path = h.WriteProject("show.vmo", Show("stw_show=1\n"));
    EXPECT_EQ(h.Create("-filename \"" + path + "\" -display 2"), opens);
    ASSERT_EQ(h.Host->StartupWindows.size(), 1u);
    EXPECT_EQ(h.Host->StartupWindows[0],
              (std::vector<std::string>{"-filename", path, "-startup", "-display", "2", "-ownerwnd", "0"}));
  }
}

TEST(MainForm, EnterInTheStartupWindowEndsItWithExitCode1) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("stw_show=1\n"), "-startup"));
  EXPECT_TRUE(h.Host->StartupWindows.empty()) << "a startup window starts none";
  h.Key(vkReturn);
  EXPECT_TRUE(h.Form->Closed());
  EXPECT_EQ(h.Form->ExitCode(), 1);
}

TEST(MainForm, PlacementScalesAndCentresOnTheChosenMonitor) {
  const std::vector<T3DRect> monitors{{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
  const T3DRect noBorders{};
  EXPECT_EQ(TMainForm::PlacementRect(800, 600, 0, monitors, noBorders, 0, false), monitors[0]);
  EXPECT_EQ(TMainForm::PlacementRect(800, 600, 0, monitors, noBorders, 2, false), monitors[1]);
  EXPECT_EQ(TMainForm::PlacementRect(800, 600, 0, monitors, noBorders, 3, false), monitors[0]) << "no monitor 3";
  EXPECT_EQ(TMainForm::PlacementRect(800, 600, 2, monitors, noBorders, 0, false), (T3DRect{560, 240, 1360, 840}));
  const T3DRect frame{4, 30, 4, 4};
  EXPECT_EQ(TMainForm::PlacementRect(800, 600, 1, monitors, frame, 0, false), (T3DRect{556, 223, 1364, 857}));
  // Larger than the monitor: scaled by the smaller ratio, to whole pixels.
  EXPECT_EQ(TMainForm::PlacementRect(2560, 1440, 2, monitors, noBorders, 2, false), (T3DRect{1920, 152, 3200, 872}));
  // The whole desktop.
  EXPECT_EQ(TMainForm::PlacementRect(100, 100, 0, monitors, noBorders, 0, true), (T3DRect{0, 0, 3200, 1080}));
}

TEST(MainForm, TheProjectPlacesTheWindowWithTheCommandLinesFrame) {
  TFormHarness h;
  ASSERT_TRUE(h.Play(Show("opt_withoutborder=0\n"), "-resize"));
  ASSERT_FALSE(h.Host->Placements.empty());
  const TVmoHeadlessHost::TPlacement& placed = h.Host->Placements.back();
  EXPECT_EQ(placed.Border, TMainFormHost::TBorder::Resizable);
  EXPECT_FALSE(placed.FullScreen);
  EXPECT_EQ(placed.Outer, (T3DRect{560, 240, 1360, 840}));
}

} // namespace
} // namespace qx
