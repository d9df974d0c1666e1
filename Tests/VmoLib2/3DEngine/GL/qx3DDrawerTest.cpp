#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"

#include "QxLib/Graphics/qxJpegLoader.h"
#include "QxLib/Graphics/qxJpegWriter.h"
#include "QxLib/qxExceptions.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace qx::test {
namespace {

using Drawer = DrawerTest;

constexpr TBgra kWhite{255, 255, 255, 255};

TBoxDrawParams SolidBox(TRgba color, float opacity = 100) {
  TBoxDrawParams params;
  params.Color1 = color;
  params.Opacity = opacity;
  return params;
}

// Colour only: blending leaves the back buffer's alpha below 255.
::testing::AssertionResult NearRgb(TBgra actual, TBgra expected, int tolerance) {
  actual.a = expected.a;
  return Near(actual, expected, tolerance);
}

TPictureDrawParams Plain(float opacity = 100) {
  TPictureDrawParams params;
  params.Feathered = false;
  params.Opacity = opacity;
  return params;
}

// --- Protocol -------------------------------------------------------------

TEST_F(Drawer, FrameRunsThePhasesInOrderAndTellsTheItem) {
  TFunctionItem item([](TDeviceDrawer&) {});
  m_drawer->DrawItem(item);
  EXPECT_EQ(m_phases, (std::vector<TDrawPhase>{TDrawPhase::FrameBegins, TDrawPhase::ItemDrawing, TDrawPhase::ItemDrawn,
                                               TDrawPhase::FrameEnds}));
  EXPECT_EQ(item.frameEnded, 1);
}

TEST_F(Drawer, NestedItemOnlyDrawsBetweenItsOwnPhases) {
  TFunctionItem inner([](TDeviceDrawer&) {});
  TFunctionItem outer([&](TDeviceDrawer& drawer) { drawer.DrawItem(inner); });
  m_drawer->DrawItem(outer);
  EXPECT_EQ(m_phases,
            (std::vector<TDrawPhase>{TDrawPhase::FrameBegins, TDrawPhase::ItemDrawing, TDrawPhase::ItemDrawing,
                                     TDrawPhase::ItemDrawn, TDrawPhase::ItemDrawn, TDrawPhase::FrameEnds}));
  EXPECT_EQ(outer.frameEnded, 1);
  EXPECT_EQ(inner.frameEnded, 0);
}

TEST_F(Drawer, RaisingItemStillEndsItsFrameAndTheNextFrameDraws) {
  // It leaves an off-screen target open when it raises.
  TFunctionItem failing([](TDeviceDrawer& drawer) {
    drawer.BeginSharpening();
    drawer.DrawBox(FlatRect(0, 0, 50, 50), SolidBox({0, 255, 0, 255}));
    throw std::runtime_error("broken slide");
  });
  EXPECT_THROW(m_drawer->DrawItem(failing), std::runtime_error);
  EXPECT_EQ(failing.frameEnded, 1);

  const TBitmap frame = DrawFrame([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(10, 10, 20, 20), SolidBox({255, 0, 0, 255}));
  });
  EXPECT_TRUE(Near(frame.GetPixel(15, 15), {0, 0, 255, 255}, 0));
}

TEST_F(Drawer, DrawingWithoutCallbackIsAnAssertion) {
  const TMutedDebugOutput muted;
  m_drawer->SetDrawCallback(nullptr);
  TFunctionItem item([](TDeviceDrawer&) {});
  EXPECT_THROW(m_drawer->DrawItem(item), EAssertionFailed);
}

TEST_F(Drawer, TwoSlidesWithoutATransitionDrawTheFirstSlide) {
  int firstDrawn = 0;
  int secondDrawn = 0;
  TFunctionItem first([&](TDeviceDrawer&) { ++firstDrawn; });
  TFunctionItem second([&](TDeviceDrawer&) { ++secondDrawn; });
  TFunctionItem root([&](TDeviceDrawer& drawer) { drawer.DrawTwoSlides(first, second, false, nullptr); });
  m_drawer->DrawItem(root);
  EXPECT_EQ(firstDrawn, 1);
  EXPECT_EQ(secondDrawn, 0);
}

