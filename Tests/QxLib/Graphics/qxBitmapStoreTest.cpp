#include "QxLib/Graphics/qxBitmapStore.h"

#include "QxLib/Graphics/qxMipFilter.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qx {

namespace {

// A store whose decoder serves the levels listed and counts its calls.
class TCountingStore : public TSysBitmapStore {
public:
  TCountingStore(int width, int height, TPixelFormat format, int directLevels)
      : TSysBitmapStore("counting", width, height, format), m_directLevels(directLevels) {}
  const char* ClassName() const override { return "TCountingStore"; }
  int Decodes = 0;

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override {
    ++Decodes;
    if (level >= m_directLevels)
      return nullptr;
    return std::make_unique<TBitmap>(
        test::MakePattern(StoredLevelWidth(level), StoredLevelHeight(level), PixelFormat()));
  }

private:
  int m_directLevels;
};

TBitmap GreyPicture(int width, int height, std::initializer_list<int> values) {
  TBitmap bitmap(width, height, TPixelFormat::Bgr24);
  auto it = values.begin();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, ++it)
      bitmap.SetPixel(x, y,
                      TBgra{static_cast<uint8_t>(*it), static_cast<uint8_t>(*it), static_cast<uint8_t>(*it), 255});
  return bitmap;
}

} // namespace

TEST(MipFilter, ThreeByThreeHalvesToTwoByTwoWithClampedEdges) {
  const TBitmap source = GreyPicture(3, 3, {16, 32, 48, 64, 80, 96, 112, 128, 144});
  const TBitmap half = HalveBitmap(source, false);
  ASSERT_EQ(half.Width(), 2);
  ASSERT_EQ(half.Height(), 2);
  // (0,0): rows -1,0,1 -> 0,0,1 and columns likewise:
  // (16+2*16+32)*1 + (16+2*16+32)*2 + (64+2*64+80)*1 = 80 + 160 + 272 = 512 -> 32
  EXPECT_EQ(half.GetPixel(0, 0).g, 32);
  // (1,0): centre (2,0): columns 1,2,2; rows 0,0,1
  // row0: 32+96+48 = 176, x3 (weights 1+2) = 528; row1: 80+192+96 = 368 -> 896/16 = 56
  EXPECT_EQ(half.GetPixel(1, 0).g, 56);
  // (0,1): centre (0,2): columns 0,0,1; rows 1,2,2
  // row1: 64+128+80 = 272; row2: 112+224+128 = 464 x3 = 1392 -> 1664/16 = 104
  EXPECT_EQ(half.GetPixel(0, 1).g, 104);
  // (1,1): centre (2,2): row1: 80+192+96 = 368; row2: 128+288+144 = 560 x3 -> 2048/16 = 128
  EXPECT_EQ(half.GetPixel(1, 1).g, 128);
}

TEST(MipFilter, TruncatesAndKeepsOnePixel) {
  const TBitmap one = GreyPicture(1, 1, {201});
  const TBitmap half = HalveBitmap(one, true);
  EXPECT_EQ(half.Width(), 1);
  EXPECT_EQ(half.Height(), 1);
  EXPECT_EQ(half.GetPixel(0, 0), (TBgra{201, 201, 201, 255}));
  // 2 x 1: (0,0) sees columns 0,0,1 -> (1+1)*2*... 4*a + ... : (3a + b) * 4 / 16.
  const TBitmap pair = GreyPicture(2, 1, {0, 3});
  EXPECT_EQ(HalveBitmap(pair, false).GetPixel(0, 0).r, (3 * 0 + 3) * 4 / 16); // 12/16 -> 0
  const TBitmap pair2 = GreyPicture(2, 1, {1, 6});
  EXPECT_EQ(HalveBitmap(pair2, false).GetPixel(0, 0).r, 2); // (3 + 6) * 4 = 36 / 16 = 2
}

TEST(BitmapStore, LevelsAreCachedPerFormatAndHalvedFromTheLevelAbove) {
  auto store = MakeRef<TCountingStore>(9, 5, TPixelFormat::Bgr24, 1);
  const auto level0 = store->GetMipLevel(0);
  EXPECT_EQ(store->GetMipLevel(0).get(), level0.get());
  const auto level2 = store->GetMipLevel(2);
  EXPECT_EQ(level2->Width(), 3);
  EXPECT_EQ(level2->Height(), 2);
  EXPECT_EQ(store->LevelWidth(2), 3);
  EXPECT_TRUE(level2->SamePixels(HalveBitmap(*store->GetMipLevel(1), false)));
  EXPECT_EQ(store->Decodes, 3);

  const auto asBgra = store->GetMipLevel(2, TPixelFormat::Bgra32);
  EXPECT_EQ(asBgra->Format(), TPixelFormat::Bgra32);
  EXPECT_EQ(store->GetMipLevel(2, TPixelFormat::Bgra32).get(), asBgra.get());
  EXPECT_EQ(store->GetMipLevel(2, TPixelFormat::Bgr24).get(), level2.get());
  EXPECT_EQ(store->Decodes, 3);
}

