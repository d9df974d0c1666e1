#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

#include <cmath>

namespace qx::test {
namespace {

using PixelShadersGL = GLDeviceTest;

// One luminance plane filled from a row-major list of byte values.
std::unique_ptr<T3DTexture> Plane(T3DRenderer& renderer, int width, int height, const std::vector<uint8_t>& values) {
  auto texture = renderer.CreateTexture(T3DTextureKind::Luminance, width, height, false);
  EXPECT_NE(texture, nullptr);
  TBitmap* rows = texture->SurfaceLevel(0)->Lock(nullptr, T3DLockMode::Discard);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      rows->Scanline(y)[x] = values[static_cast<size_t>(y * width + x)];
    }
  }
  EXPECT_TRUE(texture->SurfaceLevel(0)->Unlock());
  texture->SetFilter(T3DFilter::Point);
  texture->SetAddressModes(T3DAddressMode::Clamp, T3DAddressMode::Clamp);
  return texture;
}

void SetYuvConstants(T3DRenderer& renderer, float planeHeight, float fieldRow, float fieldShift) {
  const float c[7][4] = {{kYuvVToR},
                         {kYuvVToG},
                         {kYuvUToG},
                         {kYuvUToB},
                         {kYuvLumaScale},
                         {planeHeight, 1.0f / planeHeight},
                         {fieldRow, fieldShift}};
  ASSERT_TRUE(renderer.SetPixelShaderConstants(0, &c[0][0], 7));
}

// Draws one Y/U/V sample through the YUV shader and reads the pixel back.
TBgra DrawYuv(GLDeviceTest& test, T3DRenderer& renderer, uint8_t y, uint8_t u, uint8_t v) {
  auto yPlane = Plane(renderer, 2, 2, {y, y, y, y});
  auto uPlane = Plane(renderer, 1, 1, {u});
  auto vPlane = Plane(renderer, 1, 1, {v});
  const int shader = renderer.CreatePixelShader({TPixelShaderKind::Yuv});
  EXPECT_GE(shader, 0);
  EXPECT_TRUE(renderer.SetPixelShader(shader));
  SetYuvConstants(renderer, 2, 0, 0);
  auto quad = test.Quad({0, 0, 4, 4}, MakeColor(255, 255, 255, 255), 0, 0, 1, 1, 3);
  EXPECT_TRUE(renderer.DrawVertexList(std::vector<T3DTexture*>{yPlane.get(), uPlane.get(), vPlane.get()}, kDrawTextured,
                                      *quad));
  EXPECT_TRUE(renderer.ClearPixelShader());
  return test.Pixel(1, 1);
}

TEST_F(PixelShadersGL, VideoWhiteAndBlackConvertExactly) {
  // White within 0.003 and black within 0.001 of full scale: with byte
  // read-back both must be exact.
  EXPECT_TRUE(Near(DrawYuv(*this, *m_renderer, 235, 128, 128), TBgra{255, 255, 255, 255}, 0));
  EXPECT_TRUE(Near(DrawYuv(*this, *m_renderer, 16, 128, 128), TBgra{0, 0, 0, 255}, 0));
  // A saturated red sample: Y 81, U 90, V 240 (studio-range red).
  const TBgra red = DrawYuv(*this, *m_renderer, 81, 90, 240);
  EXPECT_GE(red.r, 250);
  EXPECT_LE(red.g, 3);
  EXPECT_LE(red.b, 3);
}

TEST_F(PixelShadersGL, VideoAlphaIsTheVertexAlpha) {
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0, 0), 1));
  m_renderer->SetBlendMode(T3DBlendMode::Max);
  auto yPlane = Plane(*m_renderer, 2, 2, {235, 235, 235, 235});
  auto uPlane = Plane(*m_renderer, 1, 1, {128});
  auto vPlane = Plane(*m_renderer, 1, 1, {128});
  ASSERT_TRUE(m_renderer->SetPixelShader(m_renderer->CreatePixelShader({TPixelShaderKind::Yuv})));
  SetYuvConstants(*m_renderer, 2, 0, 0);
  auto quad = Quad({0, 0, 4, 4}, MakeColor(255, 255, 255, 128), 0, 0, 1, 1, 3);
  Draw({yPlane.get(), uPlane.get(), vPlane.get()}, kDrawTextured, *quad);
  EXPECT_EQ(Pixel(1, 1).a, 128);
}

