#include "QxLib/Graphics/Video/VmoVideoExtractor.h"

#include "Tests/TestSupport/qxTestClips.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

namespace qx {
namespace {

using test::TMemoryYUVImage;

// Writes the frame index into the first luma byte; fails for one index.
class TCountingSource final : public TFrameSource {
public:
  explicit TCountingSource(int64_t failing = -1) : m_failing(failing) {
    m_params.Width = 8;
    m_params.Height = 8;
    m_params.FrameRate = 25;
    m_params.FrameCount = 100;
  }
  bool GetFrame(int64_t index, TYUVImage& image) override {
    ++Calls;
    if (index == m_failing)
      return false;
    const TYUVImage::TPlane plane = image.LockPlane(0);
    plane.Bits[0] = static_cast<uint8_t>(index);
    image.UnlockPlane(0);
    image.RefillDone();
    return true;
  }
  bool GetFrame24(int64_t, TBitmap&) override { return false; }
  std::atomic<int> Calls{0};

private:
  int64_t m_failing;
};

uint8_t FirstByte(const TVmoVideoExtractor::TTaken& taken) {
  return static_cast<const TMemoryYUVImage*>(taken.Image.Get())->Plane(0)[0];
}

struct TExtractorFixture {
  explicit TExtractorFixture(int64_t failing = -1, bool loops = false)
      : Source(new TCountingSource(failing)), Extractor(Source, true, Source->Params(), loops) {
    Extractor.AddFrame(MakeRef<TMemoryYUVImage>(8, 8));
    Extractor.AddFrame(MakeRef<TMemoryYUVImage>(8, 8));
  }
  TCountingSource* Source;
  TVmoVideoExtractor Extractor;
};

TEST(VmoVideoExtractor, IndexAndWindowOfATime) {
  TExtractorFixture fixture;
  TVmoVideoExtractor& extractor = fixture.Extractor;
  EXPECT_EQ(extractor.FrameIndex(-50), 0);
  EXPECT_EQ(extractor.FrameIndex(59), 1);
  EXPECT_EQ(extractor.FrameIndex(61), 2);
  // Past the end: the last frame, or wrapped when the clip loops.
  EXPECT_EQ(extractor.FrameIndex(4000), 99);
  EXPECT_EQ(extractor.FrameIndex(100000), 99);
  TExtractorFixture looping(-1, true);
  EXPECT_EQ(looping.Extractor.FrameIndex(4040), 1);
  EXPECT_EQ(extractor.FrameWindow(2), std::make_pair(60.0, 100.0));
}

TEST(VmoVideoExtractor, WaitingRequestIsServedAndTakingAsksForTheNextFrame) {
  TExtractorFixture fixture;
  TVmoVideoExtractor& extractor = fixture.Extractor;
  ASSERT_TRUE(extractor.Request(400, true));
  TVmoVideoExtractor::TTaken taken = extractor.Take(400, 25);
  ASSERT_TRUE(taken.Image);
  EXPECT_TRUE(taken.Exact);
  EXPECT_EQ(taken.Index, 10);
  EXPECT_EQ(FirstByte(taken), 10);
  // The next display step (frame 11) is decoded ahead into the other slot.
  EXPECT_TRUE(extractor.Request(440, true));
  extractor.GiveBack(taken);
  TVmoVideoExtractor::TTaken next = extractor.Take(440, 25);
  EXPECT_TRUE(next.Exact);
  EXPECT_EQ(FirstByte(next), 11);
  extractor.GiveBack(next);
  EXPECT_EQ(extractor.PoolSize(), 2);
}

TEST(VmoVideoExtractor, NearestFrameIsTakenWhenTheExactOneIsNotReady) {
  TExtractorFixture fixture;
  TVmoVideoExtractor& extractor = fixture.Extractor;
  ASSERT_TRUE(extractor.Request(200, true));                       // frame 5
  const TVmoVideoExtractor::TTaken taken = extractor.Take(280, 0); // frame 7 wanted
  EXPECT_FALSE(taken.Exact);
  EXPECT_EQ(taken.Index, 5);
  extractor.GiveBack(taken);
}

// A source that holds each decode until the test lets it go, and tells
// which index it was asked for.
class TGatedSource final : public TFrameSource {
public:
  TGatedSource() {
    m_params.Width = 8;
    m_params.Height = 8;
    m_params.FrameRate = 25;
    m_params.FrameCount = 100;
  }
  bool GetFrame(int64_t index, TYUVImage& image) override {
    std::unique_lock lock(m_lock);
    m_asked.push_back(index);
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_open > 0; });
    --m_open;
    image.RefillDone();
    return true;
  }
  bool GetFrame24(int64_t, TBitmap&) override { return false; }

