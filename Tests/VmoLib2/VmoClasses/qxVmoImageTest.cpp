#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include "VmoLib2/VmoClasses/VmoViewPort.h"
#include "VmoLib2/VmoClasses/qxVmoBox.h"
#include "qxVmoSlideTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

namespace qx {

namespace {

using test::SlideTest;

class Pictures : public SlideTest {};

TImageAnimationParams Sheet(int columns, int rows, int count, int repetitions, std::vector<double> intervals) {
  TImageAnimationParams params;
  params.Columns = columns;
  params.Rows = rows;
  params.FrameCount = count;
  params.Repetitions = repetitions;
  params.Intervals = std::move(intervals);
  return params;
}

} // namespace

// --- Mip level --------------------------------------------------------------

TEST(MipLevel, DeepestLevelStillAboveTheWantedSize) {
  // 1000 x 750 on screen is wanted at 1333 x 1000: 2000 x 1500 is the last
  // level above that.
  EXPECT_EQ(WantedSide(1000, TVmoObjectHost::kMipLevelScale), 1333);
  EXPECT_EQ(WantedSide(750, TVmoObjectHost::kMipLevelScale), 1000);
  EXPECT_EQ(MipLevelForSize(4000, 3000, 1333, 1000), 1);
  EXPECT_EQ(MipLevelForSize(4000, 3000, 4000, 10), 0); // wanted width reaches the picture
  EXPECT_EQ(MipLevelForSize(4000, 3000, 10, 3000), 0);
  EXPECT_EQ(MipLevelForSize(4000, 3000, 1, 1), 11);
  EXPECT_EQ(WantedSide(0, 1.3333), 1);
  EXPECT_EQ(WantedSide(std::numeric_limits<double>::quiet_NaN(), 1.3333), 1);
}

TEST_F(Pictures, SizePassChoosesTheMipLevelOfTheExample) {
  m_size = {1000, 750};
  m_host.AddPicture("big.jpg", 4000, 3000);
  auto slide = MakeSlide("object big:image\r\n  ImageName=big.jpg\r\nend\r\n"
                         "object zoom:image\r\n  ImageName=big.jpg\r\n"
                         "  object k:keypoint\r\n  end\r\n"
                         "  object k:keypoint\r\n    Time=5000\r\n    ScaleX=200\r\n    ScaleY=200\r\n  end\r\nend\r\n"
                         "object near:image\r\n  ImageName=big.jpg\r\n"
                         "  object k:keypoint\r\n    ZPos=-100\r\n    ScaleX=50\r\n    ScaleY=50\r\n  end\r\nend\r\n");
  slide->EvaluateAndUpdate(1000);
  auto& big = dynamic_cast<TVmoImage&>(Find(*slide, "big"));
  EXPECT_EQ(big.BaseSize(), (TSize{4000, 3000}));
  EXPECT_NEAR(big.LargestWidth(), 1000, 1e-2);
  EXPECT_NEAR(big.LargestHeight(), 750, 1e-2);
  EXPECT_EQ(big.MipLevel(), 1);

  // Zoomed to 200 % at its last key point: 2000 x 1500 wanted at 2667 x 2000.
  auto& zoom = dynamic_cast<TVmoImage&>(Find(*slide, "zoom"));
  EXPECT_NEAR(zoom.LargestWidth(), 2000, 1e-2);
  EXPECT_EQ(zoom.MipLevel(), 0);
  // The pass evaluated at other times, then went back to 1000 ms.
  EXPECT_NEAR(zoom.Values().ScaleX, 120, 1e-3);

  // Half size, nearer to the camera by 375 × tan 30° (the depth scale) of
  // its 750: magnified by 1 / (1 - 0.2887), wanted at 937 x 703.
  auto& nearer = dynamic_cast<TVmoImage&>(Find(*slide, "near"));
  EXPECT_NEAR(nearer.LargestWidth(), 500, 1e-2);
  const auto expected = nearer.LargestExpectedSize();
  EXPECT_NEAR(expected[0], 500 / (1 - 375 * Tan30() / 750), 0.1);
  EXPECT_EQ(nearer.MipLevel(), 2);
}

TEST_F(Pictures, SizePassStopsWhenTheHostCancels) {
  m_host.AddPicture("big.jpg", 4000, 3000);
  m_host.Cancel = true;
  auto slide = MakeSlide("object big:image\r\n  ImageName=big.jpg\r\nend\r\n");
  slide->EvaluateAndUpdate(0);
  auto& big = dynamic_cast<TVmoImage&>(Find(*slide, "big"));
  EXPECT_FLOAT_EQ(big.LargestWidth(), 0);
  EXPECT_EQ(big.MipLevel(), 0);
  // Placed all the same.
  EXPECT_TRUE(big.Drawable());
  m_host.Cancel = false;
  slide->EvaluateAndUpdate(0);
  EXPECT_EQ(big.MipLevel(), 1); // 4000 x 3000 shown at 800 x 600, wanted at 1067 x 800
}

// --- Sprite sheets ----------------------------------------------------------

TEST(SpriteSheet, FramesAdvanceAfterTheirDurationAndWrapByPasses) {
  const TImageAnimationParams sheet = Sheet(2, 2, 4, 2, {100});
  const auto frame = [&](double elapsed) { return SelectAnimationFrame(sheet, elapsed); };
  EXPECT_EQ(frame(0).Frame, 0);
  EXPECT_EQ(frame(100).Frame, 0); // not past the first duration yet
  EXPECT_EQ(frame(100.5).Frame, 1);
  EXPECT_EQ(frame(399).Frame, 3);
  EXPECT_EQ(frame(450).Frame, 0);
  EXPECT_EQ(frame(450).Pass, 1);
  EXPECT_EQ(frame(800).Frame, 3); // end of the second pass
  // Two passes done: the last frame stays.
  EXPECT_EQ(frame(801).Frame, 3);
  EXPECT_EQ(frame(1e12).Frame, 3);

  const TImageAnimationParams endless = Sheet(2, 2, 4, 0, {100, 50, 50, 200});
  EXPECT_EQ(SelectAnimationFrame(endless, 149).Frame, 1);
  EXPECT_EQ(SelectAnimationFrame(endless, 201).Frame, 3);
  EXPECT_EQ(SelectAnimationFrame(endless, 400 * 1000 + 120).Frame, 1);
  EXPECT_EQ(SelectAnimationFrame(endless, 400 * 1000 + 120).Pass, 1000);
}

TEST(SpriteSheet, WhatCountsAsAnimated) {
  EXPECT_FALSE(Sheet(1, 1, 4, 0, {100}).Animated());
  EXPECT_FALSE(Sheet(4, 1, 4, 0, {}).Animated());
  EXPECT_FALSE(Sheet(4, 1, 4, 0, {0, 0}).Animated());
  EXPECT_FALSE(Sheet(4, 1, 1, 0, {100}).Animated()); // one frame
  EXPECT_EQ(Sheet(2, 2, 9, 0, {100}).Frames(), 4);   // the grid limits the count
  EXPECT_EQ(SelectAnimationFrame(Sheet(4, 1, 4, 0, {}), 5000).Frame, 0);
  // A long show costs no loop per frame.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SelectAnimationFrame(Sheet(100, 100, 10000, 0, {1}), 1e15 + 7).Frame, 6);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}

TEST(SpriteSheet, IntervalsFromText) {
  EXPECT_EQ(ParseFrameIntervals("100, 50;20"), (std::vector<double>{100, 50, 20}));
  EXPECT_EQ(ParseFrameIntervals("100,,x,-5, "), (std::vector<double>{100, 0, 0}));
  EXPECT_TRUE(ParseFrameIntervals("").empty());
}

TEST_F(Pictures, ImageKeysSelectFramesWithOffsetAndRepetitions) {
  m_host.AddPicture("sheet.png", 200, 100);
  auto slide = MakeSlide("object s:image\r\n  ImageName=sheet.png\r\n  AnimColumns=2\r\n  AnimRows=1\r\n"
                         "  AnimCount=2\r\n  AnimInterval=100\r\n  AnimRepCount=1\r\n  AnimOffset=1000\r\nend\r\n");
  auto& sheet = dynamic_cast<TVmoImage&>(Find(*slide, "s"));
  EXPECT_EQ(sheet.BaseSize(), (TSize{100, 100})); // one cell
  slide->EvaluateAndUpdate(1050);
  EXPECT_EQ(sheet.CurrentFrame().Frame, 0);
  slide->FrameEnded();
  slide->EvaluateAndUpdate(1150);
  EXPECT_EQ(sheet.CurrentFrame().Frame, 1);
  EXPECT_TRUE(sheet.NeedsRedraw());
  slide->EvaluateAndUpdate(5000);
  EXPECT_EQ(sheet.CurrentFrame().Frame, 1); // played once, stays on its last frame
  EXPECT_EQ(sheet.MipLevel(), 0);           // sprite sheets keep the full picture
  const TPictureDrawParams params = sheet.DrawParams();
  EXPECT_EQ(params.Columns, 2);
  EXPECT_EQ(params.Frame, 1);
}

TEST_F(Pictures, PictureTileDescriptionAnimatesWhenAnimCountIsMissing) {
  auto strip = m_host.AddPicture("anim.gif", 300, 50);
  auto tag = std::make_unique<TTilesTag>();
  tag->TileWidth = 100;
  tag->TileHeight = 50;
  tag->FrameCount = 3;
  tag->Delays = "100,200,300";
  strip->Tags().Add(std::move(tag));
  auto slide = MakeSlide("object g:image\r\n  ImageName=anim.gif\r\nend\r\n"
                         "object still:image\r\n  ImageName=anim.gif\r\n  AnimCount=1\r\nend\r\n");
  auto& gif = dynamic_cast<TVmoImage&>(Find(*slide, "g"));
  EXPECT_EQ(gif.Animation().Columns, 3);
  EXPECT_EQ(gif.BaseSize(), (TSize{100, 50}));
  slide->EvaluateAndUpdate(250);
  EXPECT_EQ(gif.CurrentFrame().Frame, 1);
  auto& still = dynamic_cast<TVmoImage&>(Find(*slide, "still"));
  EXPECT_EQ(still.BaseSize(), (TSize{300, 50}));
  EXPECT_EQ(still.CurrentFrame().Frame, 0);
}

// --- Picture settings -------------------------------------------------------

TEST_F(Pictures, PictureKeysAndDefaults) {
  auto slide = MakeSlide("object a:image\r\n  ImageName=a.jpg\r\n  Antialiased=0\r\n  Filtering=nearest\r\n"
                         "  MipLodBias=-0.5\r\n  EnableBorder=1\r\n  BorderWidth=5\r\n  BorderColor=1,2,3,4\r\n"
                         "  EnableCrop=1\r\n  CropRect=10,20,110,220,400,300\r\n  AspectParams=4,3\r\nend\r\n"
                         "object b:image\r\n  ImageName=b.jpg\r\n  ReplaceWithEffectBuffer=3\r\nend\r\n",
                         false);
  auto& a = dynamic_cast<TVmoImage&>(Find(*slide, "a"));
  EXPECT_FALSE(a.Antialiased());
  EXPECT_EQ(a.Filtering(), TFiltering::Nearest);
  EXPECT_FLOAT_EQ(a.MipLodBias(), -0.5f);
  EXPECT_TRUE(a.Border().BorderOn);
  EXPECT_FALSE(a.Border().AspectOn);
  EXPECT_EQ(a.Border().BorderColor, (TRgba{1, 2, 3, 4}));
  EXPECT_EQ(a.Border().Crop, (TCropRect{10, 20, 110, 220, 400, 300}));
  EXPECT_EQ(a.Border().AspectParams, (std::vector<int32_t>{4, 3}));
  EXPECT_FLOAT_EQ(a.DrawParams().BorderWidth, 5);
  EXPECT_EQ(a.PictureName(), "a.jpg");

  auto& b = dynamic_cast<TVmoImage&>(Find(*slide, "b"));
  EXPECT_TRUE(b.Antialiased());
  EXPECT_EQ(b.Filtering(), TFiltering::Default);
  EXPECT_FLOAT_EQ(b.Border().BorderWidth, 3.4f);
  EXPECT_EQ(b.Border().BorderColor, (TRgba{255, 255, 255, 255}));
  EXPECT_FLOAT_EQ(b.DrawParams().BorderWidth, 0);
  EXPECT_EQ(b.PictureName(), "SlideEffectBuffer3");

  slide->PrepareResources();
  EXPECT_EQ(m_host.Opens["SlideEffectBuffer3"], 1);
  EXPECT_FALSE(b.HasResources());
  // Prepared again with nothing changed: not asked again.
  m_host.AddPicture("a.jpg", 64, 32);
  slide->PrepareResources();
  EXPECT_EQ(a.BaseSize(), (TSize{64, 32}));
  slide->PrepareResources();
  EXPECT_EQ(m_host.Opens["a.jpg"], 2);
}

TEST_F(Pictures, ShadowSizeFactorPerKind) {
  m_host.AddPicture("p.jpg", 1600, 400);
  auto slide = MakeSlide("object p:image\r\n  ImageName=p.jpg\r\nend\r\n");
  auto& p = dynamic_cast<TVmoImage&>(Find(*slide, "p"));
  EXPECT_DOUBLE_EQ(p.ShadowSizeFactor(), 800.0 / 400);
}

// --- Boxes, viewports, masks -------------------------------------------------

TEST_F(Pictures, FillModesBecomeGradientKinds) {
  auto slide = MakeSlide("object s:box\r\n  Color1=255,0,0\r\n  Color2=0,0,255\r\n  Alpha1=300\r\nend\r\n"
                         "object h:frame\r\n  FillMode=HGradient\r\n  Color2=0,0,255\r\n  Alpha2=10\r\nend\r\n"
                         "object v:box\r\n  FillMode=VGradient\r\nend\r\n"
                         "object d1:box\r\n  FillMode=TLBRGradient\r\nend\r\n"
                         "object d2:box\r\n  FillMode=TRBLGradient\r\nend\r\n");
  const TBoxDrawParams solid = dynamic_cast<TVmoBox&>(Find(*slide, "s")).DrawParams();
  EXPECT_EQ(solid.Gradient, TGradientKind::Solid);
  EXPECT_EQ(solid.Color1, (TRgba{255, 0, 0, 255}));
  EXPECT_EQ(solid.Color2, solid.Color1); // one colour
  const TBoxDrawParams horizontal = dynamic_cast<TVmoBox&>(Find(*slide, "h")).DrawParams();
  EXPECT_EQ(static_cast<int>(horizontal.Gradient), 6);
  EXPECT_EQ(horizontal.Color2, (TRgba{0, 0, 255, 10}));
  EXPECT_EQ(static_cast<int>(dynamic_cast<TVmoBox&>(Find(*slide, "v")).DrawParams().Gradient), 5);
  EXPECT_EQ(static_cast<int>(dynamic_cast<TVmoBox&>(Find(*slide, "d1")).DrawParams().Gradient), 0);
  EXPECT_EQ(static_cast<int>(dynamic_cast<TVmoBox&>(Find(*slide, "d2")).DrawParams().Gradient), 1);
}

TEST_F(Pictures, MasksOfAViewport) {
  m_host.AddPicture("Mask: star.png", 100, 100);
  auto slide = MakeSlide("object vp:viewport\r\n  Size=400,300\r\n"
                         "  object k:keypoint\r\n    Opacity=50\r\n  end\r\n"
                         "  object m1:mask\r\n    ImageName=star.png\r\n    Antialiased=1\r\n    AnimColumns=4\r\n"
                         "    AnimCount=4\r\n    AnimInterval=10\r\n"
                         "    object k:keypoint\r\n      Opacity=80\r\n    end\r\n  end\r\n"
                         "  object m2:mask\r\n    ImageName=star.png\r\n    DeltaTime1=3000\r\n  end\r\n"
                         "  object pic:box\r\n    Size=10,10\r\n  end\r\nend\r\n"
                         "object lone:viewport\r\nend\r\n");
  auto& viewPort = dynamic_cast<TVmoViewPort&>(Find(*slide, "vp"));
  auto& mask = dynamic_cast<TVmoMask&>(Find(*slide, "m1"));
  EXPECT_EQ(mask.PictureName(), "Mask: star.png");
  EXPECT_TRUE(mask.HasResources());
  EXPECT_FALSE(mask.Antialiased());
  EXPECT_FALSE(mask.Animation().Animated());
  EXPECT_EQ(viewPort.BaseSize(), (TSize{400, 300}));
  EXPECT_EQ(Find(*slide, "lone").BaseSize(), (TSize{1, 1}));

  slide->EvaluateAndUpdate(1000);
  EXPECT_FLOAT_EQ(mask.Opacity(), 40); // 80 % of a half-opaque viewport
  slide->SetOpacityFactor(50);         // counted once, through the viewport
  EXPECT_FLOAT_EQ(mask.Opacity(), 20);
  slide->SetOpacityFactor(100);
  std::vector<TMaskRecord> records = viewPort.MaskRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Mask, &mask);
  EXPECT_FLOAT_EQ(records[0].Opacity, 40);
  EXPECT_FLOAT_EQ(records[1].Opacity, 0); // not active yet
  EXPECT_EQ(viewPort.Masks().size(), 2u);

  // With no mask shown the children are drawn plainly.
  auto slide2 = MakeSlide("object vp:viewport\r\n  object m:mask\r\n    DeltaTime1=3000\r\n  end\r\nend\r\n");
  slide2->EvaluateAndUpdate(1000);
  EXPECT_TRUE(dynamic_cast<TVmoViewPort&>(Find(*slide2, "vp")).MaskRecords().empty());
}

} // namespace qx
