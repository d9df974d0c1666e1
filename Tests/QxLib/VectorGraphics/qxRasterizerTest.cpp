#include "QxLib/VectorGraphics/qxRasterizer.h"

#include "QxLib/qxExceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace qx {
namespace {

// Coverage of every pixel of a width x height target.
struct TCoverage {
  int Width = 0;
  int Height = 0;
  std::vector<int> Values;
  int Calls = 0;

  int At(int x, int y) const { return Values[static_cast<size_t>(y * Width + x)]; }
  int64_t Sum() const {
    int64_t sum = 0;
    for (const int v : Values)
      sum += v;
    return sum;
  }
};

TCoverage Rasterize(const TPath& path, int width, int height, bool evenOdd = false) {
  TOutline outline;
  outline.SetEvenOdd(evenOdd);
  outline.AddPath(path);
  outline.Finish();
  TCoverage coverage{width, height, std::vector<int>(static_cast<size_t>(width * height), 0)};
  TRasterizer rasterizer;
  rasterizer.Sweep(outline, width, height, [&](int y, int first, int last, const uint16_t* values) {
    ++coverage.Calls;
    for (int x = first; x <= last; ++x)
      coverage.Values[static_cast<size_t>(y * width + x)] += values[x - first];
  });
  return coverage;
}

TPath Rect(float x0, float y0, float x1, float y1, bool clockwise = true) {
  if (clockwise)
    return {{x0, y0, kPathMove}, {x1, y0, kPathLine}, {x1, y1, kPathLine}, {x0, y1, kPathLine}};
  return {{x0, y0, kPathMove}, {x0, y1, kPathLine}, {x1, y1, kPathLine}, {x1, y0, kPathLine}};
}

TPath Join(TPath a, const TPath& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Rasterizer, SquareOnPixelEdgesIsCoveredExactly) {
  const TCoverage c = Rasterize(Rect(2, 3, 12, 13), 16, 16);
  EXPECT_EQ(c.Sum(), 100 * kFullCoverage);
  EXPECT_EQ(c.At(2, 3), kFullCoverage);
  EXPECT_EQ(c.At(11, 12), kFullCoverage);
  EXPECT_EQ(c.At(1, 3), 0);
  EXPECT_EQ(c.At(12, 12), 0);
}

TEST(Rasterizer, SquareOffPixelEdgesKeepsItsArea) {
  // Corners on sixteenths: the area is exact, shared out among the pixels.
  const TCoverage c = Rasterize(Rect(2.5f, 3.25f, 12.5f, 13.25f), 16, 16);
  EXPECT_EQ(c.Sum(), 100 * kFullCoverage);
  EXPECT_EQ(c.At(2, 5), kFullCoverage / 2);
  EXPECT_EQ(c.At(5, 3), kFullCoverage * 3 / 4);
  EXPECT_EQ(c.At(5, 5), kFullCoverage);
}

TEST(Rasterizer, TriangleCoverageMatchesItsArea) {
  const TPath triangle{{0, 0, kPathMove}, {16, 0, kPathLine}, {0, 16, kPathLine}};
  const TCoverage c = Rasterize(triangle, 20, 20);
  // Area 128 pixels; each of the 256 sub-rows may be off by half a sample.
  EXPECT_NEAR(static_cast<double>(c.Sum()), 128.0 * kFullCoverage, 256);
  EXPECT_EQ(c.At(0, 0), kFullCoverage);
  EXPECT_EQ(c.At(15, 15), 0);
  // Pixels on the diagonal are about half covered.
  EXPECT_NEAR(c.At(7, 8), kFullCoverage / 2, 16);
}

TEST(Rasterizer, BothWindingsGiveTheSameCoverage) {
  const TPath star{{10, 1, kPathMove}, {16, 18, kPathLine}, {2, 7, kPathLine}, {18, 7, kPathLine}, {4, 18, kPathLine}};
  TPath reversed{star[0]};
  for (size_t i = star.size() - 1; i > 0; --i)
    reversed.push_back(star[i]);
  EXPECT_EQ(Rasterize(star, 20, 20).Values, Rasterize(reversed, 20, 20).Values);
  EXPECT_EQ(Rasterize(Rect(1, 1, 9, 9, true), 10, 10).Values, Rasterize(Rect(1, 1, 9, 9, false), 10, 10).Values);
}

TEST(Rasterizer, GlyphWithAHoleLeavesTheHoleEmpty) {
  // An "O": the outer contour one way, the inner the other way.
  const TPath ring = Join(Rect(0, 0, 20, 20, true), Rect(5, 5, 15, 15, false));
  const TCoverage nonZero = Rasterize(ring, 20, 20);
  EXPECT_EQ(nonZero.Sum(), (400 - 100) * kFullCoverage);
  EXPECT_EQ(nonZero.At(10, 10), 0);
  EXPECT_EQ(nonZero.At(2, 10), kFullCoverage);
  EXPECT_EQ(Rasterize(ring, 20, 20, true).Sum(), (400 - 100) * kFullCoverage);

  // Both the same way: non-zero fills the hole, even-odd does not.
  const TPath same = Join(Rect(0, 0, 20, 20, true), Rect(5, 5, 15, 15, true));
  EXPECT_EQ(Rasterize(same, 20, 20).Sum(), 400 * kFullCoverage);
  EXPECT_EQ(Rasterize(same, 20, 20, true).Sum(), 300 * kFullCoverage);
}

TEST(Rasterizer, ShapeNarrowerThanAPixelCoversOnlyThatPixel) {
  const TCoverage c = Rasterize(Rect(3.25f, 2, 3.75f, 3), 8, 8);
  EXPECT_EQ(c.At(3, 2), kFullCoverage / 2);
  EXPECT_EQ(c.Sum(), kFullCoverage / 2);
}

TEST(Rasterizer, ShapeBeyondThePictureIsClipped) {
  // Above the top and past the right edge: only the visible part counts.
  const TCoverage c = Rasterize(Rect(6, -5, 14, 4), 10, 10);
  EXPECT_EQ(c.Sum(), 4 * 4 * kFullCoverage);
  EXPECT_EQ(c.At(9, 0), kFullCoverage);
  // Entirely to the left or below: nothing, and no row is written.
  EXPECT_EQ(Rasterize(Rect(-9, 1, -2, 5), 10, 10).Calls, 0);
  EXPECT_EQ(Rasterize(Rect(1, 11, 5, 15), 10, 10).Calls, 0);
}

TEST(Rasterizer, RowsWithoutEdgesAreSkippedButCountedRight) {
  // Two shapes far apart vertically in one fill, each in its own pixel rows.
  const TCoverage c = Rasterize(Join(Rect(1, 1, 3, 2), Rect(1, 900.5f, 3, 901.5f)), 4, 1000);
  EXPECT_EQ(c.Sum(), 4 * kFullCoverage);
  EXPECT_EQ(c.At(1, 1), kFullCoverage);
  EXPECT_EQ(c.At(1, 900), kFullCoverage / 2);
  EXPECT_EQ(c.At(1, 901), kFullCoverage / 2);
}

// The largest distance of points on the flattened edges from the curve.
double FlatteningError(const TOutline& outline, const std::function<TFloatPoint(double)>& curve) {
  std::vector<TFloatPoint> samples;
  for (int i = 0; i <= 20000; ++i)
    samples.push_back(curve(i / 20000.0));
  double worst = 0;
  for (const TEdge& edge : outline.Edges()) {
    for (int k = 0; k <= 8; ++k) {
      const double t = k / 8.0;
      const double y = (edge.TopY + t * edge.Height) / 16.0;
      const double x = (edge.TopX + t * edge.Height * edge.Slope) / 16.0;
      double nearest = 1e9;
      for (const TFloatPoint& p : samples)
        nearest = std::min(nearest, std::hypot(p.x - x, p.y - y));
      worst = std::max(worst, nearest);
    }
  }
  return worst;
}

TEST(Rasterizer, CurvesAreFlattenedWithinATenthOfAPixel) {
  TOutline quad;
  quad.MoveTo({2, 40});
  quad.QuadTo({30, -30}, {58, 40});
  const double quadError = FlatteningError(quad, [](double t) {
    const double u = 1 - t;
    return TFloatPoint{u * u * 2 + 2 * t * u * 30 + t * t * 58, u * u * 40 + 2 * t * u * -30 + t * t * 40};
  });
  EXPECT_LT(quadError, 0.1);
  EXPECT_GT(quad.Edges().size(), 8U) << "a deep bend needs many lines";

  // A small cubic loop whose ends meet: a chord-length rule would draw
  // nothing at all.
  TOutline loop;
  loop.MoveTo({10, 10});
  loop.CubicTo({0, 0}, {20, 0}, {10, 10});
  const double loopError = FlatteningError(loop, [](double t) {
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * t * u * u, c = 3 * t * t * u, d = t * t * t;
    return TFloatPoint{a * 10 + b * 0 + c * 20 + d * 10, a * 10 + b * 0 + c * 0 + d * 10};
  });
  EXPECT_LT(loopError, 0.1);
  EXPECT_GT(loop.Edges().size(), 4U);
}

TEST(Rasterizer, FlatCurveBetweenNearPointsIsOneEdge) {
  TOutline outline;
  outline.MoveTo({1, 1});
  outline.QuadTo({1.5, 1.5}, {2, 2});
  EXPECT_EQ(outline.Edges().size(), 1U);
}

TEST(Rasterizer, CircleFromCubicsCoversItsArea) {
  // Four cubic quarter arcs of radius 20.
  constexpr float k = 20 * 0.5522847f;
  const float cx = 25, cy = 25, r = 20;
  const TPath circle{{cx + r, cy, kPathMove},  {cx + r, cy + k, kPathCubic}, {cx + k, cy + r, kPathCubic},
                     {cx, cy + r, kPathCubic}, {cx - k, cy + r, kPathCubic}, {cx - r, cy + k, kPathCubic},
                     {cx - r, cy, kPathCubic}, {cx - r, cy - k, kPathCubic}, {cx - k, cy - r, kPathCubic},
                     {cx, cy - r, kPathCubic}, {cx + k, cy - r, kPathCubic}, {cx + r, cy - k, kPathCubic},
                     {cx + r, cy, kPathCubic}};
  const double area = std::numbers::pi * r * r;
  EXPECT_NEAR(Rasterize(circle, 50, 50).Sum() / double(kFullCoverage), area, area * 0.002);
}

TEST(Rasterizer, BadPathsAreAssertions) {
  TOutline outline;
  try {
    outline.AddPath(TPath{{1, 1, kPathLine}});
    FAIL();
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("TOutline.AddPoint Error: No Start Point or Closed Outline"),
              std::string::npos);
  }
  try {
    outline.AddPath(TPath{{1, 1, kPathMove}, {2, 2, 7}});
    FAIL();
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("Unknown Path Command"), std::string::npos);
  }
  EXPECT_THROW(outline.AddPath(TPath{{1, 1, kPathMove}, {2, 2, kPathCubic}, {3, 3, kPathCubic}}), EAssertionFailed);
  // After an explicit end of contour a move must come first.
  EXPECT_THROW(outline.AddPath(TPath{{1, 1, kPathMove}, {5, 1, kPathLine}, {0, 0, kPathClose}, {5, 5, kPathLine}}),
               EAssertionFailed);
}

