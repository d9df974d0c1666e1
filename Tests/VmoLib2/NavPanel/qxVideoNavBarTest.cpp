#include "VmoLib2/NavPanel/qxVideoNavBar.h"

#include "VmoLib2/NavPanel/qxNavPanel.h"
#include "qxNavTestSkins.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::Solid;
using test::TNavTestShow;

constexpr TBgra kBack{40, 40, 40, 255};

TBgra CellColor(int cell) { return TBgra{static_cast<uint8_t>(30 * cell), 100, 200, 255}; }

// Six 32 x 32 cells, each of its own colour.
std::unique_ptr<TBitmap> Strip() {
  auto strip = std::make_unique<TBitmap>(192, 32, TPixelFormat::Bgra32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 192; ++x)
      strip->SetPixel(x, y, CellColor(x / 32));
  return strip;
}

const char* const kVideo = R"([Common]
VideoStyle=1
BgLeft=2
BgRight=2
flnm_back=back.bmp
[Pixel positions]
BarSize=400,40
TrackHeight=8
BtnSize=32,32
DigitSize=8,16
VolumeControlLength=60
LeftSpace=4
ButtonsTrackSpace=6
TrackDigitsSpace=4
DigitsSoundBtnSpace=4
SoundBtnTrackSpace=4
RightSpace=8
[Trackbar]
TrackLineLeft=2
TrackLineRight=2
flnm_Line=line.bmp
flnm_Polzun=thumb.bmp
[Buttons]
flnm_Normal=strip.bmp
)";

class VideoNavBarTest : public ::testing::Test {
protected:
  VideoNavBarTest() {
    show.Texts["skins/video/bar.ini"] = kVideo;
    show.AddPicture("skins/video/back.bmp", Solid(50, 40, kBack));
    show.AddPicture("skins/video/line.bmp", Solid(20, 8, TBgra{90, 90, 90, 255}));
    show.AddPicture("skins/video/thumb.bmp", Solid(10, 16, TBgra{250, 250, 250, 255}));
    show.AddPicture("skins/video/strip.bmp", Strip());
    settings.DefinitionFile = "skins/video/bar.ini";
    settings.Buttons = {"backward", "home", "forward"};
    settings.UseVideoScale = true;
    settings.ViewScale = 10;
    settings.Volume = 0.6;
    settings.DurationMs = 3599999;
    settings.OutputRect = T3DRect{0, 0, 1000, 400};
  }

  std::unique_ptr<TNavPanel> MakePanel() { return std::make_unique<TNavPanel>(settings, show.Hooks()); }
  static const TVideoNavBar& Bar(const TNavPanel& panel) { return static_cast<const TVideoNavBar&>(panel.Bar()); }
  static TVmoActionInfo Mouse(TNavPanel& panel, TMouseEventKind kind, int x) {
    TVmoActionInfo action;
    EXPECT_TRUE(panel.MouseEvent(kind, x, 380, action));
    return action;
  }

  TNavTestShow show;
  TNavPanelSettings settings;
};

TEST_F(VideoNavBarTest, TrackEndsTwelveOrEighteenDigitsBeforeTheDigitsEnd) {
  auto panel = MakePanel();
  const TVideoNavBar& bar = Bar(*panel);
  ASSERT_TRUE(bar.Enabled());
  EXPECT_EQ(panel->Rect(), (T3DRect{0, 360, 1000, 400}));
  EXPECT_EQ(bar.TrackLeft(), 32 * 3 + 4 + 6);
  EXPECT_EQ(bar.DigitsEnd(), 1000 - 8 - 60 - 4 - 32 - 4);
  EXPECT_EQ(bar.TrackRight(), bar.DigitsEnd() - 12 * 8);
  panel->SetShowTime(61000);
  EXPECT_EQ(bar.TimeText(), "01:01 / 59:59");

  settings.DurationMs = 3600000;
  panel = MakePanel();
  EXPECT_EQ(Bar(*panel).TrackRight(), Bar(*panel).DigitsEnd() - 18 * 8);
  panel->SetShowTime(3600000 + 61000); // past the end: reduced by the duration
  EXPECT_EQ(Bar(*panel).TimeText(), "00:01:01 / 01:00:00");
}

