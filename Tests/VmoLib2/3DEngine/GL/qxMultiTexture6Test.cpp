#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"

#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include "QxLib/qxLoadCallback.h"
#include "VmoLib2/3DEngine/qxBoxAntialiaser.h"
#include "VmoLib2/3DEngine/qxMultiTexture6.h"

#include <algorithm>
#include <set>

namespace qx::test {
namespace {

class MultiTexture : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    MakeScreen(1024, 768);
    m_manager = std::make_unique<TTextureManager6>(*m_screen);
  }
  void TearDown() override {
    m_manager.reset();
    ScreenTest::TearDown();
  }

  // Checks that the tiles' inner parts cover the picture once each.
  static void ExpectExactCover(const TMultiTexture6& multi) {
    std::vector<int> count(static_cast<size_t>(multi.Width() * multi.Height()));
    for (const auto& tile : multi.Tiles()) {
      EXPECT_EQ(&tile->Owner()->Tiles(), &multi.Tiles());
      for (int y = tile->OriginY() + 1; y < tile->OriginY() + tile->UsedHeight() - 1; ++y) {
        for (int x = tile->OriginX() + 1; x < tile->OriginX() + tile->UsedWidth() - 1; ++x) {
          ASSERT_TRUE(x >= 0 && y >= 0 && x < multi.Width() && y < multi.Height()) << x << "," << y;
          ++count[static_cast<size_t>(y * multi.Width() + x)];
        }
      }
    }
    for (size_t i = 0; i < count.size(); ++i) {
      ASSERT_EQ(count[i], 1) << "pixel " << i % multi.Width() << "," << i / multi.Width();
    }
  }

  TBitmap DrawUntiled(const TBitmap& picture, const TPlacement& placement) {
    TBitmapTexture whole(*m_screen, picture);
    Begin();
    m_screen->DrawTexture(whole, {0, 0, double(picture.Width()), double(picture.Height())}, placement);
    return Finish();
  }

  TBitmap DrawTiled(TMultiTexture6& multi, const TPlacement& placement) {
    Begin();
    multi.Draw(placement);
    return Finish();
  }

  std::unique_ptr<TTextureManager6> m_manager;
};

TEST_F(MultiTexture, LargePictureIsCoveredByOverlappingTilesExactly) {
  Begin();
  const auto picture = NoisePicture(1000, 700, 1);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 1000, 700});
  ExpectExactCover(multi);
  // 254-pixel steps: four columns and three rows of 256 x 256 tiles.
  EXPECT_EQ(multi.Tiles().size(), 12u);
  for (const auto& tile : multi.Tiles()) {
    EXPECT_EQ(tile->TextureWidth(), 256);
    EXPECT_EQ(tile->TextureHeight(), 256);
  }
  Finish();
}

TEST_F(MultiTexture, TiledPictureMatchesOneTextureAtOneToOneAndScaled) {
  const auto picture = NoisePicture(1000, 700, 2);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 1000, 700});

  const TPlacement oneToOne = TPlacement::Flat({12, 34, 1012, 734});
  const TBitmap expected = DrawUntiled(*picture, oneToOne);
  const TBitmap tiled = DrawTiled(multi, oneToOne);
  const TDifference exact = MaxDifference(expected, tiled, {12, 34, 1012, 734});
  EXPECT_EQ(exact.value, 0) << "at " << exact.x << "," << exact.y;

  // Scaled: every seam falls between pixel centres and is filtered.
  const TPlacement scaled = TPlacement::Flat({10.3, 7.7, 10.3 + 730, 7.7 + 511});
  const TBitmap expectedScaled = DrawUntiled(*picture, scaled);
  const TBitmap tiledScaled = DrawTiled(multi, scaled);
  // The untiled texture's own edge reads past the picture; compare inside.
  const TDifference diff = MaxDifference(expectedScaled, tiledScaled, {12, 9, 739, 517});
  EXPECT_LE(diff.value, 2) << "at " << diff.x << "," << diff.y;
}

