// What slides and objects hand the drawer: placements, picture sources and
// draw parameters, recorded by a drawer that draws nothing.
#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include "VmoLib2/VmoClasses/VmoViewPort.h"
#include "VmoLib2/VmoClasses/qxVmoBox.h"
#include "VmoLib2/qxShadowNames.h"
#include "qxRecordingDrawer.h"
#include "qxVmoSlideTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

using test::TDrawCall;
using test::TRecordingDrawer;

void ExpectPoint(const T3DPoint& actual, double x, double y, double z = 0) {
  EXPECT_NEAR(actual.x, x, 1e-3);
  EXPECT_NEAR(actual.y, y, 1e-3);
  EXPECT_NEAR(actual.z, z, 1e-3);
}

class ObjectDrawing : public test::SlideTest {
protected:
  // Evaluates the slide at `time` and draws it as one frame.
  std::vector<TDrawCall> DrawAt(TVmoSlide& slide, double time) {
    m_drawer.Calls.clear();
    slide.EvaluateAndUpdate(time);
    m_drawer.DrawItem(slide);
    std::vector<TDrawCall> calls;
    for (const TDrawCall& call : m_drawer.Calls)
      if (call.Kind != "endscene")
        calls.push_back(call);
    return calls;
  }

  static std::string Picture(std::string_view name, std::string_view keys, std::string_view keyPoint = "") {
    std::string text = "object " + std::string(name) + ":image\r\n" + std::string(keys);
    if (!keyPoint.empty())
      text += "  object k:keypoint\r\n" + std::string(keyPoint) + "  end\r\n";
    return text + "end\r\n";
  }

  TRecordingDrawer m_drawer;
};

} // namespace

TEST_F(ObjectDrawing, PictureCornersFollowItsPlacement) {
  const auto store = m_host.AddPicture("pic.jpg", 200, 100);
  auto slide = MakeSlide(
      Picture("percent", "  ImageName=pic.jpg\r\n  FitMode=None\r\n", "    Position=100,0\r\n") +
      Picture("absolute", "  ImageName=pic.jpg\r\n  FitMode=None\r\n  PosMode=Absolute\r\n", "    Position=100,0\r\n"));
  const auto calls = DrawAt(*slide, 1000);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Kind, "box"); // the background comes first

  // Percent: the origin on the slide's right edge (800, 300); the picture
  // turns about its centre, so its top-left corner is 100, 50 back.
  const TDrawCall& percent = calls[1];
  ASSERT_EQ(percent.Kind, "picture");
  EXPECT_EQ(percent.Picture.Store, store.Get());
  EXPECT_EQ(percent.Picture.SourceRect, TFloatRect{}); // the whole picture
  ExpectPoint(percent.Placement.origin, 700, 250);
  ExpectPoint(percent.Placement.u, 200, 0);
  ExpectPoint(percent.Placement.v, 0, 100);
  ExpectPoint(percent.Placement.At(1, 1), 900, 350);
  // Absolute: 100 pixels right of the slide's centre (400, 300).
  ExpectPoint(calls[2].Placement.origin, 400, 250);
  ExpectPoint(calls[2].Placement.At(1, 1), 600, 350);

  // The slide's space is the output's: the camera faces its centre.
  EXPECT_EQ(m_drawer.Viewport, (TFloatRect{0, 0, 800, 600}));
  EXPECT_EQ(m_drawer.DesignWidth, 800);
  EXPECT_EQ(m_drawer.DesignHeight, 600);
}

TEST_F(ObjectDrawing, TurnedPictureKeepsItsCornersInSpace) {
  m_host.AddPicture("pic.jpg", 200, 100);
  auto slide = MakeSlide(Picture("turned", "  ImageName=pic.jpg\r\n  FitMode=None\r\n", "    Angle=90\r\n"));
  const auto calls = DrawAt(*slide, 1000);
  ASSERT_EQ(calls.size(), 2u);
  // A quarter turn clockwise on screen (y grows downward): the top edge
  // points down, the left edge points left.
  ExpectPoint(calls[1].Placement.u, 0, 200);
  ExpectPoint(calls[1].Placement.v, -100, 0);
  ExpectPoint(calls[1].Placement.At(0.5, 0.5), 400, 300);
}

