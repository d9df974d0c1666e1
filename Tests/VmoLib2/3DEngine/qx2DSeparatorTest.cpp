#include "VmoLib2/3DEngine/qx2DSeparator.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

using test::TRecordedTriangle;
using test::TRecordingController;

TCutVertex Alpha(double x, double y, double alpha) { return {{x, y}, {x, y, 0}, alpha}; }

double Area(std::span<const TCutVertex> vertices, const TCutPiece& piece) {
  double twice = 0;
  for (int i = 0; i < piece.count; ++i) {
    const TFloatPoint& p = vertices[static_cast<size_t>(piece.first + i)].texel;
    const TFloatPoint& q = vertices[static_cast<size_t>(piece.first + (i + 1) % piece.count)].texel;
    twice += p.x * q.y - q.x * p.y;
  }
  return std::abs(twice) / 2;
}

TEST(Separator, CutsATriangleIntoTheCellsItCrosses) {
  T2DSeparator separator;
  separator.SetGrid(std::vector<double>{0, 100, 200, 300}, std::vector<double>{0, 50, 100});
  separator.AddTriangle(Alpha(50, 10, 0), Alpha(250, 10, 255), Alpha(50, 90, 255), TPieceKind::Alpha);
  std::vector<int> cells;
  double area = 0;
  for (const TCutPiece& piece : separator.Pieces()) {
    cells.push_back(piece.cell);
    area += Area(separator.Vertices(), piece);
    for (int i = 0; i < piece.count; ++i) {
      const TCutVertex& v = separator.Vertices()[static_cast<size_t>(piece.first + i)];
      // Inside its cell ...
      const int column = piece.cell % 3;
      const int row = piece.cell / 3;
      EXPECT_GE(v.texel.x, column * 100 - 1e-9);
      EXPECT_LE(v.texel.x, column * 100 + 100 + 1e-9);
      EXPECT_GE(v.texel.y, row * 50 - 1e-9);
      EXPECT_LE(v.texel.y, row * 50 + 50 + 1e-9);
      // ... with the alpha of the plane through the corners: 0 at (50, 10)
      // rising 255 per 200 in x and 255 per 80 in y.
      EXPECT_NEAR(v.level, (v.texel.x - 50) * 255 / 200 + (v.texel.y - 10) * 255 / 80, 1e-9);
    }
  }
  EXPECT_EQ(cells, (std::vector<int>{0, 3, 1, 4, 2}));
  EXPECT_NEAR(area, 200 * 80 / 2.0, 1e-6);
}

TEST(Separator, DropsWhatLiesOutsideTheGrid) {
  T2DSeparator separator;
  separator.SetGrid(std::vector<double>{0, 100}, std::vector<double>{0, 100});
  separator.AddTriangle(Alpha(-50, -50, 255), Alpha(150, -50, 255), Alpha(-50, 150, 255), TPieceKind::Alpha);
  separator.AddTriangle(Alpha(200, 0, 255), Alpha(300, 0, 255), Alpha(200, 100, 255), TPieceKind::Alpha);
  ASSERT_EQ(separator.Pieces().size(), 1u);
  EXPECT_NEAR(Area(separator.Vertices(), separator.Pieces()[0]), 100 * 100 / 2.0, 1e-9);
}

TEST(Separator, BothSidesOfACutShareTheVeryVertex) {
  T2DSeparator separator;
  separator.SetGrid(std::vector<double>{0, 33.3, 100}, std::vector<double>{0, 100});
  separator.AddTriangle(Alpha(1.7, 3.1, 12), Alpha(97.3, 41.9, 200), Alpha(13.9, 97.7, 77), TPieceKind::Alpha);
  // Every vertex on the cut of the left piece is a vertex of the right one,
  // bit for bit: no crack between the cells.
  const auto pieces = separator.Pieces();
  ASSERT_EQ(pieces.size(), 2u);
  int shared = 0;
  for (int i = 0; i < pieces[0].count; ++i) {
    const TCutVertex& v = separator.Vertices()[static_cast<size_t>(pieces[0].first + i)];
    if (v.texel.x != 33.3) {
      continue;
    }
    for (int j = 0; j < pieces[1].count; ++j) {
      const TCutVertex& w = separator.Vertices()[static_cast<size_t>(pieces[1].first + j)];
      shared += w.texel.x == v.texel.x && w.texel.y == v.texel.y && w.level == v.level;
    }
  }
  EXPECT_EQ(shared, 2);
}

TEST(Separator, DrawsByCellOrInTheOrderAdded) {
  TRecordingController controller;
  controller.SetGrid({0, 100, 200}, {0, 100});
  T2DSeparator separator;
  separator.SetGrid(controller);
  separator.AddTriangle(Alpha(150, 0, 255), Alpha(190, 0, 255), Alpha(150, 90, 255), TPieceKind::Alpha);
  separator.AddTriangle(Alpha(10, 0, 255), Alpha(90, 0, 255), Alpha(10, 90, 255), TPieceKind::Alpha);
  separator.Draw(controller);
  ASSERT_EQ(controller.triangles.size(), 2u);
  EXPECT_EQ(controller.triangles[0].cell, 0);
  EXPECT_EQ(controller.triangles[1].cell, 1);
  EXPECT_EQ(controller.begins, 2);
  EXPECT_EQ(controller.ends, 2);
  controller.Clear();
  separator.Draw(controller, true);
  EXPECT_EQ(controller.triangles[0].cell, 1);
  EXPECT_EQ(controller.triangles[1].cell, 0);
}

TEST(Separator, PiecesKeepTheirKind) {
  TRecordingController controller;
  T2DSeparator separator;
  separator.SetGrid(controller);
  const TCutVertex a{{0, 0}, {5, 5, 7}, 100};
  const TCutVertex b{{100, 0}, {105, 5, 7}, 100};
  const TCutVertex c{{0, 100}, {5, 105, 7}, 100};
  separator.AddTriangle(a, b, c, TPieceKind::Textured);
  separator.AddTriangle(a, b, c, TPieceKind::Colored, MakeColor(200, 100, 50));
  separator.Draw(controller);
  ASSERT_EQ(controller.triangles.size(), 2u);
  EXPECT_EQ(controller.triangles[0].kind, TRecordedTriangle::TKind::Textured);
  EXPECT_EQ(controller.triangles[0].position[1], (T3DPoint{105, 5, 7}));
  EXPECT_EQ(controller.triangles[0].level[0], 100);
  // A coloured piece is shaded by its level.
  EXPECT_EQ(controller.triangles[1].kind, TRecordedTriangle::TKind::Colored);
  EXPECT_EQ(controller.triangles[1].color[0], MakeColor(78, 39, 20));
}

TEST(WholeAreaTile, CutsAlongTheControllersGridAndOnlyCellsDraw) {
  TRecordingController controller;
  controller.SetGrid({0, 50, 400}, {0, 300});
  TMultiTile& area = controller.WholeArea();
  area.Begin();
  area.AddTriangle({0, 0, 255}, {100, 0, 255}, {0, 100, 255});
  area.Flush();
  // A quadrilateral left of the cut (two triangles), a triangle right of it.
  ASSERT_EQ(controller.triangles.size(), 3u);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(20, 20), 1);
  EXPECT_DOUBLE_EQ(controller.AlphaAt(60, 20), 1);
  EXPECT_THROW(area.Begin(true, true), EAssertionFailed);
  EXPECT_THROW(area.AddAlphaTriangle({}, {}, {}), EAssertionFailed);
  EXPECT_THROW(controller.Tile(2), EAssertionFailed);
}

} // namespace
} // namespace qx
