#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"

#include "Tests/QxLib/Graphics/PictureTestSupport.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include "VmoLib2/3DEngine/qxVertexBuffer.h"

#include <cmath>

namespace qx::test {
namespace {

using Screen = ScreenTest;

TEST_F(Screen, AssigningTheSameOutputTwiceKeepsTheRenderer) {
  Begin();
  Finish();
  T3DRenderer* first = m_screen->Renderer();
  ASSERT_NE(first, nullptr);
  m_screen->AssignDevice(m_device.get());
  EXPECT_EQ(m_screen->Renderer(), first);
  EXPECT_TRUE(m_log->Has("T3DScreen.AssignDevice, bounds= (0, 0, 400, 300)"));
  EXPECT_TRUE(m_log->Has("T3DScreen.AssignDevice, Exit By Same FullScreen Or Same Windowed"));
  EXPECT_EQ(m_released, 0);
  EXPECT_EQ(m_ready, 1);
}

TEST_F(Screen, ResizedOutputRebuildsTheRendererOnTheNextFrame) {
  Begin();
  Finish();
  m_device->SetBounds({0, 0, 200, 100});
  Begin();
  EXPECT_TRUE(m_log->Has("T3DScreen.BeginScene, R= (0, 0, 200, 100)"));
  EXPECT_EQ(m_released, 1);
  EXPECT_EQ(m_ready, 2);
  const TBitmap frame = Finish();
  EXPECT_EQ(frame.Width(), 200);
  EXPECT_EQ(frame.Height(), 100);
  EXPECT_TRUE(m_screen->WindowedChange());
}

TEST_F(Screen, SwitchingToFullScreenRebuildsEveryTexture) {
  const auto picture = NoisePicture(32, 32, 5);
  TBitmapTexture texture(*m_screen, *picture);
  Begin();
  m_screen->DrawTexture(texture, {0, 0, 32, 32}, TPlacement::Flat({0, 0, 32, 32}));
  Finish();
  EXPECT_EQ(texture.fills, 1);
  m_device->SetFullScreen(true);
  Begin();
  EXPECT_FALSE(texture.HasDeviceTexture());
  // Off-screen, full screen is the whole display of the engine.
  EXPECT_EQ(m_screen->ScreenRect(), (T3DRect{0, 0, 1920, 1080}));
  EXPECT_FALSE(m_screen->WindowedChange());
  m_screen->DrawTexture(texture, {0, 0, 32, 32}, TPlacement::Flat({0, 0, 32, 32}));
  const TBitmap frame = Finish();
  EXPECT_EQ(texture.fills, 2);
  EXPECT_EQ(frame.Width(), 1920);
  EXPECT_TRUE(frame.GetPixel(31, 31) == picture->GetPixel(31, 31));
}

TEST_F(Screen, NullDeviceIsAnAssertion) {
  const test::TMutedDebugOutput muted;
  EXPECT_THROW(m_screen->AssignDevice(nullptr), EAssertionFailed);
}

TEST_F(Screen, DestroyedDrawDeviceLeavesTheScreenWithoutRenderer) {
  Begin();
  Finish();
  m_device.reset();
  EXPECT_EQ(m_screen->Renderer(), nullptr);
  EXPECT_FALSE(m_screen->BeginScene());
}

TEST_F(Screen, LostDeviceIsRebuiltOnTheNextFrameWithEveryTextureRestored) {
  const auto picture = NoisePicture(64, 40, 7);
  TBitmapTexture texture(*m_screen, *picture);
  const auto draw = [&] {
    Begin();
    m_screen->DrawTexture(texture, {0, 0, 64, 40}, TPlacement::Flat({10, 20, 74, 60}));
    return Finish();
  };
  const TBitmap before = draw();
  EXPECT_EQ(texture.fills, 1);
  EXPECT_TRUE(before.GetPixel(10, 20) == picture->GetPixel(0, 0));

  SimulateDeviceLoss(*m_device);
  EXPECT_FALSE(m_screen->BeginScene()) << "the frame that meets the loss is skipped";
  EXPECT_FALSE(texture.HasDeviceTexture());
  const TBitmap after = draw();
  EXPECT_EQ(m_released, 1);
  EXPECT_EQ(m_ready, 2);
  EXPECT_EQ(texture.fills, 2);
  EXPECT_EQ(MaxDifference(before, after, {0, 0, kWidth, kHeight}).value, 0);
}

TEST_F(Screen, FlatQuadCoversItsPixelsExactly) {
  const auto picture = std::make_shared<TBitmap>(8, 8, TPixelFormat::Bgra32);
  picture->Fill({0, 0, 255, 255});
  TBitmapTexture texture(*m_screen, *picture);
  Begin();
  m_screen->DrawTexture(texture, {0, 0, 8, 8}, TPlacement::Flat({100, 50, 180, 90}));
  const TBitmap frame = Finish();
  EXPECT_EQ(frame.GetPixel(100, 50).r, 255);
  EXPECT_EQ(frame.GetPixel(179, 89).r, 255);
  EXPECT_EQ(frame.GetPixel(99, 50).r, 0);
  EXPECT_EQ(frame.GetPixel(180, 89).r, 0);
  EXPECT_EQ(frame.GetPixel(179, 90).r, 0);
}

// Finds the columns of `row` that are lit.
std::pair<int, int> LitSpan(const TBitmap& frame, int row) {
  int first = -1;
  int last = -1;
  for (int x = 0; x < frame.Width(); ++x) {
    if (frame.GetPixel(x, row).r > 127) {
      first = first < 0 ? x : first;
      last = x;
    }
  }
  return {first, last};
}

TEST_F(Screen, DeepAndTurnedQuadsLandWhereTheCameraPutsThem) {
  const auto picture = std::make_shared<TBitmap>(8, 8, TPixelFormat::Bgra32);
  picture->Fill({0, 0, 255, 255});
  TBitmapTexture texture(*m_screen, *picture);
  // One screen height deep: half size about the centre.
  Begin();
  m_screen->DrawTexture(texture, {0, 0, 8, 8}, {{100, 50, 300}, {200, 0, 0}, {0, 200, 0}});
  TBitmap frame = Finish();
  EXPECT_EQ(LitSpan(frame, 150), std::make_pair(150, 249));
  EXPECT_EQ(frame.GetPixel(200, 99).r, 0);
  EXPECT_EQ(frame.GetPixel(200, 100).r, 255);
  EXPECT_EQ(frame.GetPixel(200, 199).r, 255);
  EXPECT_EQ(frame.GetPixel(200, 200).r, 0);

  // Turned 60 degrees about the vertical axis: the far edge is shorter.
  const double angle = M_PI / 3;
  const TPlacement turned{{100, 50, 0}, {200 * std::cos(angle), 0, 200 * std::sin(angle)}, {0, 200, 0}};
  Begin();
  m_screen->DrawTexture(texture, {0, 0, 8, 8}, turned);
  frame = Finish();
  const T3DPoint camera = m_screen->Camera();
  EXPECT_EQ(camera, (T3DPoint{200, 150, -300}));
  const T3DPoint nearTop = ProjectToScreen(camera, turned.At(0, 0));
  const T3DPoint farTop = ProjectToScreen(camera, turned.At(1, 0));
  const T3DPoint farBottom = ProjectToScreen(camera, turned.At(1, 1));
  EXPECT_LT(farBottom.y - farTop.y, 200 - 1);
  const auto [first, last] = LitSpan(frame, 150);
  EXPECT_NEAR(first, nearTop.x, 1.0);
  EXPECT_NEAR(last + 1, farTop.x, 1.0);
  // The far edge's top and bottom.
  const int farColumn = static_cast<int>(farTop.x) - 2;
  EXPECT_EQ(frame.GetPixel(farColumn, static_cast<int>(std::ceil(farTop.y)) + 2).r, 255);
  EXPECT_EQ(frame.GetPixel(farColumn, static_cast<int>(std::floor(farTop.y)) - 3).r, 0);
  EXPECT_EQ(frame.GetPixel(farColumn, static_cast<int>(std::floor(farBottom.y)) - 2).r, 255);
  EXPECT_EQ(frame.GetPixel(farColumn, static_cast<int>(std::ceil(farBottom.y)) + 3).r, 0);
  // ToPixels agrees with the camera on the whole screen.
  const TFloatPoint pixel = m_screen->ToPixels(turned.At(1, 1));
  EXPECT_NEAR(pixel.x, farBottom.x, 1e-9);
  EXPECT_NEAR(pixel.y, farBottom.y, 1e-9);
}

TEST_F(Screen, LogicalViewportScalesOntoTheScreen) {
  const auto picture = std::make_shared<TBitmap>(8, 8, TPixelFormat::Bgra32);
  picture->Fill({0, 0, 255, 255});
  TBitmapTexture texture(*m_screen, *picture);
  Begin();
  // A 200 x 150 design seen whole on the 400 x 300 screen: twice as large.
  m_screen->SetProjection(0, 0, 200, 150, 200, 150);
  m_screen->DrawTexture(texture, {0, 0, 8, 8}, TPlacement::Flat({50, 25, 100, 75}));
  const TBitmap frame = Finish();
  EXPECT_EQ(LitSpan(frame, 100), std::make_pair(100, 199));
  EXPECT_EQ(frame.GetPixel(150, 49).r, 0);
  EXPECT_EQ(frame.GetPixel(150, 50).r, 255);
}

TEST_F(Screen, PushedTargetReceivesDrawingAtItsOffset) {
  const auto picture = std::make_shared<TBitmap>(8, 8, TPixelFormat::Bgra32);
  picture->Fill({0, 255, 0, 255});
  TBitmapTexture texture(*m_screen, *picture);
  TBitmapTexture target(*m_screen, *picture);
  target.SetKind(T3DTextureKind::RenderTargetArgb);
  target.SetSize(64, 64);
  Begin();
  ASSERT_TRUE(m_screen->PushRenderTarget(target, 100, 50));
  EXPECT_EQ(m_screen->CurrentTargetRect(), (T3DRect{100, 50, 164, 114}));
  m_screen->Clear(MakeColor(0, 0, 255), false);
  m_screen->DrawTexture(texture, {0, 0, 8, 8}, TPlacement::Flat({110, 60, 120, 70}));
  m_screen->PopRenderTarget();
  m_screen->PopRenderTarget(); // the screen's own entry stays
  EXPECT_EQ(m_screen->CurrentTargetRect(), (T3DRect{0, 0, kWidth, kHeight}));
  const TBitmap frame = Finish();
  EXPECT_EQ(frame.GetPixel(110, 60).g, 0) << "the screen got the target's drawing";

  TBitmap rendered;
  ASSERT_TRUE(target.DeviceTexture()->SurfaceLevel(0)->CopyToBitmap(rendered));
  EXPECT_TRUE(rendered.GetPixel(10, 10) == (TBgra{0, 255, 0, 255}));
  EXPECT_TRUE(rendered.GetPixel(19, 19) == (TBgra{0, 255, 0, 255}));
  EXPECT_TRUE(rendered.GetPixel(9, 10) == (TBgra{255, 0, 0, 255}));
  EXPECT_TRUE(rendered.GetPixel(20, 19) == (TBgra{255, 0, 0, 255}));
}

TEST_F(Screen, QuadsOfOneTextureGoOutInOneDraw) {
  const auto picture = NoisePicture(16, 16, 3);
  TBitmapTexture texture(*m_screen, *picture);
  TBitmapTexture other(*m_screen, *picture);
  Begin();
  TVertexBuffer& batch = m_screen->Batch();
  const uint64_t start = batch.DrawCount();
  for (int i = 0; i < 100; ++i) {
    m_screen->DrawTexture(texture, {0, 0, 16, 16}, TPlacement::Flat({double(i), 0, double(i + 16), 16}));
  }
  EXPECT_EQ(batch.DrawCount(), start);
  EXPECT_EQ(batch.TriangleCount(), 200);
  m_screen->DrawTexture(other, {0, 0, 16, 16}, TPlacement::Flat({0, 100, 16, 116}));
  EXPECT_EQ(batch.DrawCount(), start + 1) << "a texture change flushes";
  // More triangles than the buffer holds: flushed when full, then goes on.
  for (int i = 0; i < batch.Capacity() / 2; ++i) {
    m_screen->DrawTexture(other, {0, 0, 16, 16}, TPlacement::Flat({0, 100, 16, 116}));
  }
  EXPECT_EQ(batch.DrawCount(), start + 2);
  const TBitmap frame = Finish();
  EXPECT_EQ(batch.DrawCount(), start + 3);
  EXPECT_EQ(batch.TriangleCount(), 0);
  EXPECT_TRUE(frame.GetPixel(0, 100) == picture->GetPixel(0, 0));
}

} // namespace
} // namespace qx::test