TEST_F(ObjectDrawing, MipLevelAndSpriteCellReachTheDrawer) {
  m_size = {1000, 750};
  m_host.AddPicture("big.jpg", 4000, 3000);
  m_host.AddPicture("sheet.gif", 400, 200);
  auto slide =
      MakeSlide(Picture("big", "  ImageName=big.jpg\r\n") +
                Picture("sheet", "  ImageName=sheet.gif\r\n  FitMode=None\r\n  AnimColumns=4\r\n"
                                 "  AnimRows=2\r\n  AnimCount=6\r\n  AnimInterval=100\r\n  AnimRepCount=1\r\n"));
  auto calls = DrawAt(*slide, 250);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].PictureParams.MipLevel, 1); // 4000 x 3000 at 1000 x 750
  // The placement stays in full-size pixels; the drawer scales the level.
  ExpectPoint(calls[1].Placement.u, 1000, 0);
  EXPECT_EQ(calls[1].Picture.SourceRect, TFloatRect{});

  const TDrawCall& sheet = calls[2];
  EXPECT_EQ(sheet.PictureParams.MipLevel, 0);
  EXPECT_EQ(sheet.PictureParams.Columns, 4);
  EXPECT_EQ(sheet.PictureParams.Rows, 2);
  EXPECT_EQ(sheet.PictureParams.Frame, 2);
  EXPECT_EQ(sheet.Picture.SourceRect, (TFloatRect{200, 0, 300, 100}));
  ExpectPoint(sheet.Placement.u, 100, 0); // one cell is the base size

  // Frame 4 sits in the second row; after the one pass the last frame stays.
  calls = DrawAt(*slide, 450);
  EXPECT_EQ(calls[2].Picture.SourceRect, (TFloatRect{0, 100, 100, 200}));
  calls = DrawAt(*slide, 5000);
  EXPECT_EQ(calls[2].PictureParams.Frame, 5);
  EXPECT_EQ(calls[2].Picture.SourceRect, (TFloatRect{100, 100, 200, 200}));
}

TEST_F(ObjectDrawing, CropNarrowsBothTheSourceAndTheQuad) {
  m_host.AddPicture("pic.jpg", 200, 100);
  auto slide = MakeSlide(Picture("crop", "  ImageName=pic.jpg\r\n  FitMode=None\r\n  EnableCrop=1\r\n"
                                         "  CropRect=10,5,30,15,40,20\r\n  EnableBorder=1\r\n  BorderWidth=2\r\n"));
  const auto calls = DrawAt(*slide, 1000);
  ASSERT_EQ(calls.size(), 2u);
  // 10 ... 30 of 40 and 5 ... 15 of 20: the middle half of the picture.
  EXPECT_EQ(calls[1].Picture.SourceRect, (TFloatRect{50, 25, 150, 75}));
  ExpectPoint(calls[1].Placement.origin, 350, 275);
  ExpectPoint(calls[1].Placement.u, 100, 0);
  EXPECT_FLOAT_EQ(calls[1].PictureParams.BorderWidth, 2);
}

