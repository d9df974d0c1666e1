#include "VmoLib2/3DEngine/qx3DYUV.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

namespace qx::test {
namespace {

constexpr uint8_t kWhiteLuma = 235;
constexpr uint8_t kBlackLuma = 16;
constexpr uint8_t kNeutral = 128;

// Writes every pixel of a locked plane through `value(x, y)`.
void WritePlane(TYUVImage& image, int plane, const std::function<uint8_t(int, int)>& value) {
  const TYUVImage::TPlane rows = image.LockPlane(plane);
  ASSERT_NE(rows.Bits, nullptr);
  for (int y = 0; y < rows.Height; ++y) {
    for (int x = 0; x < rows.Width; ++x) {
      rows.Bits[y * rows.Pitch + x] = value(x, y);
    }
  }
  image.UnlockPlane(plane);
}

void FillYuv(TYUVImage& image, const std::function<uint8_t(int, int)>& luma, uint8_t u, uint8_t v) {
  WritePlane(image, TYUVImage::kPlaneY, luma);
  WritePlane(image, TYUVImage::kPlaneU, [u](int, int) { return u; });
  WritePlane(image, TYUVImage::kPlaneV, [v](int, int) { return v; });
}

class YUVImageTest : public ScreenTest {
protected:
  TRefPtr<T3DYUV> Make(int width, int height, TYUVImage::TMode mode = TYUVImage::kThreePlanes) {
    return MakeRef<T3DYUV>(*m_screen, width, height, mode);
  }
  // Draws the image 1:1 at the top-left of a black frame and reads it back.
  TBitmap DrawFrame(T3DYUV& image, TVideoDrawParams params = {}) {
    Begin();
    if (m_shaders.Progressive < 0) {
      m_shaders = CreateYUVShaders(*m_screen);
    }
    DrawYUVImage(*m_screen, image, TPlacement::Flat({0, 0, double(image.Width()), double(image.Height())}), params,
                 m_shaders);
    return Finish();
  }