TEST(Rasterizer, HostileCoordinatesNeitherCrashNorHang) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const TPath wild{{nan, 5, kPathMove}, {1e30f, -1e30f, kPathLine},   {-inf, inf, kPathLine},
                   {3, nan, kPathLine}, {1e9f, 1e9f, kPathQuadratic}, {-1e9f, 3, kPathQuadratic},
                   {5, 5, kPathCubic},  {1e38f, 0, kPathCubic},       {2, 2, kPathCubic}};
  const TCoverage c = Rasterize(wild, 64, 64);
  for (const int v : c.Values) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, kFullCoverage);
  }
}

TEST(Rasterizer, OutlineOfMillionsOfPointsIsFilledOrRefusedClearly) {
  // Half a million points of a fine zigzag inside a small picture: filled.
  TPath zigzag{{0, 0, kPathMove}};
  for (int i = 0; i < 500000; ++i)
    zigzag.push_back({static_cast<float>(i % 2 ? 30 : 31), static_cast<float>(i) * 30.0f / 500000, kPathLine});
  zigzag.push_back({0, 30, kPathLine});
  const TCoverage c = Rasterize(zigzag, 32, 32);
  EXPECT_GT(c.Sum(), 29 * 30 * kFullCoverage);

  // Two million edges exceed the outline's limit: a clear error.
  TOutline outline;
  outline.MoveTo({0, 0});
  try {
    for (int i = 0; i < 2000000; ++i)
      outline.LineTo({static_cast<double>(i % 3), static_cast<double>(i % 2 + 1)});
    FAIL() << "no limit";
  } catch (const EQxError& error) {
    EXPECT_NE(std::string(error.what()).find("Outline too complex"), std::string::npos);
  }
}