TEST_F(ObjectDrawing, OpacityIsHandedOnAndNothingShowsWhenHidden) {
  m_host.AddPicture("pic.jpg", 200, 100);
  auto slide = MakeSlide(Picture("faded", "  ImageName=pic.jpg\r\n", "    Opacity=40\r\n") +
                         Picture("clear", "  ImageName=pic.jpg\r\n", "    Opacity=0\r\n") +
                         Picture("late", "  ImageName=pic.jpg\r\n  DeltaTime1=500\r\n") +
                         Picture("back", "  ImageName=pic.jpg\r\n  HideMode=1\r\n", "    AngleY=180\r\n") +
                         Picture("missing", "  ImageName=none.jpg\r\n"));
  auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_FLOAT_EQ(calls[1].PictureParams.Opacity, 40);
  slide->SetOpacityFactor(50);
  calls = DrawAt(*slide, 100);
  EXPECT_FLOAT_EQ(calls[1].PictureParams.Opacity, 20);
  EXPECT_FLOAT_EQ(calls[0].BoxParams.Opacity, 50); // the background fades too
  slide->SetOpacityFactor(100);
  // Once DeltaTime1 has passed the late picture shows as well.
  calls = DrawAt(*slide, 600);
  EXPECT_EQ(m_drawer.OfKind("picture").size(), 2u);
}

TEST_F(ObjectDrawing, AFailingObjectLeavesTheFrameStanding) {
  m_host.AddPicture("pic.jpg", 200, 100);
  auto slide = MakeSlide(Picture("a", "  ImageName=pic.jpg\r\n") + "object b:box\r\n  Size=10,10\r\nend\r\n");
  m_drawer.FailPictures = true;
  const auto calls = DrawAt(*slide, 100);
  EXPECT_EQ(m_drawer.OfKind("box").size(), 2u); // background and the box
  EXPECT_EQ(m_drawer.OfKind("endscene").size(), 1u);
  // Drawn at most once per pass, and again in the next frame.
  m_drawer.FailPictures = false;
  m_drawer.Calls.clear();
  m_drawer.DrawItem(*slide);
  EXPECT_EQ(m_drawer.OfKind("picture").size(), 1u);
}

TEST_F(ObjectDrawing, BoxesAndFramesWithTheirFills) {
  auto slide = MakeSlide("object b:box\r\n  FitMode=None\r\n  Size=200,100\r\n  FillMode=VGradient\r\n"
                         "  Color1=255,0,0\r\n  Color2=0,0,255\r\n  Alpha2=100\r\nend\r\n"
                         "object f:frame\r\n  FitMode=None\r\n  Size=200,100\r\n  Color1=0,255,0\r\nend\r\n");
  const auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].Kind, "box");
  EXPECT_EQ(calls[1].BoxParams.Gradient, TGradientKind::Vertical);
  EXPECT_EQ(calls[1].BoxParams.Color1, (TRgba{255, 0, 0, 255}));
  EXPECT_EQ(calls[1].BoxParams.Color2, (TRgba{0, 0, 255, 100}));
  ExpectPoint(calls[1].Placement.origin, 300, 250);
  EXPECT_EQ(calls[2].Kind, "frame");
  EXPECT_EQ(calls[2].BoxParams.Gradient, TGradientKind::Solid);
  EXPECT_EQ(calls[2].BoxParams.Color1, (TRgba{0, 255, 0, 255}));
  // Bars a tenth of the shorter side thick, as fractions of each side.
  EXPECT_FLOAT_EQ(calls[2].FrameWidths[0], 0.05f);
  EXPECT_FLOAT_EQ(calls[2].FrameWidths[1], 0.1f);
  EXPECT_FLOAT_EQ(calls[2].FrameWidths[2], 0.05f);
  EXPECT_FLOAT_EQ(calls[2].FrameWidths[3], 0.1f);
}

