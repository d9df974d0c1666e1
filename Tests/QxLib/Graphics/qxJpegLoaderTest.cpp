#include "QxLib/Graphics/qxJpegLoader.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxImage.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
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

// The largest and the mean difference of any channel between two bitmaps of
// the same size, both read as colour.
struct TDifference {
  int Largest = 0;
  double Mean = 0;
};

TDifference Compare(const TBitmap& a, const TBitmap& b) {
  TDifference result;
  int64_t sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) {
      const TBgra p = a.GetPixel(x, y);
      const TBgra q = b.GetPixel(x, y);
      for (const int d : {std::abs(p.b - q.b), std::abs(p.g - q.g), std::abs(p.r - q.r)}) {
        result.Largest = std::max(result.Largest, d);
        sum += d;
      }
    }
  result.Mean = static_cast<double>(sum) / (3.0 * a.Width() * a.Height());
  return result;
}

// `full` reduced by 2^level: each pixel the mean of the block it covers
// (blocks cut at the right and bottom edges).
TBitmap BoxReduced(const TBitmap& full, int level) {
  const int step = 1 << level;
  const int width = (full.Width() + step - 1) / step;
  const int height = (full.Height() + step - 1) / step;
  TBitmap result(width, height, TPixelFormat::Bgr24);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int sum[3] = {};
      int count = 0;
      for (int sy = y * step; sy < std::min(full.Height(), (y + 1) * step); ++sy)
        for (int sx = x * step; sx < std::min(full.Width(), (x + 1) * step); ++sx, ++count) {
          const TBgra p = full.GetPixel(sx, sy);
          sum[0] += p.b;
          sum[1] += p.g;
          sum[2] += p.r;
        }
      result.SetPixel(x, y,
                      TBgra{static_cast<uint8_t>(sum[0] / count), static_cast<uint8_t>(sum[1] / count),
                            static_cast<uint8_t>(sum[2] / count), 255});
    }
  return result;
}

// Every level of `jpeg` asked for in 32 bits first equals the same level
// decoded in 24 bits and converted, and is opaque.
void ExpectDirect32BitLevelsMatch(const std::string& jpeg, const std::string& what) {
  const auto direct = Open(jpeg);
  const auto converted = Open(jpeg);
  ASSERT_TRUE(direct && converted) << what;
  for (int level = 0; level <= 4; ++level) {
    const auto bgra = direct->GetMipLevel(level, TPixelFormat::Bgra32);
    const auto bgr = converted->GetMipLevel(level, TPixelFormat::Bgr24);
    ASSERT_EQ(bgra->Format(), TPixelFormat::Bgra32) << what << " level " << level;
    EXPECT_EQ(bgra->Width(), direct->LevelWidth(level)) << what << " level " << level;
    EXPECT_EQ(bgra->Height(), direct->LevelHeight(level)) << what << " level " << level;
    EXPECT_TRUE(bgra->SamePixels(ConvertBitmap(*bgr, TPixelFormat::Bgra32))) << what << " level " << level;
    bool opaque = true;
    for (int y = 0; y < bgra->Height(); ++y)
      for (int x = 0; x < bgra->Width(); ++x)
        opaque = opaque && bgra->Scanline(y)[4 * x + 3] == 255;
    EXPECT_TRUE(opaque) << what << " level " << level;
  }
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

TEST(JpegLoader, ScaledLevelsLookLikeTheFullPictureReduced) {
  // Odd sizes, so that the last blocks are partial.
  const std::string jpeg = test::EncodeJpeg(Smooth(203, 141), 95);
  const auto store = Open(jpeg);
  ASSERT_TRUE(store);
  const TBitmap full = store->GetMipLevel(0, TPixelFormat::Bgr24)->Clone();
  for (int level = 1; level <= 3; ++level) {
    const auto scaled = store->GetMipLevel(level, TPixelFormat::Bgr24);
    const TBitmap reduced = BoxReduced(full, level);
    ASSERT_EQ(scaled->Width(), reduced.Width()) << level;
    ASSERT_EQ(scaled->Height(), reduced.Height()) << level;
    const TDifference difference = Compare(*scaled, reduced);
    EXPECT_LE(difference.Mean, 2.0) << level;
    EXPECT_LE(difference.Largest, 16) << level;
  }
}

TEST(JpegLoader, ThirtyTwoBitLevelsAreDecodedDirectlyWithTheSamePixels) {
  ExpectDirect32BitLevelsMatch(test::EncodeJpeg(Smooth(101, 67)), "colour");
  ExpectDirect32BitLevelsMatch(test::EncodeJpeg(test::MakePattern(90, 70, TPixelFormat::Bgr24), 90, true),
                               "progressive");
  TBitmap grey(45, 33, TPixelFormat::Gray8);
  for (int y = 0; y < 33; ++y)
    for (int x = 0; x < 45; ++x)
      grey.Scanline(y)[x] = static_cast<uint8_t>(5 * x + 3 * y);
  ExpectDirect32BitLevelsMatch(test::EncodeJpeg(grey), "grey");
  const uint8_t red[4] = {0, 255, 255, 0};
  ExpectDirect32BitLevelsMatch(test::EncodeCmykJpeg(24, 20, red), "CMYK");

  // The level keeps what was decoded first: the 32-bit bitmap answers a
  // request for any format, and the store's own format is made from it.
  const auto store = Open(test::EncodeJpeg(Smooth(64, 48)));
  ASSERT_TRUE(store);
  const auto first = store->GetMipLevel(1, TPixelFormat::Bgra32);
  EXPECT_EQ(store->GetMipLevel(1), first);
  EXPECT_EQ(store->GetMipLevel(1, TPixelFormat::Bgr24)->Format(), TPixelFormat::Bgr24);
  EXPECT_EQ(store->GetMipLevel(1, TPixelFormat::Bgra32), first);
}

TEST(JpegLoader, ProgressiveLevelsMatchTheBaselineOnes) {
  const TBitmap pattern = Smooth(120, 80);
  const auto baseline = Open(test::EncodeJpeg(pattern, 95));
  const auto progressive = Open(test::EncodeJpeg(pattern, 95, true));
  ASSERT_TRUE(baseline && progressive);
  for (int level = 0; level <= 3; ++level) {
    const auto a = baseline->GetMipLevel(level, TPixelFormat::Bgra32);
    const auto b = progressive->GetMipLevel(level, TPixelFormat::Bgra32);
    ASSERT_EQ(a->Width(), b->Width());
    EXPECT_LE(Compare(*a, *b).Largest, 3) << level;
  }
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
  // Every level fails with libjpeg's message, in either format.
  for (const TPixelFormat format : {TPixelFormat::Bgr24, TPixelFormat::Bgra32})
    for (int level = 0; level <= 3; ++level)
      try {
        DecodeJpeg(broken, level, {}, format);
        ADD_FAILURE() << "level " << level << " decoded";
      } catch (const EQxError& error) {
        EXPECT_NE(std::string(error.what()).find("JPEG decoding failed: "), std::string::npos) << error.what();
      }
  // A file cut in its scan decodes what is there (libjpeg fills the rest).
  ASSERT_GT(jpeg.size(), 3000u);
  const auto cut = Open(jpeg.substr(0, jpeg.size() * 3 / 4));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->GetMipLevel(0)->Width(), 128);
}

} // namespace qx
