#include "VmoLib2/3DEngine/qxD3DEffecter.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"

#include <stdexcept>

namespace qx::test {
namespace {

constexpr TBgra kClear{0, 0, 0, 255};

class EffecterTest : public ScreenTest {
protected:
  // Reads target `index` back.
  TBitmap ReadTarget(TRenderTargetD3DEffecter& effecter, int index) {
    TBitmap bits;
    T3DTexture* texture = effecter.Target(index).DeviceTexture();
    EXPECT_NE(texture, nullptr);
    if (texture) {
      EXPECT_TRUE(texture->SurfaceLevel(0)->CopyToBitmap(bits));
    }
    // Opaque targets keep no alpha: compare colours only.
    for (int y = 0; y < bits.Height(); ++y) {
      for (int x = 0; x < bits.Width(); ++x) {
        bits.Scanline(y)[4 * x + 3] = 255;
      }
    }
    return bits;
  }
  // Draws `picture` at (0, 0) in its own size.
  void DrawPicture(const TBitmap& picture) {
    TBitmapTexture texture(*m_screen, picture);
    m_screen->DrawTexture(texture, {0, 0, double(picture.Width()), double(picture.Height())},
                          TPlacement::Flat({0, 0, double(picture.Width()), double(picture.Height())}));
    m_screen->FlushBatch();
  }
};

TEST_F(EffecterTest, UseBeforeInitIsAnAssertion) {
  TRenderTargetD3DEffecter effecter(*m_screen);
  try {
    effecter.RenderSlide(false, [] {});
    FAIL() << "rendered without targets";
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("Effecter not Inited"), std::string::npos);
  }
  EXPECT_THROW(effecter.RenderRealSlide([] {}), EAssertionFailed);
  EXPECT_THROW(effecter.Target(0), EAssertionFailed);
  effecter.Init({});
  EXPECT_FALSE(effecter.Inited());
}

TEST_F(EffecterTest, InitMakesPowerOfTwoTargetsAndOneCellOverTheArea) {
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 300, 200});
  ASSERT_TRUE(effecter.Inited());
  EXPECT_EQ(effecter.Target(1).TextureWidth(), 512);
  EXPECT_EQ(effecter.Target(1).TextureHeight(), 256);
  EXPECT_THROW(effecter.Target(2), EAssertionFailed);
  TEffController& controller = effecter.Controller();
  ASSERT_EQ(controller.Columns(), 1);
  ASSERT_EQ(controller.Rows(), 1);
  EXPECT_EQ(controller.CellRect(0, 0), (TFloatRect{0, 0, 300, 200}));
  TCustomTexture* before = &effecter.Target(0);
  effecter.Resize({0, 0, 300, 200});
  EXPECT_EQ(&effecter.Target(0), before);
  effecter.Release();
  EXPECT_FALSE(effecter.Inited());
}

TEST_F(EffecterTest, PaddingRepeatsTheLastDrawnColumnAndRow) {
  // Taller and wider than a strip, so the copies take several pieces.
  MakeScreen(640, 360);
  const auto picture = NoisePicture(600, 300, 7);
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 600, 300});
  Begin();
  effecter.RenderSlide(true, [&] { DrawPicture(*picture); });
  const TBitmap target = ReadTarget(effecter, 0);
  Finish();
  ASSERT_EQ(target.Width(), 1024);
  ASSERT_EQ(target.Height(), 512);
  for (int y = 0; y < 300; ++y) {
    ASSERT_TRUE(Near(target.GetPixel(600, y), target.GetPixel(599, y), 0)) << "row " << y;
  }
  for (int x = 0; x <= 600; ++x) {
    ASSERT_TRUE(Near(target.GetPixel(x, 300), target.GetPixel(x, 299), 0)) << "column " << x;
  }
  // The picture itself is untouched and the rest keeps the clear colour.
  EXPECT_TRUE(Near(target.GetPixel(599, 299), picture->GetPixel(599, 299), 0));
  EXPECT_TRUE(Near(target.GetPixel(601, 10), kClear, 0));
  EXPECT_TRUE(Near(target.GetPixel(10, 301), kClear, 0));
}