// Even rows white, odd rows black: each field reads only its own rows.
// Near the plane's top and bottom the second row lies outside the plane
// (decoders pad it), so only the middle half is checked.
TEST_F(PixelShadersGL, FieldShaderReadsOneFieldOnly) {
  auto yPlane = Plane(*m_renderer, 1, 8, {235, 16, 235, 16, 235, 16, 235, 16});
  auto uPlane = Plane(*m_renderer, 1, 1, {128});
  auto vPlane = Plane(*m_renderer, 1, 1, {128});
  const int field = m_renderer->CreatePixelShader({TPixelShaderKind::YuvField});
  ASSERT_GE(field, 0);
  ASSERT_TRUE(m_renderer->SetPixelShader(field));
  const std::vector<T3DTexture*> planes{yPlane.get(), uPlane.get(), vPlane.get()};

  SetYuvConstants(*m_renderer, 8, 0, 0);
  auto first = Quad({0, 0, 4, 16}, 0xFFFFFFFF, 0, 0, 1, 1, 3);
  Draw(planes, kDrawTextured, *first);
  SetYuvConstants(*m_renderer, 8, 1, -1);
  auto second = Quad({8, 0, 12, 16}, 0xFFFFFFFF, 0, 0, 1, 1, 3);
  Draw(planes, kDrawTextured, *second);
  const TBitmap frame = ReadBack();
  for (int y = 4; y < 12; ++y) {
    EXPECT_GE(frame.GetPixel(1, y).g, 250) << "first field, row " << y;
    EXPECT_LE(frame.GetPixel(9, y).g, 3) << "second field, row " << y;
  }
}

// A vertical step from 100 to 140 grey: the blur difference next to the
// step is 10/255 (about 0.039).
TBitmap Sharpened(GLDeviceTest& test, T3DRenderer& renderer, float threshold, float amount) {
  TBitmap step(8, 8, TPixelFormat::Bgra32);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const uint8_t v = x < 4 ? 100 : 140;
      step.SetPixel(x, y, TBgra{v, v, v, 255});
    }
  }
  auto texture = test.TextureFrom(step);
  const int shader = renderer.CreatePixelShader({TPixelShaderKind::Sharpen});
  EXPECT_TRUE(renderer.SetPixelShader(shader));
  const float c[3][4] = {{1.0f / 8, 1.0f / 8}, {threshold}, {amount}};
  EXPECT_TRUE(renderer.SetPixelShaderConstants(0, &c[0][0], 3));
  auto quad = test.Quad({0, 0, 8, 8}, 0xFFFFFFFF);
  EXPECT_TRUE(renderer.DrawVertexList(std::vector<T3DTexture*>{texture.get()}, kDrawTextured, *quad));
  EXPECT_TRUE(renderer.ClearPixelShader());
  return test.ReadBack();
}

TEST_F(PixelShadersGL, SharpenChangesOnlyDetailAboveTheThreshold) {
  const TBitmap below = Sharpened(*this, *m_renderer, 0.05f, 1.0f);
  EXPECT_EQ(below.GetPixel(3, 4).r, 100);
  EXPECT_EQ(below.GetPixel(4, 4).r, 140);

  const TBitmap above = Sharpened(*this, *m_renderer, 0.03f, 1.0f);
  EXPECT_NEAR(above.GetPixel(3, 4).r, 90, 1);  // 100 - 1.0 * 10
  EXPECT_NEAR(above.GetPixel(4, 4).r, 150, 1); // 140 + 1.0 * 10
  EXPECT_EQ(above.GetPixel(1, 4).r, 100);      // flat areas keep their value
  EXPECT_EQ(above.GetPixel(1, 4).a, 255);

  const TBitmap half = Sharpened(*this, *m_renderer, 0.03f, 0.5f);
  EXPECT_NEAR(half.GetPixel(4, 4).r, 145, 1);
}

TEST_F(PixelShadersGL, ShaderIndicesAreCheckedAndClearingRestoresTheStages) {
  EXPECT_EQ(m_renderer->CreatePixelShader({static_cast<TPixelShaderKind>(9)}), -1);
  const int first = m_renderer->CreatePixelShader({TPixelShaderKind::Sharpen});
  const int second = m_renderer->CreatePixelShader({TPixelShaderKind::Yuv});
  EXPECT_EQ(second, first + 1);
  EXPECT_FALSE(m_renderer->SetPixelShader(second + 1));
  EXPECT_FALSE(m_renderer->SetPixelShader(-1));
  ASSERT_TRUE(m_renderer->SetPixelShader(second));
  ASSERT_TRUE(m_renderer->ClearPixelShader());
  auto texture = TextureFrom([] {
    TBitmap b(1, 1, TPixelFormat::Bgra32);
    b.Fill(TBgra{10, 20, 30, 255});
    return b;
  }());
  auto quad = Quad({0, 0, 2, 2}, 0xFFFFFFFF);
  Draw({texture.get()}, kDrawTextured, *quad);
  EXPECT_TRUE(Near(Pixel(0, 0), TBgra{10, 20, 30, 255}, 0));
}

} // namespace
} // namespace qx::test
