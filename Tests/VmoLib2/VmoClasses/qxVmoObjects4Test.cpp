#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "VmoLib2/VmoClasses/VmoVideoObject.h"
#include "VmoLib2/VmoClasses/VmoViewPort.h"
#include "VmoLib2/VmoClasses/qxVmoBox.h"
#include "VmoLib2/VmoClasses/qxVmoButton.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoText.h"
#include "qxVmoSlideTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

using test::SlideTest;

// A box of a fixed pixel size; `keys` and `keypoints` are extra lines.
std::string Box(std::string_view name, int w, int h, std::string_view keys = "", std::string_view keypoints = "") {
  return "object " + std::string(name) + ":box\r\n  FitMode=None\r\n  Size=" + std::to_string(w) + "," +
         std::to_string(h) + "\r\n" + std::string(keys) + std::string(keypoints) + "end\r\n";
}

std::string KeyPoint(std::string_view values) { return "  object k:keypoint\r\n" + std::string(values) + "  end\r\n"; }

// The object block with the children's blocks nested before its "end".
std::string Nest(std::string block, std::string_view children) {
  block.insert(block.size() - 5, children);
  return block;
}

class Objects : public SlideTest {};

} // namespace

// --- Building the tree ------------------------------------------------------

TEST_F(Objects, FactoriesMakeEveryKindAndSkipUnknownBlocks) {
  auto slide = MakeSlide("object a:image\r\nend\r\n"
                         "object b:MainImage\r\nend\r\n"
                         "object c:text\r\nend\r\n"
                         "object d:button\r\nend\r\n"
                         "object e:box\r\nend\r\n"
                         "object f:frame\r\n  Size=30,40\r\nend\r\n"
                         "object g:viewport\r\n  object h:mask\r\n  end\r\nend\r\n"
                         "object i:mainvideo\r\nend\r\n"
                         "object j:hologram\r\n  object k:box\r\n  end\r\nend\r\n"
                         "object l:keypoint\r\n  Opacity=40\r\nend\r\n");
  ASSERT_EQ(slide->ChildCount(), 8);
  EXPECT_NE(dynamic_cast<TVmoImage*>(&Find(*slide, "a")), nullptr);
  EXPECT_FALSE(dynamic_cast<TVmoImage&>(Find(*slide, "a")).MainImage());
  EXPECT_TRUE(dynamic_cast<TVmoImage&>(Find(*slide, "b")).MainImage());
  EXPECT_NE(dynamic_cast<TVmoText*>(&Find(*slide, "c")), nullptr);
  EXPECT_NE(dynamic_cast<TVmoButton*>(&Find(*slide, "d")), nullptr);
  EXPECT_NE(dynamic_cast<TVmoFrame*>(&Find(*slide, "f")), nullptr);
  EXPECT_EQ(Find(*slide, "f").BaseSize(), (TSize{30, 40}));
  EXPECT_NE(dynamic_cast<TVmoViewPort*>(&Find(*slide, "g")), nullptr);
  EXPECT_NE(dynamic_cast<TVmoMask*>(&Find(*slide, "h")), nullptr);
  EXPECT_TRUE(dynamic_cast<TVmoVideo&>(Find(*slide, "i")).MainVideo());
  EXPECT_THROW(Find(*slide, "j"), std::runtime_error);
  EXPECT_THROW(Find(*slide, "k"), std::runtime_error); // skipped with its whole block
  // The key point belongs to the slide, not to a child.
  EXPECT_EQ(slide->KeyPoints().Count(), 1);
}

