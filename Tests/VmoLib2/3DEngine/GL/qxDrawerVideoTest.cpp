#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"
#include "VmoLib2/3DEngine/qx3DYUV.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace qx::test {
namespace {

using DrawerVideo = DrawerTest;

constexpr uint8_t kY = 81;
constexpr uint8_t kU = 90;
constexpr uint8_t kV = 240;

::testing::AssertionResult NearRgb(TBgra actual, TBgra expected, int tolerance) {
  actual.a = expected.a;
  return Near(actual, expected, tolerance);
}

// The colour the video conversion makes of one sample.
TBgra YuvToRgb(uint8_t y, uint8_t u, uint8_t v) {
  const double l = 255.0 / 219.0 * (y / 255.0 - 0.0625);
  const double cu = u / 255.0 - 0.5;
  const double cv = v / 255.0 - 0.5;
  const auto byte = [](double c) { return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
  return {byte(l + 2.018 * cu), byte(l - 0.813 * cv - 0.391 * cu), byte(l + 1.596 * cv), 255};
}

void FillPlane(TYUVImage& image, int plane, uint8_t value) {
  const TYUVImage::TPlane rows = image.LockPlane(plane);
  ASSERT_NE(rows.Bits, nullptr);
  for (int y = 0; y < rows.Height; ++y) {
    std::fill_n(rows.Bits + y * rows.Pitch, rows.Width, value);
  }
  image.UnlockPlane(plane);
}

void FillFrame(TYUVImage& image) {
  FillPlane(image, TYUVImage::kPlaneY, kY);
  FillPlane(image, TYUVImage::kPlaneU, kU);
  FillPlane(image, TYUVImage::kPlaneV, kV);
}

class OtherImage final : public TYUVImage {
public:
  OtherImage() : TYUVImage(4, 4) {}
  TMode Mode() const override { return kThreePlanes; }
  TPlane LockPlane(int32_t) override { return {}; }
  void UnlockPlane(int32_t) override {}
  bool NeedsRefill() const override { return false; }
  void RefillDone() override {}
};

TEST_F(DrawerVideo, FrameLandsWhereItsPlacementAndTheOffsetSay) {
  TRefPtr<TYUVImage> image = m_drawer->MakeYUVImage(64, 32);
  ASSERT_NE(image.Get(), nullptr);
  if (image->Mode() != TYUVImage::kThreePlanes) {
    GTEST_SKIP() << "no YUV shaders on this device";
  }
  FillFrame(*image);
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.Set2DOffset(10, 5);
    drawer.DrawVideo(*image, FlatRect(100, 60, 228, 124), {});
    drawer.Set2DOffset(0, 0);
  });
  const TBgra colour = YuvToRgb(kY, kU, kV);
  // (110, 65) - (238, 129) on the screen.
  for (const auto& [x, y] : {std::pair{111, 66}, {237, 66}, {111, 128}, {237, 128}, {170, 100}}) {
    EXPECT_TRUE(NearRgb(frame.GetPixel(x, y), colour, 2)) << x << "," << y;
  }
  for (const auto& [x, y] : {std::pair{108, 100}, {240, 100}, {170, 63}, {170, 131}}) {
    EXPECT_TRUE(NearRgb(frame.GetPixel(x, y), TBgra{0, 0, 0, 255}, 0)) << x << "," << y;
  }
}

TEST_F(DrawerVideo, OpacityBlendsTheFrame) {
  TRefPtr<TYUVImage> image = m_drawer->MakeYUVImage(16, 16);
  if (image->Mode() != TYUVImage::kThreePlanes) {
    GTEST_SKIP() << "no YUV shaders on this device";
  }
  FillFrame(*image);
  TVideoDrawParams params;
  params.Opacity = 50;
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawVideo(*image, FlatRect(0, 0, 16, 16), params); });
  const TBgra full = YuvToRgb(kY, kU, kV);
  const auto half = [](uint8_t c) { return static_cast<uint8_t>(std::lround(c * 128 / 255.0)); };
  EXPECT_TRUE(NearRgb(frame.GetPixel(8, 8), TBgra{half(full.b), half(full.g), half(full.r), 255}, 2));
}

