#include "VmoLib2/3DEngine/qxDrawTwoSlides.h"

#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

namespace qx::test {
namespace {

constexpr int kCircle = 4;
constexpr TBgra kRed{0, 0, 255, 255};
constexpr TBgra kBlue{255, 0, 0, 255};

// Two whole-screen slides drawn by the drawer, one red and one blue, and
// the effecter on the drawer's screen.
class TransitionFrameTest : public DrawerTest {
protected:
  void SetUp() override {
    DrawerTest::SetUp();
    m_effecter = std::make_unique<TRenderTargetD3DEffecter>(m_drawer->Screen());
    m_effecter->Init({0, 0, kWidth, kHeight});
  }
  void TearDown() override {
    m_effecter.reset();
    DrawerTest::TearDown();
  }
  static TFunctionItem Slide(TRgba color) {
    return TFunctionItem([color](TDeviceDrawer& drawer) {
      TBoxDrawParams params;
      params.Color1 = color;
      drawer.DrawBox(FlatRect(0, 0, kWidth, kHeight), params);
    });
  }
  TBitmap Frame(TVmoFilter& filter) {
    return DrawFrame([&](TDeviceDrawer& drawer) {
      DrawTwoSlides(drawer, *m_effecter, {0, 0, kWidth, kHeight}, m_first, m_second, false, &filter);
    });
  }
  TBitmap ReadTarget() {
    TBitmap bits;
    T3DTexture* texture = m_effecter->Target(0).DeviceTexture();
    EXPECT_NE(texture, nullptr);
    if (texture) {
      EXPECT_TRUE(texture->SurfaceLevel(0)->CopyToBitmap(bits));
    }
    return bits;
  }

  std::unique_ptr<TRenderTargetD3DEffecter> m_effecter;
  TFunctionItem m_first = Slide({255, 0, 0, 255});
  TFunctionItem m_second = Slide({0, 0, 255, 255});
};

TEST_F(TransitionFrameTest, ThePlainSlideReachesTheScreenAndTheOtherTheTarget) {
  TVmoFilter circle(TTransition{kCircle, 2, 1000, TEffectParams{}});
  circle.SetProgress(0.5f);
  const TBitmap frame = Frame(circle);
  // The effects draw nothing yet: the screen shows the plain slide only.
  EXPECT_TRUE(Near(frame.GetPixel(200, 150), kRed, 0));
  TBgra rendered = ReadTarget().GetPixel(200, 150);
  rendered.a = 255;
  EXPECT_TRUE(Near(rendered, kBlue, 0));
}

TEST_F(TransitionFrameTest, PastTheEndOnlyTheSecondSlideIsDrawn) {
  TVmoFilter circle(TTransition{kCircle, 2, 1000, TEffectParams{}});
  circle.SetProgress(1.0f);
  EXPECT_TRUE(Near(Frame(circle).GetPixel(200, 150), kBlue, 0));
}

} // namespace
} // namespace qx::test