TEST_F(Objects, CommonKeysAndDefaults) {
  auto slide = MakeSlide("object a:box\r\n"
                         "  FitMode=cover\r\n  PosMode=Absolute\r\n  CenterMode=Absolute\r\n"
                         "  DeltaTime1=250\r\n  DeltaTime2=125.5\r\n  TranspForClick=1\r\n"
                         "  ShadowEnable=1\r\n  ShadowColor=10,20,30\r\n  ShadowAngle=30\r\n  3DShadow=1\r\n"
                         "  HideMode=2\r\n  ChildInvis=1\r\n  Action=Next\r\n  PerspectiveCorrection=1\r\n"
                         "end\r\n"
                         "object b:box\r\nend\r\n"
                         "object c:text\r\nend\r\n");
  const TVmoObject& a = Find(*slide, "a");
  EXPECT_EQ(a.FitMode(), TFitMode::Cover);
  EXPECT_EQ(a.PosMode(), TUnitMode::Absolute);
  EXPECT_EQ(a.CenterMode(), TUnitMode::Absolute);
  EXPECT_DOUBLE_EQ(a.DeltaTime1(), 250);
  EXPECT_DOUBLE_EQ(a.DeltaTime2(), 125.5);
  EXPECT_TRUE(a.TranspForClick());
  EXPECT_TRUE(a.Shadow().Enabled);
  EXPECT_EQ(a.Shadow().Color, (TRgb{10, 20, 30}));
  EXPECT_FLOAT_EQ(a.Shadow().Angle, 30);
  EXPECT_TRUE(a.Shadow().Shadow3D);
  EXPECT_EQ(a.HideMode(), 2);
  EXPECT_TRUE(a.ChildInvis());
  EXPECT_EQ(a.Action(), "Next");
  EXPECT_TRUE(a.KeyPoints().PerspectiveCorrection());

  const TVmoObject& b = Find(*slide, "b");
  EXPECT_EQ(b.FitMode(), TFitMode::PlaceInto);
  EXPECT_EQ(b.PosMode(), TUnitMode::Percent);
  EXPECT_EQ(b.Shadow(), TShadowSettings{});
  EXPECT_FLOAT_EQ(b.Shadow().Opacity, 59);
  EXPECT_TRUE(b.TreeNode());
  // Texts cast a shadow unless told otherwise.
  EXPECT_TRUE(Find(*slide, "c").Shadow().Enabled);
}

TEST_F(Objects, SettersFlagOnlyRealChanges) {
  auto slide = MakeSlide(Box("a", 10, 10, "  DeltaTime1=1\r\n"));
  TVmoObject& a = Find(*slide, "a");
  ASSERT_FALSE(a.SettingsChanged()); // cleared when its resources were made
  a.SetDeltaTime1(1.00004);          // equal at 1/10000
  a.SetHideMode(0);
  EXPECT_FALSE(a.SettingsChanged());
  a.SetDeltaTime1(1.0001);
  EXPECT_TRUE(a.SettingsChanged());
  EXPECT_TRUE(slide->SettingsOrKeyPointsChanged());
  slide->SetChangeFlags(false);
  EXPECT_FALSE(slide->NeedsRedraw());
  a.SetAction("Next");
  EXPECT_TRUE(slide->NeedsRedraw());
}

TEST_F(Objects, BlocksWithoutGuidGetFreshOnes) {
  auto first = MakeSlide("object a:box\r\nend\r\n");
  auto second = MakeSlide("object a:box\r\nend\r\n");
  const std::string& guid = first->Child(0).Guid();
  EXPECT_EQ(guid.size(), 38u);
  EXPECT_NE(guid, second->Child(0).Guid());
}

TEST_F(Objects, ReloadKeepsObjectsByGuidEvenWhenTypeAndOrderChange) {
  m_host.AddPicture("a.jpg", 40, 30);
  auto slide = MakeSlide("object a:image\r\n  GUID={AAA}\r\n  ImageName=a.jpg\r\n" + KeyPoint("    Time=0\r\n") +
                         KeyPoint("    Time=9\r\n") +
                         "end\r\n"
                         "object b:box\r\n  GUID={BBB}\r\nend\r\n"
                         "object c:box\r\nend\r\n");
  TVmoObject* a = &Find(*slide, "a");
  TVmoObject* b = &Find(*slide, "b");
  ASSERT_EQ(a->KeyPoints().Count(), 2);

  Reload(*slide,
         "object c:box\r\nend\r\n"
         "object b2:box\r\n  GUID={BBB}\r\n  Size=7,8\r\nend\r\n"
         "object a2:box\r\n  GUID={AAA}\r\n  ImageName=a.jpg\r\n" +
             KeyPoint("    Time=5\r\n") + "end\r\n",
         true);
  ASSERT_EQ(slide->ChildCount(), 3);
  EXPECT_EQ(&slide->Child(1), b);
  EXPECT_EQ(&slide->Child(2), a);
  EXPECT_EQ(b->BaseSize(), (TSize{7, 8})); // reloaded from its new block
  EXPECT_EQ(a->KeyPoints().Count(), 1);    // former key points cleared
  EXPECT_NE(dynamic_cast<TVmoImage*>(a), nullptr);
  EXPECT_EQ(a->Parent(), slide.get());
  // Its picture stays open: preparing again asks the host for nothing.
  slide->PrepareResources();
  EXPECT_EQ(m_host.Opens["a.jpg"], 1);
  EXPECT_EQ(a->BaseSize(), (TSize{40, 30}));
}