TEST_F(VideoNavBarTest, ScaleHalvesUntilTheTrackHasRoomOrTheBarIsDisabled) {
  settings.OutputRect = T3DRect{0, 0, 420, 400};
  auto panel = MakePanel();
  // At scale 1 the track is exactly 100 pixels beyond the thumb: not enough.
  EXPECT_TRUE(Bar(*panel).Enabled());
  EXPECT_EQ(Bar(*panel).Scale(), 0.5);
  EXPECT_EQ(panel->Rect().Height(), 20);

  settings.OutputRect = T3DRect{0, 0, 300, 400};
  panel = MakePanel();
  EXPECT_FALSE(Bar(*panel).Enabled());
  show.Changes.clear();
  EXPECT_TRUE(Mouse(*panel, TMouseEventKind::ButtonDown, 150).Kind == akHandled);
  panel->SetShowTime(5000);
  EXPECT_TRUE(show.Changes.empty());
}

TEST_F(VideoNavBarTest, SoundButtonPressedTwiceRestoresTheVolume) {
  auto panel = MakePanel();
  const int sound = Bar(*panel).DigitsEnd() + 4 + 16;
  Mouse(*panel, TMouseEventKind::ButtonDown, sound);
  EXPECT_EQ(Bar(*panel).Picture().GetPixel(sound, 20), CellColor(vncMuted));
  Mouse(*panel, TMouseEventKind::ButtonUp, sound);
  Mouse(*panel, TMouseEventKind::ButtonDown, sound);
  Mouse(*panel, TMouseEventKind::ButtonUp, sound);
  EXPECT_EQ(show.Volumes, (std::vector<double>{0, 0.6}));
  EXPECT_EQ(Bar(*panel).Picture().GetPixel(sound, 20), CellColor(vncSound));
}

TEST_F(VideoNavBarTest, TimeDragPausesAPlayingShowAndResumesIt) {
  show.Playing = true;
  auto panel = MakePanel();
  EXPECT_TRUE(Bar(*panel).ShownPlaying());
  EXPECT_EQ(Mouse(*panel, TMouseEventKind::ButtonDown, 300).Kind, akPause);
  EXPECT_FALSE(Bar(*panel).ShownPlaying());
  show.Playing = false; // the engine paused
  EXPECT_TRUE(Mouse(*panel, TMouseEventKind::Move, 400).IsNone());
  // (400 - track left - half the thumb) of (track width - thumb) of the show.
  EXPECT_EQ(show.Times, (std::vector<int64_t>{3599999LL * 289 / 680}));
  panel->SetShowTime(10); // ignored while dragging
  EXPECT_EQ(Bar(*panel).ThumbCentre(), 400);
  EXPECT_EQ(Mouse(*panel, TMouseEventKind::ButtonUp, 450).Kind, akPause);
  EXPECT_EQ(show.Times.size(), 2u);
  EXPECT_TRUE(Bar(*panel).ShownPlaying());
}

TEST_F(VideoNavBarTest, TimeDragOfAPausedShowKeepsItPaused) {
  auto panel = MakePanel();
  EXPECT_EQ(Mouse(*panel, TMouseEventKind::ButtonDown, 300).Kind, akHandled);
  EXPECT_TRUE(Mouse(*panel, TMouseEventKind::Move, 500).IsNone());
  EXPECT_TRUE(Mouse(*panel, TMouseEventKind::ButtonUp, 500).IsNone());
  EXPECT_EQ(show.Times.size(), 2u);
  EXPECT_FALSE(Bar(*panel).ShownPlaying());
}

