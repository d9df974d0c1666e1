#include "QxLib/Graphics/qxPngWriter.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/qxMemoryStream.h"
#include "Tests/TestSupport/qxPngTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace qx {
namespace {

using test::DecodePng;

TBitmap Pattern(int width, int height, TPixelFormat format) {
  TBitmap bitmap(width, height, format);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap.SetPixel(x, y,
                      TBgra{static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 60), static_cast<uint8_t>(x * y * 8),
                            static_cast<uint8_t>(255 - x * 30)});
  return bitmap;
}

TEST(PngWriter, EveryFormatReadsBackWithItsPixels) {
  for (const TPixelFormat format :
       {TPixelFormat::Bgra32, TPixelFormat::Bgr24, TPixelFormat::Gray8, TPixelFormat::R5G6B5, TPixelFormat::X1R5G5B5}) {
    SCOPED_TRACE(PixelFormatName(format));
    const TBitmap source = Pattern(7, 5, format);
    const std::string bytes = EncodePng(source);
    ASSERT_EQ(bytes.substr(1, 3), "PNG");
    const TBitmap decoded = DecodePng(bytes);
    ASSERT_EQ(decoded.Width(), 7);
    ASSERT_EQ(decoded.Height(), 5);
    const TBitmap expected = ConvertBitmap(source, TPixelFormat::Bgra32);
    EXPECT_TRUE(decoded.SamePixels(expected));
  }
}

TEST(PngWriter, CropViewsWriteOnlyTheirRectangle) {
  const TBitmap source = Pattern(8, 8, TPixelFormat::Bgra32);
  TMemoryStream stream;
  WritePng(source.CropView(2, 3, 4, 2), stream);
  stream.SetPosition(0);
  const TBitmap decoded = DecodePng(stream.ReadAll());
  ASSERT_EQ(decoded.Width(), 4);
  EXPECT_EQ(decoded.GetPixel(0, 0), source.GetPixel(2, 3));
  EXPECT_EQ(decoded.GetPixel(3, 1), source.GetPixel(5, 4));
}

TEST(PngWriter, EmptyPicturesAndUnwritablePathsFail) {
  EXPECT_THROW(EncodePng(TBitmap()), EQxError);
  EXPECT_THROW(WritePngFile(Pattern(2, 2, TPixelFormat::Bgr24), "/nonexistent-folder/x.png"), EQxError);
}

} // namespace
} // namespace qx