  // Lets one decode through, or every one from now on.
  void Open(int count = 1) {
    const std::lock_guard lock(m_lock);
    m_open += count;
    m_changed.notify_all();
  }
  // The index of decode number `n` (from 0), once it has been asked for.
  int64_t Asked(size_t n) {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this, n] { return m_asked.size() > n; });
    return m_asked[n];
  }

private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<int64_t> m_asked;
  int m_open = 0;
};

TEST(VmoVideoExtractor, TakingAFrameInPlaceOfTheWantedOneAsksForTheWantedOne) {
  TGatedSource source;
  TVmoVideoExtractor extractor(&source, false, source.Params());
  // However the test ends, the thread is not left waiting in a decode.
  struct TRelease {
    TGatedSource& Source;
    ~TRelease() { Source.Open(1 << 20); }
  } release{source};
  extractor.AddFrame(MakeRef<TMemoryYUVImage>(8, 8));
  extractor.AddFrame(MakeRef<TMemoryYUVImage>(8, 8));
  source.Open();
  ASSERT_TRUE(extractor.Request(200, true)); // frame 5
  ASSERT_EQ(source.Asked(0), 5);
  // A clip standing at frame 0 (before its start, or after a seek back)
  // gets its own frame next, not frame 1 for ever.
  const TVmoVideoExtractor::TTaken taken = extractor.Take(0, 25);
  EXPECT_FALSE(taken.Exact);
  EXPECT_EQ(source.Asked(1), 0);
  source.Open();
  extractor.GiveBack(taken);
  ASSERT_TRUE(extractor.Request(0, true));
  const TVmoVideoExtractor::TTaken exact = extractor.Take(0, 25);
  EXPECT_TRUE(exact.Exact);
  // Then the thread runs one step ahead again.
  EXPECT_EQ(source.Asked(2), 1);
  source.Open();
  extractor.GiveBack(exact);
}

TEST(VmoVideoExtractor, InvalidFramesAreDecodedAgain) {
  TExtractorFixture fixture;
  TVmoVideoExtractor& extractor = fixture.Extractor;
  ASSERT_TRUE(extractor.Request(0, true));
  TVmoVideoExtractor::TTaken taken = extractor.Take(0, 25);
  static_cast<TMemoryYUVImage*>(taken.Image.Get())->SetNeedsRefill();
  extractor.GiveBack(taken);
  const int before = fixture.Source->Calls;
  ASSERT_TRUE(extractor.Request(0, true));
  EXPECT_GT(fixture.Source->Calls, before);
  taken = extractor.Take(0, 25);
  EXPECT_TRUE(taken.Exact);
  EXPECT_FALSE(taken.Image->NeedsRefill());
  extractor.GiveBack(taken);
}

TEST(VmoVideoExtractor, AFrameThatCannotBeDecodedEndsTheWaitAtOnce) {
  TExtractorFixture fixture(30);
  EXPECT_FALSE(fixture.Extractor.Request(1200, true));
  // The thread goes on serving other frames.
  EXPECT_TRUE(fixture.Extractor.Request(1240, true));
}

TEST(VmoVideoExtractor, EmptyPoolGivesNothing) {
  TCountingSource source;
  TVmoVideoExtractor extractor(&source, false, source.Params());
  EXPECT_FALSE(extractor.Take(0, 25).Image);
  EXPECT_FALSE(extractor.Request(0, false));
}

} // namespace
} // namespace qx
