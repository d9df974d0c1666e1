#include "VmoLib2/VmoClasses/qxVmoBackground.h"

#include "QxLib/qxIniStorage.h"
#include "qxVmoSlideTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

TSlideBackground Read(std::string_view main, std::string_view slide) {
  TIniStorage storage;
  EXPECT_TRUE(storage.LoadFromString("[main]\r\n" + std::string(main) + "[slide1]\r\n" + std::string(slide)));
  return ReadSlideBackground(*storage.FindSection("main"), storage.FindSection("slide1"));
}

} // namespace

TEST(SlideBackground, KeysComeFromMainUnlessTheSlideHasItsOwn) {
  TSlideBackground background = Read("opt_bstyle=1\r\nopt_bname=255\r\n", "bstyle=1\r\nbname=65280\r\n");
  EXPECT_EQ(background.Style, TBackgroundStyle::Solid);
  EXPECT_EQ(background.Color1, (TRgb{255, 0, 0})); // red in the low byte

  background = Read("opt_bstyle=1\r\nopt_bname=255\r\n", "UsePersonal=1\r\nPers_Fon=1\r\nbstyle=1\r\nbname=65280\r\n");
  EXPECT_EQ(background.Color1, (TRgb{0, 255, 0}));
  // Both flags are needed.
  background = Read("opt_bstyle=1\r\nopt_bname=255\r\n", "UsePersonal=1\r\nbstyle=1\r\nbname=65280\r\n");
  EXPECT_EQ(background.Color1, (TRgb{255, 0, 0}));
}

TEST(SlideBackground, StylesAndTheirFallbacks) {
  TSlideBackground background = Read("opt_bstyle=2\r\nopt_bname=tile.jpg\r\nopt_bsize=50\r\n", "");
  EXPECT_EQ(background.Style, TBackgroundStyle::Picture);
  EXPECT_EQ(background.PictureName, "tile.jpg");
  EXPECT_EQ(background.SizePercent, 50);
  EXPECT_EQ(Read("opt_bstyle=2\r\nopt_bname=tile.jpg\r\n", "").SizePercent, 100);
  EXPECT_EQ(Read("opt_bstyle=2\r\nopt_bname=\r\n", ""), TSlideBackground{});

  background = Read("opt_bstyle=3\r\nopt_bcolorstyle=1\r\nopt_bcolor1=255\r\nopt_bcolor2=16711680\r\n", "");
  EXPECT_EQ(background.Style, TBackgroundStyle::Gradient);
  EXPECT_EQ(static_cast<int>(background.Gradient), 5);
  EXPECT_EQ(background.Color2, (TRgb{0, 0, 255}));
  EXPECT_EQ(static_cast<int>(Read("opt_bstyle=3\r\nopt_bcolorstyle=2\r\n", "").Gradient), 6);
  EXPECT_EQ(Read("opt_bstyle=3\r\nopt_bcolorstyle=7\r\nopt_bcolor1=255\r\n", ""), TSlideBackground{});
  EXPECT_EQ(Read("opt_bstyle=9\r\n", ""), TSlideBackground{});
}

TEST(SlideBackground, PictureSizeFollowsTheWiderSide) {
  EXPECT_EQ(BackgroundPictureSize({800, 600}, {400, 400}, 100), (TSize{800, 800}));
  EXPECT_EQ(BackgroundPictureSize({800, 600}, {400, 400}, 50), (TSize{400, 400}));
  EXPECT_EQ(BackgroundPictureSize({800, 600}, {1600, 400}, 100), (TSize{2400, 600}));
  EXPECT_EQ(BackgroundPictureSize({800, 600}, {0, 400}, 100), (TSize{1, 1}));
  EXPECT_EQ(BackgroundPictureSize({800, 600}, {400, 400}, -5), (TSize{1, 1}));
}

TEST(SlideBackground, HalvingsStopBetweenOnceAndTwiceTheDrawnSize) {
  EXPECT_EQ(BackgroundHalvings({4000, 3000}, {800, 600}), 2); // 1000 x 750
  EXPECT_EQ(BackgroundHalvings({1600, 1200}, {800, 600}), 1); // exactly the drawn size
  EXPECT_EQ(BackgroundHalvings({1599, 1200}, {800, 600}), 0);
  EXPECT_EQ(BackgroundHalvings({4000, 3000}, {4000, 100}), 0); // one side too small
  EXPECT_LE(BackgroundHalvings({16384, 16384}, {1, 1}), 14);
}

TEST(SlideBackground, TileGridCoversTheSlideFromItsCentre) {
  const TTileGrid grid = BackgroundTileGrid({800, 600}, {300, 300});
  EXPECT_EQ(grid.FirstColumn, -2);
  EXPECT_EQ(grid.LastColumn, 2);
  EXPECT_EQ(grid.FirstRow, -1);
  EXPECT_EQ(grid.LastRow, 1);
  // Tile c spans (c - 0.5) ... (c + 0.5) tile widths from the centre: both
  // slide edges lie inside the outermost tiles.
  EXPECT_LE((grid.FirstColumn - 0.5) * 300, -400);
  EXPECT_GE((grid.LastRow + 0.5) * 300, 300);
  const TTileGrid whole = BackgroundTileGrid({800, 600}, {800, 600});
  EXPECT_EQ(whole.LastColumn, 1);
  EXPECT_EQ(BackgroundTileGrid({800, 600}, {0, 10}).LastColumn, 0);
}

TEST(SlideBackground, PictureIsReducedOnceAndRebuiltOnlyOnChange) {
  test::TTestHost host(800, 600);
  auto store = host.AddPicture("bg.jpg", 4000, 3000);
  TBackgroundPicture picture;
  picture.Update(host, "bg.jpg", 50, {800, 600});
  ASSERT_NE(picture.Bitmap(), nullptr);
  EXPECT_EQ(picture.Bitmap()->Width(), 400);
  EXPECT_EQ(picture.Bitmap()->Height(), 300);
  EXPECT_EQ(picture.Bitmap()->GetPixel(200, 150), (TBgra{40, 80, 120, 255}));
  picture.Update(host, "bg.jpg", 50, {800, 600});
  EXPECT_EQ(host.Opens["bg.jpg"], 1);
  EXPECT_EQ(store->Decoded, 1);
  picture.Update(host, "bg.jpg", 100, {800, 600});
  EXPECT_EQ(host.Opens["bg.jpg"], 2);
  EXPECT_EQ(picture.Bitmap()->Width(), 800);

  picture.Update(host, "gone.jpg", 100, {800, 600});
  EXPECT_EQ(picture.Bitmap(), nullptr);
}

TEST(SlideBackground, SlideOpensItsBackgroundPictureWithItsResources) {
  test::TTestHost host(800, 600);
  host.AddPicture("bg.jpg", 200, 100);
  TVmoSlide slide(&host);
  slide.SetSize({800, 600});
  TSlideBackground background;
  background.Style = TBackgroundStyle::Picture;
  background.PictureName = "bg.jpg";
  background.SizePercent = 25;
  slide.SetBackground(background);
  slide.PrepareResources();
  ASSERT_NE(slide.BackgroundPicture().Bitmap(), nullptr);
  // Wider than the slide's aspect: a quarter of the slide height.
  EXPECT_EQ(slide.BackgroundPicture().Bitmap()->Width(), 300);
  EXPECT_EQ(slide.BackgroundPicture().Bitmap()->Height(), 150);
}

} // namespace qx
