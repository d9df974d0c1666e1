#include "VmoLib2/VmoClasses/qxVmoSlideCache.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"

#include <gtest/gtest.h>

#include <vector>

namespace qx {
namespace {

using test::ProducerTest;
using test::ThreeSlideShow;

std::vector<int> Indexes(const TSlideCache& cache) {
  std::vector<int> indexes;
  for (const TDrawContainer* container : cache.Containers())
    indexes.push_back(container->Index());
  return indexes;
}

class SlideCache : public ProducerTest {
protected:
  // A cache owning its producer over the three-slide show, counting its
  // callbacks.
  std::unique_ptr<TSlideCache> MakeCache(int capacity, std::string_view project = {}) {
    auto cache = std::make_unique<TSlideCache>(MakeProducer(project.empty() ? ThreeSlideShow() : project), capacity);
    cache->SetOnContainerCreated([this](TDrawContainer& container) { Created.push_back(container.Index()); });
    cache->SetOnListChanged([this] { ++Changes; });
    return cache;
  }

  std::vector<int> Created;
  int Changes = 0;
};

TEST_F(SlideCache, CapacityIsKeptWithinOneToThree) {
  EXPECT_EQ(MakeCache(0)->Capacity(), 1);
  EXPECT_EQ(MakeCache(7)->Capacity(), 3);
  EXPECT_EQ(MakeCache(2)->Capacity(), 2);
}

TEST_F(SlideCache, AddsOneSlidePerCallEarliestFirst) {
  const auto cache = MakeCache(3);
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{0}));
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_FALSE(cache->Prepare(5000)) << "the wanted range is complete";
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Created, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Changes, 3);
}

TEST_F(SlideCache, DropsSlidesBehindAndKeepsIndexOrder) {
  const auto cache = MakeCache(3);
  while (cache->Prepare(5000)) {
  }
  Changes = 0;
  EXPECT_TRUE(cache->Prepare(15000));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Changes, 2) << "one drop, one addition";
  const TDrawContainer& repeated = *cache->Containers().back();
  EXPECT_EQ(repeated.Slide()->Index(), 0);
  EXPECT_EQ(repeated.RepetitionOffset(), 30000);

  // A jump back: the kept slides are dropped, the earliest missing comes
  // first and goes in front.
  EXPECT_TRUE(cache->Prepare(500));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{-1, 1}));
  EXPECT_TRUE(cache->Prepare(500));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{-1, 0, 1}));
}

// The owner draws the list it was last told about until it hears of the
// next one, so a dropped slide must outlive the notification of its drop.
TEST_F(SlideCache, DroppedSlideIsAliveWhenTheOwnerHearsOfTheDrop) {
  auto cache = std::make_unique<TSlideCache>(MakeProducer(ThreeSlideShow()), 3);
  std::vector<const TVmoSlide*> lastList;
  std::vector<int> seenIndexes;
  cache->SetOnListChanged([&] {
    for (const TVmoSlide* slide : lastList)
      seenIndexes.push_back(slide->Index());
    lastList.clear();
    for (const TDrawContainer* container : cache->Containers())
      if (container->Slide())
        lastList.push_back(container->Slide());
  });
  while (cache->Prepare(5000)) {
  }
  seenIndexes.clear();
  EXPECT_TRUE(cache->Prepare(15000));
  EXPECT_EQ(seenIndexes, (std::vector<int>{0, 1, 2, 1, 2})) << "slide 0 was read after its drop";
  cache->Clear();
}

TEST_F(SlideCache, CapacityOneKeepsOnlyTheCurrentSlide) {
  const auto cache = MakeCache(1);
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_FALSE(cache->Prepare(10500)) << "inside the transition only the first slide is wanted";
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{0}));

  EXPECT_TRUE(cache->Prepare(11500));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{0, 1})) << "the last slide stays until another is ready";
  EXPECT_FALSE(cache->Prepare(11500));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{1}));
}

TEST_F(SlideCache, LastSlideStaysUntilAnotherIsMade) {
  const auto cache = MakeCache(2);
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_TRUE(cache->Prepare(25000));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{1, 2})) << "slide 2 is kept until its successor is ready";
  EXPECT_TRUE(cache->Prepare(25000));
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{2, 3}));
}

TEST_F(SlideCache, DroppedSlidesLetGoOfTheirPictures) {
  auto files = MakeRef<test::TTestFileSource>();
  TBitmap picture(4, 4, TPixelFormat::Bgr24);
  files->Add("b.bmp", WriteBmp(picture));
  const std::string show = ThreeSlideShow("object b:image\n  ImageName=b.bmp\nend\n");
  auto producer = std::make_unique<TSlideProducer>(
      std::make_unique<TVmoSource>(test::TestAccessor(files), test::Project(show), true));
  producer->SetGeometry({0, 0, 640, 480}, TSlideFitMode::FitInside);
  producer->SetTiming(MakeRef<TTiming>());
  TSlideCache cache(std::move(producer), 1);
  const TVmoSlideHost& host = cache.Producer().Host();

  EXPECT_TRUE(cache.Prepare(15000));
  EXPECT_EQ(host.SharedPictureCount(), 1);
  EXPECT_TRUE(cache.Prepare(25000));
  EXPECT_FALSE(cache.Prepare(25000));
  EXPECT_EQ(Indexes(cache), (std::vector<int>{2}));
  EXPECT_EQ(host.SharedPictureCount(), 0) << "the dropped slide's picture is not kept";
}

TEST_F(SlideCache, SlideThatFailsLeavesAnEmptyContainer) {
  const auto cache = MakeCache(3, ThreeSlideShow(test::kFailingObject));
  while (cache->Prepare(5000)) {
  }
  const std::vector<TDrawContainer*> containers = cache->Containers();
  ASSERT_EQ(containers.size(), 3u);
  EXPECT_TRUE(containers[0]->Slide());
  EXPECT_FALSE(containers[1]->Slide());
  EXPECT_TRUE(containers[2]->Slide());
  EXPECT_EQ(Created, (std::vector<int>{0, 1, 2})) << "the failed slide is not retried";
}

TEST_F(SlideCache, ShowWithoutSlidesPreparesOnlyItsLeadIn) {
  const auto cache = MakeCache(3, "[Main]\nopt_scr_width=4\nopt_scr_height=3\n");
  EXPECT_TRUE(cache->Prepare(5000));
  EXPECT_FALSE(cache->Prepare(5000)) << "and does not raise for the slides it lacks";
  EXPECT_EQ(Indexes(*cache), (std::vector<int>{-1}));
}

TEST_F(SlideCache, ClearEmptiesTheListOnce) {
  const auto cache = MakeCache(2);
  cache->Prepare(5000);
  Changes = 0;
  cache->Clear();
  cache->Clear();
  EXPECT_EQ(cache->Count(), 0);
  EXPECT_EQ(Changes, 1);
}

TEST_F(SlideCache, BorrowedProducerOutlivesTheCache) {
  const auto producer = MakeProducer(ThreeSlideShow());
  {
    TSlideCache cache(*producer, 1);
    EXPECT_TRUE(cache.Prepare(0));
    EXPECT_EQ(&cache.Producer(), producer.get());
  }
  EXPECT_TRUE(producer->MakeSlide(0, 0));
}

} // namespace
} // namespace qx
