#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

#include <vector>

namespace qx::test {
namespace {

using VertexListGL = GLDeviceTest;

// Two pixel quads as a triangle list: vertices 0-5 cover (0, 0)-(4, 4),
// vertices 6-11 cover (8, 0)-(12, 4).
std::vector<T3DVertex> TwoQuads(const GLDeviceTest& test, T3DColor first, T3DColor second) {
  std::vector<T3DVertex> vertices;
  const auto quad = [&](float left, T3DColor color) {
    const T3DVertex tl = test.At(left, 0);
    const T3DVertex tr = test.At(left + 4, 0);
    const T3DVertex bl = test.At(left, 4);
    const T3DVertex br = test.At(left + 4, 4);
    for (T3DVertex vertex : {tl, tr, bl, bl, tr, br}) {
      vertex.diffuse = color;
      vertices.push_back(vertex);
    }
  };
  quad(0, first);
  quad(8, second);
  return vertices;
}

// Refilling part of a list that has been drawn keeps the rest of it, and
// each draw shows what the list held when it was made.
TEST_F(VertexListGL, RefillAfterADrawKeepsTheVerticesNotWritten) {
  const uint32_t flags = kDrawModulateColor | kDrawModulateAlpha;
  auto list = m_renderer->CreateVertexList(12, kVertexDiffuse, 0);
  ASSERT_NE(list, nullptr);
  const std::vector<T3DVertex> red = TwoQuads(*this, MakeColor(255, 0, 0), MakeColor(255, 0, 0));
  ASSERT_TRUE(list->Fill(0, red, 12, 0));
  ASSERT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleList, 0, 4));
  Draw({}, flags, *list);

  const std::vector<T3DVertex> green = TwoQuads(*this, MakeColor(0, 255, 0), MakeColor(0, 255, 0));
  ASSERT_TRUE(list->Fill(6, green, 6, 6));
  ASSERT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleList, 0, 2));
  Draw({}, flags, *list); // only the first quad, unchanged
  ASSERT_TRUE(list->Fill(0, green, 3, 0));
  ASSERT_TRUE(list->SetPrimitive(T3DPrimitive::TriangleList, 3, 3));
  Draw({}, flags, *list); // the second half of quad one and all of quad two

  const TBitmap frame = ReadBack();
  EXPECT_TRUE(Near(frame.GetPixel(0, 0), TBgra{0, 0, 255, 255}, 0)); // first triangle: red only
  EXPECT_TRUE(Near(frame.GetPixel(3, 3), TBgra{0, 0, 255, 255}, 0)); // second triangle, still red
  EXPECT_TRUE(Near(frame.GetPixel(9, 1), TBgra{0, 255, 0, 255}, 0)); // second quad, refilled
}

} // namespace
} // namespace qx::test
