#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

#include "QxLib/qxExceptions.h"

#include <chrono>

namespace qx::test {
namespace {

using RendererGL = GLDeviceTest;

const TBgra kBlack{0, 0, 0, 255};
const TBgra kWhite{255, 255, 255, 255};
const TBgra kRed{0, 0, 255, 255};
const TBgra kGreen{0, 255, 0, 255};
const TBgra kBlue{255, 0, 0, 255};

TBitmap Solid(int width, int height, TBgra color) {
  TBitmap bitmap(width, height, TPixelFormat::Bgra32);
  bitmap.Fill(color);
  return bitmap;
}

TEST_F(RendererGL, ClearsWholeTargetOrRectanglesOnly) {
  const T3DRect part{10, 5, 20, 15};
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(255, 0, 0), 1));
  ASSERT_TRUE(m_renderer->Clear({&part, 1}, kClearTarget, MakeColor(0, 0, 255), 1));
  const TBitmap frame = ReadBack();
  EXPECT_EQ(frame.Width(), kWidth);
  EXPECT_EQ(frame.Height(), kHeight);
  EXPECT_TRUE(Near(frame.GetPixel(0, 0), kRed, 0));
  EXPECT_TRUE(Near(frame.GetPixel(10, 5), kBlue, 0));
  EXPECT_TRUE(Near(frame.GetPixel(19, 14), kBlue, 0));
  EXPECT_TRUE(Near(frame.GetPixel(20, 14), kRed, 0));
  EXPECT_TRUE(Near(frame.GetPixel(10, 15), kRed, 0));
}

// Catches a red/blue swap, a vertical flip and half-texel shifts at once.
TEST_F(RendererGL, TexturedQuadMapsTexelsOneToOneTopRowFirst) {
  TBitmap bitmap(4, 4, TPixelFormat::Bgra32);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      bitmap.SetPixel(x, y, TBgra{static_cast<uint8_t>(16 * x), static_cast<uint8_t>(60 * y), 200, 255});
    }
  }
  auto texture = TextureFrom(bitmap);
  auto quad = Quad({8, 8, 12, 12}, 0xFFFFFFFF);
  Draw({texture.get()}, kDrawTextured, *quad);
  const TBitmap frame = ReadBack();
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_TRUE(Near(frame.GetPixel(8 + x, 8 + y), bitmap.GetPixel(x, y), 0)) << x << "," << y;
    }
  }
  EXPECT_TRUE(Near(frame.GetPixel(7, 8), TBgra{0, 0, 0, 0}, 0));
  EXPECT_TRUE(Near(frame.GetPixel(12, 11), TBgra{0, 0, 0, 0}, 0));
}

TEST_F(RendererGL, DrawFlagsModulateColourAndAlphaByTheVertex) {
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0), 1));
  auto texture = TextureFrom(Solid(2, 2, TBgra{50, 100, 200, 255}));
  auto half = Quad({0, 0, 8, 8}, MakeColor(128, 255, 0, 255));
  Draw({texture.get()}, kDrawTextured | kDrawModulateColor | kDrawModulateAlpha, *half);
  EXPECT_TRUE(Near(Pixel(4, 4), TBgra{0, 100, 100, 255}, 1));

  // Alpha modulation only: the texture's colour, half transparent over
  // opaque black (the target's alpha blends too: 0.5 * 0.5 + 1 * 0.5).
  auto faded = Quad({8, 0, 16, 8}, MakeColor(0, 0, 0, 128));
  Draw({texture.get()}, kDrawTextured | kDrawModulateAlpha, *faded);
  EXPECT_TRUE(Near(Pixel(12, 4), TBgra{25, 50, 100, 191}, 1));

  // Without modulation the vertex colour and alpha play no part.
  auto plain = Quad({16, 0, 24, 8}, MakeColor(0, 0, 0, 0));
  Draw({texture.get()}, kDrawTextured, *plain);
  EXPECT_TRUE(Near(Pixel(20, 4), TBgra{50, 100, 200, 255}, 0));

  // Untextured: the vertex colour itself.
  auto untextured = Quad({24, 0, 32, 8}, MakeColor(10, 20, 30, 255), 0, 0, 1, 1, 0);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *untextured);
  EXPECT_TRUE(Near(Pixel(28, 4), TBgra{30, 20, 10, 255}, 0));
}