TEST(RasterHelper, BlendsTheColourByCoverage) {
  TBitmap target(4, 2, TPixelFormat::Bgra32);
  target.Fill({0, 0, 0, 0});
  TRasterHelper helper(target);
  helper.SetColor({0, 0, 255, 255});
  helper.FillRect(0, 0, 1, 1);
  helper.FillRect(1.5, 0, 2, 1);
  EXPECT_EQ(target.GetPixel(0, 0), (TBgra{0, 0, 255, 255}));
  EXPECT_EQ(target.GetPixel(1, 0).a, 127);
  EXPECT_EQ(target.GetPixel(1, 0).r, 255);
  EXPECT_EQ(target.GetPixel(2, 0).a, 0);

  // Over an opaque pixel the colours mix by the covered share.
  target.Fill({255, 0, 0, 255});
  helper.FillRect(0.5, 0, 1, 1);
  const TBgra mixed = target.GetPixel(0, 0);
  EXPECT_EQ(mixed.a, 255);
  EXPECT_NEAR(mixed.r, 128, 1);
  EXPECT_NEAR(mixed.b, 127, 1);
}

TEST(RasterHelper, PerPixelColourAndTransform) {
  TBitmap target(8, 8, TPixelFormat::Bgra32);
  TRasterHelper helper(target);
  helper.SetColorCallback([](int x, int y) { return TBgra{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0, 255}; });
  helper.SetTransform([](float x, float y) { return TFloatPoint{x * 2 + 2, y * 2 + 2}; });
  helper.FillPath(Rect(0, 0, 2, 2));
  EXPECT_EQ(target.GetPixel(5, 3), (TBgra{5, 3, 0, 255}));
  EXPECT_EQ(target.GetPixel(6, 3).a, 0);
  EXPECT_EQ(target.GetPixel(1, 1).a, 0);
}

TEST(RasterHelper, CancelStopsTheFill) {
  TBitmap target(4, 4, TPixelFormat::Bgra32);
  TRasterHelper helper(target);
  helper.SetCancelCallback([] { return true; });
  EXPECT_THROW(helper.FillRect(0, 0, 4, 4), EAbort);
}

} // namespace
} // namespace qx
