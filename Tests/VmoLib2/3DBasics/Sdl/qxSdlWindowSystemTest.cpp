// The SDL window system on SDL's off-screen video driver: real SDL windows
// and GL contexts without a display, drawn by the GL engine from the table.
// Skipped where that driver cannot make GL contexts.
#include "VmoLib2/3DBasics/Sdl/qxSdlWindowSystem.h"

#include "Tests/TestSupport/qxTestEngines.h"
#include "VmoLib2/3DBasics/Sdl/qxSdlDrawDevice.h"
#include "VmoLib2/Backends/qxWindowSystems.h"

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

class SdlWindowGL : public testing::Test {
protected:
  void SetUp() override {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    std::string error;
    m_windows = CreateWindowSystem("sdl", error);
    if (!m_windows) {
      GTEST_SKIP() << "no SDL video: " << error;
    }
    auto device = m_windows->OpenWindow("test", {0, 0, 40, 30}, false, error);
    if (!device) {
      GTEST_SKIP() << "no SDL window: " << error;
    }
    m_device.reset(static_cast<TSdlDrawDevice*>(device.release()));
    m_engine = test::MakeGLEngine(&m_windows->Displays());
  }
  void TearDown() override {
    m_device.reset();
    m_engine.reset();
    m_windows.reset();
  }

  std::unique_ptr<T3DRenderer> MakeRenderer() {
    T3DRendererParams params;
    params.bounds = m_device->Bounds();
    m_engine->DisplayMode(0, params.displayMode);
    return m_engine->CreateRenderer(*m_device, params);
  }

  std::unique_ptr<TWindowSystem> m_windows;
  std::unique_ptr<T3DEngine> m_engine;
  std::unique_ptr<TSdlDrawDevice> m_device;
};

TEST_F(SdlWindowGL, DrawsAndPresentsIntoTheWindow) {
  ASSERT_NE(m_engine, nullptr);
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
  EXPECT_TRUE(m_windows->PumpEvents());
}

TEST_F(SdlWindowGL, ARecreatedWindowDropsTheDeviceAndCallsTheOwnerBack) {
  ASSERT_NE(m_engine, nullptr);
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

TEST_F(SdlWindowGL, TheDisplaysAreSdlsAndAWindowFindsItsDevice) {
  ASSERT_GE(m_windows->Displays().Count(), 1);
  T3DRect bounds;
  ASSERT_TRUE(m_windows->Displays().Bounds(0, bounds));
  EXPECT_FALSE(bounds.IsEmpty());
  EXPECT_EQ(TSdlDrawDevice::FromWindow(static_cast<SDL_Window*>(m_device->WindowHandle())), m_device.get());
}

} // namespace
} // namespace qx
