#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <cmath>

namespace qx::test {
namespace {

constexpr int kAlpha = 2;
constexpr int kBands = 7;
// A band class with a variant outside 1 ... 4 has no shape of its own.
constexpr int kShapelessVariant = 5;
constexpr TRgba kRed{255, 0, 0, 255};
constexpr TRgba kBlue{0, 0, 255, 255};

::testing::AssertionResult NearRgb(TBgra actual, TBgra expected, int tolerance) {
  actual.a = expected.a;
  return Near(actual, expected, tolerance);
}

TBgra Bgra(const TRgba& c) { return {c.b, c.g, c.r, 255}; }

// The colour of `second` faded over `first` with alpha = phase x 255.
TBgra Fade(const TRgba& first, const TRgba& second, double phase) {
  const double a = std::lround(std::clamp(phase, 0.0, 1.0) * 255.0) / 255.0;
  const auto mix = [a](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(x * (1 - a) + y * a)); };
  return {mix(first.b, second.b), mix(first.g, second.g), mix(first.r, second.r), 255};
}

// Slides of one colour filling the design area, and the frame of a running
// transition between them drawn through the drawer.
class DrawerTransition : public DrawerTest {
protected:
  static TFunctionItem::TDraw Slide(TRgba color, int width = kWidth, int height = kHeight) {
    return [color, width, height](TDeviceDrawer& drawer) {
      TBoxDrawParams params;
      params.Color1 = color;
      drawer.DrawBox(FlatRect(0, 0, width, height), params);
    };
  }
  TBitmap Transition(TVmoFilter* filter, bool skip = false) {
    return DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawTwoSlides(m_first, m_second, skip, filter); });
  }

  TFunctionItem::TDraw m_drawFirst = Slide(kRed);
  TFunctionItem::TDraw m_drawSecond = Slide(kBlue);
  TFunctionItem m_first{[this](TDeviceDrawer& drawer) { m_drawFirst(drawer); }};
  TFunctionItem m_second{[this](TDeviceDrawer& drawer) { m_drawSecond(drawer); }};
};

TEST_F(DrawerTransition, CrossFadeAtHalfWayMixesBothSlides) {
  TVmoFilter fade(TTransition{kAlpha, 1, 1000, TEffectParams{}});
  fade.SetProgress(0.5f);
  const TBitmap frame = Transition(&fade);
  for (const auto& [x, y] : {std::pair{1, 1}, {200, 150}, {kWidth - 2, kHeight - 2}}) {
    EXPECT_TRUE(NearRgb(frame.GetPixel(x, y), TBgra{128, 0, 128, 255}, 2)) << x << "," << y;
  }
}

TEST_F(DrawerTransition, CrossFadeFollowsThePhaseAndStopsAtTheEnds) {
  TVmoFilter fade(TTransition{kBands, kShapelessVariant, 1000, TEffectParams{}});
  for (const double phase : {0.0, 0.25, 0.8}) {
    fade.SetProgress(static_cast<float>(phase));
    EXPECT_TRUE(NearRgb(Transition(&fade).GetPixel(200, 150), Fade(kRed, kBlue, phase), 2)) << phase;
  }
  // Past the end (and before the start) one slide alone, no effect.
  fade.SetProgress(1.0f);
  EXPECT_TRUE(NearRgb(Transition(&fade).GetPixel(200, 150), Bgra(kBlue), 0));
  fade.SetProgress(1.5f);
  EXPECT_TRUE(NearRgb(Transition(&fade).GetPixel(200, 150), Bgra(kBlue), 0));
  fade.SetProgress(-0.1f);
  EXPECT_TRUE(NearRgb(Transition(&fade).GetPixel(200, 150), Bgra(kBlue), 0));
  // Skipping the effect keeps the outgoing slide.
  fade.SetProgress(0.5f);
  EXPECT_TRUE(NearRgb(Transition(&fade, true).GetPixel(200, 150), Bgra(kRed), 0));
}