// Opacity 50 % is alpha 128: blended over black it gives half the colour;
// with the max blend mode into a transparent target the alpha itself is kept.
TEST_F(RendererGL, HalfOpacityBlendsByAddAndKeepsAlpha128ByMax) {
  auto white = TextureFrom(Solid(2, 2, kWhite));
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0, 255), 1));
  auto quad = Quad({0, 0, 8, 8}, MakeColor(255, 255, 255, 128));
  Draw({white.get()}, kDrawTextured | kDrawModulateAlpha, *quad);
  EXPECT_TRUE(Near(Pixel(2, 2), TBgra{128, 128, 128, 191}, 1));

  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0, 0), 1));
  m_renderer->SetBlendMode(T3DBlendMode::Max);
  Draw({white.get()}, kDrawTextured | kDrawModulateAlpha, *quad);
  EXPECT_TRUE(Near(Pixel(2, 2), TBgra{255, 255, 255, 128}, 0));
  // Max never darkens what is there.
  auto dark = Quad({0, 0, 8, 8}, MakeColor(10, 10, 10, 255), 0, 0, 1, 1, 0);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *dark);
  EXPECT_TRUE(Near(Pixel(2, 2), TBgra{255, 255, 255, 255}, 0));
}

TEST_F(RendererGL, LuminanceAndRgb565TexturesSampleAsGreyAndColour) {
  auto grey = m_renderer->CreateTexture(T3DTextureKind::Luminance, 2, 1, false);
  ASSERT_NE(grey, nullptr);
  TBitmap* rows = grey->SurfaceLevel(0)->Lock(nullptr, T3DLockMode::Discard);
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->Format(), TPixelFormat::Gray8);
  rows->Scanline(0)[0] = 0;
  rows->Scanline(0)[1] = 200;
  ASSERT_TRUE(grey->SurfaceLevel(0)->Unlock());
  grey->SetFilter(T3DFilter::Point);
  auto quad = Quad({0, 0, 2, 1}, 0xFFFFFFFF);
  Draw({grey.get()}, kDrawTextured, *quad);
  EXPECT_TRUE(Near(Pixel(0, 0), kBlack, 0));
  EXPECT_TRUE(Near(Pixel(1, 0), TBgra{200, 200, 200, 255}, 0));

  auto rgb = m_renderer->CreateTexture(T3DTextureKind::Rgb565, 2, 1, false);
  ASSERT_NE(rgb, nullptr);
  rows = rgb->SurfaceLevel(0)->Lock(nullptr, T3DLockMode::Discard);
  ASSERT_NE(rows, nullptr);
  rows->SetPixel(0, 0, kRed);
  rows->SetPixel(1, 0, kBlue);
  ASSERT_TRUE(rgb->SurfaceLevel(0)->Unlock());
  rgb->SetFilter(T3DFilter::Point);
  auto second = Quad({0, 2, 2, 3}, 0xFFFFFFFF);
  Draw({rgb.get()}, kDrawTextured, *second);
  EXPECT_TRUE(Near(Pixel(0, 2), kRed, 0));
  EXPECT_TRUE(Near(Pixel(1, 2), kBlue, 0));
  // The surface reads back in its own format.
  TBitmap copy;
  ASSERT_TRUE(rgb->SurfaceLevel(0)->CopyToBitmap(copy));
  EXPECT_EQ(copy.Format(), TPixelFormat::R5G6B5);
  EXPECT_EQ(copy.GetPixel(1, 0), kBlue);
}