// --- Time window ------------------------------------------------------------

TEST_F(Objects, DeltaTimesShortenTheActiveWindow) {
  auto slide = MakeSlide(Box("a", 10, 10, "  DeltaTime1=500\r\n  DeltaTime2=300\r\n") + Box("b", 10, 10));
  const TVmoObject& a = Find(*slide, "a");
  const TVmoObject& b = Find(*slide, "b");
  slide->EvaluateAndUpdate(200);
  EXPECT_FALSE(a.Active());
  EXPECT_TRUE(b.Active());
  slide->EvaluateAndUpdate(500);
  EXPECT_TRUE(a.Active());
  slide->EvaluateAndUpdate(10700); // SlideEnd anchor 11000 - 300
  EXPECT_TRUE(a.Active());
  slide->EvaluateAndUpdate(10701);
  EXPECT_FALSE(a.Active());
  EXPECT_TRUE(b.Active());
  slide->EvaluateAndUpdate(11001);
  EXPECT_FALSE(b.Active());
}

TEST_F(Objects, DialogAndLeadInAnchors) {
  TVmoDialog dialog(&m_host);
  TSlideTimes times;
  times.SlideStart = 100;
  times.SlideEnd = 200;
  dialog.SetTimes(times);
  EXPECT_EQ(dialog.AnchorTimes(), TAnchorTimes{});

  auto slide = MakeSlide(Box("a", 10, 10));
  times = {};
  times.SlideStart = kLeadInStart;
  times.InEffect = 0;
  times.SlideEnd = 0;
  times.OutEffect = 700;
  slide->SetTimes(times);
  EXPECT_EQ(Find(*slide, "a").AnchorTimes(), (TAnchorTimes{kLeadInStart, kLeadInStart, 0, 700}));
}

// --- Placement --------------------------------------------------------------

TEST_F(Objects, PositionInPercentAndInPixels) {
  auto slide = MakeSlide(Box("percent", 100, 100, "", KeyPoint("    Position=100,0\r\n")) +
                         Box("absolute", 100, 100, "  PosMode=Absolute\r\n", KeyPoint("    Position=100,0\r\n")) +
                         Nest(Box("parent", 400, 100, "", KeyPoint("    ScaleX=50\r\n    ScaleY=50\r\n")),
                              Box("child", 10, 10, "  PosMode=Absolute\r\n", KeyPoint("    Position=100,0\r\n")) +
                                  Box("child2", 10, 10, "", KeyPoint("    Position=100,0\r\n"))));
  slide->EvaluateAndUpdate(0);
  // The slide's right edge, and 100 pixels right of its centre.
  EXPECT_EQ(Find(*slide, "percent").ObjectFrame().Origin, (TVec3{800, 300, 0}));
  EXPECT_EQ(Find(*slide, "absolute").ObjectFrame().Origin, (TVec3{500, 300, 0}));
  // Inside a parent at half scale: 100 pixels become 50, and 100 % of the
  // parent's own 400-pixel width lands on its right edge, 100 on screen.
  EXPECT_EQ(Find(*slide, "child").ObjectFrame().Origin, (TVec3{450, 300, 0}));
  EXPECT_EQ(Find(*slide, "child2").ObjectFrame().Origin, (TVec3{500, 300, 0}));
}

