#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"

#include "Tests/QxLib/Graphics/PictureTestSupport.h"

namespace qx::test {
namespace {

using CustomTexture = ScreenTest;

TEST_F(CustomTexture, SidesArePowersOfTwoOfAtLeast32) {
  const TBitmap picture(100, 50, TPixelFormat::Bgra32);
  TBitmapTexture texture(*m_screen, picture);
  EXPECT_EQ(texture.TextureWidth(), 128);
  EXPECT_EQ(texture.TextureHeight(), 64);
  EXPECT_DOUBLE_EQ(texture.ScaleU(), 1.0 / 128);
  texture.SetSize(20, 20);
  EXPECT_EQ(texture.TextureWidth(), 32);
  EXPECT_EQ(texture.TextureHeight(), 32);
  texture.SetSize(256, 257);
  EXPECT_EQ(texture.TextureWidth(), 256);
  EXPECT_EQ(texture.TextureHeight(), 512);
  texture.SetSize(0, 10);
  EXPECT_EQ(texture.TextureWidth(), 0);
  Begin();
  EXPECT_EQ(texture.DeviceTexture(), nullptr) << "an empty picture has no texture";
  Finish();
}

TEST_F(CustomTexture, DeviceTextureHasTheRoundedSizeAndShowsThePictureAtOneToOne) {
  const auto picture = NoisePicture(100, 50, 11);
  TBitmapTexture texture(*m_screen, *picture);
  Begin();
  T3DTexture* device = texture.DeviceTexture();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->Width(), 128);
  EXPECT_EQ(device->Height(), 64);
  m_screen->DrawTexture(texture, {0, 0, 100, 50}, TPlacement::Flat({30, 40, 130, 90}));
  const TBitmap frame = Finish();
  for (const auto& [x, y] : {std::pair{0, 0}, {99, 0}, {0, 49}, {99, 49}, {57, 23}}) {
    EXPECT_TRUE(frame.GetPixel(30 + x, 40 + y) == picture->GetPixel(x, y)) << x << "," << y;
  }
}

TEST_F(CustomTexture, OpacityIsTheQuadsAlphaAndZeroDrawsNothing) {
  const auto picture = std::make_shared<TBitmap>(4, 4, TPixelFormat::Bgra32);
  picture->Fill({0, 0, 200, 255});
  TBitmapTexture texture(*m_screen, *picture);
  texture.SetOpacity(128);
  Begin();
  m_screen->DrawTexture(texture, {0, 0, 4, 4}, TPlacement::Flat({0, 0, 10, 10}));
  texture.SetOpacity(0);
  m_screen->DrawTexture(texture, {0, 0, 4, 4}, TPlacement::Flat({20, 0, 30, 10}));
  const TBitmap frame = Finish();
  EXPECT_NEAR(frame.GetPixel(5, 5).r, 100, 1);
  EXPECT_EQ(frame.GetPixel(25, 5).r, 0);
}

TEST_F(CustomTexture, MipChainIsAveragedFromLevelZero) {
  // Columns alternate black and white: every smaller level is mid grey.
  const auto picture = std::make_shared<TBitmap>(64, 64, TPixelFormat::Bgra32);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t v = (x % 2) ? 255 : 0;
      picture->SetPixel(x, y, {v, v, v, 255});
    }
  }
  TBitmapTexture texture(*m_screen, *picture);
  texture.SetMipMaps(true);
  Begin();
  T3DTexture* device = texture.DeviceTexture();
  ASSERT_NE(device, nullptr);
  if (device->LevelCount() == 1) {
    GTEST_SKIP() << "device without anisotropic filtering keeps one level";
  }
  EXPECT_EQ(device->LevelCount(), 7);
  // Drawn at an eighth of its size the picture samples the small levels.
  m_screen->DrawTexture(texture, {0, 0, 64, 64}, TPlacement::Flat({0, 0, 8, 8}));
  const TBitmap frame = Finish();
  EXPECT_NEAR(frame.GetPixel(4, 4).r, 128, 3);
}

TEST(MipAverage, AveragesBlocksAndKeepsOddEdges) {
  const TMutedDebugOutput muted;
  TBitmap source(3, 2, TPixelFormat::Bgra32);
  source.SetPixel(0, 0, {0, 0, 0, 0});
  source.SetPixel(1, 0, {100, 100, 100, 100});
  source.SetPixel(0, 1, {200, 200, 200, 200});
  source.SetPixel(1, 1, {40, 40, 40, 40});
  TBitmap level(1, 1, TPixelFormat::Bgra32);
  AverageMipLevel(source, level);
  EXPECT_TRUE(level.GetPixel(0, 0) == (TBgra{85, 85, 85, 85}));
  TBitmap wrong(2, 1, TPixelFormat::Bgra32);
  EXPECT_THROW(AverageMipLevel(source, wrong), EAssertionFailed);
  TBitmap grey(1, 1, TPixelFormat::Gray8);
  EXPECT_THROW(AverageMipLevel(source, grey), EAssertionFailed);
}

} // namespace
} // namespace qx::test
