#include "VmoLib2/NavPanel/qxNavBar.h"

#include "VmoLib2/NavPanel/qxNavPanel.h"
#include "qxNavTestSkins.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::Solid;
using test::TNavTestShow;

constexpr TBgra kGrid{10, 20, 30, 255};
constexpr TBgra kHome{0, 0, 200, 255};
constexpr TBgra kHomeHover{0, 200, 0, 255};
constexpr TBgra kPause{200, 0, 0, 255};
constexpr TBgra kPausePlay{200, 200, 0, 255};

// A 3 x 2 grid whose button cell is (1:0), with margins 2, 3, 4, 5 and two
// buttons of 10 x 12 and 14 x 12 backgrounds with gaps 3 and 1.
const char* const kClassic = R"([Common]
ColsCount=3
RowsCount=2
[CellWithObjects]
Cell=1,0
LeftOffset=2
TopOffset=3
RightOffset=4
BottomOffset=5
[Cell(0:0)]
Bounds=0,0,5,7
flnm_Texture=grid.bmp
[Cell(1:0)]
Bounds=0,0,1,1
TextureType=Repeat
flnm_Texture=grid.bmp
[Cell(2:0)]
Bounds=0,0,7,9
flnm_Texture=grid.bmp
[Cell(0:1)]
Bounds=0,0,5,6
flnm_Texture=grid.bmp
[Cell(1:1)]
Bounds=0,0,3,6
flnm_Texture=grid.bmp
[Cell(2:1)]
Bounds=0,0,7,6
flnm_Texture=grid.bmp
[Objects]
Count=5
[Object1]
Space=3
[Object2]
Space=1
[Action-Home]
ActionType=Home
flnm_BgTextureNormal=bg.bmp
BgTextureNormalBounds=0,0,10,12
flnm_BtnTextureNormal=home.bmp
flnm_BtnTextureHover=homehover.bmp
[Action-Pause]
ActionType=pause
flnm_BgTextureNormal=bg.bmp
BgTextureNormalBounds=0,0,14,12
flnm_BtnTextureNormal=pause.bmp
BtnTextureNormalBounds=1,1,8,8
flnm_BtnTextureNormalPlay=pauseplay.bmp
[Action-Quit]
ActionType=exit
flnm_BtnTextureNormal=home.bmp
)";

class NavBarTest : public ::testing::Test {
protected:
  NavBarTest() {
    show.Texts["classic.ini"] = kClassic;
    show.AddPicture("grid.bmp", Solid(16, 16, kGrid));
    show.AddPicture("bg.bmp", Solid(20, 20, TBgra{0, 0, 0, 0}));
    show.AddPicture("home.bmp", Solid(6, 6, kHome));
    show.AddPicture("homehover.bmp", Solid(6, 6, kHomeHover));
    show.AddPicture("pause.bmp", Solid(10, 10, kPause));
    show.AddPicture("pauseplay.bmp", Solid(8, 8, kPausePlay));
    settings.DefinitionFile = "classic.ini";
    settings.Buttons = {"Home", "unknown", "pause"};
    settings.ShowBackground = true;
    settings.ViewScale = 10;
    settings.OutputRect = T3DRect{0, 0, 800, 600};
  }

  std::unique_ptr<TNavPanel> MakePanel() { return std::make_unique<TNavPanel>(settings, show.Hooks()); }
  std::string ErrorOf(const std::string& text) {
    show.Texts["classic.ini"] = text;
    try {
      MakePanel();
    } catch (const EQxError& error) {
      return error.what();
    }
    return "no error";
  }
  // Centre of a slot in output pixels.
  static TPoint SlotCentre(const TNavPanel& panel, int slot) {
    const auto& bar = static_cast<const TNavBar&>(panel.Bar());
    const T3DRect r = bar.SlotRect(slot);
    const T3DRect p = panel.Rect();
    return TPoint{p.left + (r.left + r.right) * p.Width() / (2 * bar.Width()),
                  p.top + (r.top + r.bottom) * p.Height() / (2 * bar.Height())};
  }

  TNavTestShow show;
  TNavPanelSettings settings;
};