TEST_F(Drawer, InitAndCloseLogAndRunTheRendererEvents) {
  EXPECT_TRUE(m_log->Has("T3DDrawer.Init"));
  EXPECT_TRUE(m_log->Has("T3DDrawer.RendererReadyEvent"));
  EXPECT_TRUE(m_drawer->Ready());
  EXPECT_EQ(m_readyCalls, 1);
  if (m_drawer->ShaderLevel() > 0) {
    EXPECT_GE(m_drawer->PixelShaderIndex(TPixelShaderKind::Yuv), 0);
    EXPECT_GE(m_drawer->PixelShaderIndex(TPixelShaderKind::YuvField), 0);
  }
  EXPECT_EQ(m_drawer->PixelShaderIndex(TPixelShaderKind::Sharpen) >= 0, m_drawer->ShaderLevel() == 2);
  m_drawer->Close();
  EXPECT_TRUE(m_log->Has("T3DDrawer.Close"));
  EXPECT_TRUE(m_log->Has("T3DDrawer.RendererLostEvent"));
  EXPECT_FALSE(m_drawer->Ready());
  EXPECT_EQ(m_lostCalls, 1);
  // The next frame makes the renderer again.
  const TBitmap frame = DrawFrame([](TDeviceDrawer&) {}, MakeColor(0, 255, 0));
  EXPECT_TRUE(m_drawer->Ready());
  EXPECT_EQ(m_readyCalls, 2);
  EXPECT_EQ(frame.GetPixel(5, 5).g, 255);
}

// --- Opacity and geometry -------------------------------------------------

TEST_F(Drawer, OpacityPercentBecomesAlphaWithHalvesToEven) {
  const auto white = SolidPicture(16, 16, kWhite);
  TPictureSource picture;
  picture.Bitmap = white;
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.DrawPicture(picture, FlatRect(0, 0, 16, 16), Plain(50));
    drawer.DrawPicture(picture, FlatRect(20, 0, 36, 16), Plain(100));
    drawer.DrawPicture(picture, FlatRect(40, 0, 56, 16), Plain(0));
    drawer.DrawBox(FlatRect(60, 0, 76, 16), SolidBox({255, 255, 255, 255}, 50));
  });
  EXPECT_EQ(frame.GetPixel(8, 8).r, 128);
  EXPECT_EQ(frame.GetPixel(28, 8).r, 255);
  EXPECT_EQ(frame.GetPixel(48, 8).r, 0);
  EXPECT_EQ(frame.GetPixel(68, 8).r, 128);
}

TEST_F(Drawer, ModulationIsMultipliedIntoThePicture) {
  const auto white = SolidPicture(16, 16, kWhite);
  TPictureSource picture;
  picture.Bitmap = white;
  TPictureDrawParams tinted = Plain();
  tinted.Modulation = {255, 0, 128, 255};
  TPictureDrawParams faded = Plain();
  faded.Modulation = {255, 255, 255, 128};
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.DrawPicture(picture, FlatRect(0, 0, 16, 16), tinted);
    drawer.DrawPicture(picture, FlatRect(20, 0, 36, 16), faded);
  });
  EXPECT_TRUE(Near(frame.GetPixel(8, 8), {128, 0, 255, 255}, 1));
  EXPECT_TRUE(NearRgb(frame.GetPixel(28, 8), {128, 128, 128, 255}, 1));
}

TEST_F(Drawer, SlideIsCentredInTheDeviceAndItsDesignSizeFillsIt) {
  MakeDrawer(1920, 1080);
  m_drawer->SetSlideSize(1024, 768);
  EXPECT_EQ(m_drawer->SlideRect(), (T3DRect{448, 156, 1472, 924}));
  const TBitmap frame = DrawFrame([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 1024, 768), SolidBox({255, 0, 0, 255}));
  });
  EXPECT_EQ(frame.GetPixel(448, 156).r, 255);
  EXPECT_EQ(frame.GetPixel(1471, 923).r, 255);
  EXPECT_EQ(frame.GetPixel(447, 156).r, 0);
  EXPECT_EQ(frame.GetPixel(448, 155).r, 0);
  EXPECT_EQ(frame.GetPixel(1472, 923).r, 0);
  EXPECT_EQ(frame.GetPixel(1471, 924).r, 0);
}

TEST_F(Drawer, HiderCoversEverythingOutsideTheSlideAtTheAmountsOpacity) {
  m_drawer->SetSlideSize(200, 100);
  ASSERT_EQ(m_drawer->SlideRect(), (T3DRect{100, 100, 300, 200}));
  const TBitmap frame = DrawFrame(
      [](TDeviceDrawer& drawer) {
        drawer.BeginHider();
        drawer.EndHider({0, 0, 255}, 0.5f);
      },
      MakeColor(255, 255, 255));
  EXPECT_TRUE(Near(frame.GetPixel(150, 150), kWhite, 0)) << "inside the slide";
  const TBgra hidden{255, 127, 127, 255};
  for (const auto& [x, y] : {std::pair{5, 5}, {150, 99}, {99, 150}, {300, 150}, {150, 200}, {399, 299}}) {
    EXPECT_TRUE(NearRgb(frame.GetPixel(x, y), hidden, 1)) << x << ", " << y;
  }
}