TEST_F(RendererGL, MipChainIsSampledByScaleAndLodBias) {
  auto texture = m_renderer->CreateTexture(T3DTextureKind::Argb, 8, 8, true);
  ASSERT_NE(texture, nullptr);
  ASSERT_EQ(texture->LevelCount(), 4);
  const TBgra colours[4] = {kRed, kGreen, kBlue, kWhite};
  for (int level = 0; level < 4; ++level) {
    T3DSurface* surface = texture->SurfaceLevel(level);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->Width(), 8 >> level);
    TBitmap* rows = surface->Lock(nullptr, T3DLockMode::Discard);
    ASSERT_NE(rows, nullptr);
    rows->Fill(colours[level]);
    ASSERT_TRUE(surface->Unlock());
  }
  EXPECT_EQ(texture->SurfaceLevel(4), nullptr);
  EXPECT_EQ(texture->LastResult(), T3DResult::InvalidCall);

  texture->SetFilter(T3DFilter::Linear);
  texture->SetAddressModes(T3DAddressMode::Clamp, T3DAddressMode::Clamp);
  auto quarter = Quad({0, 0, 2, 2}, 0xFFFFFFFF); // 8 texels onto 2 pixels: level 2
  texture->SetMipMaps(false);
  Draw({texture.get()}, kDrawTextured, *quarter);
  EXPECT_TRUE(Near(Pixel(0, 0), kRed, 0));
  texture->SetMipMaps(true);
  Draw({texture.get()}, kDrawTextured, *quarter);
  EXPECT_TRUE(Near(Pixel(0, 0), kBlue, 2));
  texture->SetLodBias(1.0f);
  Draw({texture.get()}, kDrawTextured, *quarter);
  EXPECT_TRUE(Near(Pixel(0, 0), kWhite, 2));
}

TEST_F(RendererGL, AddressModesWrapClampAndMirror) {
  TBitmap bitmap(2, 1, TPixelFormat::Bgra32);
  bitmap.SetPixel(0, 0, kBlack);
  bitmap.SetPixel(1, 0, kWhite);
  auto texture = TextureFrom(bitmap);
  const T3DAddressMode modes[3] = {T3DAddressMode::Wrap, T3DAddressMode::Clamp, T3DAddressMode::Mirror};
  const char* expected[3] = {"BWBW", "BWWW", "BWWB"};
  for (int i = 0; i < 3; ++i) {
    texture->SetAddressModes(modes[i], modes[i]);
    auto quad = Quad({0, i, 4, i + 1}, 0xFFFFFFFF, 0, 0, 2, 1);
    Draw({texture.get()}, kDrawTextured, *quad);
    std::string row;
    for (int x = 0; x < 4; ++x) {
      row += Pixel(x, i).r > 128 ? 'W' : 'B';
    }
    EXPECT_EQ(row, expected[i]) << "mode " << i;
  }
}

TEST_F(RendererGL, RenderTargetTextureDrawsUprightAndStretchRectCopies) {
  auto target = m_renderer->CreateTexture(T3DTextureKind::RenderTargetArgb, 16, 16, true);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->LevelCount(), 1);
  T3DSurface* surface = target->SurfaceLevel(0);
  ASSERT_TRUE(m_renderer->SetRenderTarget(surface));
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(255, 0, 0), 1));
  auto top = Quad({0, 0, 16, 4}, MakeColor(0, 255, 0), 0, 0, 1, 1, 0);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *top);
  TBitmap inside;
  ASSERT_TRUE(surface->CopyToBitmap(inside));
  EXPECT_TRUE(Near(inside.GetPixel(5, 0), kGreen, 0));
  EXPECT_TRUE(Near(inside.GetPixel(5, 4), kRed, 0));

  ASSERT_TRUE(m_renderer->SetRenderTarget(nullptr));
  EXPECT_EQ(m_renderer->RenderTarget(), m_renderer->BackBuffer());
  target->SetFilter(T3DFilter::Point);
  auto quad = Quad({0, 0, 16, 16}, 0xFFFFFFFF);
  Draw({target.get()}, kDrawTextured, *quad);
  EXPECT_TRUE(Near(Pixel(3, 1), kGreen, 0));
  EXPECT_TRUE(Near(Pixel(3, 10), kRed, 0));

  // Twice the size, no filtering: each target pixel becomes 2 x 2.
  ASSERT_TRUE(m_renderer->StretchRect(*surface, {0, 0, 16, 8}, *m_renderer->BackBuffer(), {32, 0, 64, 16}));
  EXPECT_TRUE(Near(Pixel(40, 7), kGreen, 0));
  EXPECT_TRUE(Near(Pixel(40, 8), kRed, 0));
  EXPECT_FALSE(m_renderer->StretchRect(*surface, {0, 0, 17, 8}, *m_renderer->BackBuffer(), {0, 0, 16, 8}));
  EXPECT_EQ(m_renderer->LastResult(), T3DResult::InvalidCall);
}

