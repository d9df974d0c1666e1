#include "VmoLib2/3DEngine/qxTextureManager6.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

int Choose(int width, int height, std::array<bool, 6> available = {true, true, true, true, true, true}) {
  return ChooseTileSize(kTileSizes, available, width, height);
}

TEST(TileChoice, MostCoveredPixelsWin) {
  EXPECT_EQ(Choose(1002, 702), 0); // 256 x 256
  EXPECT_EQ(Choose(1002, 100), 3) << "256 x 128 covers as much with less waste";
  EXPECT_EQ(Choose(1002, 50), 4);  // 256 x 64
  EXPECT_EQ(Choose(100, 1000), 1); // 128 x 256
  EXPECT_EQ(Choose(40, 1000), 2);  // 64 x 256
  EXPECT_EQ(Choose(40, 40), 5);    // 64 x 64
}

TEST(TileChoice, EqualCoverAndWasteGoesToTheEarlierSize) {
  // 10 x 10 is covered whole by every size; 64 x 64 wastes least.
  EXPECT_EQ(Choose(10, 10), 5);
  // Without 64 x 64, 64 x 256 and 256 x 64 waste the same: the earlier wins.
  EXPECT_EQ(Choose(10, 10, {true, true, true, true, true, false}), 2);
}

TEST(TileChoice, RemovedSizesAreSkipped) {
  EXPECT_EQ(Choose(1002, 702, {false, true, true, true, true, true}), 1);
  EXPECT_EQ(Choose(1002, 702, {false, false, false, false, false, true}), 5);
  EXPECT_EQ(Choose(1002, 702, {false, false, false, false, false, false}), -1);
}

} // namespace
} // namespace qx
