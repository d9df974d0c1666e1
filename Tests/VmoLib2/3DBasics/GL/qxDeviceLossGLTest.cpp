#include "QxLib/qxLog.h"
#include "QxLib/qxMemoryStream.h"
#include "Tests/TestSupport/qxTestEngines.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qx {
namespace {

// An owner in the way the screen keeps its device objects: it makes the
// renderer when it has none, restores its texture after a loss, and
// notes the order of the device-killed callbacks.
struct TOwner {
  TDrawDevice device{T3DRect{0, 0, 32, 32}};
  std::unique_ptr<T3DRenderer> renderer;
  std::unique_ptr<T3DTexture> texture;
  std::unique_ptr<T3DVertexList> quad;
  std::vector<std::string> killed;
  int frames = 0;

  bool EnsureDevice() {
    if (!renderer) {
      T3DRendererParams params;
      params.bounds = device.Bounds();
      renderer = test::SharedGLEngine()->CreateRenderer(device, params);
      if (!renderer) {
        return false;
      }
      renderer->SetDeviceKilledCallback([this] {
        killed.push_back("renderer");
        renderer.reset(); // the next frame makes a new one
      });
    }
    if (!texture) {
      texture = renderer->CreateTexture(T3DTextureKind::Argb, 4, 4, false);
      TBitmap* rows = texture->SurfaceLevel(0)->Lock(nullptr, T3DLockMode::Discard);
      rows->Fill(TBgra{0, 0, 255, 255});
      texture->SurfaceLevel(0)->Unlock();
      texture->SetDeviceKilledCallback([this] {
        killed.push_back("texture");
        texture.reset();
      });
    }
    if (!quad) {
      quad = renderer->CreateVertexList(4, 0, 1);
      std::vector<T3DVertex> v(4);
      const float xy[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
      for (int i = 0; i < 4; ++i) {
        v[i].x = xy[i][0];
        v[i].y = xy[i][1];
        v[i].uv[0] = {(xy[i][0] + 1) / 2, (1 - xy[i][1]) / 2};
      }
      quad->Fill(0, v, 4, 0);
      quad->SetPrimitive(T3DPrimitive::TriangleStrip, 0, 2);
      quad->SetDeviceKilledCallback([this] {
        killed.push_back("list");
        quad.reset();
      });
    }
    return true;
  }

  // One frame; false when nothing could be drawn.
  bool Frame() {
    ++frames;
    if (!EnsureDevice() || !renderer->BeginScene()) {
      return false;
    }
    renderer->Clear({}, kClearTarget, 0, 1);
    T3DTexture* textures[] = {texture.get()};
    const bool drawn = renderer->DrawVertexList(textures, kDrawTextured, *quad);
    renderer->EndScene();
    return drawn && renderer->Present(nullptr, nullptr);
  }

  TBgra Centre() {
    TBitmap frame;
    renderer->BackBuffer()->CopyToBitmap(frame);
    return frame.GetPixel(16, 16);
  }
};

class DeviceLossGL : public testing::Test {
protected:
  void SetUp() override { ASSERT_NE(test::SharedGLEngine(), nullptr); }
};

TEST_F(DeviceLossGL, LossDropsEverythingAndTheNextFrameRebuildsIt) {
  TOwner owner;
  ASSERT_TRUE(owner.Frame());
  EXPECT_EQ(owner.Centre(), (TBgra{0, 0, 255, 255}));
  T3DDevStore* store = owner.renderer->Store();
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Count(T3DDevStore::TList::Textures), 1u);

  SimulateDeviceLoss(owner.device);
  EXPECT_FALSE(owner.Frame());
  // Renderers first, then textures, then vertex lists.
  EXPECT_EQ(owner.killed, (std::vector<std::string>{"renderer", "texture", "list"}));
  EXPECT_EQ(owner.renderer, nullptr);
  EXPECT_EQ(owner.device.FindAttached<T3DDevStore>(), nullptr);

