// The headless renderer on a real (off-screen) GL ES device: small shows
// packed here, rendered at single times and probed pixel by pixel.
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"

#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxTestEngines.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace qx {
namespace {

using test::TScratchFolder;
using test::TTestPackage;

constexpr int kWidth = 200;
constexpr int kHeight = 100;

// A 24-bit BMP of one colour.
std::string SolidBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  const int stride = (width * 3 + 3) & ~3;
  std::string data;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      data += {static_cast<char>(b), static_cast<char>(g), static_cast<char>(r)};
    data.append(static_cast<size_t>(stride - width * 3), '\0');
  }
  std::string bmp = "BM";
  const auto put32 = [&bmp](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      bmp += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  const auto put16 = [&bmp](uint16_t v) {
    bmp += static_cast<char>(v & 0xFF);
    bmp += static_cast<char>(v >> 8);
  };
  put32(static_cast<uint32_t>(54 + data.size()));
  put32(0);
  put32(54);
  put32(40);
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height));
  put16(1);
  put16(24);
  put32(0);
  put32(static_cast<uint32_t>(data.size()));
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  return bmp + data;
}

// Slide 1 (0 ... 2000 ms): red background, a 40 x 20 blue picture placed by
// `placement`. Slide 2 (2000 ... 4000 ms): green background, entered by a
// one-second cross-fade.
std::string Project(const std::string& placement) {
  return "[Main]\r\nVmoVersion=5.6.1\r\nopt_slidescount=2\r\nopt_synchpos1=2000\r\nopt_synchpos2=4000\r\n"
         "opt_repeat=stop\r\nopt_scr_width=200\r\nopt_scr_height=100\r\nopt_fx_enable=0\r\n"
         "opt_bstyle=1\r\nopt_bname=255\r\n"
         "[Slide1]\r\nobject Blue:image\r\n  ImageName=C:\\show\\blue.bmp\r\n  FitMode=None\r\n" +
         placement +
         "end\r\n"
         "[Slide2]\r\nUsePersonal=1\r\nPers_Fon=1\r\nbstyle=1\r\nbname=65280\r\n"
         "Pers_Effect=1\r\nEffect_Class=2\r\nEffect_Type=1\r\nEffectTime=1000\r\n";
}

class RendererTest : public testing::Test {
protected:
  void Open(const std::string& placement) {
    TTestPackage package;
    package.entries = {{"Project.vmo", kVmoDeflated, Project(placement)},
                       {"C:\\show\\blue.bmp", kVmoStored, SolidBmp(40, 20, 0, 0, 255)}};
    std::string message;
    m_show = OpenShowToRender(m_folder.Write("show.VmShow", package.Build()), false, message);
    ASSERT_NE(m_show, nullptr) << message;
    T3DEngine* engine = test::SharedGLEngine();
    ASSERT_NE(engine, nullptr);
    m_device = std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight});
    m_controller =
        std::make_unique<TVmoDrawController>(*m_device, [engine] { return std::make_unique<T3DDrawer>(*engine); });
    m_renderer = std::make_unique<TVmoRenderer>(m_show->Source(), *m_controller, false);
    m_renderer->SetPrepareTimeout(std::chrono::seconds(20));
  }

  void TearDown() override {
    m_renderer.reset();
    m_controller.reset();
    m_device.reset();
  }

  TBgra At(double time, int x, int y) {
    m_renderer->Render(time, m_frame);
    EXPECT_EQ(m_frame.Width(), kWidth);
    EXPECT_EQ(m_frame.Height(), kHeight);
    return Pixel(x, y);
  }
  TBgra Pixel(int x, int y) const {
    const uint8_t* p = m_frame.Scanline(y) + x * 4;
    return TBgra{p[0], p[1], p[2], p[3]};
  }

  TScratchFolder m_folder;
  std::unique_ptr<TVmoShowLocator> m_show;
  std::unique_ptr<TDrawDevice> m_device;
  std::unique_ptr<TVmoDrawController> m_controller;
  std::unique_ptr<TVmoRenderer> m_renderer;
  TBitmap m_frame;
};

::testing::AssertionResult Near(TBgra actual, int r, int g, int b, int tolerance = 6) {
  if (std::abs(actual.r - r) <= tolerance && std::abs(actual.g - g) <= tolerance &&
      std::abs(actual.b - b) <= tolerance && actual.a == 255)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << int(actual.r) << "," << int(actual.g) << "," << int(actual.b)
                                       << "," << int(actual.a) << "), wanted (" << r << "," << g << "," << b << ",255)";
}

