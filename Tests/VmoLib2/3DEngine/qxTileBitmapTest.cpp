#include "VmoLib2/3DEngine/qxTileBitmap.h"

#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace qx {
namespace {

// Pixel (x, y) of the source has blue = x and green = y.
std::shared_ptr<TBitmap> Coordinates(int width, int height) {
  auto bitmap = std::make_shared<TBitmap>(width, height, TPixelFormat::Bgra32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bitmap->SetPixel(x, y, {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0, 255});
    }
  }
  return bitmap;
}

TEST(TileBitmap, EveryCellIsFramedByItsOwnEdge) {
  const TTileBitmap tiles(Coordinates(8, 6), 2, 3);
  EXPECT_EQ(tiles.Width(), 8 + 2 * 2);
  EXPECT_EQ(tiles.Height(), 6 + 2 * 3);
  std::vector<uint8_t> row(static_cast<size_t>(tiles.Width()) * 4);
  tiles.GetPixels(0, 0, tiles.Width(), row.data(), static_cast<int64_t>(row.size()), 0);
  // Columns: frame(0) 0 1 2 3 frame(3) | frame(4) 4 5 6 7 frame(7).
  const int expected[] = {0, 0, 1, 2, 3, 3, 4, 4, 5, 6, 7, 7};
  for (int x = 0; x < tiles.Width(); ++x) {
    EXPECT_EQ(row[static_cast<size_t>(4 * x)], expected[x]) << x;
    EXPECT_EQ(tiles.IsFrameColumn(x), x == 0 || x == 5 || x == 6 || x == 11) << x;
  }
  // Row 0 of the virtual bitmap repeats source row 0; row 3 is the first
  // cell's bottom frame (source row 1), row 4 the next cell's top (row 2).
  const int rows[] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
  for (int y = 0; y < tiles.Height(); ++y) {
    uint8_t pixel[4];
    tiles.GetPixels(2, y, 1, pixel, 4, 0);
    EXPECT_EQ(pixel[1], rows[y]) << y;
  }
  const TFloatRect cell = tiles.CellRect(1, 2);
  EXPECT_EQ(cell, (TFloatRect{7, 9, 11, 11}));
}

TEST(TileBitmap, UnevenGridGivesTheRestToTheLastCell) {
  const TTileBitmap tiles(Coordinates(7, 3), 2, 1);
  EXPECT_EQ(tiles.Width(), 7 + 4);
  EXPECT_EQ(tiles.CellRect(1, 0), (TFloatRect{6, 1, 10, 4}));
}

TEST(TileBitmap, BadReadsRaiseTheirMessages) {
  const TTileBitmap tiles(Coordinates(8, 6), 2, 3);
  uint8_t buffer[16];
  const auto message = [&](auto&& read) -> std::string {
    try {
      read();
    } catch (const EQxError& error) {
      return error.what();
    }
    return "no error";
  };
  EXPECT_EQ(message([&] { tiles.GetPixels(10, 0, 4, buffer, 16, 0); }),
            "TTileBitmap.GetPixels (10,0) out of Bitmap.Size");
  EXPECT_EQ(message([&] { tiles.GetPixels(0, 12, 1, buffer, 16, 0); }),
            "TTileBitmap.GetPixels (0,12) out of Bitmap.Size");
  EXPECT_EQ(message([&] { tiles.GetPixels(0, 0, 1, buffer, 16, -4); }), "TTileBitmap.GetPixels - Offset out of Bounds");
  EXPECT_EQ(message([&] { tiles.GetPixels(0, 0, 4, buffer, 16, 4); }),
            "TTileBitmap.GetPixels - Not Enought Pixel Buffer Space");
}

TEST(TileBitmap, RefusesGridsThatDoNotFit) {
  const test::TMutedDebugOutput muted;
  EXPECT_THROW(TTileBitmap(Coordinates(2, 2), 3, 1), EAssertionFailed);
  auto grey = std::make_shared<TBitmap>(4, 4, TPixelFormat::Gray8);
  EXPECT_THROW(TTileBitmap(grey, 1, 1), EAssertionFailed);
}

} // namespace
} // namespace qx