TEST_F(RendererGL, OpaqueTargetKindKeepsTheVertexAlpha) {
  auto opaque = m_renderer->CreateTexture(T3DTextureKind::RenderTargetXrgb, 4, 4, false);
  auto clear = m_renderer->CreateTexture(T3DTextureKind::RenderTargetArgb, 4, 4, false);
  for (T3DTexture* texture : {opaque.get(), clear.get()}) {
    ASSERT_TRUE(m_renderer->SetRenderTarget(texture->SurfaceLevel(0)));
    ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 255, 0, 0), 1));
  }
  ASSERT_TRUE(m_renderer->SetRenderTarget(nullptr));
  auto left = Quad({0, 0, 4, 4}, 0xFFFFFFFF);
  auto right = Quad({4, 0, 8, 4}, 0xFFFFFFFF);
  Draw({opaque.get()}, kDrawTextured | kDrawModulateAlpha, *left);
  Draw({clear.get()}, kDrawTextured | kDrawModulateAlpha, *right);
  EXPECT_TRUE(Near(Pixel(1, 1), kGreen, 0));
  EXPECT_TRUE(Near(Pixel(5, 1), TBgra{0, 0, 0, 0}, 0));
}

TEST_F(RendererGL, SecondStageMultipliesColourAndTakesAlphaFromFirst) {
  auto mask = TextureFrom(Solid(2, 2, TBgra{255, 255, 255, 128}));
  auto content = m_renderer->CreateTexture(T3DTextureKind::RenderTargetXrgb, 4, 4, false);
  ASSERT_TRUE(m_renderer->SetRenderTarget(content->SurfaceLevel(0)));
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(200, 100, 0, 0), 1));
  ASSERT_TRUE(m_renderer->SetRenderTarget(nullptr));
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0, 255), 1));
  auto quad = Quad({0, 0, 4, 4}, 0xFFFFFFFF, 0, 0, 1, 1, 2);
  Draw({mask.get(), content.get()}, kDrawTextured | kDrawModulateColor | kDrawModulateAlpha, *quad);
  // mask x content x vertex, blended by the mask's alpha of 128.
  EXPECT_TRUE(Near(Pixel(1, 1), TBgra{0, 50, 100, 191}, 1));
}

TEST_F(RendererGL, CullingDropsCounterClockwiseTrianglesOnly) {
  auto list = m_renderer->CreateVertexList(6, kVertexDiffuse, 0);
  ASSERT_NE(list, nullptr);
  // Clockwise on the screen (y down): top-left, top-right, bottom-left.
  std::vector<T3DVertex> v = {At(0, 0), At(16, 0), At(0, 16), At(32, 0), At(32, 16), At(48, 0)};
  for (auto& vertex : v) {
    vertex.diffuse = MakeColor(255, 255, 255);
  }
  ASSERT_TRUE(list->Fill(0, v, 6, 0));
  ASSERT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleList, 0, 2));
  ASSERT_TRUE(m_renderer->SetCulling(true));
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *list);
  EXPECT_TRUE(Near(Pixel(2, 2), kWhite, 0));
  EXPECT_TRUE(Near(Pixel(34, 2), TBgra{0, 0, 0, 0}, 0));
  ASSERT_TRUE(m_renderer->SetCulling(false));
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *list);
  EXPECT_TRUE(Near(Pixel(34, 2), kWhite, 0));
}