TEST_F(EffecterTest, WithoutPaddingTheClearColourFollowsTheSlide) {
  const auto picture = NoisePicture(300, 200, 3);
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 300, 200});
  Begin();
  effecter.RenderSlide(false, [&] { DrawPicture(*picture); });
  const TBitmap target = ReadTarget(effecter, 0);
  Finish();
  EXPECT_TRUE(Near(target.GetPixel(300, 50), kClear, 0));
  EXPECT_TRUE(Near(target.GetPixel(50, 200), kClear, 0));
}

TEST_F(EffecterTest, PaddingFollowsTheClipRectangle) {
  const auto picture = NoisePicture(300, 200, 5);
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 300, 200});
  effecter.SetClipRect({0, 0, 120, 80});
  Begin();
  effecter.RenderSlide(true, [&] { DrawPicture(*picture); });
  const TBitmap target = ReadTarget(effecter, 0);
  Finish();
  EXPECT_TRUE(Near(target.GetPixel(120, 40), target.GetPixel(119, 40), 0));
  EXPECT_TRUE(Near(target.GetPixel(60, 80), target.GetPixel(60, 79), 0));
}

TEST_F(EffecterTest, RealSlidesAlternateTargetsClearedGreenAndBlue) {
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 300, 200});
  Begin();
  int drawn = 0;
  effecter.RenderRealSlide([&] { ++drawn; });
  EXPECT_EQ(effecter.CurrentIndex(), 1);
  effecter.RenderRealSlide([&] { ++drawn; });
  EXPECT_EQ(effecter.CurrentIndex(), 0);
  const TBitmap first = ReadTarget(effecter, 0);
  const TBitmap second = ReadTarget(effecter, 1);
  Finish();
  EXPECT_EQ(drawn, 2);
  EXPECT_TRUE(Near(first.GetPixel(10, 10), TBgra{0, 255, 0, 255}, 0));
  EXPECT_TRUE(Near(second.GetPixel(10, 10), TBgra{255, 0, 0, 255}, 0));
}

TEST_F(EffecterTest, ADrawingFailureLeavesTheTarget) {
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 300, 200});
  Begin();
  EXPECT_THROW(effecter.RenderSlide(true, [] { throw std::runtime_error("slide failed"); }), std::runtime_error);
  EXPECT_FALSE(m_screen->HasPushedTarget());
  Finish();
}

TEST_F(EffecterTest, TheCellDrawsTheRenderedSlideWithVertexAlpha) {
  TBitmap red(300, 200, TPixelFormat::Bgra32);
  red.Fill(TBgra{0, 0, 255, 255});
  TRenderTargetD3DEffecter effecter(*m_screen);
  effecter.Init({0, 0, 300, 200});
  Begin();
  auto& controller = static_cast<TD3DTriController&>(effecter.RenderSlide(false, [&] { DrawPicture(red); }));
  TD3DTriTile& cell = controller.Cell();
  cell.Begin(true, true);
  cell.AddAlphaTriangle({10, 10, 255}, {110, 10, 255}, {10, 110, 255});
  cell.AddAlphaTriangle({150, 10, 128}, {250, 10, 128}, {150, 110, 128});
  cell.AddColorTriangle({T3DPoint{10, 150, 0}, {110, 150, 0}, {10, 190, 0}},
                        {MakeColor(0, 255, 0), MakeColor(0, 255, 0), MakeColor(0, 255, 0)});
  cell.AddTexturedTriangle({TEffTexVertex{{200, 120, 0}, {5, 5}, 100}, TEffTexVertex{{290, 120, 0}, {5, 5}, 100},
                            TEffTexVertex{{200, 190, 0}, {5, 5}, 100}});
  cell.End();
  const TBitmap frame = Finish();
  EXPECT_TRUE(Near(frame.GetPixel(20, 20), TBgra{0, 0, 255, 255}, 0));
  TBgra half = frame.GetPixel(160, 20);
  half.a = 255; // the frame's alpha is blended as well
  EXPECT_TRUE(Near(half, TBgra{0, 0, 128, 255}, 1));
  EXPECT_TRUE(Near(frame.GetPixel(20, 160), TBgra{0, 255, 0, 255}, 0));
  // Grey level 100 times red.
  EXPECT_TRUE(Near(frame.GetPixel(210, 130), TBgra{0, 0, 100, 255}, 1));
  // Outside every triangle the black clear shows.
  EXPECT_TRUE(Near(frame.GetPixel(100, 100), TBgra{0, 0, 0, 255}, 0));
}

} // namespace
} // namespace qx::test
