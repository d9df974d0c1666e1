// Whole slides drawn by the drawer on a headless device: objects land on
// the pixels their placement says.
#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"

#include "QxLib/qxIniStorage.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestSupport.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

namespace qx::test {
namespace {

class SlideDraw : public DrawerTest {
protected:
  // A slide of the device's size showing `body`, on a solid green
  // background, with "red.bmp" a 100 x 50 red picture.
  std::unique_ptr<TVmoSlide> MakeSlide(std::string_view body) {
    m_host.Pictures["red.bmp"] = MemoryStore(*SolidPicture(100, 50, TBgra{0, 0, 255, 255}));
    auto slide = std::make_unique<TVmoSlide>(&m_host);
    slide->SetSize({kWidth, kHeight});
    slide->SetCenter(kWidth / 2.0f, kHeight / 2.0f);
    TSlideTimes times;
    times.SlideEnd = 10000;
    times.VisibleEnd = 10000;
    slide->SetTimes(times);
    m_storage = std::make_unique<TIniStorage>();
    EXPECT_TRUE(
        m_storage->LoadFromString("[main]\r\nopt_bstyle=1\r\nopt_bname=65280\r\n[slide1]\r\n" + std::string(body)));
    slide->LoadSlide(*m_storage->FindSection("main"), *m_storage->FindSection("slide1"), false);
    slide->PrepareResources();
    slide->EvaluateAndUpdate(1000);
    return slide;
  }

  TTestHost m_host{kWidth, kHeight};
  std::unique_ptr<TIniStorage> m_storage;
};

::testing::AssertionResult NearRgb(TBgra actual, TBgra expected) {
  actual.a = expected.a;
  return Near(actual, expected, 8);
}

constexpr TBgra kRed{0, 0, 255, 255};
constexpr TBgra kGreen{0, 255, 0, 255};

TEST_F(SlideDraw, PictureLandsWhereItsPlacementSays) {
  // 100 pixels right of the centre (200, 150): the picture covers
  // 250 ... 350 x 125 ... 175.
  auto slide = MakeSlide("object p:image\r\n  ImageName=red.bmp\r\n  FitMode=None\r\n  PosMode=Absolute\r\n"
                         "  Antialiased=0\r\n  object k:keypoint\r\n    Position=100,0\r\n  end\r\nend\r\n");
  const TBitmap frame = DrawFrame(*slide);
  ASSERT_EQ(frame.Width(), kWidth);
  EXPECT_TRUE(NearRgb(frame.GetPixel(300, 150), kRed));
  EXPECT_TRUE(NearRgb(frame.GetPixel(253, 128), kRed));
  EXPECT_TRUE(NearRgb(frame.GetPixel(346, 171), kRed));
  EXPECT_TRUE(NearRgb(frame.GetPixel(245, 150), kGreen));
  EXPECT_TRUE(NearRgb(frame.GetPixel(355, 150), kGreen));
  EXPECT_TRUE(NearRgb(frame.GetPixel(300, 120), kGreen));
  EXPECT_TRUE(NearRgb(frame.GetPixel(200, 150), kGreen));
  EXPECT_TRUE(NearRgb(frame.GetPixel(2, 2), kGreen)); // the background reaches the corners
}

TEST_F(SlideDraw, HalfOpaquePictureBlendsWithTheBackground) {
  auto slide = MakeSlide("object p:image\r\n  ImageName=red.bmp\r\n  FitMode=None\r\n  Antialiased=0\r\n"
                         "  object k:keypoint\r\n    Opacity=50\r\n  end\r\nend\r\n");
  const TBitmap frame = DrawFrame(*slide);
  EXPECT_TRUE(NearRgb(frame.GetPixel(200, 150), TBgra{0, 128, 128, 255}));
}

} // namespace
} // namespace qx::test