  TYUVShaders m_shaders;
};

TEST(YUVImage, PlanesAreAllocatedWithAMarginUpToTheNextPowerOfTwo) {
  EXPECT_EQ(T3DYUV::AllocatedSize(100), 108);
  EXPECT_EQ(T3DYUV::AllocatedSize(125), 128);
  EXPECT_EQ(T3DYUV::AllocatedSize(128), 128);
  EXPECT_EQ(T3DYUV::AllocatedSize(250), 256);
  EXPECT_EQ(T3DYUV::AllocatedSize(1), 1);
}

TEST(YUVImage, ModeFollowsShaderLevelAndLuminanceSupport) {
  EXPECT_EQ(YUVModeFor(1, true), TYUVImage::kThreePlanes);
  EXPECT_EQ(YUVModeFor(0, true), TYUVImage::kGrey);
  EXPECT_EQ(YUVModeFor(2, false), TYUVImage::kGrey);
}

TEST_F(YUVImageTest, WhiteAndBlackSamplesConvertThroughTheShader) {
  auto image = Make(16, 16);
  FillYuv(
      *image, [](int, int) { return kWhiteLuma; }, kNeutral, kNeutral);
  // 0.003 of full scale is below one byte step: white must be exact.
  EXPECT_TRUE(Near(DrawFrame(*image).GetPixel(8, 8), TBgra{255, 255, 255, 255}, 0));
  FillYuv(
      *image, [](int, int) { return kBlackLuma; }, kNeutral, kNeutral);
  EXPECT_TRUE(Near(DrawFrame(*image).GetPixel(8, 8), TBgra{0, 0, 0, 255}, 0));
}

TEST_F(YUVImageTest, ChromaReachesTheRightChannels) {
  auto image = Make(16, 16);
  // Studio-range pure blue: Y 41, U 240, V 110.
  FillYuv(
      *image, [](int, int) { return uint8_t{41}; }, 240, 110);
  const TBgra blue = DrawFrame(*image).GetPixel(8, 8);
  EXPECT_GE(blue.b, 250);
  EXPECT_LE(blue.r, 4);
  EXPECT_LE(blue.g, 4);
}

TEST_F(YUVImageTest, OpacityBecomesTheVertexAlpha) {
  auto image = Make(16, 16);
  FillYuv(
      *image, [](int, int) { return kWhiteLuma; }, kNeutral, kNeutral);
  TVideoDrawParams half;
  half.Opacity = 50;
  // 127.5 rounds to 128: white at 128/255 over black (the frame's alpha
  // is blended too and not compared).
  TBgra drawn = DrawFrame(*image, half).GetPixel(8, 8);
  drawn.a = 255;
  EXPECT_TRUE(Near(drawn, TBgra{128, 128, 128, 255}, 1));
}

TEST_F(YUVImageTest, EachFieldReadsOnlyItsOwnRows) {
  auto image = Make(32, 32);
  FillYuv(
      *image, [](int, int y) { return y % 2 == 0 ? kWhiteLuma : kBlackLuma; }, kNeutral, kNeutral);
  TVideoDrawParams params;
  const TBitmap progressive = DrawFrame(*image, params);
  params.FieldMode = 1;
  const TBitmap first = DrawFrame(*image, params);
  params.FieldMode = 2;
  const TBitmap second = DrawFrame(*image, params);
  // Rows next to the plane's top and bottom mix in the padding.
  for (int y = 4; y < 28; ++y) {
    const uint8_t own = y % 2 == 0 ? 255 : 0;
    EXPECT_TRUE(Near(progressive.GetPixel(10, y), TBgra{own, own, own, 255}, 1)) << "row " << y;
    EXPECT_TRUE(Near(first.GetPixel(10, y), TBgra{255, 255, 255, 255}, 1)) << "row " << y;
    EXPECT_TRUE(Near(second.GetPixel(10, y), TBgra{0, 0, 0, 255}, 1)) << "row " << y;
  }
}

TEST_F(YUVImageTest, FieldRowsAreInterpolatedBetweenTheFieldsNeighbours) {
  auto image = Make(32, 32);
  // Luma rising by 4 per row: a field's missing rows lie half way.
  FillYuv(
      *image, [](int, int y) { return static_cast<uint8_t>(kBlackLuma + 4 * y); }, kNeutral, kNeutral);
  TVideoDrawParams params;
  params.FieldMode = 1;
  const TBitmap first = DrawFrame(*image, params);
  params.FieldMode = 2;
  const TBitmap second = DrawFrame(*image, params);
  const TBitmap progressive = DrawFrame(*image, {});
  for (int y = 4; y < 28; ++y) {
    EXPECT_TRUE(Near(first.GetPixel(5, y), progressive.GetPixel(5, y), 2)) << "row " << y;
    EXPECT_TRUE(Near(second.GetPixel(5, y), progressive.GetPixel(5, y), 2)) << "row " << y;
  }
}

TEST_F(YUVImageTest, AnUnknownFieldModeIsAnAssertion) {
  auto image = Make(16, 16);
  TVideoDrawParams params;
  params.FieldMode = 3;
  Begin();
  EXPECT_THROW(DrawYUVImage(*m_screen, *image, TPlacement::Flat({0, 0, 16, 16}), params, {}), EAssertionFailed);
  Finish();
}

TEST_F(YUVImageTest, GreyImagesDrawWithoutShaders) {
  auto image = Make(16, 16, TYUVImage::kGrey);
  EXPECT_EQ(image->LockPlane(TYUVImage::kPlaneY).Bits, nullptr);
  const TYUVImage::TPlane grey = image->LockPlane(TYUVImage::kPlaneGrey);
  ASSERT_NE(grey.Bits, nullptr);
  for (int y = 0; y < grey.Height; ++y) {
    for (int x = 0; x < grey.Width; ++x) {
      // 5-6-5 grey: red 16/31, green 33/63, blue 16/31.
      const uint16_t pixel = (16u << 11) | (33u << 5) | 16u;
      std::memcpy(grey.Bits + y * grey.Pitch + 2 * x, &pixel, 2);
    }
  }
  image->UnlockPlane(TYUVImage::kPlaneGrey);
  const TBgra drawn = DrawFrame(*image).GetPixel(8, 8);
  EXPECT_TRUE(Near(drawn, TBgra{132, 134, 132, 255}, 2));
}

TEST_F(YUVImageTest, WithoutItsShaderAThreePlaneImageShowsItsLuma) {
  auto image = Make(16, 16);
  FillYuv(
      *image, [](int, int) { return uint8_t{200}; }, 60, 200);
  Begin();
  DrawYUVImage(*m_screen, *image, TPlacement::Flat({0, 0, 16, 16}), {}, TYUVShaders{});
  EXPECT_TRUE(Near(Finish().GetPixel(8, 8), TBgra{200, 200, 200, 255}, 1));
}

TEST_F(YUVImageTest, UnlockRepeatsTheLastColumnAndRowIntoTheMargins) {
  auto image = Make(10, 6);
  WritePlane(*image, TYUVImage::kPlaneY, [](int x, int y) { return static_cast<uint8_t>(10 * y + x); });
  const TBitmap& y = image->PlaneBitmap(TYUVImage::kPlaneY);
  ASSERT_EQ(y.Width(), 16);
  ASSERT_EQ(y.Height(), 8);
  for (int row = 0; row < 8; ++row) {
    const int source = std::min(row, 5);
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(y.Scanline(row)[x], 10 * source + std::min(x, 9)) << x << "," << row;
    }
  }
  // The chroma planes are half size, rounded down.
  const TYUVImage::TPlane u = image->LockPlane(TYUVImage::kPlaneU);
  EXPECT_EQ(u.Width, 5);
  EXPECT_EQ(u.Height, 3);
  u.Bits[2 * u.Pitch + 4] = 77;
  image->UnlockPlane(TYUVImage::kPlaneU);
  const TBitmap& uBits = image->PlaneBitmap(TYUVImage::kPlaneU);
  EXPECT_EQ(uBits.Scanline(3)[7], 77);
}

TEST_F(YUVImageTest, MarginsKeepFilteringAtTheEdgeOnThePicture) {
  // A 20 x 20 white picture scaled up: without the margins the last pixels
  // would blend with what lies beyond the picture in the texture.
  auto image = Make(20, 20);
  FillYuv(
      *image, [](int, int) { return kWhiteLuma; }, kNeutral, kNeutral);
  Begin();
  const TYUVShaders shaders = CreateYUVShaders(*m_screen);
  DrawYUVImage(*m_screen, *image, TPlacement::Flat({0, 0, 200, 200}), {}, shaders);
  const TBitmap frame = Finish();
  EXPECT_TRUE(Near(frame.GetPixel(198, 198), TBgra{255, 255, 255, 255}, 1));
  EXPECT_TRUE(Near(frame.GetPixel(199, 100), TBgra{255, 255, 255, 255}, 1));
}

TEST_F(YUVImageTest, SuspensionWaitsForLockedPlanesAndRefusesLocks) {
  auto image = Make(16, 16);
  ASSERT_NE(image->LockPlane(TYUVImage::kPlaneU).Bits, nullptr);
  std::atomic<bool> suspended{false};
  std::thread suspender([&] {
    image->Suspend();
    suspended = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(suspended.load());
  image->UnlockPlane(TYUVImage::kPlaneU);
  suspender.join();
  EXPECT_TRUE(suspended.load());
  EXPECT_EQ(image->LockPlane(TYUVImage::kPlaneY).Bits, nullptr);
  EXPECT_EQ(image->LockedPlanes(), 0);
  image->Resume();
  EXPECT_NE(image->LockPlane(TYUVImage::kPlaneY).Bits, nullptr);
  image->UnlockPlane(TYUVImage::kPlaneY);
}

TEST_F(YUVImageTest, AWriterThreadAndTheDrawingThreadShareTheImage) {
  auto image = Make(64, 48);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int frame = 0; !stop.load(); ++frame) {
      const uint8_t luma = frame % 2 == 0 ? kBlackLuma : kWhiteLuma;
      FillYuv(
          *image, [luma](int, int) { return luma; }, kNeutral, kNeutral);
    }
  });
  for (int frame = 0; frame < 20; ++frame) {
    DrawFrame(*image);
  }
  stop = true;
  writer.join();
  EXPECT_EQ(image->LockedPlanes(), 0);
  FillYuv(
      *image, [](int, int) { return kWhiteLuma; }, kNeutral, kNeutral);
  EXPECT_TRUE(Near(DrawFrame(*image).GetPixel(30, 30), TBgra{255, 255, 255, 255}, 0));
}

