// A headless device of a given size for the GL tests, with helpers that
// draw pixel-aligned quads and read pixels back.
#pragma once

#include "Tests/TestSupport/qxTestEngines.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qx::test {

class GLDeviceTest : public testing::Test {
public:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 48;

  void SetUp() override;
  void TearDown() override;

  // A quad covering the pixel rectangle, texture coordinates (u0, v0) at
  // its top-left and (u1, v1) at its bottom-right, one colour.
  std::unique_ptr<T3DVertexList> Quad(const T3DRect& pixels, T3DColor color, float u0 = 0, float v0 = 0, float u1 = 1,
                                      float v1 = 1, int texPairs = 1);
  // Clip-space position of a pixel corner of the current target.
  T3DVertex At(float px, float py, int width = kWidth, int height = kHeight) const;
  void Draw(std::vector<T3DTexture*> textures, uint32_t flags, T3DVertexList& list);
  // A sampled texture filled from a 32-bit bitmap through a lock.
  std::unique_ptr<T3DTexture> TextureFrom(const TBitmap& bitmap, T3DTextureKind kind = T3DTextureKind::Argb);
  TBitmap ReadBack();
  TBgra Pixel(int x, int y) { return ReadBack().GetPixel(x, y); }

  std::unique_ptr<TDrawDevice> m_device;
  std::unique_ptr<T3DRenderer> m_renderer;
};

// Within `tolerance` per channel.
::testing::AssertionResult Near(TBgra actual, TBgra expected, int tolerance);

} // namespace qx::test
