#include "QxLib/Graphics/qxJpegLoader.h"

#include "QxLib/Graphics/qxImage.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace qx {

namespace {

// A smooth colour picture that survives compression with small errors.
TBitmap Smooth(int width, int height) {
  TBitmap bitmap(width, height, TPixelFormat::Bgr24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, TBgra{static_cast<uint8_t>(40 + x), static_cast<uint8_t>(60 + y), 200, 255});
  return bitmap;
}

TRefPtr<TBitmapStore> Open(const std::string& bytes, const std::string& name = "photo.jpg") {
  const auto image = ImageLoaders().Open(test::StreamOf(bytes), name);
  return image ? image->StoreRef() : nullptr;
}

} // namespace

TEST(JpegLoader, LevelsComeFromDctScaling) {
  const std::string jpeg = test::EncodeJpeg(Smooth(101, 67));
  const auto store = Open(jpeg);
  ASSERT_TRUE(store);
  EXPECT_STREQ(store->ClassName(), "TJpegBitmapStore");
  EXPECT_EQ(store->PixelFormat(), TPixelFormat::Bgr24);
  const int expected[][2] = {{101, 67}, {51, 34}, {26, 17}, {13, 9}, {7, 5}};
  for (int level = 0; level <= 4; ++level) {
    const auto bitmap = store->GetMipLevel(level);
    EXPECT_EQ(bitmap->Width(), expected[level][0]) << level;
    EXPECT_EQ(bitmap->Height(), expected[level][1]) << level;
    EXPECT_EQ(store->LevelWidth(level), expected[level][0]);
  }
  // Decoded colours are close to the original.
  const TBgra centre = store->GetMipLevel(0)->GetPixel(50, 30);
  EXPECT_NEAR(centre.b, 90, 4);
  EXPECT_NEAR(centre.g, 90, 4);
  EXPECT_NEAR(centre.r, 200, 4);
  const TBgra small = store->GetMipLevel(3)->GetPixel(6, 4);
  EXPECT_NEAR(small.r, 200, 6);
}

TEST(JpegLoader, OrientationFromTheSourceSwapsTheSides) {
  auto image = ImageLoaders().Open(test::StreamOf(test::EncodeJpeg(Smooth(48, 32))), "turned.jpg");
  ASSERT_TRUE(image);
  image->SetOrientation(8);
  EXPECT_EQ(image->Params().Width, 32);
  EXPECT_EQ(image->Params().Height, 48);
  const auto level1 = image->Store().GetMipLevel(1);
  EXPECT_EQ(level1->Width(), 16);
  EXPECT_EQ(level1->Height(), 24);
  // A quarter turn counter-clockwise brings the right edge (blue 40 + 47)
  // to the top.
  EXPECT_NEAR(image->Store().GetMipLevel(0)->GetPixel(16, 0).b, 87, 4);
}

TEST(JpegLoader, GreyScaleIsExpandedAndReportsTwoHalves) {
  TBitmap grey(40, 30, TPixelFormat::Gray8);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      grey.Scanline(y)[x] = static_cast<uint8_t>(3 * x + 2 * y);
  const auto store = Open(test::EncodeJpeg(grey));
  ASSERT_TRUE(store);
  std::vector<double> seen;
  store->SetProgressCallback([&](double f) { seen.push_back(f); });
  const auto level = store->GetMipLevel(1);
  EXPECT_EQ(level->Format(), TPixelFormat::Bgr24);
  EXPECT_EQ(level->Width(), 20);
  for (int x = 0; x < 20; ++x) {
    const TBgra p = level->GetPixel(x, 7);
    EXPECT_EQ(p.b, p.g);
    EXPECT_EQ(p.g, p.r);
  }
  ASSERT_FALSE(seen.empty());
  EXPECT_DOUBLE_EQ(seen.back(), 1.0);
  for (size_t i = 1; i < seen.size(); ++i)
    EXPECT_GE(seen[i], seen[i - 1]);
  // Decoding reports up to one half; expanding the rows the other half.
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](double f) { return f > 0 && f <= 0.5; }));
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](double f) { return f > 0.5 && f < 1.0; }));
}

TEST(JpegLoader, CmykPicturesAreConverted) {
  // C = 0, M = 255, Y = 255, K = 0 (plain values): full red.
  const uint8_t red[4] = {0, 255, 255, 0};
  const auto store = Open(test::EncodeCmykJpeg(16, 16, red));
  ASSERT_TRUE(store);
  const TBgra p = store->GetMipLevel(0)->GetPixel(8, 8);
  EXPECT_NEAR(p.r, 255, 3);
  EXPECT_NEAR(p.g, 0, 3);
  EXPECT_NEAR(p.b, 0, 3);
}

TEST(JpegLoader, ColourProgressRunsToOne) {
  const auto store = Open(test::EncodeJpeg(Smooth(64, 64)));
  ASSERT_TRUE(store);
  std::vector<double> seen;
  store->SetProgressCallback([&](double f) { seen.push_back(f); });
  store->GetMipLevel(0);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_LE(seen.front(), 0.5);
  EXPECT_DOUBLE_EQ(seen.back(), 1.0);
}

TEST(JpegLoader, RejectsNonJpegAndOversizedHeaders) {
  test::TMutedDebugOutput muted;
  EXPECT_FALSE(Open("not a jpeg at all"));
  std::string jpeg = test::EncodeJpeg(Smooth(16, 16));
  // Find the start-of-frame marker and promise 65000 x 65000 pixels.
  const size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  std::string huge = jpeg;
  huge[sof + 5] = huge[sof + 7] = static_cast<char>(0xFD);
  huge[sof + 6] = huge[sof + 8] = static_cast<char>(0xE8);
  EXPECT_FALSE(Open(huge));
  std::string empty = jpeg;
  empty[sof + 5] = empty[sof + 6] = 0; // height 0
  EXPECT_FALSE(Open(empty));
}

TEST(JpegLoader, DamagedDataFailsWithAnErrorNotAnExit) {
  test::TMutedDebugOutput muted;
  const std::string jpeg = test::EncodeJpeg(test::MakePattern(128, 96, TPixelFormat::Bgr24));
  // An over-subscribed Huffman table: libjpeg's fatal error path must come
  // back to us as a rejection.
  const size_t dht = jpeg.find("\xFF\xC4");
  ASSERT_NE(dht, std::string::npos);
  std::string broken = jpeg;
  for (size_t i = dht + 5; i < dht + 21; ++i)
    broken[i] = static_cast<char>(0xFF);
  EXPECT_FALSE(Open(broken));
  EXPECT_THROW(DecodeJpeg(broken, 0), EQxError);
  // A file cut in its scan decodes what is there (libjpeg fills the rest).
  ASSERT_GT(jpeg.size(), 3000u);
  const auto cut = Open(jpeg.substr(0, jpeg.size() * 3 / 4));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->GetMipLevel(0)->Width(), 128);
}

} // namespace qx
