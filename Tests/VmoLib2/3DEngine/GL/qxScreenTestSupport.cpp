#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"

#include "VmoLib2/3DEngine/qxVertexBuffer.h"

#include <algorithm>
#include <cstdlib>

namespace qx::test {

bool TCollectingLog::Has(const std::string& line) const {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void ScreenTest::SetUp() {
  auto log = std::make_unique<TCollectingLog>();
  m_log = log.get();
  InstallLog(std::move(log));
  m_engine = MakeGLEngine();
  ASSERT_NE(m_engine, nullptr);
  MakeScreen(kWidth, kHeight);
}

void ScreenTest::TearDown() {
  m_screen.reset();
  m_device.reset();
  InstallLog(nullptr);
}

void ScreenTest::MakeScreen(int width, int height) {
  m_screen.reset();
  m_device = std::make_unique<TDrawDevice>(T3DRect{0, 0, width, height});
  m_screen = std::make_unique<T3DScreen>(
      *m_engine, [this] { ++m_released; }, [this] { ++m_ready; });
  m_screen->AssignDevice(m_device.get());
}

void ScreenTest::Begin() {
  ASSERT_TRUE(m_screen->BeginScene()) << "no headless GL ES 3 screen";
  m_screen->Clear(MakeColor(0, 0, 0), false);
}

TBitmap ScreenTest::Finish() {
  m_screen->EndScene(false);
  TBitmap frame;
  T3DRenderer* renderer = m_screen->Renderer();
  EXPECT_NE(renderer, nullptr);
  if (renderer) {
    EXPECT_TRUE(renderer->BackBuffer()->CopyToBitmap(frame));
  }
  return frame;
}

std::shared_ptr<TBitmap> NoisePicture(int width, int height, uint32_t seed) {
  auto bitmap = std::make_shared<TBitmap>(width, height, TPixelFormat::Bgra32);
  uint32_t state = seed;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap->Scanline(y);
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      row[4 * x] = static_cast<uint8_t>(state >> 24);
      row[4 * x + 1] = static_cast<uint8_t>(state >> 16);
      row[4 * x + 2] = static_cast<uint8_t>(state >> 8);
      row[4 * x + 3] = 255;
    }
  }
  return bitmap;
}

::testing::AssertionResult Near(TBgra actual, TBgra expected, int tolerance) {
  const auto off = [&](uint8_t a, uint8_t e) { return std::abs(int{a} - int{e}) > tolerance; };
  if (!off(actual.r, expected.r) && !off(actual.g, expected.g) && !off(actual.b, expected.b) &&
      !off(actual.a, expected.a)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got (r" << int{actual.r} << " g" << int{actual.g} << " b" << int{actual.b}
                                       << " a" << int{actual.a} << "), expected (r" << int{expected.r} << " g"
                                       << int{expected.g} << " b" << int{expected.b} << " a" << int{expected.a}
                                       << ") within " << tolerance;
}

TDifference MaxDifference(const TBitmap& a, const TBitmap& b, const T3DRect& rect) {
  TDifference worst;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      const TBgra p = a.GetPixel(x, y);
      const TBgra q = b.GetPixel(x, y);
      const int d = std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
      if (d > worst.value) {
        worst = {d, x, y};
      }
    }
  }
  return worst;
}

} // namespace qx::test
