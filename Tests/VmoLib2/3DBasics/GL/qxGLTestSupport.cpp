#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

#include <cstdlib>
#include <string>

namespace qx::test {

void GLDeviceTest::SetUp() {
  T3DEngine* engine = SharedGLEngine();
  ASSERT_NE(engine, nullptr);
  m_device = std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight});
  T3DRendererParams params;
  params.bounds = m_device->Bounds();
  m_renderer = engine->CreateRenderer(*m_device, params);
  ASSERT_NE(m_renderer, nullptr) << "no headless GL ES 3 context";
  ASSERT_TRUE(m_renderer->BeginScene());
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0, 0), 1.0f));
}

void GLDeviceTest::TearDown() {
  m_renderer.reset();
  m_device.reset();
}

T3DVertex GLDeviceTest::At(float px, float py, int width, int height) const {
  T3DVertex v;
  v.x = 2.0f * px / static_cast<float>(width) - 1.0f;
  v.y = 1.0f - 2.0f * py / static_cast<float>(height);
  return v;
}

std::unique_ptr<T3DVertexList> GLDeviceTest::Quad(const T3DRect& pixels, T3DColor color, float u0, float v0, float u1,
                                                  float v1, int texPairs) {
  const T3DSurface* target = m_renderer->RenderTarget();
  const int w = target->Width();
  const int h = target->Height();
  std::vector<T3DVertex> v = {At(pixels.left, pixels.top, w, h), At(pixels.right, pixels.top, w, h),
                              At(pixels.left, pixels.bottom, w, h), At(pixels.right, pixels.bottom, w, h)};
  const float us[4] = {u0, u1, u0, u1};
  const float vs[4] = {v0, v0, v1, v1};
  for (int i = 0; i < 4; ++i) {
    v[i].diffuse = color;
    for (int pair = 0; pair < texPairs; ++pair) {
      v[i].uv[pair] = {us[i], vs[i]};
    }
  }
  auto list = m_renderer->CreateVertexList(4, kVertexDiffuse, texPairs);
  EXPECT_NE(list, nullptr);
  EXPECT_TRUE(list->Fill(0, v, 4, 0));
  EXPECT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleStrip, 0, 2));
  return list;
}

void GLDeviceTest::Draw(std::vector<T3DTexture*> textures, uint32_t flags, T3DVertexList& list) {
  ASSERT_TRUE(m_renderer->DrawVertexList(textures, flags, list)) << m_renderer->ResultText();
}

std::unique_ptr<T3DTexture> GLDeviceTest::TextureFrom(const TBitmap& bitmap, T3DTextureKind kind) {
  auto texture = m_renderer->CreateTexture(kind, bitmap.Width(), bitmap.Height(), false);
  EXPECT_NE(texture, nullptr);
  if (!texture) {
    return nullptr;
  }
  TBitmap* rows = texture->SurfaceLevel(0)->Lock(nullptr, T3DLockMode::Discard);
  EXPECT_NE(rows, nullptr);
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      rows->SetPixel(x, y, bitmap.GetPixel(x, y));
    }
  }
  EXPECT_TRUE(texture->SurfaceLevel(0)->Unlock());
  texture->SetFilter(T3DFilter::Point);
  texture->SetAddressModes(T3DAddressMode::Clamp, T3DAddressMode::Clamp);
  return texture;
}

TBitmap GLDeviceTest::ReadBack() {
  TBitmap bitmap;
  EXPECT_TRUE(m_renderer->RenderTarget()->CopyToBitmap(bitmap));
  return bitmap;
}

::testing::AssertionResult Near(TBgra actual, TBgra expected, int tolerance) {
  const auto off = [&](uint8_t a, uint8_t e) { return std::abs(int{a} - int{e}) > tolerance; };
  if (off(actual.r, expected.r) || off(actual.g, expected.g) || off(actual.b, expected.b) ||
      off(actual.a, expected.a)) {
    return ::testing::AssertionFailure() << "got (r" << int{actual.r} << " g" << int{actual.g} << " b" << int{actual.b}
                                         << " a" << int{actual.a} << "), expected (r" << int{expected.r} << " g"
                                         << int{expected.g} << " b" << int{expected.b} << " a" << int{expected.a}
                                         << ") within " << tolerance;
  }
  return ::testing::AssertionSuccess();
}

} // namespace qx::test