TEST_F(RendererGL, TransformsUseRowVectorsInWorldViewProjectionOrder) {
  T3DMatrix world;
  world.at(3, 0) = 0.5f; // row vectors: translation lives in the last row
  T3DMatrix projection;
  projection.at(0, 0) = 0.5f;
  ASSERT_TRUE(m_renderer->SetTransform(T3DTransformKind::World, world));
  ASSERT_TRUE(m_renderer->SetTransform(T3DTransformKind::Projection, projection));
  // Clip x = (x + 0.5) * 0.5: the quad's edges (x = -1, 1) land at
  // -0.25 and 0.75, pixels 24 and 56.
  auto quad = Quad({0, 0, 64, 8}, MakeColor(255, 255, 255), 0, 0, 1, 1, 0);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *quad);
  EXPECT_TRUE(Near(Pixel(23, 4), TBgra{0, 0, 0, 0}, 0));
  EXPECT_TRUE(Near(Pixel(24, 4), kWhite, 0));
  EXPECT_TRUE(Near(Pixel(55, 4), kWhite, 0));
  EXPECT_TRUE(Near(Pixel(56, 4), TBgra{0, 0, 0, 0}, 0));

  // A w of 2 halves the quad about the centre.
  T3DMatrix perspective;
  perspective.at(3, 3) = 2.0f;
  ASSERT_TRUE(m_renderer->SetTransform(T3DTransformKind::World, T3DMatrix::Identity()));
  ASSERT_TRUE(m_renderer->SetTransform(T3DTransformKind::Projection, perspective));
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, 0, 1));
  auto full = Quad({0, 0, 64, 48}, MakeColor(255, 255, 255), 0, 0, 1, 1, 0);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *full);
  EXPECT_TRUE(Near(Pixel(15, 11), TBgra{0, 0, 0, 0}, 0));
  EXPECT_TRUE(Near(Pixel(17, 13), kWhite, 0));
  EXPECT_TRUE(Near(Pixel(47, 35), kWhite, 0));
  EXPECT_TRUE(Near(Pixel(49, 37), TBgra{0, 0, 0, 0}, 0));
}

TEST_F(RendererGL, ViewportMapsClipSpaceOntoItsRectangle) {
  ASSERT_TRUE(m_renderer->SetViewport({32, 24, 64, 48}, 0, 1));
  auto full = Quad({0, 0, 64, 48}, MakeColor(255, 255, 255), 0, 0, 1, 1, 0);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *full);
  EXPECT_TRUE(Near(Pixel(31, 30), TBgra{0, 0, 0, 0}, 0));
  EXPECT_TRUE(Near(Pixel(32, 24), kWhite, 0));
  EXPECT_TRUE(Near(Pixel(40, 23), TBgra{0, 0, 0, 0}, 0));
  EXPECT_FALSE(m_renderer->SetViewport({5, 5, 5, 10}, 0, 1));
}

