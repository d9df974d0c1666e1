// A headless screen of a given size for the screen tests, a texture filled
// from a bitmap, test pictures and pixel comparisons.
#pragma once

#include "QxLib/qxLog.h"
#include "Tests/TestSupport/qxTestEngines.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qxCustomTexture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qx::test {

// A screen texture whose level 0 is a copy of a bitmap.
class TBitmapTexture final : public TCustomTexture {
public:
  TBitmapTexture(T3DScreen& screen, const TBitmap& bitmap) : TCustomTexture(screen), m_bitmap(bitmap) {
    SetSize(bitmap.Width(), bitmap.Height());
  }
  int fills = 0;

protected:
  bool FillLevel0(TBitmap& level) override {
    ++fills;
    level.Draw(m_bitmap, 0, 0);
    return true;
  }

private:
  const TBitmap& m_bitmap;
};

// Keeps the log lines written while it is installed.
class TCollectingLog final : public TLog {
public:
  std::vector<std::string> lines;
  bool Has(const std::string& line) const;

protected:
  void WriteText(std::string_view line) override { lines.emplace_back(line); }
};

class ScreenTest : public testing::Test {
protected:
  static constexpr int kWidth = 400;
  static constexpr int kHeight = 300;

  void SetUp() override;
  void TearDown() override;
  // Makes a screen on a headless device of the given size.
  void MakeScreen(int width, int height);
  // Begins a frame cleared to opaque black; fails the test when it can't.
  void Begin();
  // Ends the frame without presenting and reads the back buffer.
  TBitmap Finish();

  std::unique_ptr<T3DEngine> m_engine;
  std::unique_ptr<TDrawDevice> m_device;
  std::unique_ptr<T3DScreen> m_screen;
  TCollectingLog* m_log = nullptr;
  int m_released = 0;
  int m_ready = 0;
};

// A picture of pseudo-random colours (opaque), the same for the same seed.
std::shared_ptr<TBitmap> NoisePicture(int width, int height, uint32_t seed);
// The largest per-channel difference inside `rect` of two same-sized
// bitmaps, and where it is.
struct TDifference {
  int value = 0;
  int x = -1;
  int y = -1;
};
::testing::AssertionResult Near(TBgra actual, TBgra expected, int tolerance);
TDifference MaxDifference(const TBitmap& a, const TBitmap& b, const T3DRect& rect);

} // namespace qx::test
