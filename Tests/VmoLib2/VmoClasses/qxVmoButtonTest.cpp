#include "VmoLib2/VmoClasses/qxVmoButton.h"

#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "Tests/VmoLib2/qxTestButtonSkin.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoText.h"
#include "VmoLib2/qxButtonProducer.h"
#include "qxRecordingDrawer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qx {
namespace {

std::string Show(std::string_view slide1, std::string_view mainKeys = "PathToButtons=Buttons\n") {
  return "[Main]\nopt_slidescount=2\nopt_synchpos1=5000\nopt_synchpos2=10000\n"
         "opt_scr_width=800\nopt_scr_height=600\n" +
         std::string(mainKeys) + "[slide1]\n" + std::string(slide1) + "[slide2]\n";
}

// A button with a caption "Go" inside; `keys` are extra button keys.
std::string ButtonBlock(std::string_view keys, std::string_view captionKeys = "") {
  return "object b:button\n" + std::string(keys) +
         "FitMode=None\nAction=7,2,\nobject k:keypoint\nend\n"
         "object cap:text\nText=Go\nFitMode=None\nTextColor=255,0,0\n" +
         std::string(captionKeys) + "object k:keypoint\nend\nend\nend\n";
}

class Buttons : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_files = MakeRef<test::TTestFileSource>();
    AddSkin("Buttons\\plain");
  }

  void AddSkin(const std::string& folder) {
    m_files->Add(folder + "\\btn.ini", test::SkinIni());
    m_files->Add(folder + "\\skin.bmp", test::SkinBmp());
    m_files->Add(folder + "\\hover.bmp", test::SkinBmp(128));
  }

  std::unique_ptr<TVmoSlide> Slide(const std::string& project) {
    m_producer = std::make_unique<TSlideProducer>(
        std::make_unique<TVmoSource>(test::TestAccessor(m_files), test::Project(project), true));
    m_producer->SetGeometry({0, 0, 800, 600}, TSlideFitMode::FitInside);
    m_producer->SetTiming(MakeRef<TTiming>());
    auto slide = m_producer->MakeSlide(0, 0);
    if (!slide)
      throw EQxError("no slide");
    slide->EvaluateAndUpdate(1000);
    return slide;
  }

  template <class T>
  static T& Find(TVmoSlide& slide, const std::string& name) {
    T* found = nullptr;
    slide.ForEach([&](TVmoObject& object) {
      if (object.Name() == name && !found)
        found = dynamic_cast<T*>(&object);
    });
    if (!found)
      throw EQxError("no object " + name);
    return *found;
  }

  // The names of the button pictures handed to the drawer for one frame.
  std::vector<std::string> DrawnButtonPictures(TVmoSlide& slide) {
    m_drawer.Calls.clear();
    m_drawer.DrawItem(slide);
    std::vector<std::string> names;
    for (const test::TDrawCall& call : m_drawer.OfKind("picture"))
      if (call.Picture.Store && IsButtonName(call.Picture.Store->FileName()))
        names.push_back(call.Picture.Store->FileName());
    return names;
  }

  TRefPtr<test::TTestFileSource> m_files;
  std::unique_ptr<TSlideProducer> m_producer;
  test::TRecordingDrawer m_drawer;
};

TEST(ButtonWidth, CaptionMinimumWidthAndSquare) {
  const double zoom = 80;
  // The caption takes 80 % of 20 pixels; 16 × 3 plus the offset (100 % of
  // the height) is 68.
  EXPECT_EQ(ButtonWidth(20, 0, 100, &zoom, 3), 68);
  EXPECT_EQ(ButtonWidth(20, 500, 100, &zoom, 3), 100) << "the minimum width, percent of the height";
  EXPECT_EQ(ButtonWidth(20, 0, 0, nullptr, 0.1), 20) << "never narrower than a square";
  // Without a key point the caption takes the whole height.
  EXPECT_EQ(ButtonWidth(20, 0, 50, nullptr, 2), 50);
  const double noZoom = 100;
  EXPECT_EQ(ButtonWidth(21, 0, 0, &noZoom, 2.5), 53) << "rounded to nearest";
}

