#include "VmoLib2/VmoViewer/qxVmoPlayList.h"

#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace qx {
namespace {

TPlayList ThreeSongs() {
  TPlayList list;
  list.Append("a.mp3", 1000);
  list.Append("b.mp3", 2500);
  list.Append("c.mp3", 500);
  return list;
}

TEST(PlayList, EntriesFollowEachOtherAndComeRoundShiftedByTheTotal) {
  const TPlayList list = ThreeSongs();
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.TotalLength(), 4000);
  EXPECT_EQ(list.Entry(1).Start, 1000);
  const TMusicItemInfo again = list.Entry(7); // second entry of the third round
  EXPECT_EQ(again.FileName, "b.mp3");
  EXPECT_EQ(again.Start, 1000 + 2 * 4000);
  EXPECT_EQ(again.Duration, 2500);
  EXPECT_THROW(list.Entry(-1), EAssertionFailed);
  const TMusicItemInfo none = TPlayList().Entry(5);
  EXPECT_TRUE(none.FileName.empty());
  EXPECT_EQ(none.Start + none.Duration, 0);
}

TEST(PlayList, AShuffledCopyPlaysEveryEntryOncePerPass) {
  TPlayList source = ThreeSongs();
  source.SetRepeat(true);
  std::mt19937 random(7);
  const TPlayList copy = TPlayList::ShuffledCopy(source, 7, random);
  ASSERT_EQ(copy.Count(), 21);
  EXPECT_TRUE(copy.IsRepeat());
  EXPECT_EQ(copy.TotalLength(), 7 * 4000);
  std::set<std::vector<std::string>> orders;
  for (int pass = 0; pass < 7; ++pass) {
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i)
      names.push_back(copy.Items()[static_cast<size_t>(pass * 3 + i)].FileName);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
    orders.insert(names);
  }
  EXPECT_GT(orders.size(), 1u) << "every pass drew the same order";
  for (int i = 1; i < copy.Count(); ++i) {
    const TMusicItemInfo& before = copy.Items()[static_cast<size_t>(i - 1)];
    EXPECT_EQ(copy.Items()[static_cast<size_t>(i)].Start, before.Start + before.Duration);
  }
  EXPECT_EQ(TPlayList::ShuffledCopy(source, 0, random).Count(), 3); // at least one pass
}

} // namespace
} // namespace qx