TEST_F(Drawer, LogicalViewportFillsTheWholeOutput) {
  const TFloatRect viewport{100, 50, 300, 200};
  m_drawer->SetViewport(&viewport, 400, 300);
  const TBitmap frame = DrawFrame([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(100, 50, 150, 100), SolidBox({255, 0, 0, 255}));
  });
  EXPECT_EQ(frame.GetPixel(0, 0).r, 255);
  EXPECT_EQ(frame.GetPixel(99, 99).r, 255);
  EXPECT_EQ(frame.GetPixel(101, 50).r, 0);
  EXPECT_EQ(frame.GetPixel(50, 101).r, 0);
}

TEST_F(Drawer, LineIsOnePixelWide) {
  const TBitmap frame = DrawFrame([](TDeviceDrawer& drawer) {
    drawer.DrawLine({10, 50.5, 0}, {100, 50.5, 0}, MakeColor(255, 255, 255));
  });
  EXPECT_EQ(frame.GetPixel(50, 50).r, 255);
  EXPECT_EQ(frame.GetPixel(50, 49).r, 0);
  EXPECT_EQ(frame.GetPixel(50, 51).r, 0);
  EXPECT_EQ(frame.GetPixel(5, 50).r, 0);
}

TEST_F(Drawer, OffsetMovesEverythingDrawn) {
  m_drawer->Set2DOffset(30, 20);
  const TBitmap frame = DrawFrame([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 10, 10), SolidBox({0, 255, 0, 255}));
  });
  EXPECT_EQ(frame.GetPixel(5, 5).g, 0);
  EXPECT_EQ(frame.GetPixel(35, 25).g, 255);
}

TEST_F(Drawer, GradientBoxRunsFromTheFirstToTheSecondColour) {
  TBoxDrawParams params = SolidBox({255, 0, 0, 255});
  params.Gradient = TGradientKind::Horizontal;
  params.Color2 = {0, 0, 255, 255};
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawBox(FlatRect(0, 0, 256, 10), params); });
  EXPECT_GT(frame.GetPixel(1, 5).r, 250);
  EXPECT_LT(frame.GetPixel(1, 5).b, 5);
  EXPECT_GT(frame.GetPixel(254, 5).b, 250);
  EXPECT_TRUE(Near(frame.GetPixel(128, 5), {127, 0, 127, 255}, 3));
}

TEST_F(Drawer, FrameDrawsOnlyTheBorders) {
  const TBitmap frame = DrawFrame([](TDeviceDrawer& drawer) {
    drawer.DrawFrame(FlatRect(100, 100, 200, 200), 0.1f, 0.1f, 0.1f, 0.1f, SolidBox({255, 255, 0, 255}));
  });
  EXPECT_EQ(frame.GetPixel(105, 150).r, 255);
  EXPECT_EQ(frame.GetPixel(195, 150).r, 255);
  EXPECT_EQ(frame.GetPixel(150, 105).r, 255);
  EXPECT_EQ(frame.GetPixel(150, 195).r, 255);
  EXPECT_EQ(frame.GetPixel(150, 150).r, 0);
}

// --- Pictures -------------------------------------------------------------

// 64 x 32: left half red, right half blue, with a green bottom-right quarter.
std::shared_ptr<TBitmap> QuarterPicture() {
  auto bitmap = SolidPicture(64, 32, {0, 0, 255, 255});
  for (int y = 0; y < 32; ++y) {
    for (int x = 32; x < 64; ++x) {
      bitmap->SetPixel(x, y, y < 16 ? TBgra{255, 0, 0, 255} : TBgra{0, 255, 0, 255});
    }
  }
  return bitmap;
}

TEST_F(Drawer, PictureAtMipLevelOneLandsWhereItsPlacementSays) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*QuarterPicture());
  TPictureSource picture;
  picture.Store = store.Get();
  TPictureDrawParams params = Plain();
  params.MipLevel = 1;
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(100, 50, 228, 114), params); });
  EXPECT_TRUE(Near(frame.GetPixel(102, 52), {0, 0, 255, 255}, 2));
  EXPECT_TRUE(Near(frame.GetPixel(225, 55), {255, 0, 0, 255}, 2));
  EXPECT_TRUE(Near(frame.GetPixel(225, 111), {0, 255, 0, 255}, 2));
  EXPECT_EQ(frame.GetPixel(99, 60).r, 0);
  EXPECT_EQ(frame.GetPixel(228, 60).b, 0);
  EXPECT_EQ(frame.GetPixel(150, 114).r, 0);
}