TEST(ButtonWidth, AbsurdSettingsStayWithinThePictureLimits) {
  EXPECT_EQ(ButtonWidth(20, 1e300, 100, nullptr, 1), kMaxPictureSide + 1);
  EXPECT_EQ(ButtonWidth(20, std::numeric_limits<double>::quiet_NaN(), 100, nullptr, 1), 40);
  EXPECT_EQ(ButtonWidth(0, 0, 0, nullptr, 0), 1);
  EXPECT_EQ(ButtonWidth(20, 0, -1e9, nullptr, 0), 20);
}

TEST_F(Buttons, KeysAreReadAndTheSkinFillsInTheRest) {
  auto slide = Slide(Show(ButtonBlock("Theme=plain\nBtnOpacity=80\nTxtOpacity=50\nHue=5\nSaturation=-10\n"
                                      "Lightness=7\n")));
  TVmoButton& button = Find<TVmoButton>(*slide, "b");
  EXPECT_EQ(button.Theme(), "plain");
  EXPECT_FLOAT_EQ(button.ButtonOpacity(), 80);
  EXPECT_FLOAT_EQ(button.TextOpacity(), 50);
  EXPECT_EQ(button.ColorShift(), (THslShift{5, -10, 7}));
  ASSERT_NE(button.Skin(), nullptr);
  EXPECT_EQ(button.Skin()->SkinName(), "Buttons\\plain");
  // The skin's minimum width (150 % of 20) and offset, its text colour for
  // every state of the caption and its zoom of 100 − BtnOffset.
  EXPECT_DOUBLE_EQ(button.MinWidth(), 150);
  EXPECT_DOUBLE_EQ(button.OffsetX(), 100);
  TVmoText& caption = Find<TVmoText>(*slide, "cap");
  EXPECT_EQ(button.Caption(), &caption);
  for (const TRgb& color : caption.Colors())
    EXPECT_EQ(color, (TRgb{10, 20, 30}));
  EXPECT_FLOAT_EQ(caption.KeyPoints().KeyPoint(0).Values().ScaleX, 80);
  EXPECT_FLOAT_EQ(caption.KeyPoints().KeyPoint(0).Values().ScaleY, 80);

  // max(20, 150 % of 20, 80 % of 20 × the caption's ratio + 20).
  const int32_t width = std::max(30, static_cast<int32_t>(std::lround(16 * caption.LayoutRatio() + 20)));
  EXPECT_EQ(button.ButtonPixelWidth(), width);
  EXPECT_EQ(button.PictureName(), "Button: Buttons\\plain:0:" + std::to_string(width) + ":5:-10:7");
  EXPECT_EQ(button.StatePictureName(2), "Button: Buttons\\plain:2:" + std::to_string(width) + ":5:-10:7");
  ASSERT_TRUE(button.Picture());
  EXPECT_EQ(button.BaseSize(), (TSize{width, 20}));
  EXPECT_EQ(button.DrawParams().Filtering, TFiltering::Nearest) << "the skin's filtering";
  EXPECT_EQ(button.DrawParams().MipBias, 0);

  // The caption fades with the button and by "TxtOpacity".
  EXPECT_FLOAT_EQ(caption.Opacity(), 50);
}

TEST_F(Buttons, BlockSettingsWinOverTheSkin) {
  auto slide = Slide(Show(ButtonBlock("Theme=plain\nBtnMinWidth=400\nBtnOffsetX=30\nFiltering=Bilinear\n")));
  TVmoButton& button = Find<TVmoButton>(*slide, "b");
  EXPECT_DOUBLE_EQ(button.MinWidth(), 400);
  EXPECT_DOUBLE_EQ(button.OffsetX(), 30);
  EXPECT_EQ(button.ButtonPixelWidth(), 80);
  EXPECT_EQ(button.DrawParams().Filtering, TFiltering::Bilinear);
}

