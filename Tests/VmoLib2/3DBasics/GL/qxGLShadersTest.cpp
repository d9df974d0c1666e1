#include "VmoLib2/3DBasics/GL/qxGLShaders.h"

#include "Tests/VmoLib2/3DBasics/GL/qxGLTestSupport.h"

#include <set>

namespace qx::test {
namespace {

using StagePrograms = GLDeviceTest;

const TBgra kRed{0, 0, 255, 255};
const TBgra kGreen{0, 255, 0, 255};
const TBgra kBlue{255, 0, 0, 255};
const TBgra kWhite{255, 255, 255, 255};

// Two setups sharing a key would draw with each other's program.
TEST(GLStageSetup, EverySetupHasItsOwnKey) {
  std::set<uint32_t> keys;
  int setups = 0;
  for (int stages = 0; stages <= kGLMaxStages; ++stages) {
    for (int flags = 0; flags < 4; ++flags) {
      for (int keep = 0; keep < 16; ++keep) {
        for (int bias = 0; bias < 16; ++bias) {
          TGLStageSetup setup;
          setup.stages = stages;
          setup.modulateColor = (flags & 1) != 0;
          setup.modulateAlpha = (flags & 2) != 0;
          setup.keepAlphaMask = static_cast<uint8_t>(keep);
          setup.lodBiasMask = static_cast<uint8_t>(bias);
          keys.insert(setup.Key());
          ++setups;
        }
      }
    }
  }
  EXPECT_EQ(keys.size(), static_cast<size_t>(setups));
}

TEST(GLStageSetup, ReadsItsMasksPerStage) {
  TGLStageSetup setup;
  setup.keepAlphaMask = 0b0101;
  setup.lodBiasMask = 0b1000;
  EXPECT_TRUE(setup.KeepsAlpha(0));
  EXPECT_FALSE(setup.KeepsAlpha(1));
  EXPECT_TRUE(setup.KeepsAlpha(2));
  EXPECT_FALSE(setup.HasLodBias(2));
  EXPECT_TRUE(setup.HasLodBias(3));
}

// Draws of one frame with different flags, biases and stage counts each
// take their own program: nothing of one draw leaks into the next.
TEST_F(StagePrograms, DrawsOfDifferentSetupsInOneFrameKeepTheirOwnResult) {
  auto mipmapped = m_renderer->CreateTexture(T3DTextureKind::Argb, 8, 8, true);
  ASSERT_NE(mipmapped, nullptr);
  const TBgra levels[4] = {kRed, kGreen, kBlue, kWhite};
  for (int level = 0; level < mipmapped->LevelCount(); ++level) {
    T3DSurface* surface = mipmapped->SurfaceLevel(level);
    ASSERT_NE(surface, nullptr);
    TBitmap* rows = surface->Lock(nullptr, T3DLockMode::Discard);
    ASSERT_NE(rows, nullptr);
    rows->Fill(levels[level]);
    ASSERT_TRUE(surface->Unlock());
  }
  mipmapped->SetFilter(T3DFilter::Linear);
  mipmapped->SetMipMaps(true);
  TBitmap half(2, 2, TPixelFormat::Bgra32);
  half.Fill(TBgra{200, 100, 50, 128});
  auto translucent = TextureFrom(half);

  ASSERT_TRUE(m_renderer->Clear({}, kClearTarget, MakeColor(0, 0, 0, 255), 1));
  auto first = Quad({0, 0, 2, 2}, 0xFFFFFFFF); // 8 texels onto 2 pixels: level 2
  auto second = Quad({2, 0, 4, 2}, 0xFFFFFFFF);
  auto tinted = Quad({8, 0, 12, 4}, MakeColor(255, 0, 0, 255));
  auto plain = Quad({16, 0, 20, 4}, MakeColor(255, 0, 0, 255));
  auto colour = Quad({24, 0, 28, 4}, MakeColor(0, 255, 0, 128));
  auto twoStages = Quad({32, 0, 36, 4}, 0xFFFFFFFF, 0, 0, 1, 1, 2);
  Draw({mipmapped.get()}, kDrawTextured, *first);
  mipmapped->SetLodBias(1.0f);
  Draw({mipmapped.get()}, kDrawTextured, *second);
  Draw({translucent.get()}, kDrawTextured | kDrawModulateColor | kDrawModulateAlpha, *tinted);
  Draw({translucent.get()}, kDrawTextured, *plain);
  Draw({}, kDrawModulateColor | kDrawModulateAlpha, *colour);
  Draw({translucent.get(), translucent.get()}, kDrawTextured | kDrawModulateColor | kDrawModulateAlpha, *twoStages);

  const TBitmap frame = ReadBack();
  EXPECT_TRUE(Near(frame.GetPixel(0, 0), kBlue, 2));
  EXPECT_TRUE(Near(frame.GetPixel(2, 0), kWhite, 2));
  // Red vertex x texel (50 red), blended at alpha 128 over black.
  EXPECT_TRUE(Near(frame.GetPixel(9, 1), TBgra{0, 0, 25, 191}, 1));
  // The vertex colour is ignored without modulation.
  EXPECT_TRUE(Near(frame.GetPixel(17, 1), TBgra{100, 50, 25, 191}, 1));
  EXPECT_TRUE(Near(frame.GetPixel(25, 1), TBgra{0, 128, 0, 191}, 1));
  // Texel x texel, alpha texel x texel = 64.
  EXPECT_TRUE(Near(frame.GetPixel(33, 1), TBgra{39, 10, 2, 207}, 2));
}

} // namespace
} // namespace qx::test