TEST_F(Drawer, LevelBeyondTheSmallestDrawsTheOnePixelLevel) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*SolidPicture(64, 32, {0, 0, 255, 255}));
  TPictureSource picture;
  picture.Store = store.Get();
  TPictureDrawParams params = Plain();
  params.MipLevel = 1000000;
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(10, 10, 74, 42), params); });
  EXPECT_TRUE(Near(frame.GetPixel(40, 20), {0, 0, 255, 255}, 0));
  EXPECT_NE(m_drawer->TextureCache().Find(*store, TTextureStore2::MultiTexKey(store->Id(), 6, 1, 1)), nullptr);
}

TEST_F(Drawer, SourceRectangleInFullSizePixelsIsScaledToTheLevel) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*QuarterPicture());
  TPictureSource picture;
  picture.Store = store.Get();
  picture.SourceRect = {32, 0, 64, 32}; // the right half
  TPictureDrawParams params = Plain();
  params.MipLevel = 1;
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(0, 0, 64, 64), params); });
  EXPECT_TRUE(Near(frame.GetPixel(32, 4), {255, 0, 0, 255}, 2));
  EXPECT_TRUE(Near(frame.GetPixel(32, 60), {0, 255, 0, 255}, 2));
}

TEST_F(Drawer, SpriteFrameShowsOnlyItsCell) {
  // Two cells side by side: red, then blue.
  auto sheet = SolidPicture(32, 16, {0, 0, 255, 255});
  for (int y = 0; y < 16; ++y) {
    for (int x = 16; x < 32; ++x) {
      sheet->SetPixel(x, y, {255, 0, 0, 255});
    }
  }
  TPictureSource picture;
  picture.Bitmap = sheet;
  TPictureDrawParams params = Plain();
  params.Columns = 2;
  params.Frame = 1;
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(0, 0, 64, 64), params); });
  for (const int x : {0, 32, 63}) {
    EXPECT_TRUE(Near(frame.GetPixel(x, 32), {255, 0, 0, 255}, 0)) << x;
  }
}

TEST_F(Drawer, TilesOfAPictureAreCachedAcrossFrames) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*NoisePicture(300, 200, 3));
  TPictureSource picture;
  picture.Store = store.Get();
  const auto draw = [&](int level) {
    TPictureDrawParams params = Plain();
    params.MipLevel = level;
    return DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(0, 0, 300, 200), params); });
  };
  const TBitmap first = draw(0);
  const std::string key = "MultiTexID: " + std::to_string(store->Id()) + ":0:65537";
  TMultiTexture6* cached = m_drawer->TextureCache().Find(*store, key);
  ASSERT_NE(cached, nullptr);
  const TBitmap second = draw(0);
  EXPECT_EQ(m_drawer->TextureCache().Find(*store, key), cached);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 1);
  EXPECT_EQ(MaxDifference(first, second, {0, 0, kWidth, kHeight}).value, 0);

  draw(1);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 2) << "another level is another texture";
  m_drawer->FreeTextureCache(picture);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 0);
}

TEST_F(Drawer, BitmapWithoutStoreIsCachedWhileItLives) {
  auto bitmap = SolidPicture(20, 20, kWhite);
  TPictureSource picture;
  picture.Bitmap = bitmap;
  DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(0, 0, 20, 20), Plain()); });
  EXPECT_EQ(m_drawer->TextureCache().PictureCount(), 1);
  picture.Bitmap.reset();
  bitmap.reset();
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_EQ(m_drawer->TextureCache().PictureCount(), 0);
}

TEST_F(Drawer, GoneStoreFreesItsTexturesOnTheNextFrame) {
  TRefPtr<TBitmapStore> store = MemoryStore(*SolidPicture(20, 20, kWhite));
  TPictureSource picture;
  picture.Store = store.Get();
  DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(0, 0, 20, 20), Plain()); });
  EXPECT_EQ(m_drawer->TextureCache().PictureCount(), 1);
  store = nullptr;
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_EQ(m_drawer->TextureCache().PictureCount(), 0);
}

TEST_F(Drawer, PreloadBuildsTheCacheWithoutDrawing) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*NoisePicture(100, 80, 5));
  TPictureSource picture;
  picture.Store = store.Get();
  TFunctionItem preload([&](TDeviceDrawer& drawer) { drawer.PreloadPicture(picture, Plain()); });
  const TBitmap frame = DrawFrame(preload);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 1);
  EXPECT_EQ(frame.GetPixel(10, 10).r, 0);
}