  ASSERT_TRUE(owner.Frame());
  EXPECT_EQ(owner.Centre(), (TBgra{0, 0, 255, 255}));
  EXPECT_NE(owner.device.FindAttached<T3DDevStore>(), nullptr);
}

TEST_F(DeviceLossGL, ObjectsKeptAfterALossAnswerDeviceLost) {
  TOwner owner;
  ASSERT_TRUE(owner.EnsureDevice());
  // Keep the objects: no callbacks.
  for (T3DObject* object :
       std::initializer_list<T3DObject*>{owner.renderer.get(), owner.texture.get(), owner.quad.get()}) {
    object->SetDeviceKilledCallback(nullptr);
  }
  T3DSurface* surface = owner.texture->SurfaceLevel(0);
  SimulateDeviceLoss(owner.device);
  EXPECT_FALSE(owner.renderer->BeginScene());
  EXPECT_EQ(owner.renderer->LastResult(), T3DResult::DeviceLost);
  EXPECT_FALSE(owner.renderer->IsReady());
  EXPECT_EQ(owner.renderer->Store(), nullptr);

  EXPECT_FALSE(owner.renderer->BeginScene());
  EXPECT_EQ(owner.renderer->CreateTexture(T3DTextureKind::Argb, 4, 4, false), nullptr);
  EXPECT_EQ(owner.texture->SurfaceLevel(0), nullptr);
  EXPECT_EQ(owner.texture->LastResult(), T3DResult::DeviceLost);
  TBitmap bitmap;
  EXPECT_FALSE(surface->CopyToBitmap(bitmap));
  EXPECT_EQ(surface->Lock(nullptr, T3DLockMode::ReadOnly), nullptr);
  std::vector<T3DVertex> v(4);
  EXPECT_FALSE(owner.quad->Fill(0, v, 4, 0));
  EXPECT_EQ(std::string(owner.quad->ResultText()), "DeviceLost");
  // Destroying them afterwards is safe.
  owner.quad.reset();
  owner.texture.reset();
  owner.renderer.reset();
}

TEST_F(DeviceLossGL, DestroyingTheDrawDeviceCallsTheOwnersBack) {
  std::vector<std::string> killed;
  std::unique_ptr<T3DRenderer> renderer;
  std::unique_ptr<T3DTexture> texture;
  {
    TDrawDevice device({0, 0, 16, 16});
    T3DRendererParams params;
    params.bounds = device.Bounds();
    renderer = test::SharedGLEngine()->CreateRenderer(device, params);
    ASSERT_NE(renderer, nullptr);
    texture = renderer->CreateTexture(T3DTextureKind::Luminance, 8, 8, true);
    ASSERT_NE(texture, nullptr);
    renderer->SetDeviceKilledCallback([&] { killed.push_back("renderer"); });
    texture->SetDeviceKilledCallback([&] { killed.push_back("texture"); });
  }
  EXPECT_EQ(killed, (std::vector<std::string>{"renderer", "texture"}));
  EXPECT_FALSE(renderer->IsReady());
  EXPECT_EQ(texture->SurfaceLevel(0), nullptr);
}

TEST_F(DeviceLossGL, CreationAndLossAreLoggedWithTheErrorKind) {
  TMemoryStream lines;
  InstallLog(std::make_unique<TStreamLog>(lines));
  {
    TOwner owner;
    owner.Frame();
    SimulateDeviceLoss(owner.device);
    owner.Frame();
  }
  InstallLog(nullptr);
  const std::string log(reinterpret_cast<const char*>(lines.Memory()), static_cast<size_t>(lines.GetSize()));
  EXPECT_NE(log.find("T3DEngineGL.CreateRenderer: init headless device: (0, 0, 32, 32)"), std::string::npos) << log;
  EXPECT_NE(log.find("T3DEngineGL.CreateRenderer: create device res= 0"), std::string::npos);
  EXPECT_NE(log.find("Dx Error = 3"), std::string::npos);
  EXPECT_NE(log.find("T3DRendererGL: DEVICE LOST!"), std::string::npos);
}

// The renderer is made on one thread and drawn on another, as the window
// thread and the drawing thread do; then the first reads the frame back.
TEST_F(DeviceLossGL, AnotherThreadTakesTheDeviceOverAfterRelease) {
  TOwner owner;
  ASSERT_TRUE(owner.EnsureDevice());
  owner.renderer->ReleaseThread();
  bool drawn = false;
  std::thread drawer([&] {
    drawn = owner.Frame();
    owner.renderer->ReleaseThread();
  });
  drawer.join();
  EXPECT_TRUE(drawn);
  EXPECT_EQ(owner.Centre(), (TBgra{0, 0, 255, 255}));
}

} // namespace
} // namespace qx