TEST_F(ObjectDrawing, ViewportDrawsItsChildrenThroughItsMasks) {
  const auto maskStore = m_host.AddPicture("Mask: star.png", 100, 100);
  auto slide = MakeSlide("object vp:viewport\r\n  FitMode=None\r\n  Size=400,300\r\n"
                         "  object m:mask\r\n    ImageName=star.png\r\n    FitMode=None\r\n"
                         "    object k:keypoint\r\n      Opacity=80\r\n    end\r\n  end\r\n"
                         "  object inside:box\r\n    FitMode=None\r\n    Size=10,10\r\n  end\r\nend\r\n");
  const auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].Kind, "masked");
  ASSERT_EQ(calls[1].Masks.size(), 1u);
  const TMaskDraw& mask = calls[1].Masks[0];
  EXPECT_EQ(mask.Picture.Store, maskStore.Get());
  EXPECT_FLOAT_EQ(mask.Params.Opacity, 80);
  EXPECT_FALSE(mask.Params.Feathered);
  ExpectPoint(mask.Placement.origin, 350, 250);
  ExpectPoint(mask.Placement.u, 100, 0);
  // The content is drawn by the masked group, not beside it; the mask
  // itself is never drawn as a picture.
  EXPECT_EQ(calls[2].Kind, "box");
  EXPECT_EQ(calls[2].Depth, 1);
  EXPECT_TRUE(m_drawer.OfKind("picture").empty());
}

TEST_F(ObjectDrawing, ViewportWithoutShownMasksDrawsPlainly) {
  m_host.AddPicture("Mask: star.png", 100, 100);
  auto slide = MakeSlide("object vp:viewport\r\n  Size=400,300\r\n"
                         "  object m:mask\r\n    ImageName=star.png\r\n    DeltaTime1=3000\r\n  end\r\n"
                         "  object inside:box\r\n    Size=10,10\r\n  end\r\nend\r\n");
  const auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].Kind, "box");
  EXPECT_EQ(calls[1].Depth, 0);
}

TEST_F(ObjectDrawing, SolidAndGradientBackgroundsCoverTheSlideAndAMargin) {
  auto slide =
      MakeSlide("UsePersonal=1\r\nPers_Fon=1\r\nbstyle=3\r\nbcolorstyle=2\r\nbcolor1=255\r\nbcolor2=16711680\r\n");
  auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].BoxParams.Gradient, TGradientKind::Horizontal);
  EXPECT_EQ(calls[0].BoxParams.Color1, (TRgba{255, 0, 0, 255}));
  EXPECT_EQ(calls[0].BoxParams.Color2, (TRgba{0, 0, 255, 255}));
  ExpectPoint(calls[0].Placement.origin, -2, -2);
  ExpectPoint(calls[0].Placement.At(1, 1), 802, 602);

  auto solid = MakeSlide("UsePersonal=1\r\nPers_Fon=1\r\nbstyle=1\r\nbname=65280\r\n");
  calls = DrawAt(*solid, 100);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].BoxParams.Gradient, TGradientKind::Solid);
  EXPECT_EQ(calls[0].BoxParams.Color1, (TRgba{0, 255, 0, 255}));

  // A picture background whose picture is missing fills with its colour.
  auto missing = MakeSlide("UsePersonal=1\r\nPers_Fon=1\r\nbstyle=2\r\nbname=gone.jpg\r\n");
  calls = DrawAt(*missing, 100);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Kind, "box");
}

TEST_F(ObjectDrawing, PictureBackgroundTilesTheSlideExactly) {
  m_host.AddPicture("tile.jpg", 400, 300);
  auto slide = MakeSlide("UsePersonal=1\r\nPers_Fon=1\r\nbstyle=2\r\nbname=tile.jpg\r\nbsize=25\r\n");
  const auto calls = DrawAt(*slide, 100);
  // 200 x 150 tiles centred on the slide centre: 5 x 5 of them meet it.
  ASSERT_EQ(calls.size(), 25u);
  double area = 0;
  const TBitmap* bitmap = slide->BackgroundPicture().Bitmap();
  ASSERT_NE(bitmap, nullptr);
  for (const TDrawCall& call : calls) {
    ASSERT_EQ(call.Kind, "picture");
    EXPECT_EQ(call.Picture.Bitmap.get(), bitmap);
    EXPECT_EQ(call.Picture.Store, nullptr);
    const TFloatRect& source = call.Picture.SourceRect;
    EXPECT_GE(source.left, 0);
    EXPECT_GE(source.top, 0);
    EXPECT_LE(source.right, 200);
    EXPECT_LE(source.bottom, 150);
    // One picture pixel per slide pixel.
    EXPECT_NEAR(call.Placement.u.x, source.right - source.left, 1e-3);
    EXPECT_NEAR(call.Placement.v.y, source.bottom - source.top, 1e-3);
    EXPECT_GE(call.Placement.origin.x, -1e-3);
    EXPECT_LE(call.Placement.At(1, 1).x, 800 + 1e-3);
    area += call.Placement.u.x * call.Placement.v.y;
  }
  EXPECT_NEAR(area, 800.0 * 600.0, 1e-2);
  // The top-left tile is the bottom-right part of the picture.
  EXPECT_EQ(calls[0].Picture.SourceRect, (TFloatRect{100, 75, 200, 150}));
  ExpectPoint(calls[0].Placement.origin, 0, 0);
}