TEST_F(Drawer, PreloadFromAnotherThreadWaitsForTheNextFrame) {
  DrawFrame([](TDeviceDrawer&) {});
  const TRefPtr<TBitmapStore> store = MemoryStore(*NoisePicture(100, 80, 5));
  TPictureSource picture;
  picture.Store = store.Get();
  std::thread loader([&] { m_drawer->PreloadPicture(picture, Plain()); });
  loader.join();
  EXPECT_EQ(m_drawer->PendingPreloads(), 1);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 0);
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_EQ(m_drawer->PendingPreloads(), 0);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 1);
}

TEST_F(Drawer, DecodeAheadUploadsOnceDecodedOrBeforeTheFirstDrawWithTheSamePixels) {
  const std::string jpeg = qx::EncodeJpeg(*NoisePicture(160, 120, 3));
  const auto open = [&jpeg] {
    TJpegInfo info;
    EXPECT_TRUE(ReadJpegInfo(jpeg, info));
    return TRefPtr<TBitmapStore>(MakeRef<TJpegBitmapStore>("photo.jpg", jpeg, info));
  };
  const auto draw = [](TBitmapStore& store) {
    TPictureSource picture;
    picture.Store = &store;
    return [picture](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(0, 0, 80, 60), Plain()); };
  };
  const TRefPtr<TBitmapStore> plainStore = open();
  const TBitmap reference = DrawFrame(draw(*plainStore));

  m_drawer->SetDecodeAhead(true);
  // Preloaded and drawn in the same frame: the draw waits for the decode
  // and uploads first.
  const TRefPtr<TBitmapStore> drawnAtOnce = open();
  TPictureSource picture;
  picture.Store = drawnAtOnce.Get();
  TFunctionItem preloadAndDraw([&](TDeviceDrawer& drawer) {
    drawer.PreloadPicture(picture, Plain());
    EXPECT_EQ(m_drawer->PendingPreloads(), 1);
    EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 1) << "only the reference's";
    draw(*drawnAtOnce)(drawer);
    EXPECT_EQ(m_drawer->PendingPreloads(), 0);
  });
  EXPECT_TRUE(DrawFrame(preloadAndDraw).SamePixels(reference));

  // Preloaded alone: a frame after the decode uploads it.
  const TRefPtr<TBitmapStore> preloaded = open();
  picture.Store = preloaded.Get();
  TFunctionItem preload([&](TDeviceDrawer& drawer) { drawer.PreloadPicture(picture, Plain()); });
  DrawFrame(preload);
  for (int frame = 0; frame < 1000 && m_drawer->PendingPreloads() > 0; ++frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    DrawFrame([](TDeviceDrawer&) {});
  }
  EXPECT_EQ(m_drawer->PendingPreloads(), 0);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 3);
  EXPECT_TRUE(DrawFrame(draw(*preloaded)).SamePixels(reference));

  // A picture freed before its upload is not uploaded afterwards.
  const TRefPtr<TBitmapStore> dropped = open();
  picture.Store = dropped.Get();
  TFunctionItem preloadAndFree([&](TDeviceDrawer& drawer) {
    drawer.PreloadPicture(picture, Plain());
    drawer.FreeTextureCache(picture);
  });
  DrawFrame(preloadAndFree);
  EXPECT_EQ(m_drawer->PendingPreloads(), 0);
  EXPECT_EQ(m_drawer->TextureCache().TextureCount(), 3);
}

TEST_F(Drawer, DecodeAheadOfADamagedPictureIsLoggedAndTheFrameGoesOn) {
  const TMutedDebugOutput muted;
  m_drawer->SetDecodeAhead(true);
  const std::string jpeg = qx::EncodeJpeg(*NoisePicture(64, 48, 4));
  const auto damaged = MakeRef<TJpegBitmapStore>("damaged.jpg", jpeg.substr(0, jpeg.find("\xFF\xDA")),
                                                 TJpegInfo{64, 48, 3, false});
  TPictureSource picture;
  picture.Store = damaged.Get();
  TFunctionItem preload([&](TDeviceDrawer& drawer) { drawer.PreloadPicture(picture, Plain()); });
  DrawFrame(preload);
  for (int frame = 0; frame < 1000 && m_drawer->PendingPreloads() > 0; ++frame) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const TBitmap next = DrawFrame([](TDeviceDrawer& drawer) {
      drawer.DrawBox(FlatRect(0, 0, 10, 10), SolidBox({255, 0, 0, 255}));
    });
    EXPECT_EQ(next.GetPixel(5, 5).r, 255);
  }
  EXPECT_EQ(m_drawer->PendingPreloads(), 0);
  EXPECT_TRUE(std::any_of(m_log->lines.begin(), m_log->lines.end(), [](const std::string& line) {
    return line.starts_with("T3DDrawer.PreloadPicture: JPEG decoding failed: ");
  }));
}