TEST_F(YUVImageTest, EndingALockedImageIsAnAssertion) {
  auto image = Make(16, 16);
  image->LockPlane(TYUVImage::kPlaneV);
  EXPECT_THROW(image->End(), EAssertionFailed);
  image->UnlockPlane(TYUVImage::kPlaneV);
  image->End();
  EXPECT_EQ(image->LockPlane(TYUVImage::kPlaneV).Bits, nullptr);
  EXPECT_THROW(image->LockPlane(4), EAssertionFailed);
}

TEST_F(YUVImageTest, BadSizesAreRefused) {
  EXPECT_THROW(Make(0, 16), EAssertionFailed);
  EXPECT_THROW(Make(16, -2), EAssertionFailed);
  EXPECT_THROW(Make(1 << 20, 1 << 20), EQxError);
}

TEST_F(YUVImageTest, ALostTextureAsksForARefillAndTheImageStillDraws) {
  auto image = Make(16, 16);
  FillYuv(
      *image, [](int, int) { return kWhiteLuma; }, kNeutral, kNeutral);
  DrawFrame(*image);
  EXPECT_FALSE(image->NeedsRefill());
  m_screen->ReleaseDeviceObjects();
  EXPECT_TRUE(image->NeedsRefill());
  image->RefillDone();
  EXPECT_FALSE(image->NeedsRefill());
  EXPECT_TRUE(Near(DrawFrame(*image).GetPixel(8, 8), TBgra{255, 255, 255, 255}, 0));
}

TEST_F(YUVImageTest, FeatheredVideoFadesOverOnePixelAtTheEdge) {
  auto image = Make(16, 16);
  FillYuv(
      *image, [](int, int) { return kWhiteLuma; }, kNeutral, kNeutral);
  Begin();
  const TYUVShaders shaders = CreateYUVShaders(*m_screen);
  TVideoDrawParams params;
  params.Feathered = true;
  DrawYUVImage(*m_screen, *image, TPlacement::Flat({20, 20, 52, 52}), params, shaders);
  const TBitmap frame = Finish();
  EXPECT_TRUE(Near(frame.GetPixel(36, 36), TBgra{255, 255, 255, 255}, 1));
  // The pixel outside the quad's left edge is partly covered, not empty.
  const TBgra edge = frame.GetPixel(19, 36);
  EXPECT_GT(edge.r, 20);
  EXPECT_LT(edge.r, 235);
}

} // namespace
} // namespace qx::test
