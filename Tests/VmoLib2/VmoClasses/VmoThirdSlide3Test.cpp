#include "VmoLib2/VmoClasses/VmoThirdSlide3.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxBmpReader.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "VmoLib2/NavPanel/qxNavPanel.h"
#include "qxRecordingDrawer.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(ThirdSlideLogo, RightBottomWithOffsetLeansInsideTheCorner) {
  TLogoSettings logo;
  logo.Position = OverlayPositionFromLogo(7);
  logo.Offset = 20;
  logo.SizePercent = 10;
  // An 800 x 600 slide rectangle at (100, 50): the logo is 60 high, 120
  // wide, its bottom-right corner 20 % of the half size (80, 60) inside.
  const T3DRect slide{100, 50, 900, 650};
  EXPECT_EQ(PlaceLogo(logo, slide, 200, 100, 1), (T3DRect{700, 530, 820, 590}));
  // The correction factor widens it, the corner stays.
  EXPECT_EQ(PlaceLogo(logo, slide, 200, 100, 1.5), (T3DRect{640, 530, 820, 590}));
  // A picture without extent, or a size of nothing, places no logo.
  EXPECT_TRUE(PlaceLogo(logo, slide, 0, 100, 1).IsEmpty());
  logo.SizePercent = -5;
  EXPECT_TRUE(PlaceLogo(logo, slide, 200, 100, 1).IsEmpty());
  // An absurd size is capped instead of asking for a giant picture.
  logo.SizePercent = 1e9;
  EXPECT_LE(PlaceLogo(logo, slide, 200, 100, 1).Height(), TThirdSlide::kMaxLogoSide);
}

TEST(ThirdSlideLogo, ShownOnlyWithAPictureNameAndTheFlag) {
  TIniStorage ini;
  ini.LoadFromString("[Main]\nopt_logo=1\nopt_logo_fn=logo.bmp\nopt_logo_pos=12\nopt_logo_opacity=250\n");
  const std::optional<TLogoSettings> logo = ReadLogoSettings(*ini.FindSection("Main"));
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->Position, TOverlayPosition::Center) << "an unknown position is the centre";
  EXPECT_EQ(logo->Opacity, 100);
  EXPECT_EQ(logo->SizePercent, 10);
  ini.LoadFromString("[Main]\nopt_logo=0\nopt_logo_fn=logo.bmp\n");
  EXPECT_FALSE(ReadLogoSettings(*ini.FindSection("Main")));
  ini.LoadFromString("[Main]\nopt_logo=1\n");
  EXPECT_FALSE(ReadLogoSettings(*ini.FindSection("Main")));
}

// A one-button classic bar (a 20 x 20 picture) and a logo picture.
std::string Bmp(int width, int height, TBgra colour) {
  TBitmap bitmap(width, height, TPixelFormat::Bgra32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, colour);
  return WriteBmp(bitmap);
}

constexpr std::string_view kBar = "[Common]\nColsCount=1\nRowsCount=1\n[CellWithObjects]\nCell=0,0\n"
                                  "[Cell(0:0)]\nBounds=0,0,4,4\nflnm_Texture=bar.bmp\n"
                                  "[Action-Home]\nActionType=home\nBtnTextureNormalBounds=0,0,20,20\n"
                                  "flnm_BtnTextureNormal=bar.bmp\nBgTextureNormalBounds=0,0,20,20\n"
                                  "flnm_BgTextureNormal=bar.bmp\n[Objects]\nCount=1\n";

class ThirdSlide : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_files = MakeRef<test::TTestFileSource>();
    m_files->Add("bar.ini", std::string(kBar));
    m_files->Add("bar.bmp", Bmp(20, 20, {0, 0, 255, 255}));
    m_files->Add("logo.bmp", Bmp(400, 200, {255, 0, 0, 255}));
  }

  void Make(const std::string& mainKeys) {
    m_layer.reset();
    m_source = std::make_unique<TVmoSource>(
        test::TestAccessor(m_files),
        test::Project("[Main]\nopt_slidescount=1\nopt_synchpos1=5000\nopt_scr_width=800\nopt_scr_height=600\n" +
                      mainKeys + "[slide1]\n"),
        true);
    TThirdSlideSettings settings;
    settings.OutputWidth = 1000;
    settings.OutputHeight = 600;
    settings.DurationMs = 5000;
    m_layer = std::make_unique<TThirdSlide>(*m_source, settings, TThirdSlideCallbacks{});
  }

  static std::string Panel(const std::string& keys) {
    return "opt_fcp=1\nopt_nav_inifile=bar.ini\nopt_newnavbuttons_count=1\nopt_newnavbutton1=home\n" + keys;
  }

  TThirdSlideMouse Move(int32_t x, int32_t y, int64_t now) {
    return m_layer->MouseEvent(TMouseEventKind::Move, x, y, 0, 0, now);
  }

  TRefPtr<test::TTestFileSource> m_files;
  std::unique_ptr<TVmoSource> m_source;
  std::unique_ptr<TThirdSlide> m_layer;
};