TEST_F(Objects, PlaceIntoAndCoverFitTheBaseSize) {
  auto slide = MakeSlide("object into:box\r\n  Size=1600,600\r\nend\r\n"
                         "object cover:box\r\n  FitMode=Cover\r\n  Size=1600,600\r\nend\r\n"
                         "object tall:box\r\n  FitMode=Cover\r\n  Size=400,600\r\nend\r\n"
                         "object none:box\r\n  FitMode=None\r\n  Size=1600,600\r\nend\r\n");
  slide->EvaluateAndUpdate(0);
  EXPECT_DOUBLE_EQ(Find(*slide, "into").FitFactorValue(), 0.5);
  EXPECT_FLOAT_EQ(Find(*slide, "into").ObjectFrame().X.x, 0.5f);
  EXPECT_DOUBLE_EQ(Find(*slide, "cover").FitFactorValue(), 1.0);
  EXPECT_DOUBLE_EQ(Find(*slide, "tall").FitFactorValue(), 2.0);
  EXPECT_DOUBLE_EQ(Find(*slide, "none").FitFactorValue(), 1.0);
}

TEST_F(Objects, AnObjectWithoutExtentIsNotDrawn) {
  auto slide = MakeSlide("object pic:image\r\n  ImageName=missing.jpg\r\nend\r\n" +
                         Box("box", 0, 50, "  FitMode=PlaceInto\r\n"));
  slide->EvaluateAndUpdate(0);
  for (const char* name : {"pic", "box"}) {
    const TVmoObject& object = Find(*slide, name);
    EXPECT_DOUBLE_EQ(object.FitFactorValue(), 0) << name;
    EXPECT_FALSE(object.FrameValid()) << name;
    EXPECT_TRUE(object.Active()) << name;
    EXPECT_FALSE(object.Drawable()) << name;
  }
}

TEST_F(Objects, PivotFollowsCenterPos) {
  auto slide = MakeSlide(Box("percent", 200, 100, "", KeyPoint("    CenterPos=100,100\r\n")) +
                         Box("pixels", 200, 100, "  CenterMode=Absolute\r\n", KeyPoint("    CenterPos=10,20\r\n")));
  slide->EvaluateAndUpdate(0);
  EXPECT_FLOAT_EQ(Find(*slide, "percent").PivotX(), -200);
  EXPECT_FLOAT_EQ(Find(*slide, "percent").PivotY(), -100);
  EXPECT_FLOAT_EQ(Find(*slide, "pixels").PivotX(), -110);
  EXPECT_FLOAT_EQ(Find(*slide, "pixels").PivotY(), -70);
}

TEST_F(Objects, DepthScaleAndZPos) {
  auto slide = MakeSlide(Box("deep", 10, 10, "", KeyPoint("    ZPos=200\r\n")));
  slide->EvaluateAndUpdate(0);
  // Camera at the output height in front of a slide of that height.
  EXPECT_NEAR(slide->DepthScale(), Tan30(), 1e-9);
  EXPECT_NEAR(Find(*slide, "deep").ObjectFrame().Origin.z, 600 * Tan30(), 1e-3);
}

TEST_F(Objects, HideModeAndChildInvisAgainstTheViewer) {
  const std::string turned = KeyPoint("    AngleY=180\r\n");
  const std::string parent =
      Nest(Box("parent", 100, 100, "  HideMode=1\r\n  ChildInvis=1\r\n", turned), Box("inner", 10, 10));
  auto slide = MakeSlide(Box("plain", 100, 100, "", turned) + Box("hide1", 100, 100, "  HideMode=1\r\n", turned) +
                         Box("hide2", 100, 100, "  HideMode=2\r\n", turned) +
                         Box("hide2front", 100, 100, "  HideMode=2\r\n") + parent);
  slide->EvaluateAndUpdate(0);
  EXPECT_TRUE(Find(*slide, "plain").Drawable());
  EXPECT_FALSE(Find(*slide, "hide1").Drawable());
  EXPECT_TRUE(Find(*slide, "hide2").Drawable());
  EXPECT_FALSE(Find(*slide, "hide2front").Drawable());
  EXPECT_TRUE(Find(*slide, "inner").HiddenByAncestor());
  EXPECT_FALSE(Find(*slide, "inner").Drawable());
}