TEST_F(Drawer, LostDeviceIsRebuiltOnTheNextFrameWithThePictureCacheRestored) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*NoisePicture(120, 90, 9));
  TPictureSource picture;
  picture.Store = store.Get();
  const auto draw = [&] {
    return DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(10, 10, 130, 100), Plain()); });
  };
  const TBitmap before = draw();
  TMultiTexture6* cached = m_drawer->TextureCache().Find(*store, TTextureStore2::MultiTexKey(store->Id(), 0, 1, 1));
  ASSERT_NE(cached, nullptr);

  SimulateDeviceLoss(*m_device);
  TFunctionItem skipped([](TDeviceDrawer&) {});
  m_drawer->DrawItem(skipped);
  EXPECT_EQ(skipped.frameEnded, 1) << "the frame meeting the loss still ends";

  const TBitmap after = draw();
  EXPECT_EQ(m_lostCalls, 1);
  EXPECT_TRUE(m_log->Has("T3DDrawer.RendererLostEvent"));
  EXPECT_TRUE(m_drawer->Ready());
  EXPECT_EQ(m_readyCalls, 2);
  EXPECT_EQ(m_drawer->TextureCache().Find(*store, TTextureStore2::MultiTexKey(store->Id(), 0, 1, 1)), cached);
  EXPECT_EQ(MaxDifference(before, after, {0, 0, kWidth, kHeight}).value, 0);
}

TEST_F(Drawer, ResizedOutputRemakesTheDrawersResourcesForTheNewSize) {
  m_device->SetBounds({0, 0, 600, 200});
  const auto white = SolidPicture(8, 8, kWhite);
  TMaskDraw mask;
  mask.Picture.Bitmap = white;
  mask.Placement = FlatRect(500, 50, 580, 150);
  mask.Params = Plain();
  TFunctionItem content([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 600, 200), SolidBox({0, 255, 0, 255}));
  });
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawMaskedGroup(content, {&mask, 1}, nullptr); });
  EXPECT_EQ(m_drawer->DeviceRect(), (T3DRect{0, 0, 600, 200}));
  EXPECT_EQ(m_lostCalls, 1);
  EXPECT_EQ(m_readyCalls, 2);
  ASSERT_EQ(frame.Width(), 600);
  EXPECT_TRUE(Near(frame.GetPixel(550, 100), {0, 255, 0, 255}, 0)) << "masked content beyond the old width";
}

TEST_F(Drawer, ReadyTextureIsDrawnAsOneQuadWithTheObjectsOpacity) {
  const auto white = SolidPicture(8, 8, kWhite);
  TBitmapTexture texture(m_drawer->Screen(), *white);
  TPictureSource picture;
  picture.ReadyTexture = &texture;
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(40, 40, 80, 80), Plain(50)); });
  EXPECT_EQ(frame.GetPixel(60, 60).r, 128);
  EXPECT_EQ(frame.GetPixel(39, 60).r, 0);
}

TEST_F(Drawer, CaptureReadsTheDeviceSizedBackBuffer) {
  DrawFrame([](TDeviceDrawer&) {}, MakeColor(0, 0, 255));
  const std::unique_ptr<TBitmap> captured = m_drawer->Capture();
  ASSERT_NE(captured, nullptr);
  EXPECT_EQ(captured->Width(), kWidth);
  EXPECT_EQ(captured->Height(), kHeight);
  EXPECT_EQ(captured->GetPixel(kWidth - 1, kHeight - 1).b, 255);
  m_drawer->SetNoPresent(false);
  TBitmap into;
  EXPECT_FALSE(m_drawer->ReadBack(into)) << "a presented frame is not read back";
}

// --- Composition ----------------------------------------------------------

// Two halves: left (r128, g255, b64) opaque, right white at alpha 128.
std::shared_ptr<TBitmap> MaskPicture() {
  auto mask = SolidPicture(200, 100, {64, 255, 128, 255});
  for (int y = 0; y < 100; ++y) {
    for (int x = 100; x < 200; ++x) {
      mask->SetPixel(x, y, {255, 255, 255, 128});
    }
  }
  return mask;
}