TEST_F(RendererGL, MisuseAnswersFalseWithInvalidCall) {
  auto texture = m_renderer->CreateTexture(T3DTextureKind::Argb, 4, 4, false);
  T3DSurface* surface = texture->SurfaceLevel(0);
  const T3DRect outside{2, 2, 5, 4};
  EXPECT_EQ(surface->Lock(&outside, T3DLockMode::ReadOnly), nullptr);
  EXPECT_EQ(surface->LastResult(), T3DResult::InvalidCall);
  ASSERT_NE(surface->Lock(nullptr, T3DLockMode::ReadWrite), nullptr);
  EXPECT_EQ(surface->Lock(nullptr, T3DLockMode::ReadWrite), nullptr);
  EXPECT_TRUE(surface->Unlock());
  EXPECT_FALSE(surface->Unlock());

  EXPECT_FALSE(m_renderer->SetRenderTarget(surface)); // not a render target
  EXPECT_EQ(m_renderer->CreateTexture(T3DTextureKind::Argb, 0, 4, false), nullptr);
  EXPECT_EQ(m_renderer->CreateTexture(T3DTextureKind::Argb, 1 << 20, 4, false), nullptr);
  EXPECT_THROW(m_renderer->CreateTexture(static_cast<T3DTextureKind>(5), 4, 4, false), EAssertionFailed);

  auto list = m_renderer->CreateVertexList(4, kVertexDiffuse, 1);
  std::vector<T3DVertex> three(3);
  EXPECT_FALSE(list->Fill(2, three, 3, 0));
  EXPECT_FALSE(list->Fill(0, three, 2, 2));
  EXPECT_FALSE(list->SetPrimitive(T3DPrimitive::TriangleStrip, 1, 2));
  EXPECT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleStrip, 0, 2));
  EXPECT_THROW(list->SetPrimitive(static_cast<T3DPrimitive>(6), 0, 1), EAssertionFailed);
  EXPECT_THROW(m_renderer->SetTransform(static_cast<T3DTransformKind>(3), T3DMatrix{}), EAssertionFailed);

  EXPECT_FALSE(m_renderer->SetPixelShader(0));
  const float constants[8] = {};
  EXPECT_FALSE(m_renderer->SetPixelShaderConstants(7, constants, 2));
}

TEST(EngineGL, ReportsCapabilitiesOfAnEs3Device) {
  ASSERT_NE(SharedGLEngine(), nullptr);
  T3DEngine& engine = *SharedGLEngine();
  EXPECT_GE(engine.Caps("MaxTexWidth", 0), 2048);
  EXPECT_EQ(engine.Caps("maxtexheight", 0), engine.Caps("MaxTexWidth", 0));
  EXPECT_GE(engine.Caps("PixelShaderVersion", 0), 0x300);
  EXPECT_EQ(engine.Caps("NoSuchKey", 0), 0);
  EXPECT_EQ(engine.ShaderLevel(0), 2);
  T3DDisplayMode mode;
  ASSERT_TRUE(engine.DisplayMode(0, mode));
  EXPECT_GT(mode.width, 0);
  EXPECT_EQ(engine.AdapterForRect({0, 0, 100, 100}), 0);
}

TEST(EngineGL, FullScreenRendererTakesTheDisplayModeSize) {
  ASSERT_NE(SharedGLEngine(), nullptr);
  T3DEngine& engine = *SharedGLEngine();
  TDrawDevice device({0, 0, 0, 0});
  T3DRendererParams params;
  params.windowed = false;
  params.displayMode = {320, 200, 0, 0};
  auto renderer = engine.CreateRenderer(device, params);
  ASSERT_NE(renderer, nullptr);
  EXPECT_EQ(renderer->BackBuffer()->Width(), 320);
  EXPECT_EQ(renderer->BackBuffer()->Height(), 200);
  EXPECT_EQ(renderer->TexelOffset(), 0.0f);
  EXPECT_TRUE(renderer->SupportsLuminanceTextures());
  // A second renderer for the same output shares its device.
  auto second = engine.CreateRenderer(device, params);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Store(), renderer->Store());
}

// Without a vertical sync, presents keep to the refresh period by sleeping:
// at 100 Hz each present right after another waits 7 ms.
TEST(EngineGL, PresentsArePacedToTheRefreshRate) {
  ASSERT_NE(SharedGLEngine(), nullptr);
  T3DEngine& engine = *SharedGLEngine();
  TDrawDevice device({0, 0, 8, 8});
  T3DRendererParams params;
  params.bounds = device.Bounds();
  params.displayMode.refreshRate = 100;
  auto renderer = engine.CreateRenderer(device, params);
  ASSERT_NE(renderer, nullptr);
  ASSERT_TRUE(renderer->Present(nullptr, nullptr));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(renderer->Present(nullptr, nullptr));
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(elapsed.count(), 5 * 6);
}

} // namespace
} // namespace qx::test