TEST_F(Buttons, MissingThemeFallsBackToAquaThenToNoSkin) {
  AddSkin("Buttons\\aqua");
  auto slide = Slide(Show(ButtonBlock("Theme=gone\n")));
  const TVmoButton& fallback = Find<TVmoButton>(*slide, "b");
  ASSERT_NE(fallback.Skin(), nullptr);
  EXPECT_EQ(fallback.Skin()->SkinName(), "Buttons\\aqua");

  m_files = MakeRef<test::TTestFileSource>();
  test::TCapturedLog log;
  auto bare = Slide(Show(ButtonBlock("Theme=gone\n")));
  TVmoButton& button = Find<TVmoButton>(*bare, "b");
  EXPECT_EQ(button.Skin(), nullptr);
  EXPECT_EQ(button.PictureName(), "");
  EXPECT_FALSE(button.Picture());
  EXPECT_TRUE(DrawnButtonPictures(*bare).empty()) << "a button without skin draws no picture";
}

TEST_F(Buttons, MouseStatesPickTheStatePicturesAndAClickReportsTheAction) {
  auto slide = Slide(Show(ButtonBlock("Theme=plain\n")));
  TVmoButton& button = Find<TVmoButton>(*slide, "b");
  const std::string prefix = "Button: Buttons\\plain:";
  const std::string size = ":" + std::to_string(button.ButtonPixelWidth()) + ":0:0:0";
  EXPECT_EQ(DrawnButtonPictures(*slide), std::vector<std::string>{prefix + "0" + size});

  // The engine's hit test: the mouse over the centre of the slide, where
  // the button and its caption lie; the caption lets it through.
  TMouseResult result = slide->MouseEvent(TMouseEventKind::Move, 400, 300, 0, 1);
  EXPECT_EQ(result.Object, &button);
  EXPECT_EQ(button.MouseState(), TMouseState::Hover);
  EXPECT_EQ(DrawnButtonPictures(*slide), std::vector<std::string>{prefix + "1" + size});

  slide->MouseEvent(TMouseEventKind::ButtonDown, 400, 300, 0, 1);
  EXPECT_EQ(button.MouseState(), TMouseState::Pressed);
  EXPECT_EQ(DrawnButtonPictures(*slide), std::vector<std::string>{prefix + "2" + size});

  result = slide->MouseEvent(TMouseEventKind::ButtonUp, 400, 300, 0, 1);
  EXPECT_TRUE(result.ActionReported);
  EXPECT_EQ(result.Action, "7,2,");

  slide->MouseEvent(TMouseEventKind::Move, 5, 5, 0, 1);
  EXPECT_EQ(button.MouseState(), TMouseState::Normal);
  EXPECT_EQ(DrawnButtonPictures(*slide), std::vector<std::string>{prefix + "0" + size});
}

TEST_F(Buttons, CaptionColourFollowsTheButtonState) {
  auto slide = Slide(Show(ButtonBlock("Theme=none\n"), "PathToButtons=Buttons\n"));
  // Without a skin the caption keeps its own colours.
  TVmoText& caption = Find<TVmoText>(*slide, "cap");
  caption.SetColors({TRgb{1, 1, 1}, TRgb{2, 2, 2}, TRgb{3, 3, 3}});
  TVmoButton& button = Find<TVmoButton>(*slide, "b");
  button.SetMouseState(TMouseState::Hover);
  EXPECT_EQ(caption.CurrentColor(), (TRgb{2, 2, 2}));
  button.SetMouseState(TMouseState::Pressed);
  EXPECT_EQ(caption.CurrentColor(), (TRgb{3, 3, 3}));
}

TEST_F(Buttons, HostileButtonsDrawWithoutCrashing) {
  m_files->Add("Buttons\\broken\\btn.ini", "[NormalState]\nBottom=skin.bmp,0,0,10,20\n");
  auto slide = Slide(Show(ButtonBlock("Theme=broken\nBtnMinWidth=1e30\nHue=99999999999\n") +
                          "object huge:button\nTheme=plain\nBtnMinWidth=-5\nBtnOffsetX=nan\nend\n"));
  const TVmoButton& broken = Find<TVmoButton>(*slide, "b");
  ASSERT_NE(broken.Skin(), nullptr);
  EXPECT_EQ(broken.ButtonPixelWidth(), kMaxPictureSide + 1);
  EXPECT_FALSE(broken.Picture()) << "a width beyond the picture limits opens nothing";
  const TVmoButton& huge = Find<TVmoButton>(*slide, "huge");
  EXPECT_GE(huge.ButtonPixelWidth(), 20);
  DrawnButtonPictures(*slide);
}

} // namespace
} // namespace qx