TEST_F(Drawer, MaskedGroupIsMaskTimesContentAcrossOffScreenTiles) {
  // 1300 pixels wide: off-screen tiles of 1024 and 512, the mask straddles
  // the seam at x = 1024.
  MakeDrawer(1300, 300);
  TFunctionItem content([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 1300, 300), SolidBox({200, 100, 50, 255}));
  });
  const auto mask = MaskPicture();
  TMaskDraw draw;
  draw.Picture.Bitmap = mask;
  draw.Placement = FlatRect(950, 100, 1150, 200);
  draw.Params = Plain();
  const TBitmap frame = DrawFrame(
      [&](TDeviceDrawer& drawer) {
        drawer.DrawMaskedGroup(content, {&draw, 1}, nullptr);
      },
      MakeColor(0, 0, 255));
  const TBgra opaque{13, 100, 100, 255}; // (200 x 128, 100 x 255, 50 x 64) / 255
  EXPECT_TRUE(Near(frame.GetPixel(1000, 150), opaque, 2)) << "left of the seam";
  EXPECT_TRUE(Near(frame.GetPixel(1040, 150), opaque, 2)) << "right of the seam";
  // Half the content over the blue screen.
  EXPECT_TRUE(NearRgb(frame.GetPixel(1100, 150), {152, 50, 100, 255}, 2));
  EXPECT_TRUE(Near(frame.GetPixel(900, 150), {255, 0, 0, 255}, 0)) << "outside every mask";
  EXPECT_TRUE(Near(frame.GetPixel(1000, 99), {255, 0, 0, 255}, 0));
}

TEST_F(Drawer, OneChannelMaskIsAlphaOverTheScreenAndStaysGreyAsAPicture) {
  // Left half 255, right half 0.
  TBitmap grey(200, 100, TPixelFormat::Gray8);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 200; ++x) {
      grey.Scanline(y)[x] = x < 100 ? 255 : 0;
    }
  }
  const TRefPtr<TBitmapStore> store = MakeRef<TWrapperBitmapStore>("mask", std::make_unique<TBitmap>(grey.Clone()));
  ASSERT_EQ(store->PixelFormat(), TPixelFormat::Gray8);
  TFunctionItem content([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 640, 480), SolidBox({200, 100, 50, 255}));
  });
  TMaskDraw draw;
  draw.Picture.Store = store.Get();
  draw.Placement = FlatRect(100, 100, 300, 200);
  draw.Params = Plain();
  TPictureSource picture;
  picture.Store = store.Get();
  const TBitmap frame = DrawFrame(
      [&](TDeviceDrawer& drawer) {
        drawer.DrawMaskedGroup(content, {&draw, 1}, nullptr);
        // The same picture drawn plainly is its grey, opaque.
        drawer.DrawPicture(picture, FlatRect(100, 10, 300, 90), Plain());
      },
      MakeColor(0, 0, 255));
  EXPECT_TRUE(Near(frame.GetPixel(150, 150), {50, 100, 200, 255}, 1)) << "content where the mask is 255";
  EXPECT_TRUE(Near(frame.GetPixel(250, 150), {255, 0, 0, 255}, 0)) << "screen where the mask is 0";
  EXPECT_TRUE(Near(frame.GetPixel(90, 150), {255, 0, 0, 255}, 0)) << "screen outside the mask";
  EXPECT_TRUE(Near(frame.GetPixel(150, 50), {255, 255, 255, 255}, 1));
  EXPECT_TRUE(Near(frame.GetPixel(250, 50), {0, 0, 0, 255}, 1));
}

TEST_F(Drawer, NestedMaskedGroupShowsItsContentUnmasked) {
  TFunctionItem inner([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 400, 300), SolidBox({255, 0, 0, 255}));
  });
  const auto white = SolidPicture(8, 8, kWhite);
  TMaskDraw innerMask;
  innerMask.Picture.Bitmap = white;
  innerMask.Placement = FlatRect(0, 0, 10, 10);
  innerMask.Params = Plain();
  TFunctionItem outer([&](TDeviceDrawer& drawer) { drawer.DrawMaskedGroup(inner, {&innerMask, 1}, nullptr); });
  TMaskDraw outerMask = innerMask;
  outerMask.Placement = FlatRect(0, 0, 100, 100);
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.DrawMaskedGroup(outer, {&outerMask, 1}, nullptr);
  });
  EXPECT_TRUE(Near(frame.GetPixel(50, 50), {0, 0, 255, 255}, 0));
  EXPECT_TRUE(Near(frame.GetPixel(150, 50), {0, 0, 0, 255}, 0));
}