TEST_F(RendererTest, APictureLandsWhereItsAbsolutePositionSays) {
  Open("  PosMode=Absolute\r\n  object K:keypoint\r\n    Position=50,0\r\n  end\r\n");
  // Centred at (100 + 50, 50): x 130 ... 170, y 40 ... 60.
  EXPECT_TRUE(Near(At(500, 150, 50), 0, 0, 255));
  EXPECT_TRUE(Near(Pixel(133, 43), 0, 0, 255));
  EXPECT_TRUE(Near(Pixel(166, 57), 0, 0, 255));
  EXPECT_TRUE(Near(Pixel(126, 50), 255, 0, 0));
  EXPECT_TRUE(Near(Pixel(174, 50), 255, 0, 0));
  EXPECT_TRUE(Near(Pixel(150, 36), 255, 0, 0));
  EXPECT_TRUE(Near(Pixel(100, 50), 255, 0, 0));
}

TEST_F(RendererTest, PercentPositionsAreHalvesOfTheSlide) {
  // 50 % of the half width is 50 pixels: the same place as above.
  Open("  object K:keypoint\r\n    Position=50,-40\r\n  end\r\n");
  // y: 50 + (-40 % of 50) = 30.
  EXPECT_TRUE(Near(At(500, 150, 30), 0, 0, 255));
  EXPECT_TRUE(Near(Pixel(150, 50), 255, 0, 0));
  EXPECT_TRUE(Near(Pixel(150, 23), 0, 0, 255));
  EXPECT_TRUE(Near(Pixel(150, 16), 255, 0, 0));
}

TEST_F(RendererTest, TheHalfPointOfAnOpacityFadeBlendsThePictureHalfway) {
  Open("  object K1:keypoint\r\n    Time=0\r\n    Opacity=0\r\n  end\r\n"
       "  object K2:keypoint\r\n    Time=1000\r\n    Opacity=100\r\n  end\r\n");
  // 50 % is alpha 128: blue over red.
  EXPECT_TRUE(Near(At(500, 100, 50), 127, 0, 128));
  EXPECT_TRUE(Near(At(0, 100, 50), 255, 0, 0));
  EXPECT_TRUE(Near(At(1500, 100, 50), 0, 0, 255));
}

TEST_F(RendererTest, TheHalfPointOfACrossFadeMixesBothSlides) {
  Open("");
  // Slide 1 alone, then the fade from 2000 to 3000 ms, then slide 2 alone.
  EXPECT_TRUE(Near(At(1000, 10, 10), 255, 0, 0));
  EXPECT_TRUE(Near(At(2500, 10, 10), 128, 128, 0, 10));
  EXPECT_TRUE(Near(At(3500, 10, 10), 0, 255, 0));
}

TEST_F(RendererTest, FramesCanGoBackInTime) {
  Open("");
  EXPECT_TRUE(Near(At(3500, 10, 10), 0, 255, 0));
  EXPECT_TRUE(Near(At(500, 10, 10), 255, 0, 0));
  EXPECT_EQ(m_renderer->FramesDrawn(), 2);
}

TEST(SlidesOnScreen, BothSlidesOnlyWhileTheTransitionRuns) {
  TScratchFolder folder;
  std::string message;
  auto show = OpenShowToRender(folder.Write("Project.vmo", Project("")), false, message);
  ASSERT_NE(show, nullptr) << message;
  const TVmoSource& source = show->Source();
  EXPECT_EQ(SlidesOnScreen(source, 0), (std::vector<int>{0}));
  EXPECT_EQ(SlidesOnScreen(source, 1999), (std::vector<int>{0}));
  EXPECT_EQ(SlidesOnScreen(source, 2000.4), (std::vector<int>{0, 1}));
  EXPECT_EQ(SlidesOnScreen(source, 2999), (std::vector<int>{0, 1}));
  EXPECT_EQ(SlidesOnScreen(source, 3000), (std::vector<int>{1}));
  // Past the end of a show that stops, the last slide stays.
  EXPECT_EQ(SlidesOnScreen(source, 9000), (std::vector<int>{1}));
  EXPECT_DOUBLE_EQ(DefaultRenderEnd(source), 4000);
}

TEST(SlidesOnScreen, ARepeatingShowGoesOnIntoItsNextPass) {
  TScratchFolder folder;
  std::string project = Project("");
  project.replace(project.find("opt_repeat=stop"), 15, "opt_repeat=repeat");
  std::string message;
  auto show = OpenShowToRender(folder.Write("Project.vmo", project), false, message);
  ASSERT_NE(show, nullptr) << message;
  const TVmoSource& source = show->Source();
  // One pass is the default end; after it the first slide comes again as
  // show index 2, then the fade into its second slide.
  EXPECT_DOUBLE_EQ(DefaultRenderEnd(source), 4000);
  EXPECT_EQ(SlidesOnScreen(source, 4500), (std::vector<int>{2}));
  EXPECT_EQ(SlidesOnScreen(source, 6500), (std::vector<int>{2, 3}));
}

} // namespace
} // namespace qx
