#include "VmoLib2/3DBasics/GL/qxGLMagnification.h"

#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

#include <cmath>
#include <vector>

namespace qx::test {
namespace {

constexpr int kViewWidth = 64;
constexpr int kViewHeight = 48;
const TGLStageTexels kTexels{0, 8, 8};

// A triangle list of two triangles covering the pixel rectangle, texture
// coordinates (0, 0) to (uSpan, vSpan), depth `z` at its right edge.
std::vector<T3DVertex> Rect(double left, double top, double right, double bottom, float uSpan, float vSpan,
                            float rightW = 1.0f) {
  const auto at = [&](double px, double py, float u, float v, float w) {
    T3DVertex vertex;
    vertex.x = static_cast<float>((2.0 * px / kViewWidth - 1.0) * w);
    vertex.y = static_cast<float>((1.0 - 2.0 * py / kViewHeight) * w);
    vertex.z = w - 1.0f; // the w of the matrix below
    vertex.uv[0] = {u, v};
    return vertex;
  };
  const T3DVertex tl = at(left, top, 0, 0, 1);
  const T3DVertex tr = at(right, top, uSpan, 0, rightW);
  const T3DVertex bl = at(left, bottom, 0, vSpan, 1);
  const T3DVertex br = at(right, bottom, uSpan, vSpan, rightW);
  return {tl, tr, bl, bl, tr, br};
}

// Row vectors: w = z + 1.
T3DMatrix DepthAsW() {
  T3DMatrix m;
  m.at(2, 3) = 1;
  return m;
}

bool Shrinks(const std::vector<T3DVertex>& vertices, T3DPrimitive kind = T3DPrimitive::TriangleList,
             int primitives = 2) {
  return DrawShrinksTexture(vertices, kind, 0, primitives, DepthAsW(), kViewWidth, kViewHeight, kTexels);
}

TEST(GLMagnification, OneToOneAndLargerDoNotShrink) {
  EXPECT_FALSE(Shrinks(Rect(3, 5, 11, 13, 1, 1)));
  EXPECT_FALSE(Shrinks(Rect(3, 5, 19, 13, 1, 1)));       // twice as wide
  EXPECT_FALSE(Shrinks(Rect(3, 5, 11, 13, 1.0005f, 1))); // rounding noise
}

TEST(GLMagnification, ShrinkingAlongEitherAxisIsFound) {
  EXPECT_TRUE(Shrinks(Rect(3, 5, 7, 13, 1, 1)));
  EXPECT_TRUE(Shrinks(Rect(3, 5, 11, 9, 1, 1)));
  EXPECT_TRUE(Shrinks(Rect(3, 5, 11, 13, 1.01f, 1)));
}

TEST(GLMagnification, RotationAtOwnSizeDoesNotShrink) {
  // 8 x 8 texels on a square of side 8 turned by 30 degrees.
  const double c = std::cos(M_PI / 6) * 8;
  const double s = std::sin(M_PI / 6) * 8;
  std::vector<T3DVertex> vertices = Rect(0, 0, 1, 1, 1, 1);
  const double corners[4][2] = {{20, 10}, {20 + c, 10 + s}, {20 - s, 10 + c}, {20 + c - s, 10 + s + c}};
  const int order[6] = {0, 1, 2, 2, 1, 3};
  for (int i = 0; i < 6; ++i) {
    vertices[static_cast<size_t>(i)].x = static_cast<float>(2.0 * corners[order[i]][0] / kViewWidth - 1.0);
    vertices[static_cast<size_t>(i)].y = static_cast<float>(1.0 - 2.0 * corners[order[i]][1] / kViewHeight);
  }
  EXPECT_FALSE(Shrinks(vertices));
}

TEST(GLMagnification, PerspectivePointsAndLinesCountAsShrinking) {
  EXPECT_TRUE(Shrinks(Rect(3, 5, 30, 13, 1, 1, 1.5f)));
  std::vector<T3DVertex> behind = Rect(3, 5, 30, 13, 1, 1);
  for (T3DVertex& vertex : behind) {
    vertex.z = -2; // w = -1
  }
  EXPECT_TRUE(Shrinks(behind));
  EXPECT_TRUE(Shrinks(Rect(3, 5, 30, 13, 1, 1), T3DPrimitive::LineList, 3));
  EXPECT_TRUE(Shrinks(Rect(3, 5, 30, 13, 1, 1), T3DPrimitive::PointList, 6));
}

TEST(GLMagnification, TrianglesWithoutAreaAreSkippedAndRangesChecked) {
  // The first triangle has no area on the screen but maps many texels.
  std::vector<T3DVertex> vertices = Rect(3, 5, 11, 13, 1, 1);
  std::vector<T3DVertex> flat = Rect(3, 5, 3, 13, 4, 4);
  vertices.insert(vertices.begin(), flat.begin(), flat.begin() + 3);
  EXPECT_FALSE(Shrinks(vertices, T3DPrimitive::TriangleList, 3));
  EXPECT_TRUE(Shrinks(vertices, T3DPrimitive::TriangleList, 4));
  EXPECT_TRUE(
      DrawShrinksTexture(vertices, T3DPrimitive::TriangleList, -1, 1, DepthAsW(), kViewWidth, kViewHeight, kTexels));
  EXPECT_TRUE(DrawShrinksTexture(vertices, T3DPrimitive::TriangleList, 0, 1, DepthAsW(), kViewWidth, kViewHeight,
                                 TGLStageTexels{kMaxTexCoordPairs, 8, 8}));
}

TEST(GLMagnification, StripsAndFansReadTheirOwnTriangles) {
  const std::vector<T3DVertex> list = Rect(3, 5, 11, 13, 1, 1);
  const std::vector<T3DVertex> strip = {list[0], list[1], list[2], list[5]};
  EXPECT_FALSE(Shrinks(strip, T3DPrimitive::TriangleStrip, 2));
  const std::vector<T3DVertex> fan = {list[0], list[1], list[5], list[2]};
  EXPECT_FALSE(Shrinks(fan, T3DPrimitive::TriangleFan, 2));
  const std::vector<T3DVertex> small = Rect(3, 5, 7, 9, 1, 1);
  EXPECT_TRUE(Shrinks({small[0], small[1], small[2], small[5]}, T3DPrimitive::TriangleStrip, 2));
}

using LevelZeroDraws = GLDeviceTest;

// Levels red, green, blue, white of an 8 x 8 texture.
std::unique_ptr<T3DTexture> ColouredLevels(T3DRenderer& renderer) {
  auto texture = renderer.CreateTexture(T3DTextureKind::Argb, 8, 8, true);
  const TBgra colours[4] = {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}};
  for (int level = 0; texture && level < texture->LevelCount(); ++level) {
    TBitmap* rows = texture->SurfaceLevel(level)->Lock(nullptr, T3DLockMode::Discard);
    rows->Fill(colours[level]);
    texture->SurfaceLevel(level)->Unlock();
  }
  return texture;
}

// Leaving the chain out of a draw at its own size changes nothing that
// shows; a positive bias or a smaller draw still reads the chain. Scales
// stay clear of whole levels of detail, where rasterisers may round
// either way.
TEST_F(LevelZeroDraws, SamplingFollowsTheChainWhereverItShows) {
  auto texture = ColouredLevels(*m_renderer);
  ASSERT_NE(texture, nullptr);
  ASSERT_EQ(texture->LevelCount(), 4);
  texture->SetFilter(T3DFilter::Linear);
  texture->SetAddressModes(T3DAddressMode::Clamp, T3DAddressMode::Clamp);
  texture->SetMipMaps(true);
  const TBgra red{0, 0, 255, 255};
  auto own = Quad({0, 0, 8, 8}, 0xFFFFFFFF);
  auto smaller = Quad({16, 0, 19, 3}, 0xFFFFFFFF); // level of detail 1.4
  Draw({texture.get()}, kDrawTextured, *own);
  EXPECT_TRUE(Near(Pixel(3, 3), red, 0));
  Draw({texture.get()}, kDrawTextured, *smaller);
  EXPECT_EQ(Pixel(17, 1).r, 0);
  texture->SetLodBias(1.5f);
  Draw({texture.get()}, kDrawTextured, *own);
  EXPECT_EQ(Pixel(3, 3).r, 0);
  texture->SetLodBias(-1.5f);
  Draw({texture.get()}, kDrawTextured, *smaller);
  EXPECT_TRUE(Near(Pixel(17, 1), red, 0));
}

} // namespace
} // namespace qx::test