TEST_F(Drawer, MaskedGroupShowsTheRepeatPatternBehindTheContent) {
  const auto tileA = SolidPicture(10, 10, {0, 255, 0, 255});
  TRepeatPattern pattern;
  pattern.Picture.Bitmap = tileA;
  pattern.Size = {10, 10};
  TFunctionItem content([](TDeviceDrawer& drawer) {
    drawer.DrawBox(FlatRect(0, 0, 50, 300), SolidBox({255, 0, 0, 255}));
  });
  const auto white = SolidPicture(8, 8, kWhite);
  TMaskDraw draw;
  draw.Picture.Bitmap = white;
  draw.Placement = FlatRect(0, 0, 100, 100);
  draw.Params = Plain();
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.DrawMaskedGroup(content, {&draw, 1}, &pattern);
  });
  EXPECT_TRUE(Near(frame.GetPixel(25, 50), {0, 0, 255, 255}, 0)) << "content";
  EXPECT_TRUE(Near(frame.GetPixel(75, 50), {0, 255, 0, 255}, 0)) << "pattern";
  EXPECT_TRUE(Near(frame.GetPixel(150, 50), {0, 0, 0, 255}, 0)) << "outside the mask";
}

// A 9 x 9 grey picture whose centre pixel is `centre`.
std::shared_ptr<TBitmap> Detail(uint8_t centre) {
  auto picture = SolidPicture(9, 9, {128, 128, 128, 255});
  picture->SetPixel(4, 4, {centre, centre, centre, 255});
  return picture;
}

TEST_F(Drawer, SharpeningAmplifiesOnlyDetailsAboveTheThreshold) {
  if (m_drawer->ShaderLevel() < 2 || !m_drawer->HasSharpeningTarget()) {
    GTEST_SKIP() << "no sharpening on this device";
  }
  ASSERT_GE(m_drawer->PixelShaderIndex(TPixelShaderKind::Sharpen), 0);
  // Detail = 0.75 x the step: 3 stays below 32 / 256; 36 is above it.
  TPictureSource faint;
  faint.Bitmap = Detail(132);
  TPictureSource strong;
  strong.Bitmap = Detail(176);
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.BeginSharpening();
    drawer.DrawPicture(faint, FlatRect(100, 100, 109, 109), Plain());
    drawer.DrawPicture(strong, FlatRect(200, 100, 209, 109), Plain());
    drawer.EndSharpening(32, 100);
  });
  EXPECT_TRUE(Near(frame.GetPixel(104, 104), {132, 132, 132, 255}, 1)) << "below the threshold";
  EXPECT_TRUE(Near(frame.GetPixel(204, 104), {212, 212, 212, 255}, 3)) << "above the threshold";
  EXPECT_TRUE(Near(frame.GetPixel(205, 104), {128, 128, 128, 255}, 1)) << "the neighbour's detail is small";
}

TEST_F(Drawer, OffScreenCompositionGivesTheSameFrame) {
  const auto draw = [](TDeviceDrawer& drawer) {
    drawer.ClearScreen(MakeColor(0, 0, 0), false);
    drawer.DrawBox(FlatRect(10, 10, 60, 40), SolidBox({255, 128, 0, 255}));
  };
  TFunctionItem direct(draw);
  TFunctionItem composed(draw, true);
  m_drawer->DrawItem(direct);
  TBitmap first;
  ASSERT_TRUE(m_drawer->ReadBack(first));
  m_drawer->DrawItem(composed);
  TBitmap second;
  ASSERT_TRUE(m_drawer->ReadBack(second));
  EXPECT_EQ(MaxDifference(first, second, {0, 0, kWidth, kHeight}).value, 0);
  EXPECT_TRUE(Near(second.GetPixel(30, 20), {0, 128, 255, 255}, 0));
}

TEST_F(Drawer, PictureBorderFramesThePictureInItsColour) {
  const TRefPtr<TBitmapStore> store = MemoryStore(*SolidPicture(100, 50, TBgra{0, 0, 255, 255}));
  TPictureSource picture;
  picture.Store = store.Get();
  TPictureDrawParams params;
  params.Feathered = false;
  params.BorderWidth = 4;
  params.BorderColor = {0, 255, 0, 255};
  const TBitmap frame =
      DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawPicture(picture, FlatRect(100, 100, 200, 150), params); });
  EXPECT_TRUE(NearRgb(frame.GetPixel(150, 125), TBgra{0, 0, 255, 255}, 0));
  EXPECT_TRUE(NearRgb(frame.GetPixel(102, 125), TBgra{0, 0, 255, 255}, 0));
  for (const auto& [x, y] : {std::pair{97, 125}, {202, 125}, {150, 97}, {150, 152}, {97, 97}, {202, 152}}) {
    EXPECT_TRUE(NearRgb(frame.GetPixel(x, y), TBgra{0, 255, 0, 255}, 0)) << x << "," << y;
  }
  for (const auto& [x, y] : {std::pair{94, 125}, {205, 125}, {150, 94}, {150, 155}}) {
    EXPECT_TRUE(NearRgb(frame.GetPixel(x, y), TBgra{0, 0, 0, 255}, 0)) << x << "," << y;
  }
}

} // namespace
} // namespace qx::test
