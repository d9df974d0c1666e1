#include "QxLib/Graphics/qxBitmap.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxBitmapOrientation.h"
#include "QxLib/Graphics/qxResample.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {

TEST(Bitmap, CropViewSharesPixelsAndOutlivesItsSource) {
  TBitmap view;
  {
    TBitmap whole = test::MakePattern(10, 8, TPixelFormat::Bgra32);
    view = whole.CropView(3, 2, 4, 5);
    whole.SetPixel(3, 2, TBgra{1, 2, 3, 4});
    EXPECT_TRUE(view.IsView());
    EXPECT_EQ(view.Stride(), whole.Stride());
  }
  EXPECT_EQ(view.GetPixel(0, 0), (TBgra{1, 2, 3, 4}));
  EXPECT_EQ(view.GetPixel(3, 4), (TBgra{static_cast<uint8_t>(6 * 7), static_cast<uint8_t>(6 * 11), 12, 249}));
  test::TMutedDebugOutput muted;
  EXPECT_THROW(view.CropView(2, 2, 3, 1), EAssertionFailed);
}

TEST(Bitmap, DrawClipsToTheTarget) {
  TBitmap target(4, 4, TPixelFormat::Bgr24);
  TBitmap dot(3, 3, TPixelFormat::Bgr24);
  dot.Fill(TBgra{9, 9, 9, 255});
  target.Draw(dot, 2, -1);
  EXPECT_EQ(target.GetPixel(3, 1), (TBgra{9, 9, 9, 255}));
  EXPECT_EQ(target.GetPixel(1, 1), (TBgra{0, 0, 0, 255}));
  EXPECT_EQ(target.GetPixel(3, 2), (TBgra{0, 0, 0, 255}));
}

TEST(Bitmap, PictureSizeLimits) {
  EXPECT_NO_THROW(CheckPictureSize(16384, 8192, TPixelFormat::Bgra32));
  EXPECT_THROW(CheckPictureSize(16385, 10, TPixelFormat::Bgr24), EPictureTooLarge);
  EXPECT_THROW(CheckPictureSize(100000, 100000, TPixelFormat::Bgr24), EPictureTooLarge);
  EXPECT_THROW(CheckPictureSize(16384, 16384, TPixelFormat::Bgra32), EPictureTooLarge); // 1 GiB
  EXPECT_THROW(CheckPictureSize(0, 10, TPixelFormat::Bgr24), EQxError);
  EXPECT_THROW(TBitmap(30000, 30000, TPixelFormat::Bgra32), EPictureTooLarge);
}

TEST(BitmapConvert, RoundTripsKeepWhatTheFormatsHold) {
  const TBitmap source = test::MakePattern(5, 3, TPixelFormat::Bgra32);
  const TBitmap bgr = ConvertBitmap(source, TPixelFormat::Bgr24);
  EXPECT_EQ(bgr.GetPixel(4, 2), (TBgra{28, 22, 6, 255}));
  EXPECT_EQ(ConvertBitmap(bgr, TPixelFormat::Bgra32).GetPixel(4, 2), (TBgra{28, 22, 6, 255}));

  TBitmap white(1, 1, TPixelFormat::Bgr24);
  white.Fill(TBgra{255, 255, 255, 255});
  for (TPixelFormat f : {TPixelFormat::X1R5G5B5, TPixelFormat::R5G6B5}) {
    const TBitmap packed = ConvertBitmap(white, f);
    EXPECT_EQ(ConvertBitmap(packed, TPixelFormat::Bgr24).GetPixel(0, 0), (TBgra{255, 255, 255, 255}));
  }
  TBitmap colour(1, 1, TPixelFormat::Bgr24);
  colour.SetPixel(0, 0, TBgra{0x18, 0x84, 0xF0, 255});
  const TBitmap r565 = ConvertBitmap(colour, TPixelFormat::R5G6B5);
  EXPECT_EQ(r565.Scanline(0)[0] | (r565.Scanline(0)[1] << 8), (0x1E << 11) | (0x21 << 5) | 0x03);
  EXPECT_EQ(ConvertBitmap(r565, TPixelFormat::Bgr24).GetPixel(0, 0), (TBgra{0x18, 0x86, 0xF7, 255}));

  TBitmap grey(2, 1, TPixelFormat::Gray8);
  grey.Scanline(0)[1] = 77;
  EXPECT_EQ(ConvertBitmap(grey, TPixelFormat::Bgra32).GetPixel(1, 0), (TBgra{77, 77, 77, 255}));
  EXPECT_EQ(ExtractAlpha(source).Scanline(0)[4], 251);
}

TEST(BitmapConvert, ImpossibleCombinationIsAnAssertion) {
  test::TMutedDebugOutput muted;
  const TBitmap source = test::MakePattern(2, 2, TPixelFormat::Bgr24);
  try {
    ConvertBitmap(source, TPixelFormat::Gray8);
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("Invalid Combination Of Bitmap Parameters"), std::string::npos);
  }
  EXPECT_THROW(ConvertBitmap(source, TPixelFormat::None), EAssertionFailed);
}

TEST(Resample, BilinearKeepsFlatAreasAndInterpolatesEdges) {
  TBitmap flat(7, 5, TPixelFormat::Bgra32);
  flat.Fill(TBgra{10, 20, 30, 40});
  const TBitmap big = ResizeBilinear(flat, 23, 2);
  for (int x = 0; x < 23; ++x)
    EXPECT_EQ(big.GetPixel(x, 1), (TBgra{10, 20, 30, 40}));

  TBitmap ramp(2, 1, TPixelFormat::Gray8);
  ramp.Scanline(0)[0] = 0;
  ramp.Scanline(0)[1] = 200;
  const TBitmap wide = ResizeBilinear(ramp, 4, 1);
  // Centres of the output land at -0.25, 0.25, 0.75, 1.25 source pixels.
  EXPECT_EQ(wide.Scanline(0)[0], 0);
  EXPECT_EQ(wide.Scanline(0)[1], 50);
  EXPECT_EQ(wide.Scanline(0)[2], 150);
  EXPECT_EQ(wide.Scanline(0)[3], 200);
  EXPECT_EQ(ResizeBilinear(test::MakePattern(3, 3, TPixelFormat::Bgr24), 1, 1).GetPixel(0, 0),
            test::MakePattern(3, 3, TPixelFormat::Bgr24).GetPixel(1, 1));
}

TEST(Orientation, TurnsAndSwapsSides) {
  // 3 x 2 picture; pixel value = its index in reading order.
  TBitmap source(3, 2, TPixelFormat::Gray8);
  for (int i = 0; i < 6; ++i)
    source.Scanline(i / 3)[i % 3] = static_cast<uint8_t>(i);
  const auto rows = [](const TBitmap& b) {
    std::string text;
    for (int y = 0; y < b.Height(); ++y) {
      for (int x = 0; x < b.Width(); ++x)
        text += static_cast<char>('0' + b.Scanline(y)[x]);
      text += '/';
    }
    return text;
  };
  EXPECT_EQ(rows(ApplyOrientation(source, 1)), "012/345/");
  EXPECT_EQ(rows(ApplyOrientation(source, 3)), "543/210/");
  EXPECT_EQ(rows(ApplyOrientation(source, 6)), "30/41/52/"); // quarter turn clockwise
  EXPECT_EQ(rows(ApplyOrientation(source, 8)), "25/14/03/"); // counter-clockwise
  EXPECT_TRUE(OrientationSwapsSides(6));
  EXPECT_FALSE(OrientationSwapsSides(3));
}

} // namespace qx