TEST_F(Objects, OpacityFollowsTheSlideFactorAndMarksRedraw) {
  auto slide = MakeSlide(Box(
      "a", 10, 10, "", KeyPoint("    Opacity=80\r\n    Time=0\r\n") + KeyPoint("    Opacity=40\r\n    Time=1000\r\n")));
  TVmoObject& a = Find(*slide, "a");
  slide->EvaluateAndUpdate(0);
  EXPECT_FLOAT_EQ(a.Opacity(), 80);
  slide->SetOpacityFactor(50);
  EXPECT_FLOAT_EQ(a.Opacity(), 40);
  slide->SetOpacityFactor(100);

  slide->EvaluateAndUpdate(0);
  slide->FrameEnded();
  slide->EvaluateAndUpdate(0);
  EXPECT_FALSE(slide->NeedsRedraw());
  slide->EvaluateAndUpdate(500);
  EXPECT_FLOAT_EQ(a.Opacity(), 60);
  EXPECT_TRUE(slide->NeedsRedraw());
}

// --- Hit test ---------------------------------------------------------------

TEST_F(Objects, HitTestFollowsRotationAndDepth) {
  auto slide = MakeSlide(Box("turned", 200, 100, "", KeyPoint("    Angle=90\r\n")) +
                         Box("far", 200, 200, "", KeyPoint("    ZPos=200\r\n    Position=-50,0\r\n")));
  slide->EvaluateAndUpdate(0);
  TVmoObject& turned = Find(*slide, "turned");
  // Turned a quarter, the 200 x 100 box stands 100 wide and 200 high.
  THitResult hit = slide->HitTest(400, 390);
  EXPECT_EQ(hit.Object, &turned);
  EXPECT_NEAR(hit.LocalX, 90, 1e-3);
  EXPECT_NEAR(hit.LocalY, 0, 1e-3);
  EXPECT_EQ(slide->HitTest(480, 300).Object, slide.get()); // only the slide there
  EXPECT_EQ(slide->HitTest(-10, 300).Object, nullptr);     // off the slide

  // The far box spans 100 ... 300 at 600 × tan 30° behind the screen; seen
  // from the camera at (400, 300, -600) that is 209.8 ... 336.6 on screen.
  TVmoObject& far = Find(*slide, "far");
  EXPECT_EQ(slide->HitTest(212, 300).Object, &far);
  EXPECT_EQ(slide->HitTest(205, 300).Object, slide.get());
  EXPECT_EQ(slide->HitTest(334, 300).Object, &far);
  EXPECT_EQ(slide->HitTest(340, 300).Object, slide.get());
}

TEST_F(Objects, HitTestTakesTheTopmostShownObject) {
  const std::string parent = Nest(Box("parent", 300, 300), Box("child", 50, 50));
  auto slide = MakeSlide(Box("under", 100, 100) + parent + Box("late", 100, 100, "  DeltaTime1=5000\r\n") +
                         Box("back", 100, 100, "  HideMode=1\r\n", KeyPoint("    AngleY=180\r\n")));
  slide->EvaluateAndUpdate(1000);
  // "late" is not active yet and "back" is hidden: the parent's child wins,
  // then the parent, never "under" below it.
  EXPECT_EQ(slide->HitTest(400, 300).Object, &Find(*slide, "child"));
  EXPECT_EQ(slide->HitTest(440, 300).Object, &Find(*slide, "parent"));
  slide->EvaluateAndUpdate(6000);
  EXPECT_EQ(slide->HitTest(400, 300).Object, &Find(*slide, "late"));
  EXPECT_EQ(slide->HitTest(400, 300, [](const TVmoObject& o) { return o.Name() == "under"; }).Object,
            &Find(*slide, "under"));
}

TEST_F(Objects, HitTestAssertsOnADegenerateView) {
  auto slide = MakeSlide(Box("edge", 100, 100, "", KeyPoint("    AngleY=90\r\n")));
  slide->EvaluateAndUpdate(0);
  ASSERT_TRUE(Find(*slide, "edge").Drawable());
  const test::TMutedDebugOutput muted;
  try {
    slide->HitTest(400, 280);
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("' Degenerate object '"), std::string::npos);
  }
}