TEST(BitmapStore, HalvingKeepsAlphaWhenTheStoreHasIt) {
  auto store = MakeRef<TCountingStore>(4, 4, TPixelFormat::Bgra32, 1);
  EXPECT_EQ(store->GetMipLevel(1)->Format(), TPixelFormat::Bgra32);
  auto opaque = MakeRef<TCountingStore>(4, 4, TPixelFormat::X1R5G5B5, 1);
  EXPECT_EQ(opaque->GetMipLevel(1)->Format(), TPixelFormat::Bgr24);
}

TEST(BitmapStore, PostProcessRunsOncePerProducedLevel) {
  auto store = MakeRef<TCountingStore>(4, 4, TPixelFormat::Bgr24, 1);
  std::string seen;
  store->SetPostProcess([&](TBitmap& bitmap, int level) {
    seen += std::to_string(level);
    bitmap.SetPixel(0, 0, TBgra{1, 1, 1, 255});
  });
  store->GetMipLevel(1);
  store->GetMipLevel(1, TPixelFormat::Bgra32);
  store->GetMipLevel(0);
  EXPECT_EQ(seen, "01");
  EXPECT_EQ(store->GetMipLevel(0)->GetPixel(0, 0), (TBgra{1, 1, 1, 255}));
}

TEST(BitmapStore, FailureTexts) {
  test::TMutedDebugOutput muted;
  auto store = MakeRef<TCountingStore>(4, 4, TPixelFormat::Bgr24, 0);
  try {
    store->GetMipLevel(0);
    FAIL();
  } catch (const EQxError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("TCountingStore"), std::string::npos);
    EXPECT_NE(text.find("GetMipLevel("), std::string::npos);
  }
  try {
    store->GetMipLevel(-1);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("TSysBitmapStore.GetMipLevel - Index<0"), std::string::npos);
  }
  auto good = MakeRef<TCountingStore>(4, 4, TPixelFormat::Bgr24, 1);
  EXPECT_THROW(good->GetMipLevel(0, TPixelFormat::Gray8), EAssertionFailed);
}

TEST(BitmapStore, OrientationTurnsLevelsAndReportsSwappedSize) {
  auto store = MakeRef<TCountingStore>(6, 3, TPixelFormat::Bgr24, 1);
  store->SetOrientation(6);
  EXPECT_EQ(store->Width(), 3);
  EXPECT_EQ(store->Height(), 6);
  const auto level0 = store->GetMipLevel(0);
  EXPECT_EQ(level0->Width(), 3);
  EXPECT_EQ(level0->Height(), 6);
  // The stored bottom-left pixel is now the top-left one.
  EXPECT_EQ(level0->GetPixel(0, 0), test::MakePattern(6, 3, TPixelFormat::Bgr24).GetPixel(0, 2));
  EXPECT_EQ(store->GetMipLevel(1)->Width(), 2);
  EXPECT_EQ(store->GetMipLevel(1)->Height(), 3);
  test::TMutedDebugOutput muted;
  EXPECT_THROW(store->SetOrientation(3), EAssertionFailed);
}

TEST(BitmapStore, WrapperServesItsBitmapOnce) {
  auto bitmap = std::make_unique<TBitmap>(test::MakePattern(5, 4, TPixelFormat::Bgra32));
  const TBitmap copy = bitmap->Clone();
  auto store = MakeRef<TWrapperBitmapStore>("w.bmp", std::move(bitmap));
  EXPECT_EQ(store->PixelFormat(), TPixelFormat::Bgra32);
  EXPECT_TRUE(store->GetMipLevel(0)->SamePixels(copy));
  EXPECT_EQ(store->GetMipLevel(3)->Width(), 1);
  EXPECT_TRUE(store->GetMipLevel(0)->SamePixels(copy));
}

TEST(BitmapStore, ThreadsAskingAtOnceShareOneDecode) {
  auto store = MakeRef<TCountingStore>(300, 200, TPixelFormat::Bgra32, 1);
  std::shared_ptr<const TBitmap> results[4];
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&, i] { results[i] = store->GetMipLevel(2, TPixelFormat::Bgr24); });
  for (auto& t : threads)
    t.join();
  for (const auto& r : results)
    EXPECT_EQ(r.get(), results[0].get());
  EXPECT_EQ(store->Decodes, 3);
}

} // namespace qx