TEST_F(ObjectDrawing, DropShadowIsDrawnFirstAtItsOffset) {
  m_host.AddPicture("pic.jpg", 200, 100);
  auto slide = MakeSlide(Picture("pic", "  ImageName=pic.jpg\r\n  FitMode=None\r\n  ShadowEnable=1\r\n"
                                        "  ShadowAngle=0\r\n  ShadowDistance=2\r\n  ShadowColor=10,20,30\r\n"));
  auto& picture = dynamic_cast<TVmoImage&>(Find(*slide, "pic"));
  const TShadowNameParams request = picture.ShadowRequest();
  EXPECT_EQ(request.Width, 200);
  EXPECT_EQ(request.Height, 100);
  EXPECT_EQ(request.Source, "pic.jpg");
  EXPECT_EQ(request.Red, 10);
  EXPECT_EQ(request.Blue, 30);
  const std::string name = ComposeShadowName(request);
  EXPECT_EQ(m_host.Opens[name], 1);

  // The host makes the picture: the object plus a blur border of 10 pixels.
  const auto shadow = m_host.AddPicture(name, 220, 120);
  slide->PrepareResources();
  const auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].Picture.Store, shadow.Get());
  EXPECT_EQ(calls[2].Kind, "picture");
  // Offset d = sqrt(1 x 1) x 2 x sqrt(200 x 100) / 100 along the angle 0,
  // then back by the blur border.
  const double d = 2 * std::sqrt(20000.0) / 100;
  ExpectPoint(calls[1].Placement.origin, 300 + d - 10, 250 - 10);
  ExpectPoint(calls[1].Placement.u, 220, 0);
  ExpectPoint(calls[1].Placement.v, 0, 120);
  // Opened once; unchanged settings ask for nothing new.
  slide->PrepareResources();
  EXPECT_EQ(m_host.Opens[name], 2);
}

TEST_F(ObjectDrawing, ShapeShadowOfABoxStepsPerPixelOfItsScaledShape) {
  auto slide = MakeSlide("object b:box\r\n  FitMode=None\r\n  Size=400,100\r\n  ShadowEnable=1\r\n"
                         "  ShadowDistance=0\r\nend\r\n");
  const TShadowNameParams request = ShapeShadowParams(Find(*slide, "b"), 8, 255, 255);
  // Scaled to 40000 pixels: 400 x 100 becomes 400 x 100 (already there).
  EXPECT_EQ(request.Width, 400);
  EXPECT_EQ(request.Height, 100);
  EXPECT_TRUE(request.IsShape());
  const std::string name = ComposeShadowName(request);
  ASSERT_EQ(m_host.Opens[name], 1);
  m_host.AddPicture(name, 420, 120);
  slide->PrepareResources();
  const auto calls = DrawAt(*slide, 100);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].Kind, "picture");
  ExpectPoint(calls[1].Placement.origin, 190, 240);
  ExpectPoint(calls[1].Placement.u, 420, 0);
  EXPECT_EQ(calls[2].Kind, "box");
}

} // namespace qx