// --- Mouse ------------------------------------------------------------------

class Mouse : public SlideTest {
protected:
  void SetUp() override {
    m_slide = MakeSlide("object button:button\r\n  FitMode=None\r\n  Action=Next\r\n"
                        "  object label:text\r\n    FitMode=None\r\n  end\r\nend\r\n" +
                        Box("left", 100, 100, "  Action=Prev\r\n", KeyPoint("    Position=-50,0\r\n")) +
                        Box("glass", 100, 100, "  TranspForClick=1\r\n", KeyPoint("    Position=-50,0\r\n")));
    Find(*m_slide, "button").SetBaseSize({100, 100});
    Find(*m_slide, "label").SetBaseSize({50, 50});
    m_slide->EvaluateAndUpdate(0);
    m_button = &Find(*m_slide, "button");
  }

  TMouseResult Event(TMouseEventKind kind, double x, int flags = 0, int button = 1) {
    return m_slide->MouseEvent(kind, x, 300, flags, button);
  }

  std::unique_ptr<TVmoSlide> m_slide;
  TVmoObject* m_button = nullptr;
};

TEST_F(Mouse, ButtonShowsHoverAndPressedAndReportsOnRelease) {
  // The label inside lets clicks through to its button.
  TMouseResult result = Event(TMouseEventKind::Move, 400);
  EXPECT_EQ(result.Object, m_button);
  EXPECT_EQ(m_button->MouseState(), TMouseState::Hover);
  Event(TMouseEventKind::Move, 400, kMouseButtonHeld);
  EXPECT_EQ(m_button->MouseState(), TMouseState::Pressed);
  EXPECT_EQ(Event(TMouseEventKind::Move, 700).Object, m_slide.get());
  EXPECT_EQ(m_button->MouseState(), TMouseState::Normal);

  Event(TMouseEventKind::ButtonDown, 400);
  EXPECT_EQ(m_button->MouseState(), TMouseState::Pressed);
  result = Event(TMouseEventKind::ButtonUp, 400);
  EXPECT_TRUE(result.ActionReported);
  EXPECT_EQ(result.Action, "Next");
  EXPECT_EQ(m_button->MouseState(), TMouseState::Hover);
  EXPECT_FALSE(Event(TMouseEventKind::ButtonUp, 400).ActionReported); // disarmed

  // The right button neither presses nor reports a button.
  Event(TMouseEventKind::ButtonDown, 400, 0, 2);
  EXPECT_FALSE(Event(TMouseEventKind::ButtonUp, 400, 0, 2).ActionReported);
}

TEST_F(Mouse, OtherFlagsAreIgnoredAfterResettingStates) {
  Event(TMouseEventKind::Move, 400);
  const TMouseResult result = Event(TMouseEventKind::Move, 400, 8);
  EXPECT_EQ(result.Object, nullptr);
  EXPECT_EQ(m_button->MouseState(), TMouseState::Normal);
}

TEST_F(Mouse, OtherObjectsReportOnReleaseAfterAnyPress) {
  TVmoObject& left = Find(*m_slide, "left");
  // "glass" lies on top but lets clicks through.
  EXPECT_EQ(Event(TMouseEventKind::ButtonDown, 200, 0, 3).Object, &left);
  EXPECT_EQ(left.MouseState(), TMouseState::Normal);
  const TMouseResult result = Event(TMouseEventKind::ButtonUp, 200, 0, 3);
  EXPECT_TRUE(result.ActionReported);
  EXPECT_EQ(result.Action, "Prev");

  // Pressed here, released elsewhere, pressed on the button and released
  // back here: nothing here may fire.
  Event(TMouseEventKind::ButtonDown, 200);
  Event(TMouseEventKind::ButtonUp, 700);
  Event(TMouseEventKind::ButtonDown, 400);
  EXPECT_FALSE(Event(TMouseEventKind::ButtonUp, 200).ActionReported);
}

} // namespace qx