TEST_F(NavBarTest, ButtonCellSizesTheGridAndPlacesTheButtons) {
  const auto panel = MakePanel();
  const auto& bar = static_cast<const TNavBar&>(panel->Bar());
  ASSERT_EQ(bar.SlotCount(), 2); // the unknown name is skipped
  // Button cell: 2 + 4 + (10 + 3) + (14 + 1) wide, 3 + 5 + 12 high.
  EXPECT_EQ(bar.CellRect(1, 0), (T3DRect{5, 0, 39, 20}));
  // Its column and row take that size; the others keep their bounds' size,
  // columns from the button row and rows from the button column.
  EXPECT_EQ(bar.CellRect(0, 0), (T3DRect{0, 0, 5, 20}));
  EXPECT_EQ(bar.CellRect(2, 1), (T3DRect{39, 20, 46, 26}));
  EXPECT_EQ(bar.CellRect(1, 1), (T3DRect{5, 20, 39, 26}));
  EXPECT_EQ(bar.SlotRect(0), (T3DRect{7, 3, 17, 15}));
  EXPECT_EQ(bar.SlotRect(1), (T3DRect{20, 3, 34, 15}));
  EXPECT_EQ(bar.Width(), 46);
  EXPECT_EQ(bar.Height(), 26);

  // Shown 10 % of the output high, as wide as the bar's aspect gives, in
  // the centre.
  EXPECT_EQ(panel->Rect(), (T3DRect{347, 270, 453, 330}));
  EXPECT_EQ(panel->Picture().Width(), 106);
  // The stretched cell and the tiled button cell are both painted.
  EXPECT_EQ(bar.Picture().GetPixel(1, 1), kGrid);
  EXPECT_EQ(bar.Picture().GetPixel(18, 18), kGrid);
  // Each picture is loaded once however many cells use it.
  EXPECT_EQ(show.PictureLoads, 6);
}

TEST_F(NavBarTest, MalformedNumbersGiveTheFormatsMessages) {
  std::string text = kClassic;
  text.replace(text.find("BgTextureNormalBounds=0,0,10,12"), 31, "BgTextureNormalBounds=0,0,10");
  EXPECT_EQ(ErrorOf(text), "Bounds should contains 4 values. For example: BtnTextureNormalBounds=0,0,20,20. But "
                           "VMO found only 3 values.");
  text = kClassic;
  text.replace(text.find("Bounds=0,0,7,9"), 14, "Bounds=0,0,7");
  EXPECT_EQ(ErrorOf(text), "Incorrect number of parameters in field \"Bounds\" in [Cell(2:0)]");
  text = kClassic;
  text.replace(text.find("Cell=1,0"), 8, "Cell=1,0,2");
  EXPECT_EQ(ErrorOf(text), "Incorrect number of parameters in field \"Cell\"");
  text = kClassic;
  text.replace(text.find("[CellWithObjects]"), 17, "[Other]");
  EXPECT_EQ(ErrorOf(text), "Incorrect number of parameters in field \"Cell\"");
}

TEST_F(NavBarTest, HostileDefinitionsAreRefusedWithAClearMessage) {
  std::string text = kClassic;
  text.replace(text.find("Bounds=0,0,7,9"), 14, "Bounds=0,0,9000,9");
  EXPECT_EQ(ErrorOf(text), "Navigation bar too large: 8231 x 0 pixels (at most 8192 a side and 8388608 pixels)");
  text = kClassic;
  text.replace(text.find("ColsCount=3"), 11, "ColsCount=100000");
  EXPECT_NE(ErrorOf(text).find("grid of 100000 x 2 cells"), std::string::npos);
  text = kClassic;
  text.replace(text.find("flnm_BtnTextureHover=homehover.bmp"), 34, "flnm_BtnTextureHover=none.bmp");
  EXPECT_EQ(ErrorOf(text), "Navigation bar picture not found: none.bmp");
  text = kClassic;
  text.replace(text.find("Cell=1,0"), 8, "Cell=5,0");
  EXPECT_NE(ErrorOf(text).find("outside the grid"), std::string::npos);
  EXPECT_NE(ErrorOf("\x01\x02\xff garbage"), "no error");
  settings.DefinitionFile = "missing.ini";
  EXPECT_EQ(ErrorOf(kClassic), "Navigation bar definition not found: missing.ini");
}

