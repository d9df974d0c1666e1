#include "VmoLib2/3DEngine/qxEffController.h"

#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

class TCountingController final : public TEffController {
public:
  int made = 0;

protected:
  std::unique_ptr<TEffTile> MakeTile(const TFloatRect& cell, int index) override {
    ++made;
    return std::make_unique<TEffTile>(*this, cell, index);
  }
};

TEST(EffController, CellsFollowTheBoundaries) {
  TCountingController controller;
  controller.SetGrid({0, 100, 250}, {10, 60, 90, 200});
  EXPECT_EQ(controller.Columns(), 2);
  EXPECT_EQ(controller.Rows(), 3);
  EXPECT_EQ(controller.CellRect(1, 2), (TFloatRect{100, 90, 250, 200}));
  EXPECT_EQ(controller.CellRect(0, 0), (TFloatRect{0, 10, 100, 60}));
}

TEST(EffController, TilesAreMadeOncePerCellOnFirstUse) {
  TCountingController controller;
  controller.SetGrid({0, 100, 250}, {0, 50});
  EXPECT_EQ(controller.MadeTile(1, 0), nullptr);
  TEffTile& tile = controller.Tile(1, 0);
  EXPECT_EQ(&controller.Tile(1, 0), &tile);
  EXPECT_EQ(controller.made, 1);
  EXPECT_EQ(tile.Index(), 1);
  EXPECT_EQ(tile.Cell(), (TFloatRect{100, 0, 250, 50}));
  EXPECT_EQ(&tile.Controller(), &controller);
  EXPECT_EQ(controller.MadeTile(1, 0), &tile);
  EXPECT_EQ(controller.MadeTile(0, 0), nullptr);
}

TEST(EffController, ANewGridDropsTheTiles) {
  TCountingController controller;
  controller.SetGrid({0, 100}, {0, 50});
  controller.Tile(0, 0);
  controller.SetGrid({0, 200}, {0, 80});
  EXPECT_EQ(controller.MadeTile(0, 0), nullptr);
  EXPECT_EQ(controller.Tile(0, 0).Cell(), (TFloatRect{0, 0, 200, 80}));
  EXPECT_EQ(controller.made, 2);
}

TEST(EffController, BadGridsAndCellsAreAssertions) {
  TCountingController controller;
  EXPECT_THROW(controller.SetGrid({0}, {0, 10}), EAssertionFailed);
  EXPECT_THROW(controller.SetGrid({0, 10, 10}, {0, 10}), EAssertionFailed);
  EXPECT_THROW(controller.SetGrid({0, 10}, {20, 10}), EAssertionFailed);
  controller.SetGrid({0, 10}, {0, 10});
  EXPECT_THROW(controller.Tile(1, 0), EAssertionFailed);
  EXPECT_THROW(controller.CellRect(0, -1), EAssertionFailed);
}

} // namespace
} // namespace qx
