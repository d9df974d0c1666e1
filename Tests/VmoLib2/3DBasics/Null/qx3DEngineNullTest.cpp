// The null engine behaves like a device that draws nothing: the drawer runs
// every path on it, its objects check their arguments and lose their
// device like real ones, and frames read back black.
#include "VmoLib2/3DBasics/Null/qx3DEngineNull.h"

#include "QxLib/qxLog.h"
#include "Tests/VmoLib2/3DEngine/qxFunctionItem.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"
#include "VmoLib2/3DBasics/qxDisplays.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"

#include <gtest/gtest.h>

#include <memory>

namespace qx {
namespace {

using test::TFunctionItem;

class NullEngine : public testing::Test {
protected:
  void SetUp() override {
    m_engine = k3DEngineNullDriver.create(nullptr);
    T3DRendererParams params;
    params.bounds = m_device.Bounds();
    m_renderer = m_engine->CreateRenderer(m_device, params);
    ASSERT_NE(m_renderer, nullptr);
  }

  TDrawDevice m_device{T3DRect{0, 0, 64, 48}};
  std::unique_ptr<T3DEngine> m_engine;
  std::unique_ptr<T3DRenderer> m_renderer;
};

TEST_F(NullEngine, OffScreenItHasOneUnpacedDisplayAndEveryShader) {
  T3DDisplayMode mode;
  ASSERT_TRUE(m_engine->DisplayMode(0, mode));
  EXPECT_EQ(mode.width, 1920);
  EXPECT_EQ(mode.height, 1080);
  EXPECT_EQ(mode.refreshRate, 0);
  EXPECT_FALSE(m_engine->DisplayMode(1, mode));
  EXPECT_EQ(m_engine->LastResult(), T3DResult::InvalidCall);
  EXPECT_EQ(m_engine->AdapterForRect({5000, 5000, 5100, 5100}), 0);
  EXPECT_EQ(m_engine->ShaderLevel(0), 2);
  EXPECT_EQ(m_engine->Caps("maxtexwidth", 0), 8192);
  EXPECT_EQ(m_engine->Caps("Unknown", 0), 0);
  EXPECT_FALSE(k3DEngineNullDriver.draws);
}

TEST_F(NullEngine, ObjectsCheckTheirArgumentsLikeADrawingDevice) {
  EXPECT_EQ(m_renderer->CreateTexture(T3DTextureKind::Argb, 0, 16, false), nullptr);
  EXPECT_EQ(m_renderer->LastResult(), T3DResult::InvalidCall);
  auto texture = m_renderer->CreateTexture(T3DTextureKind::Argb, 64, 32, true);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->LevelCount(), 7);
  T3DSurface* level = texture->SurfaceLevel(1);
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->Width(), 32);
  EXPECT_EQ(texture->SurfaceLevel(7), nullptr);
  const T3DRect outside{0, 0, 33, 16};
  EXPECT_EQ(level->Lock(&outside, T3DLockMode::Discard), nullptr);
  TBitmap* rows = level->Lock(nullptr, T3DLockMode::Discard);
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->Width(), 32);
  EXPECT_EQ(level->Lock(nullptr, T3DLockMode::ReadOnly), nullptr);
  EXPECT_TRUE(level->Unlock());
  EXPECT_FALSE(level->Unlock());
  // A sampled texture is no render target.
  EXPECT_FALSE(m_renderer->SetRenderTarget(level));
  EXPECT_EQ(m_renderer->LastResult(), T3DResult::InvalidCall);
  auto list = m_renderer->CreateVertexList(6, kVertexDiffuse, 1);
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->SetPrimitive(T3DPrimitive::TriangleList, 2, 2));
  EXPECT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleList, 0, 2));
  T3DTexture* stages[] = {texture.get()};
  EXPECT_TRUE(m_renderer->DrawVertexList(stages, kDrawTextured, *list));
  EXPECT_EQ(m_renderer->SetPixelShader(0), false);
  const int shader = m_renderer->CreatePixelShader({TPixelShaderKind::Sharpen});
  EXPECT_TRUE(m_renderer->SetPixelShader(shader));
}

TEST_F(NullEngine, ALostDeviceDropsEverythingOnItAndANewRendererWorks) {
  auto texture = m_renderer->CreateTexture(T3DTextureKind::Argb, 16, 16, false);
  ASSERT_NE(texture, nullptr);
  int killed = 0;
  m_renderer->SetDeviceKilledCallback([&] { ++killed; });
  texture->SetDeviceKilledCallback([&] { ++killed; });
  SimulateDeviceLoss(m_device);
  EXPECT_FALSE(m_renderer->BeginScene());
  EXPECT_EQ(m_renderer->LastResult(), T3DResult::DeviceLost);
  EXPECT_EQ(killed, 2);
  EXPECT_EQ(texture->SurfaceLevel(0), nullptr);
  T3DRendererParams params;
  params.bounds = m_device.Bounds();
  auto again = m_engine->CreateRenderer(m_device, params);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->BeginScene());
}

TEST_F(NullEngine, TheDrawerDrawsAFrameOfEveryKindAndReadsItBackBlack) {
  m_renderer.reset();
  TDrawDevice device({0, 0, 320, 200});
  T3DDrawer drawer(*m_engine);
  drawer.SetDrawCallback([](TDrawPhase, TDrawItem&) {});
  drawer.SetNoPresent(true);
  drawer.Init(device);
  ASSERT_TRUE(drawer.Ready());
  auto picture = std::make_shared<TBitmap>(40, 30, TPixelFormat::Bgra32);
  picture->Fill(TBgra{255, 255, 255, 255});
  TPictureSource source;
  source.Bitmap = picture;
  const TPlacement placement = TPlacement::Flat({10, 10, 200, 150});
  TFunctionItem content([&](TDeviceDrawer& d) { d.DrawPicture(source, placement, {}); });
  TFunctionItem frame([&](TDeviceDrawer& d) {
    d.ClearScreen(MakeColor(255, 255, 255), false);
    d.DrawPicture(source, placement, {});
    TBoxDrawParams box;
    box.Color1 = {255, 0, 0, 255};
    d.DrawBox(placement, box);
    const TMaskDraw masks[] = {{source, placement, {}}};
    d.DrawMaskedGroup(content, masks, nullptr);
    d.BeginSharpening();
    d.DrawPicture(source, placement, {});
    d.EndSharpening(10, 50);
    auto video = d.MakeYUVImage(32, 16);
    ASSERT_TRUE(video);
    d.DrawVideo(*video, placement, {});
  });
  drawer.DrawItem(frame);
  TBitmap back;
  ASSERT_TRUE(drawer.ReadBack(back));
  EXPECT_EQ(back.Width(), 320);
  EXPECT_EQ(back.Height(), 200);
  EXPECT_EQ(back.GetPixel(100, 100), (TBgra{0, 0, 0, 0}));
}

} // namespace
} // namespace qx