TEST_F(MultiTexture, TiledPictureMatchesOneTextureInPerspective) {
  const auto picture = NoisePicture(1000, 700, 9);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 1000, 700});
  // A card turned about its vertical axis: the right edge stands deeper.
  const TPlacement turned{{150.25, 80.5, 0}, {620, 0, 380}, {0, 560, 0}};
  const TBitmap expected = DrawUntiled(*picture, turned);
  const TBitmap tiled = DrawTiled(multi, turned);
  const TPlacement inside = turned.Part(0.02, 0.02, 0.98, 0.98);
  const TFloatPoint topLeft = m_screen->ToPixels(inside.At(0, 0));
  const TFloatPoint bottomRight = m_screen->ToPixels(inside.At(1, 1));
  const TFloatPoint topRight = m_screen->ToPixels(inside.At(1, 0));
  const TFloatPoint bottomLeft = m_screen->ToPixels(inside.At(0, 1));
  // The right edge is the short one: the rectangle between the right
  // edge's top and bottom lies inside the card.
  const T3DRect area{int(topLeft.x) + 1, int(std::max(topLeft.y, topRight.y)) + 1, int(topRight.x) - 1,
                     int(std::min(bottomLeft.y, bottomRight.y)) - 1};
  ASSERT_GT(area.Width(), 100);
  ASSERT_GT(area.Height(), 100);
  const TDifference diff = MaxDifference(expected, tiled, area);
  EXPECT_LE(diff.value, 4) << "at " << diff.x << "," << diff.y;

  // The same with feathered outer edges, over a white background where
  // any hole along a seam would show.
  multi.SetFeather(true);
  Begin();
  m_screen->Clear(MakeColor(255, 255, 255), false);
  multi.Draw(turned);
  const TBitmap feathered = Finish();
  const TDifference featheredDiff = MaxDifference(expected, feathered, area);
  EXPECT_LE(featheredDiff.value, 4) << "at " << featheredDiff.x << "," << featheredDiff.y;
}

TEST_F(MultiTexture, FeatheredEdgeFadesOverOnePixelButSeamsStayHard) {
  const auto picture = std::make_shared<TBitmap>(400, 100, TPixelFormat::Bgra32);
  picture->Fill({255, 255, 255, 255});
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 400, 100});
  ASSERT_GT(multi.Tiles().size(), 1u);
  multi.SetFeather(true);
  const TBitmap frame = DrawTiled(multi, TPlacement::Flat({50, 40, 450, 140}));
  EXPECT_EQ(frame.GetPixel(48, 90).r, 0);
  EXPECT_NEAR(frame.GetPixel(49, 90).r, 128, 2);
  EXPECT_EQ(frame.GetPixel(50, 90).r, 255);
  EXPECT_NEAR(frame.GetPixel(450, 90).r, 128, 2);
  EXPECT_NEAR(frame.GetPixel(200, 39).r, 128, 2);
  EXPECT_NEAR(frame.GetPixel(200, 140).r, 128, 2);
  EXPECT_LT(frame.GetPixel(49, 39).r, 100) << "corner fades both ways";
  for (int x = 50; x < 450; ++x) {
    ASSERT_EQ(frame.GetPixel(x, 41).r, 255) << "seam or edge inside the picture at " << x;
  }
  multi.SetFeather(false);
  const TBitmap hard = DrawTiled(multi, TPlacement::Flat({50, 40, 450, 140}));
  EXPECT_EQ(hard.GetPixel(49, 90).r, 0);
}

TEST_F(MultiTexture, RefusedTileSizeIsRemovedAndThePictureStillLaidOut) {
  m_screen->LimitTextureSize(128, 256);
  Begin();
  const auto picture = NoisePicture(600, 300, 3);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 600, 300});
  ExpectExactCover(multi);
  for (const auto& tile : multi.Tiles()) {
    EXPECT_LE(tile->TextureWidth(), 128);
  }
  EXPECT_TRUE(m_manager->Manager(0).Removed());
  EXPECT_FALSE(m_manager->Manager(1).Removed());
  const TBitmap tiled = [&] {
    multi.Draw(TPlacement::Flat({0, 0, 600, 300}));
    return Finish();
  }();
  EXPECT_TRUE(tiled.GetPixel(300, 150) == picture->GetPixel(300, 150));
  EXPECT_TRUE(tiled.GetPixel(599, 299) == picture->GetPixel(599, 299));
}

TEST_F(MultiTexture, ReleasedTilesAreReusedByTheNextPicture) {
  Begin();
  const auto first = NoisePicture(300, 200, 4);
  const auto second = NoisePicture(300, 200, 5);
  std::set<const TTextureTile*> tiles;
  {
    TMultiTexture6 multi(*m_manager);
    multi.SetSource(first, 1, 1, {0, 0, 300, 200});
    multi.Draw(TPlacement::Flat({0, 0, 300, 200}));
    for (const auto& tile : multi.Tiles()) {
      tiles.insert(tile.get());
    }
  }
  EXPECT_EQ(m_manager->UsageCount(), 0);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(second, 1, 1, {0, 0, 300, 200});
  for (const auto& tile : multi.Tiles()) {
    EXPECT_TRUE(tiles.count(tile.get())) << "a new tile was made";
    EXPECT_TRUE(tile->IsDirty());
  }
  multi.Draw(TPlacement::Flat({0, 0, 300, 200}));
  const TBitmap frame = Finish();
  EXPECT_TRUE(frame.GetPixel(150, 100) == second->GetPixel(150, 100)) << "stale contents of the first picture";
}