TEST_F(DrawerVideo, DeviceLossSuspendsImagesUntilTheRendererIsBack) {
  TRefPtr<TYUVImage> image = m_drawer->MakeYUVImage(32, 32);
  auto& yuv = dynamic_cast<T3DYUV&>(*image);
  EXPECT_FALSE(yuv.Suspended());
  if (image->Mode() == TYUVImage::kThreePlanes) {
    FillFrame(*image);
  }
  DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawVideo(*image, FlatRect(0, 0, 32, 32), {}); });

  bool suspendedWhenLost = false;
  bool lockRefusedWhenLost = false;
  m_drawer->SetLostCallback([&] {
    suspendedWhenLost = yuv.Suspended();
    lockRefusedWhenLost = image->LockPlane(TYUVImage::kPlaneY).Bits == nullptr;
  });
  SimulateDeviceLoss(*m_device);
  TFunctionItem lost([](TDeviceDrawer&) {});
  m_drawer->DrawItem(lost);
  DrawFrame([](TDeviceDrawer&) {});
  ASSERT_TRUE(m_drawer->Ready());
  EXPECT_TRUE(suspendedWhenLost);
  EXPECT_TRUE(lockRefusedWhenLost) << "writing refused while suspended";
  EXPECT_FALSE(yuv.Suspended());
  if (image->Mode() != TYUVImage::kThreePlanes) {
    return;
  }
  // The planes kept in memory are uploaded again; the lost textures ask
  // the source for a refill as well.
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawVideo(*image, FlatRect(0, 0, 32, 32), {}); });
  EXPECT_TRUE(NearRgb(frame.GetPixel(16, 16), YuvToRgb(kY, kU, kV), 2));
  EXPECT_TRUE(image->NeedsRefill());
}

TEST_F(DrawerVideo, ResizingTheWindowKeepsImagesWritableAndRemakesTheEffecter) {
  TRefPtr<TYUVImage> image = m_drawer->MakeYUVImage(8, 8);
  auto& yuv = dynamic_cast<T3DYUV&>(*image);
  std::optional<bool> suspendedWhenLost;
  m_drawer->SetLostCallback([&] { suspendedWhenLost = yuv.Suspended(); });
  m_device->SetBounds({0, 0, 320, 200});
  DrawFrame([](TDeviceDrawer&) {});
  ASSERT_TRUE(m_drawer->Ready());
  ASSERT_TRUE(suspendedWhenLost.has_value()) << "the renderer was remade";
  EXPECT_FALSE(*suspendedWhenLost) << "a change between two windowed states keeps the planes";
  ASSERT_NE(m_drawer->Effecter(), nullptr);
  EXPECT_EQ(m_drawer->Effecter()->Area(), (T3DRect{0, 0, 320, 200}));
}

TEST_F(DrawerVideo, CloseSuspendsAndTheNextFrameResumes) {
  TRefPtr<TYUVImage> image = m_drawer->MakeYUVImage(8, 8);
  auto& yuv = dynamic_cast<T3DYUV&>(*image);
  m_drawer->Close();
  EXPECT_TRUE(yuv.Suspended());
  // An image made while the renderer is away waits for it as well.
  TRefPtr<TYUVImage> later = m_drawer->MakeYUVImage(8, 8);
  EXPECT_TRUE(dynamic_cast<T3DYUV&>(*later).Suspended());
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_FALSE(yuv.Suspended());
  EXPECT_FALSE(dynamic_cast<T3DYUV&>(*later).Suspended());
}

TEST_F(DrawerVideo, ImagesNobodyHoldsAreDroppedAndTheDrawerEndsTheRest) {
  TRefPtr<TYUVImage> kept = m_drawer->MakeYUVImage(8, 8);
  TRefPtr<TYUVImage> dropped = m_drawer->MakeYUVImage(8, 8);
  EXPECT_EQ(m_drawer->VideoImageCount(), 2);
  dropped = {};
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_EQ(m_drawer->VideoImageCount(), 1);

  const int plane = kept->Mode() == TYUVImage::kGrey ? TYUVImage::kPlaneGrey : TYUVImage::kPlaneY;
  m_drawer.reset();
  EXPECT_EQ(kept->LockPlane(plane).Bits, nullptr) << "an image outliving its drawer refuses writing";
}

TEST_F(DrawerVideo, BadImagesAndSizes) {
  const TRefPtr<OtherImage> other = MakeRef<OtherImage>();
  EXPECT_THROW(DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawVideo(*other, FlatRect(0, 0, 4, 4), {}); }),
               EAssertionFailed);
  EXPECT_EQ(m_drawer->MakeYUVImage(0, 10).Get(), nullptr);
  EXPECT_EQ(m_drawer->MakeYUVImage(10, -1).Get(), nullptr);
  // A frame squeezed to nothing draws nothing.
  TRefPtr<TYUVImage> image = m_drawer->MakeYUVImage(8, 8);
  EXPECT_NO_THROW(DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawVideo(*image, FlatRect(5, 5, 5, 20), {}); }));
}

} // namespace
} // namespace qx::test