TEST_F(DrawerTransition, CrossFadeOfACentredSlideKeepsTheDesignCoordinates) {
  // A 200 x 100 design in the 400 x 300 device: the slide covers
  // (100, 100) - (300, 200).
  m_drawer->SetSlideSize(200, 100);
  m_drawer->SetViewport(nullptr, 200, 100);
  m_drawFirst = Slide(kRed, 200, 100);
  m_drawSecond = Slide(kBlue, 200, 100);
  TVmoFilter fade(TTransition{kAlpha, 1, 1000, TEffectParams{}});
  fade.SetProgress(0.5f);
  const TBitmap frame = DrawFrame([&](TDeviceDrawer& drawer) {
    drawer.DrawTwoSlides(m_first, m_second, false, &fade);
    // Drawn after the effect: must land in design coordinates again.
    TBoxDrawParams green;
    green.Color1 = {0, 255, 0, 255};
    drawer.DrawBox(FlatRect(0, 0, 20, 10), green);
  });
  EXPECT_TRUE(NearRgb(frame.GetPixel(200, 150), TBgra{128, 0, 128, 255}, 2));
  EXPECT_TRUE(NearRgb(frame.GetPixel(290, 190), TBgra{128, 0, 128, 255}, 2));
  EXPECT_TRUE(NearRgb(frame.GetPixel(105, 105), TBgra{0, 255, 0, 255}, 0));
  EXPECT_TRUE(NearRgb(frame.GetPixel(125, 105), TBgra{128, 0, 128, 255}, 2));
  // Around the slide neither slide draws: the letterbox stays black through
  // the fade instead of taking the colour the effecter's target was cleared to.
  EXPECT_TRUE(NearRgb(frame.GetPixel(50, 50), TBgra{0, 0, 0, 255}, 1));
  EXPECT_TRUE(NearRgb(frame.GetPixel(350, 250), TBgra{0, 0, 0, 255}, 1));
}

TEST_F(DrawerTransition, SlidesRenderedIntoTheEffecterAreFlaggedAsTransitionSlides) {
  std::vector<bool> flags;
  m_drawFirst = [&](TDeviceDrawer&) { flags.push_back(m_drawer->DrawingTransitionSlide()); };
  m_drawSecond = m_drawFirst;
  TVmoFilter fade(TTransition{kAlpha, 1, 1000, TEffectParams{}});
  fade.SetProgress(0.5f);
  Transition(&fade);
  // The first slide drawn plainly, the second into the effecter.
  EXPECT_EQ(flags, (std::vector<bool>{false, true}));
  EXPECT_FALSE(m_drawer->DrawingTransitionSlide());
}

TEST_F(DrawerTransition, MaskedGroupInATransitionSlideShowsTheSlideBehindItsMask) {
  // The incoming slide: blue, with a masked group whose content draws
  // nothing, so the group shows what the slide had drawn before it.
  const auto mask = SolidPicture(100, 100, TBgra{255, 255, 255, 255});
  const TRefPtr<TBitmapStore> store = MemoryStore(*mask);
  TFunctionItem empty([](TDeviceDrawer&) {});
  m_drawSecond = [&](TDeviceDrawer& drawer) {
    TBoxDrawParams params;
    params.Color1 = kBlue;
    drawer.DrawBox(FlatRect(0, 0, kWidth, kHeight), params);
    TMaskDraw draw;
    draw.Picture.Store = store.Get();
    draw.Placement = FlatRect(150, 100, 250, 200);
    draw.Params.Feathered = false;
    drawer.DrawMaskedGroup(empty, std::span(&draw, 1), nullptr);
  };
  TVmoFilter fade(TTransition{kAlpha, 1, 1000, TEffectParams{}});
  fade.SetProgress(1.0f - 1.0f / 1024);
  const TBitmap frame = Transition(&fade);
  // Without the slide behind it the group would be black.
  EXPECT_TRUE(NearRgb(frame.GetPixel(200, 150), Bgra(kBlue), 2));
  EXPECT_TRUE(NearRgb(frame.GetPixel(20, 20), Bgra(kBlue), 2));
}

TEST_F(DrawerTransition, EffecterFollowsTheClipRectangleAndKeepsItsTargetsOtherwise) {
  TRenderTargetD3DEffecter* effecter = m_drawer->Effecter();
  ASSERT_NE(effecter, nullptr);
  EXPECT_EQ(effecter->Area(), (T3DRect{0, 0, kWidth, kHeight}));
  DrawFrame([](TDeviceDrawer&) {});
  const TCustomTexture* target = &effecter->Target(0);
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_EQ(&effecter->Target(0), target) << "rebuilt without a size change";

  m_drawer->SetClipRect({40, 30, 240, 130});
  DrawFrame([](TDeviceDrawer&) {});
  EXPECT_EQ(effecter->Area(), (T3DRect{40, 30, 240, 130}));
  EXPECT_EQ(effecter->Target(0).TextureWidth(), 256);
  EXPECT_EQ(effecter->Target(0).TextureHeight(), 128);
}

TEST_F(DrawerTransition, CrossFadeInsideAClipRectangle) {
  m_drawer->SetClipRect({40, 30, 240, 130});
  TVmoFilter fade(TTransition{kAlpha, 1, 1000, TEffectParams{}});
  fade.SetProgress(0.5f);
  const TBitmap frame = Transition(&fade);
  EXPECT_TRUE(NearRgb(frame.GetPixel(45, 35), TBgra{128, 0, 128, 255}, 2));
  EXPECT_TRUE(NearRgb(frame.GetPixel(235, 125), TBgra{128, 0, 128, 255}, 2));
}

} // namespace
} // namespace qx::test