TEST_F(ThirdSlide, LogoIsResampledOnceIntoItsPlaceOnTheSlide) {
  Make("opt_logo=1\nopt_logo_fn=logo.bmp\nopt_logo_pos=7\nopt_logo_offset=20\nopt_logo_opacity=40\n");
  // The 4:3 slide fits the 1000 x 600 output as 800 x 600 from x = 100.
  EXPECT_EQ(m_layer->SlideRect(), (T3DRect{100, 0, 900, 600}));
  EXPECT_EQ(m_layer->LogoRect(), (T3DRect{700, 480, 820, 540}));
  test::TRecordingDrawer drawer;
  m_layer->Step(0, 0);
  m_layer->Draw(drawer);
  const std::vector<test::TDrawCall> pictures = drawer.OfKind("picture");
  ASSERT_EQ(pictures.size(), 1u);
  ASSERT_TRUE(pictures[0].Picture.Bitmap);
  EXPECT_EQ(pictures[0].Picture.Bitmap->Width(), 120) << "drawn at its own size, not scaled by the drawer";
  EXPECT_EQ(pictures[0].Picture.Bitmap->Height(), 60);
  EXPECT_FLOAT_EQ(pictures[0].PictureParams.Opacity, 40);
  EXPECT_DOUBLE_EQ(pictures[0].Placement.origin.x, 700);
  EXPECT_DOUBLE_EQ(pictures[0].Placement.u.x, 120);

  // A missing picture leaves the layer without a logo.
  Make("opt_logo=1\nopt_logo_fn=nowhere.bmp\n");
  EXPECT_TRUE(m_layer->LogoRect().IsEmpty());
}

TEST_F(ThirdSlide, PanelPositionWordsAndTheCentreForAnythingElse) {
  // The bar is 60 high (10 % of the output), as wide as it is high.
  for (const auto& [word, rect] : {std::pair<std::string, T3DRect>{"", {470, 270, 530, 330}},
                                   {"opt_cp=Middle\n", {470, 270, 530, 330}},
                                   {"opt_cp=left-top\n", {0, 0, 60, 60}},
                                   {"opt_cp=Right-Bottom\nopt_nav_offset=10\n", {890, 510, 950, 570}}}) {
    Make(Panel(word));
    ASSERT_NE(m_layer->Panel(), nullptr) << word;
    EXPECT_EQ(m_layer->Panel()->Rect(), rect) << word;
  }
  // A definition that cannot be used leaves the panel out.
  m_files->Add("bar.ini", "[Common]\nColsCount=1\nRowsCount=1\n[CellWithObjects]\nCell=0\n");
  Make(Panel(""));
  EXPECT_EQ(m_layer->Panel(), nullptr);
}

TEST_F(ThirdSlide, HiddenPanelFadesInOnAMoveAndJitterDoesNotKeepIt) {
  Make(Panel("opt_hidenavbar=1\nopt_nav_hideonstartup=1\nopt_nav_hideinterval=1\nopt_nav_fadein=400\n"
             "opt_nav_hidefadeout=200\n"));
  ASSERT_NE(m_layer->Panel(), nullptr);
  m_layer->Step(0, 1000);
  EXPECT_EQ(m_layer->PanelOpacity(), 0);
  Move(100, 100, 1100);
  Move(103, 102, 1200); // 5 pixels: no movement
  m_layer->Step(0, 1300);
  EXPECT_EQ(m_layer->PanelOpacity(), 0);
  Move(106, 102, 1400); // 6 pixels from the first
  m_layer->Step(0, 1400);
  m_layer->Step(0, 1600);
  EXPECT_NEAR(m_layer->PanelOpacity(), 50, 0.01) << "half of the 400 ms fade-in";
  m_layer->Step(0, 1800);
  EXPECT_EQ(m_layer->PanelOpacity(), 100);

  // Jitter of 5 pixels is no movement: the panel hides a second after the
  // last real one, over 200 ms.
  for (int64_t now = 1900; now <= 2400; now += 100) {
    Move(now % 200 == 0 ? 106 : 109, now % 200 == 0 ? 102 : 104, now);
    m_layer->Step(0, now);
  }
  EXPECT_EQ(m_layer->PanelOpacity(), 100);
  m_layer->Step(0, 2500);
  m_layer->Step(0, 2600);
  EXPECT_NEAR(m_layer->PanelOpacity(), 50, 0.01);
  m_layer->Step(0, 2700);
  EXPECT_EQ(m_layer->PanelOpacity(), 0);

  // The mouse resting over the panel keeps it shown once it moved there.
  Move(500, 300, 3000);
  for (int64_t now = 3000; now <= 6000; now += 500) {
    Move(500, 300, now);
    m_layer->Step(0, now);
  }
  EXPECT_EQ(m_layer->PanelOpacity(), 100);
  EXPECT_TRUE(Move(500, 300, 6000).OverPanel);
}

TEST_F(ThirdSlide, AHiddenPanelTakesNoMouse) {
  Make(Panel("opt_hidenavbar=1\nopt_nav_hideonstartup=1\nopt_nav_hideinterval=1\n"));
  m_layer->Step(0, 1000);
  // A press there reaches the slides.
  EXPECT_FALSE(m_layer->MouseEvent(TMouseEventKind::ButtonDown, 500, 300, 0, 1, 1000).Consumed);
}

TEST_F(ThirdSlide, APressOnThePanelGivesItsActionAndIsTaken) {
  Make(Panel(""));
  const TThirdSlideMouse outside = m_layer->MouseEvent(TMouseEventKind::ButtonDown, 10, 10, 0, 1, 0);
  EXPECT_FALSE(outside.Consumed);
  const TThirdSlideMouse down = m_layer->MouseEvent(TMouseEventKind::ButtonDown, 500, 300, 0, 1, 0);
  EXPECT_TRUE(down.Consumed);
  EXPECT_TRUE(down.OverPanel);
  const TThirdSlideMouse up = m_layer->MouseEvent(TMouseEventKind::ButtonUp, 500, 300, 0, 1, 0);
  EXPECT_TRUE(up.Consumed);
  EXPECT_EQ(up.Action.Kind, akGotoSlide) << "the home button";
  // The right button is not the panel's.
  EXPECT_FALSE(m_layer->MouseEvent(TMouseEventKind::ButtonDown, 500, 300, 0, 4, 0).Consumed);
}

} // namespace
} // namespace qx