TEST_F(NavBarTest, BoundsOutsideTheirPicturesAreClipped) {
  std::string text = kClassic;
  text.replace(text.find("BtnTextureNormalBounds=1,1,8,8"), 30, "BtnTextureNormalBounds=-50,5,8000,-3");
  show.Texts["classic.ini"] = text;
  const auto panel = MakePanel();
  const auto& bar = static_cast<const TNavBar&>(panel->Bar());
  EXPECT_EQ(bar.SlotRect(1).Width(), 14);
  EXPECT_EQ(panel->Picture().Width(), 106);
}

TEST_F(NavBarTest, ClicksMapToTheActionTableAndStatesFollowTheMouse) {
  const auto panel = MakePanel();
  const auto& bar = static_cast<const TNavBar&>(panel->Bar());
  const TPoint home = SlotCentre(*panel, 0);
  const TPoint pause = SlotCentre(*panel, 1);
  TVmoActionInfo action;

  // Hover shows the hover look; a missing hover image falls back to normal.
  EXPECT_TRUE(panel->MouseEvent(TMouseEventKind::Move, home.x, home.y, action));
  EXPECT_EQ(bar.SlotState(0), nbsHover);
  EXPECT_EQ(bar.Picture().GetPixel(12, 9), kHomeHover);

  EXPECT_TRUE(panel->MouseEvent(TMouseEventKind::ButtonDown, home.x, home.y, action));
  EXPECT_EQ(action.Kind, akHandled);
  EXPECT_EQ(bar.SlotState(0), nbsPressed);
  EXPECT_EQ(bar.Picture().GetPixel(12, 9), kHome); // pressed falls back to normal
  EXPECT_TRUE(panel->MouseEvent(TMouseEventKind::ButtonUp, home.x, home.y, action));
  EXPECT_EQ(action, (TVmoActionInfo{akGotoSlide, 0, {}}));

  // A press dragged off its button and released elsewhere clicks nothing,
  // and the panel holds the mouse until the release, even outside.
  action = {};
  panel->MouseEvent(TMouseEventKind::ButtonDown, pause.x, pause.y, action);
  EXPECT_TRUE(panel->HoldsMouse());
  EXPECT_TRUE(panel->MouseEvent(TMouseEventKind::Move, 5, 5, action));
  EXPECT_EQ(bar.SlotState(1), nbsNormal);
  action = {};
  EXPECT_TRUE(panel->MouseEvent(TMouseEventKind::ButtonUp, 5, 5, action));
  EXPECT_TRUE(action.IsNone());
  EXPECT_FALSE(panel->HoldsMouse());
  EXPECT_FALSE(panel->MouseEvent(TMouseEventKind::ButtonDown, 5, 5, action));

  panel->MouseEvent(TMouseEventKind::ButtonDown, pause.x, pause.y, action);
  panel->MouseEvent(TMouseEventKind::ButtonUp, pause.x, pause.y, action);
  EXPECT_EQ(action.Kind, akPause);
}

TEST_F(NavBarTest, PauseButtonShowsItsPlayLookWhileThePlayStateDiffers) {
  show.Playing = true;
  const auto panel = MakePanel();
  const auto& bar = static_cast<const TNavBar&>(panel->Bar());
  // The pause image (its part 1,1,8,8) centred in the 14 x 12 slot at 20,3.
  EXPECT_EQ(bar.Picture().GetPixel(27, 9), kPause);
  show.Changes.clear();
  show.Playing = false;
  panel->SetShowTime(100);
  EXPECT_EQ(bar.Picture().GetPixel(27, 9), kPausePlay);
  ASSERT_EQ(show.Changes.size(), 1u);
  panel->SetShowTime(200);
  EXPECT_EQ(show.Changes.size(), 1u); // nothing changed, nothing redrawn
}

TEST(NavPanelActions, ButtonNamesMapToTheirKinds) {
  const std::vector<std::pair<std::string, uint8_t>> table = {
      {"home", akGotoSlide}, {"Forward", akNextSlide}, {"backward", akPreviousSlide}, {"print", akPrint},
      {"PAUSE", akPause},    {"help", akHelp},         {"exit", akExit},             {"stop", akHandled}};
  for (const auto& [name, kind] : table)
    EXPECT_EQ(NavButtonAction(name).Kind, kind) << name;
  EXPECT_EQ(NavButtonAction("home").Integer, 0);
}

} // namespace
} // namespace qx