TEST_F(VideoNavBarTest, ButtonsMapToActionsAndPlayTogglesThePlayLook) {
  auto panel = MakePanel();
  // "home" is no action of this bar: backward and forward follow the play
  // button.
  EXPECT_EQ(Mouse(*panel, TMouseEventKind::ButtonDown, 4 + 32 + 16).Kind, akPreviousSlide);
  Mouse(*panel, TMouseEventKind::ButtonUp, 4 + 32 + 16);
  EXPECT_EQ(Mouse(*panel, TMouseEventKind::ButtonDown, 4 + 64 + 16).Kind, akNextSlide);
  Mouse(*panel, TMouseEventKind::ButtonUp, 4 + 64 + 16);
  EXPECT_EQ(Bar(*panel).Picture().GetPixel(4 + 16, 20), CellColor(vncPlayPaused));
  EXPECT_EQ(Mouse(*panel, TMouseEventKind::ButtonDown, 4 + 16).Kind, akPause);
  EXPECT_EQ(Bar(*panel).Picture().GetPixel(4 + 16, 20), CellColor(vncPlayPlaying));
}

TEST_F(VideoNavBarTest, OnlyWhatChangesIsRedrawnOverItsBackground) {
  auto panel = MakePanel();
  panel->SetShowTime(61000);
  show.Changes.clear();
  panel->SetShowTime(61100); // same second, same thumb position
  EXPECT_TRUE(show.Changes.empty());
  panel->SetShowTime(62000); // the displayed second changes, the thumb does not
  const TVideoNavBar& bar = Bar(*panel);
  ASSERT_EQ(show.Changes.size(), 1u);
  EXPECT_EQ(show.Changes[0], (T3DRect{bar.TrackRight(), 360, bar.DigitsEnd(), 400}));
  EXPECT_EQ(bar.TimeText(), "01:02 / 59:59");
  EXPECT_EQ(bar.Picture().GetPixel(bar.TrackRight() + 1, 1), kBack);
  // A time far enough moves the thumb: the track is redrawn too.
  panel->SetShowTime(1800000);
  EXPECT_EQ(show.Changes.size(), 3u);
}

TEST_F(VideoNavBarTest, HostileDefinitionsAreRefusedWithAClearMessage) {
  const auto errorOf = [this](const std::string& text) -> std::string {
    show.Texts["skins/video/bar.ini"] = text;
    try {
      MakePanel();
    } catch (const EQxError& error) {
      return error.what();
    }
    return "no error";
  };
  std::string text = kVideo;
  text.replace(text.find("BarSize=400,40"), 14, "BarSize=400");
  EXPECT_EQ(errorOf(text), "Incorrect number of parameters in field \"BarSize\" of the video navigation bar");
  text = kVideo;
  text.replace(text.find("[Pixel positions]"), 17, "[Nothing]");
  EXPECT_EQ(errorOf(text), "The video navigation bar has no \"BarSize\" in [Pixel positions]");
  settings.ViewScale = 1e12;
  EXPECT_NE(errorOf(kVideo).find("Navigation panel height of 4"), std::string::npos);
  settings.ViewScale = 10;
  settings.UseVideoScale = false;
  settings.OutputRect = T3DRect{0, 0, 1000, 1000000};
  EXPECT_NE(errorOf(kVideo).find("Navigation bar too large"), std::string::npos);
  settings.OutputRect = T3DRect{0, 0, 1000, 400};
  text = kVideo;
  text.replace(text.find("flnm_Polzun=thumb.bmp"), 21, "flnm_Polzun=gone.bmp");
  EXPECT_EQ(errorOf(text), "Navigation bar picture not found: skins/video/gone.bmp");
  // Huge design sizes are capped, and the bar is then merely disabled.
  text = kVideo;
  text.replace(text.find("DigitSize=8,16"), 14, "DigitSize=99999999,99999999");
  EXPECT_EQ(errorOf(text), "no error");
}

} // namespace
} // namespace qx
