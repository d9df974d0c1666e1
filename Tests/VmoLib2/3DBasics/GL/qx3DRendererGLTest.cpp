#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

namespace qx::test {
namespace {

using RendererGL = GLDeviceTest;

TEST_F(RendererGL, ClearsAndReadsBack) {
  const T3DRect part{10, 5, 20, 15};
  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(255, 0, 0), 1));
  ASSERT_TRUE(m_renderer->Clear({&part, 1}, kClearTarget, MakeColor(0, 0, 255), 1));
  const TBitmap frame = ReadBack();
  EXPECT_EQ(frame.Width(), kWidth);
  EXPECT_EQ(frame.Height(), kHeight);
  EXPECT_TRUE(Near(frame.GetPixel(0, 0), TBgra{0, 0, 255, 255}, 0));
  EXPECT_TRUE(Near(frame.GetPixel(10, 5), TBgra{255, 0, 0, 255}, 0));
  EXPECT_TRUE(Near(frame.GetPixel(19, 14), TBgra{255, 0, 0, 255}, 0));
  EXPECT_TRUE(Near(frame.GetPixel(20, 14), TBgra{0, 0, 255, 255}, 0));
}

} // namespace
} // namespace qx::test