TEST_F(MultiTexture, PreloadUploadsEveryTileUnlessTheLoadCallbackAborts) {
  Begin();
  const auto picture = NoisePicture(600, 300, 8);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 600, 300});
  SetLoadCallbackMode(lcmCancel);
  multi.Preload();
  SetLoadCallbackMode(lcmNone);
  for (const auto& tile : multi.Tiles()) {
    EXPECT_TRUE(tile->IsDirty()) << "an aborted copy counts as uploaded";
    EXPECT_FALSE(tile->Prepared());
  }
  multi.Preload();
  for (const auto& tile : multi.Tiles()) {
    EXPECT_FALSE(tile->IsDirty());
    EXPECT_TRUE(tile->Prepared());
  }
  Finish();
}

TEST_F(MultiTexture, GridCellsAreDrawnWithoutTheirNeighbours) {
  // Two cells side by side, red and blue; the blue one drawn scaled up
  // must not pick up red at its left edge.
  const auto sheet = std::make_shared<TBitmap>(64, 32, TPixelFormat::Bgra32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) {
      sheet->SetPixel(x, y, x < 32 ? TBgra{0, 0, 255, 255} : TBgra{255, 0, 0, 255});
    }
  }
  TMultiTexture6 multi(*m_manager);
  TTileBitmap cells(sheet, 2, 1);
  const TFloatRect cell = cells.CellRect(1, 0);
  multi.SetSource(sheet, 2, 1, {int(cell.left), int(cell.top), int(cell.right), int(cell.bottom)});
  EXPECT_EQ(multi.Width(), 32);
  const TBitmap frame = DrawTiled(multi, TPlacement::Flat({0, 0, 320, 320}));
  EXPECT_EQ(frame.GetPixel(0, 100).r, 0);
  EXPECT_EQ(frame.GetPixel(0, 100).b, 255);
}

TEST_F(MultiTexture, SourceRectangleMustBeInsideAndNotEmpty) {
  const TMutedDebugOutput muted;
  const auto picture = NoisePicture(50, 50, 6);
  TMultiTexture6 multi(*m_manager);
  EXPECT_THROW(multi.SetSource(picture, 1, 1, {10, 10, 10, 20}), EAssertionFailed);
  EXPECT_THROW(multi.SetSource(picture, 1, 1, {0, 0, 51, 50}), EAssertionFailed);
  EXPECT_THROW(multi.SetSource(picture, 1, 1, {-1, 0, 50, 50}), EAssertionFailed);
}

TEST_F(MultiTexture, ManagerGoingFirstIsLoggedAndLeavesTheTextureEmpty) {
  const auto picture = NoisePicture(50, 50, 6);
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(picture, 1, 1, {0, 0, 50, 50});
  m_manager.reset();
  EXPECT_TRUE(m_log->Has("Error: Multi Textures Count = 1"));
  EXPECT_TRUE(multi.Tiles().empty());
}

TEST_F(MultiTexture, SecondTextureMultipliesColourAndKeepsThePicturesAlpha) {
  // The content: an opaque render target, red left of x = 40 and green
  // right of it, standing at target pixel (20, 10).
  const TBitmap none;
  TBitmapTexture content(*m_screen, none);
  content.SetKind(T3DTextureKind::RenderTargetXrgb);
  content.SetSize(64, 64);
  const auto mask = std::make_shared<TBitmap>(100, 50, TPixelFormat::Bgra32);
  mask->Fill({128, 128, 128, 128});
  TMultiTexture6 multi(*m_manager);
  multi.SetSource(mask, 1, 1, {0, 0, 100, 50});
  multi.SetSecondTexture(&content, 20, 10);
  Begin();
  ASSERT_TRUE(m_screen->PushRenderTarget(content, 20, 10));
  m_screen->ClearRect(MakeColor(255, 0, 0, 0), {0, 0, 20, 64});
  m_screen->ClearRect(MakeColor(0, 255, 0, 0), {20, 0, 64, 64});
  m_screen->PopRenderTarget();
  m_screen->Clear(MakeColor(0, 0, 0), false);
  multi.Draw(TPlacement::Flat({20, 10, 120, 60}));
  const TBitmap frame = Finish();
  // mask 128/255 x content, at alpha 128/255 over opaque black (the
  // target's alpha blends the same way: 0.5 * 0.5 + 0.5).
  EXPECT_TRUE(Near(frame.GetPixel(30, 30), {0, 0, 64, 191}, 2));
  EXPECT_TRUE(Near(frame.GetPixel(50, 30), {0, 64, 0, 191}, 2));
}

TEST_F(MultiTexture, BoxAntialiaserFillsWithSoftEdges) {
  TBoxAntialiaser box(*m_screen, {0, 200, 0, 255});
  Begin();
  box.Draw(TPlacement::Flat({10, 10, 60, 30}));
  const TBitmap frame = Finish();
  EXPECT_TRUE(frame.GetPixel(30, 20) == (TBgra{0, 200, 0, 255}));
  EXPECT_NEAR(frame.GetPixel(9, 20).g, 100, 2);
  EXPECT_NEAR(frame.GetPixel(60, 20).g, 100, 2);
  EXPECT_EQ(frame.GetPixel(8, 20).g, 0);
}

} // namespace
} // namespace qx::test
