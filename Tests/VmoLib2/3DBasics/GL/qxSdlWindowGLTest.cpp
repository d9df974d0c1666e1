#include "VmoLib2/3DBasics/GL/qx3DEngineGL.h"
#include "VmoLib2/3DBasics/Sdl/qxSdlDrawDevice.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace qx {
namespace {

// Presenting into an SDL window runs code of the software GL driver that
// keeps a few blocks until exit and cannot be unwound for the leak checker's
// suppressions; what it allocates on this thread is left out of the check.
struct TDriverAllocationsIgnored {
#if defined(__SANITIZE_ADDRESS__)
  TDriverAllocationsIgnored() { __lsan_disable(); }
  ~TDriverAllocationsIgnored() { __lsan_enable(); }
#endif
};

// The window path, on SDL's off-screen video driver: a real SDL window and
// GL context without a display. Skipped where that driver cannot make GL
// contexts.
class SdlWindowGL : public testing::Test {
protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    T3DEngineGL::Instance().SetForceHeadless(false);
    std::string error;
    m_device = TSdlDrawDevice::Create("test", {0, 0, 40, 30}, false, error);
    if (!m_device) {
      GTEST_SKIP() << "no SDL window: " << error;
    }
  }
  void TearDown() override {
    m_device.reset();
    T3DEngineGL::Instance().SetForceHeadless(true);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  std::unique_ptr<T3DRenderer> MakeRenderer() {
    T3DRendererParams params;
    params.bounds = m_device->Bounds();
    T3DEngineGL::Instance().DisplayMode(0, params.displayMode);
    return T3DEngineGL::Instance().CreateRenderer(*m_device, params);
  }

  std::unique_ptr<TSdlDrawDevice> m_device;
};

TEST_F(SdlWindowGL, DrawsAndPresentsIntoTheWindow) {
  auto renderer = MakeRenderer();
  if (!renderer) {
    GTEST_SKIP() << "no GL context on SDL's off-screen driver";
  }
  ASSERT_TRUE(renderer->BeginScene());
  ASSERT_TRUE(renderer->Clear({}, kClearTarget, MakeColor(0, 255, 0), 1));
  ASSERT_TRUE(renderer->EndScene());
  {
    [[maybe_unused]] TDriverAllocationsIgnored ignored;
    ASSERT_TRUE(renderer->Present(nullptr, nullptr));
  }
  TBitmap frame;
  ASSERT_TRUE(renderer->BackBuffer()->CopyToBitmap(frame));
  EXPECT_EQ(frame.GetPixel(20, 15), (TBgra{0, 255, 0, 255}));
  EXPECT_TRUE(m_device->PumpEvents());
}

TEST_F(SdlWindowGL, ARecreatedWindowDropsTheDeviceAndCallsTheOwnerBack) {
  auto renderer = MakeRenderer();
  if (!renderer) {
    GTEST_SKIP() << "no GL context on SDL's off-screen driver";
  }
  bool killed = false;
  renderer->SetDeviceKilledCallback([&] { killed = true; });
  std::string error;
  ASSERT_TRUE(m_device->RecreateWindow(error)) << error;
  EXPECT_TRUE(killed);
  EXPECT_FALSE(renderer->BeginScene());
  EXPECT_EQ(renderer->LastResult(), T3DResult::DeviceLost);
  auto again = MakeRenderer();
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->BeginScene());
}

TEST(DrawDeviceChoice, ForcedHeadlessGivesAnOffscreenDevice) {
  auto device = CreateDrawDevice("test", {0, 0, 10, 10}, true, true);
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->IsHeadless());
  EXPECT_TRUE(device->FullScreen());
  EXPECT_EQ(device->Bounds(), (T3DRect{0, 0, 10, 10}));
}

} // namespace
} // namespace qx
