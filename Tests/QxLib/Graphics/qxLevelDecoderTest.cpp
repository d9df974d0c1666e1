#include "QxLib/Graphics/qxLevelDecoder.h"

#include "QxLib/Graphics/qxImage.h"
#include "QxLib/Graphics/qxJpegLoader.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qx {

namespace {

TRefPtr<TBitmapStore> OpenJpeg(const std::string& bytes) {
  const auto image = ImageLoaders().Open(test::StreamOf(bytes), "photo.jpg");
  return image ? image->StoreRef() : nullptr;
}

// A store that serves level 0 only and counts its decodes.
class TCountingStore final : public TSysBitmapStore {
public:
  explicit TCountingStore(int side) : TSysBitmapStore("counted", side, side, TPixelFormat::Bgr24), m_side(side) {}
  const char* ClassName() const override { return "TCountingStore"; }
  int Decodes() const { return m_decodes; }

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override {
    if (level != 0)
      return nullptr;
    ++m_decodes;
    return std::make_unique<TBitmap>(test::MakePattern(m_side, m_side, TPixelFormat::Bgr24));
  }

private:
  int m_side;
  int m_decodes = 0;
};

} // namespace

TEST(LevelDecoder, LevelsDecodedAheadAreTheOnesLaterAskedFor) {
  const std::string jpeg = test::EncodeJpeg(test::MakePattern(96, 64, TPixelFormat::Bgr24));
  const auto store = OpenJpeg(jpeg);
  const auto reference = OpenJpeg(jpeg);
  ASSERT_TRUE(store && reference);
  const auto counted = MakeRef<TCountingStore>(40);
  std::vector<std::shared_ptr<const TLevelDecoder::TJob>> jobs;
  {
    TLevelDecoder decoder;
    jobs.push_back(decoder.Submit(store, 1, TPixelFormat::Bgra32));
    // Level 2 of the counting store is halved twice from one decode of
    // level 0, made on the decoder's thread.
    jobs.push_back(decoder.Submit(counted, 2, TPixelFormat::None));
    decoder.WaitIdle();
    for (const auto& job : jobs)
      EXPECT_TRUE(job->Done());
  }
  EXPECT_EQ(counted->Decodes(), 1);
  EXPECT_EQ(counted->GetMipLevel(2)->Width(), 10);
  EXPECT_EQ(counted->Decodes(), 1);
  // The level is cached in the format asked for, with the pixels a decode
  // on this thread gives.
  const auto ahead = store->GetMipLevel(1, TPixelFormat::Bgra32);
  EXPECT_EQ(ahead, store->GetMipLevel(1));
  EXPECT_TRUE(ahead->SamePixels(*reference->GetMipLevel(1, TPixelFormat::Bgra32)));
}

TEST(LevelDecoder, FailedDecodeIsDoneAndLeftToItsUser) {
  test::TMutedDebugOutput muted;
  const std::string jpeg = test::EncodeJpeg(test::MakePattern(64, 48, TPixelFormat::Bgr24));
  // The bytes end before the scan: no level decodes.
  const auto damaged = MakeRef<TJpegBitmapStore>("damaged.jpg", jpeg.substr(0, jpeg.find("\xFF\xDA")),
                                                 TJpegInfo{64, 48, 3, false});
  TLevelDecoder decoder;
  const auto job = decoder.Submit(damaged, 0, TPixelFormat::Bgra32);
  decoder.WaitIdle();
  EXPECT_TRUE(job->Done());
  // The error reaches whoever asks for the level, as without the decoder.
  EXPECT_THROW(damaged->GetMipLevel(0, TPixelFormat::Bgra32), EQxError);
}

TEST(LevelDecoder, StopsWithJobsStillQueued) {
  const std::string jpeg = test::EncodeJpeg(test::MakePattern(200, 150, TPixelFormat::Bgr24));
  std::vector<TRefPtr<TBitmapStore>> stores;
  std::vector<std::shared_ptr<const TLevelDecoder::TJob>> jobs;
  {
    TLevelDecoder decoder;
    for (int i = 0; i < 20; ++i) {
      stores.push_back(OpenJpeg(jpeg));
      ASSERT_TRUE(stores.back());
      jobs.push_back(decoder.Submit(stores.back(), 0, TPixelFormat::Bgra32));
    }
  }
  // The stop neither waited for the queue nor left a store half-decoded.
  for (const auto& store : stores)
    EXPECT_EQ(store->GetMipLevel(0, TPixelFormat::Bgra32)->Width(), 200);
}

} // namespace qx
