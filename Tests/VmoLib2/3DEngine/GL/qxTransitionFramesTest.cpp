// Every transition class and variant drawn through the drawer on a small
// headless screen: slide A (red, or a picture) going out, slide B (blue, or
// another picture) coming in. The frames are probed for where B shows.
#include "VmoLib2/3DEngine/qx3DDrawer.h"

#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace qx::test {
namespace {

constexpr int kW = 160;
constexpr int kH = 90;
constexpr TRgba kRed{255, 0, 0, 255};
constexpr TRgba kBlue{0, 0, 255, 255};
// The phase that stands for the end: at 1 itself the drawer shows the
// incoming slide without the effect.
constexpr float kAlmostOne = 0.99999f;

struct TCase {
  int cls;
  int variant;
};

std::string Name(const TCase& c) { return "class " + std::to_string(c.cls) + " variant " + std::to_string(c.variant); }

// Every class with every variant it has a movement for (class 7 variant 5
// is its cross-fade).
std::vector<TCase> AllCases() {
  const std::pair<int, int> variants[] = {
      {kEffectMosaic, 1}, {kEffectFade, 1},  {kEffectClock, 2},    {kEffectCircle, 2}, {kEffectRhomb, 2},
      {kEffectSquare, 2}, {kEffectLines, 5}, {kEffectDiagonal, 4}, {kEffectWipe, 4},   {kEffectDiagonalWipe, 4},
      {kEffectBroom, 16}, {kEffectPush, 4},  {kEffectSlide, 4},    {kEffectRoll, 8},   {kEffectDiagonalRoll, 8},
      {kEffectFlip, 4},   {kEffectSwap, 4}};
  std::vector<TCase> cases;
  for (const auto& [cls, count] : variants) {
    for (int v = 1; v <= count; ++v) {
      cases.push_back({cls, v});
    }
  }
  return cases;
}

// The settings a show with transitions on starts from.
TEffectParams Defaults() {
  TEffectParams p;
  p.RollDiameter = 0.1f;
  p.RollVariants = true;
  p.RollCurving = 0.125f;
  p.FlipCurving = 0.5f;
  p.FlipSmooth = true;
  p.SwapDepth = 4;
  p.SwapWidth = 1;
  p.SwapMaxAngle = 60;
  p.CenterX = 50;
  p.CenterY = 50;
  p.MosaicDX = 16;
  p.MosaicDY = 9;
  p.MosaicSC = 1000;
  p.Seed = 12345;
  return p;
}

// The other settings of every movement.
TEffectParams Others() {
  TEffectParams p = Defaults();
  p.Smoothline = 0.05f;
  p.BroomOffset = 0.25f;
  p.RollVariants = false;
  p.Roll3D = true;
  p.RollCurving = 0.5f;
  p.RollUseBackColor = true;
  p.RollBackColor = {0, 255, 0};
  p.FlipCenter = true;
  p.FlipSmooth = false;
  p.FlipCurving = 0;
  p.CenterX = 25;
  p.CenterY = 75;
  return p;
}

// A picture of smooth colour waves, 40 pixels long (mirrored with `flip`):
// it has structure everywhere, and texture coordinates a fraction of a
// pixel off change it by a level at most.
std::shared_ptr<TBitmap> WavePicture(int width, int height, bool flip) {
  auto picture = std::make_shared<TBitmap>(width, height, TPixelFormat::Bgra32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double u = flip ? width - 1 - x : x;
      const auto wave = [](double t) { return static_cast<uint8_t>(std::lround(127.5 + 100 * std::sin(t))); };
      picture->SetPixel(
          x, y, TBgra{wave(u / 40 * 6.2831853), wave(y / 40.0 * 6.2831853 + 1), wave((u + y) / 60.0 * 6.2831853), 255});
    }
  }
  return picture;
}

bool IsColor(TBgra p, const TRgba& c, int tolerance = 4) {
  return std::abs(p.r - c.r) <= tolerance && std::abs(p.g - c.g) <= tolerance && std::abs(p.b - c.b) <= tolerance;
}

int ChannelDifference(TBgra a, TBgra b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// Whether `cut` equals `whole` within 2 levels, except where `whole` itself
// changes that much from a pixel to its neighbour: a hard edge of the
// picture may fall a pixel either way, a seam (a gap or a piece drawn
// twice) shows where the picture is smooth.
::testing::AssertionResult SameUpToItsOwnEdges(const TBitmap& whole, const TBitmap& cut) {
  for (int y = 0; y < whole.Height(); ++y) {
    for (int x = 0; x < whole.Width(); ++x) {
      const TBgra here = whole.GetPixel(x, y);
      int own = 0;
      for (const auto& [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < whole.Width() && ny < whole.Height()) {
          own = std::max(own, ChannelDifference(here, whole.GetPixel(nx, ny)));
        }
      }
      const int d = ChannelDifference(here, cut.GetPixel(x, y));
      if (d > 2 + own) {
        return ::testing::AssertionFailure()
               << "differs by " << d << " at (" << x << ", " << y << "), its own edge " << own;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

class TransitionFrames : public DrawerTest {
protected:
  void SetUp() override {
    DrawerTest::SetUp();
    MakeDrawer(kW, kH);
  }

  static TFunctionItem::TDraw Flat(TRgba color) {
    return [color](TDeviceDrawer& drawer) {
      TBoxDrawParams params;
      params.Color1 = color;
      drawer.DrawBox(FlatRect(0, 0, kW, kH), params);
    };
  }
  static TFunctionItem::TDraw Picture(const TRefPtr<TBitmapStore>& store) {
    return [store](TDeviceDrawer& drawer) {
      TPictureSource source;
      source.Store = store.Get();
      TPictureDrawParams params;
      params.Feathered = false;
      drawer.DrawPicture(source, FlatRect(0, 0, kW, kH), params);
    };
  }

  // The frame of the transition (class, variant) at `phase`.
  TBitmap Frame(const TCase& c, float phase, const TEffectParams& params = Defaults()) {
    TVmoFilter filter(TTransition{c.cls, c.variant, 1000, params});
    filter.SetProgress(phase);
    return DrawFrame([&](TDeviceDrawer& drawer) { drawer.DrawTwoSlides(m_first, m_second, false, &filter); });
  }
  // Pixels of the frame that are A, and that are B.
  static std::pair<int, int> Count(const TBitmap& frame) {
    int a = 0;
    int b = 0;
    for (int y = 0; y < frame.Height(); ++y) {
      for (int x = 0; x < frame.Width(); ++x) {
        a += IsColor(frame.GetPixel(x, y), kRed);
        b += IsColor(frame.GetPixel(x, y), kBlue);
      }
    }
    return {a, b};
  }
  // Checks every pixel whose centre `expect` classifies: 1 must be B, 0 A,
  // anything else is not checked.
  static ::testing::AssertionResult Where(const TBitmap& frame, const std::function<int(double, double)>& expect) {
    int wrong = 0;
    std::string first;
    for (int y = 0; y < frame.Height(); ++y) {
      for (int x = 0; x < frame.Width(); ++x) {
        const int want = expect(x + 0.5, y + 0.5);
        if (want < 0) {
          continue;
        }
        if (!IsColor(frame.GetPixel(x, y), want == 1 ? kBlue : kRed)) {
          if (wrong++ == 0) {
            first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
          }
        }
      }
    }
    if (wrong == 0) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << wrong << " pixels wrong, first at " << first;
  }

  TFunctionItem::TDraw m_drawFirst = Flat(kRed);
  TFunctionItem::TDraw m_drawSecond = Flat(kBlue);
  TFunctionItem m_first{[this](TDeviceDrawer& drawer) { m_drawFirst(drawer); }};
  TFunctionItem m_second{[this](TDeviceDrawer& drawer) { m_drawSecond(drawer); }};
};

// Inside, outside, or near (-1) an edge at distance `edge`, `margin` wide.
int Side(double distance, double edge, double margin = 1.5) {
  if (distance < edge - margin) {
    return 1;
  }
  return distance > edge + margin ? 0 : -1;
}

TEST_F(TransitionFrames, EveryClassAndVariantStartsWithTheOutgoingAndEndsWithTheIncomingSlide) {
  const int total = kW * kH;
  for (const TEffectParams& params : {Defaults(), Others()}) {
    // A soft clock edge is at 12 o'clock until the very end: a band along
    // the upper half and round the centre.
    const int soft = static_cast<int>(params.Smoothline * kW);
    const int clockEdge = (soft + 2) * kH / 2 + soft * soft;
    for (const TCase& c : AllCases()) {
      EXPECT_EQ(Count(Frame(c, 0, params)).first, total) << Name(c);
      EXPECT_GE(Count(Frame(c, kAlmostOne, params)).second, c.cls == kEffectClock ? total - clockEdge : total)
          << Name(c);
    }
  }
}

TEST_F(TransitionFrames, HalfWayTheShapesShowTheIncomingSlideWhereTheyLie) {
  const double cx = kW / 2.0;
  const double cy = kH / 2.0;
  const double halfDiagonal = std::hypot(cx, cy);
  // Circle: a disk of half the reach (the farthest corner).
  EXPECT_TRUE(Where(Frame({kEffectCircle, 2}, 0.5f),
                    [&](double x, double y) { return Side(std::hypot(x - cx, y - cy), halfDiagonal / 2); }));
  // Centred at (25 %, 75 %): the farthest corner is the top-right one.
  TEffectParams offCentre = Defaults();
  offCentre.CenterX = 25;
  offCentre.CenterY = 75;
  EXPECT_TRUE(Where(Frame({kEffectCircle, 2}, 0.5f, offCentre),
                    [&](double x, double y) { return Side(std::hypot(x - 40, y - 67.5), std::hypot(120, 67.5) / 2); }));
  // Diamond of half the reach (width + height) / 2, rectangle of half the
  // half-width.
  EXPECT_TRUE(Where(Frame({kEffectRhomb, 2}, 0.5f),
                    [&](double x, double y) { return Side(std::abs(x - cx) + std::abs(y - cy), (kW + kH) / 4.0); }));
  EXPECT_TRUE(Where(Frame({kEffectSquare, 2}, 0.5f), [&](double x, double y) {
    return Side(std::max(std::abs(x - cx), std::abs(y - cy) * kW / kH), kW / 4.0);
  }));
  // One band in the middle, half the width; wipes half way in from their
  // side.
  EXPECT_TRUE(
      Where(Frame({kEffectLines, 2}, 0.5f), [&](double x, double) { return Side(std::abs(x - cx), kW / 4.0); }));
  EXPECT_TRUE(
      Where(Frame({kEffectLines, 4}, 0.5f), [&](double, double y) { return Side(std::abs(y - cy), kH / 4.0); }));
  EXPECT_TRUE(Where(Frame({kEffectWipe, 1}, 0.5f), [&](double x, double) { return Side(x, cx); }));
  EXPECT_TRUE(Where(Frame({kEffectWipe, 2}, 0.5f), [&](double x, double) { return Side(kW - x, cx); }));
  EXPECT_TRUE(Where(Frame({kEffectWipe, 3}, 0.5f), [&](double, double y) { return Side(y, cy); }));
  EXPECT_TRUE(Where(Frame({kEffectWipe, 4}, 0.5f), [&](double, double y) { return Side(kH - y, cy); }));
  // Diagonal bands: both sides of the line through the centre; the
  // one-sided wipe from the top-left corner, half way to the far corner.
  EXPECT_TRUE(Where(Frame({kEffectDiagonal, 2}, 0.5f),
                    [&](double x, double y) { return Side(std::abs(x - (cx + cy - y)), (kW + kH) / 4.0); }));
  EXPECT_TRUE(
      Where(Frame({kEffectDiagonalWipe, 1}, 0.5f), [&](double x, double y) { return Side(x + y, (kW + kH) / 2.0); }));
  // Clock: a quarter turn shows the top-right quarter; reversed, the
  // top-left.
  EXPECT_TRUE(Where(Frame({kEffectClock, 1}, 0.25f), [&](double x, double y) {
    return std::min(x - cx, cy - y) > 1.5 ? 1 : std::max(cx - x, y - cy) > 1.5 ? 0 : -1;
  }));
  EXPECT_TRUE(Where(Frame({kEffectClock, 2}, 0.25f), [&](double x, double y) {
    return std::min(cx - x, cy - y) > 1.5 ? 1 : std::max(x - cx, y - cy) > 1.5 ? 0 : -1;
  }));
  // Slides and pushes: the incoming slide's edge half way across.
  EXPECT_TRUE(Where(Frame({kEffectSlide, 1}, 0.5f), [&](double x, double) { return Side(x, cx); }));
  EXPECT_TRUE(Where(Frame({kEffectSlide, 4}, 0.5f), [&](double, double y) { return Side(kH - y, cy); }));
  EXPECT_TRUE(Where(Frame({kEffectPush, 2}, 0.5f), [&](double x, double) { return Side(kW - x, cx); }));
  EXPECT_TRUE(Where(Frame({kEffectPush, 3}, 0.5f), [&](double, double y) { return Side(y, cy); }));
}

TEST_F(TransitionFrames, BroomsHalfWayShowTheHalfTheySweptFirst) {
  const double cx = kW / 2.0;
  const double cy = kH / 2.0;
  // Up sweeps from the right, right from the bottom, down from the left,
  // left from the top (clockwise about pivots beyond those sides).
  EXPECT_TRUE(Where(Frame({kEffectBroom, 1}, 0.5f), [&](double x, double) { return Side(cx - x, 0); }));
  EXPECT_TRUE(Where(Frame({kEffectBroom, 2}, 0.5f), [&](double, double y) { return Side(cy - y, 0); }));
  EXPECT_TRUE(Where(Frame({kEffectBroom, 3}, 0.5f), [&](double x, double) { return Side(x - cx, 0); }));
  EXPECT_TRUE(Where(Frame({kEffectBroom, 4}, 0.5f), [&](double, double y) { return Side(y - cy, 0); }));
  // Up-right: about the top-right corner, from straight down to straight
  // left; half way is the 45 degree line.
  EXPECT_TRUE(Where(Frame({kEffectBroom, 5}, 0.5f), [&](double x, double y) { return Side((kW - x) - y, 0); }));
  // Inverted: the outgoing slide in the same half.
  EXPECT_TRUE(Where(Frame({kEffectBroom, 10}, 0.5f), [&](double, double y) { return Side(y - cy, 0); }));
}

TEST_F(TransitionFrames, InvertedVariantsExchangeTheRoles) {
  const std::pair<TCase, TCase> pairs[] = {
      {{kEffectCircle, 1}, {kEffectCircle, 2}},     {{kEffectRhomb, 1}, {kEffectRhomb, 2}},
      {{kEffectSquare, 1}, {kEffectSquare, 2}},     {{kEffectLines, 1}, {kEffectLines, 2}},
      {{kEffectLines, 3}, {kEffectLines, 4}},       {{kEffectDiagonal, 1}, {kEffectDiagonal, 2}},
      {{kEffectDiagonal, 3}, {kEffectDiagonal, 4}}, {{kEffectBroom, 6}, {kEffectBroom, 14}},
      {{kEffectBroom, 7}, {kEffectBroom, 15}}};
  for (const auto& [inverted, plain] : pairs) {
    const TBitmap a = Frame(inverted, 0.5f);
    const TBitmap b = Frame(plain, 0.5f);
    int swapped = 0;
    int shown = 0;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool plainB = IsColor(b.GetPixel(x, y), kBlue);
        const bool plainA = IsColor(b.GetPixel(x, y), kRed);
        shown += plainB;
        swapped += (plainB && IsColor(a.GetPixel(x, y), kRed)) || (plainA && IsColor(a.GetPixel(x, y), kBlue));
      }
    }
    EXPECT_GT(shown, kW * kH / 10) << Name(plain);
    // All but the pixels along the edges.
    EXPECT_GT(swapped, kW * kH * 9 / 10) << Name(inverted);
  }
}

TEST_F(TransitionFrames, SoftEdgesRampOverTheSmoothLineWidth) {
  TEffectParams soft = Defaults();
  soft.Smoothline = 0.1f; // 16 pixels
  const TBitmap frame = Frame({kEffectWipe, 1}, 0.5f, soft);
  // The wipe's edge at 80 + 16 / 2: opaque B up to 72, A from 88 on, the S
  // ramp between (half at its middle).
  const int y = kH / 2;
  EXPECT_TRUE(IsColor(frame.GetPixel(70, y), kBlue));
  EXPECT_TRUE(IsColor(frame.GetPixel(90, y), kRed));
  int previous = 256;
  for (int x = 70; x <= 90; ++x) {
    const int b = frame.GetPixel(x, y).b;
    EXPECT_LE(b, previous + 1) << x;
    previous = b;
  }
  EXPECT_NEAR(frame.GetPixel(80, y).b, 128, 20);
  EXPECT_GT(frame.GetPixel(76, y).b, 200);
  EXPECT_LT(frame.GetPixel(84, y).b, 55);
}

TEST_F(TransitionFrames, TheMosaicShowsAboutHalfItsBlocksTheSameWayEveryTime) {
  const TBitmap frame = Frame({kEffectMosaic, 1}, 0.5f);
  int blocksB = 0;
  for (int row = 0; row < 9; ++row) {
    for (int column = 0; column < 16; ++column) {
      // Each block is one colour.
      const TBgra centre = frame.GetPixel(column * 10 + 5, row * 10 + 5);
      EXPECT_TRUE(IsColor(frame.GetPixel(column * 10 + 1, row * 10 + 1), {centre.r, centre.g, centre.b, 255}));
      blocksB += centre.b > 128;
    }
  }
  EXPECT_GT(blocksB, 144 * 3 / 10);
  EXPECT_LT(blocksB, 144 * 7 / 10);
  const TBitmap again = Frame({kEffectMosaic, 1}, 0.5f);
  EXPECT_EQ(MaxDifference(frame, again, {0, 0, kW, kH}).value, 0);
  TEffectParams other = Defaults();
  other.Seed = 54321;
  EXPECT_GT(MaxDifference(frame, Frame({kEffectMosaic, 1}, 0.5f, other), {0, 0, kW, kH}).value, 100);
}

TEST_F(TransitionFrames, NoSeamsAlongTheEffecterCells) {
  const auto a = MemoryStore(*WavePicture(kW, kH, false));
  const auto b = MemoryStore(*WavePicture(kW, kH, true));
  m_drawFirst = Picture(a);
  m_drawSecond = Picture(b);
  Frame({kEffectFade, 1}, 0.5f);
  TRenderTargetD3DEffecter* effecter = m_drawer->Effecter();
  ASSERT_NE(effecter, nullptr);
  for (const TEffectParams& params : {Defaults(), Others()}) {
    for (const TCase& c : AllCases()) {
      effecter->SetCellGrid(1, 1);
      const TBitmap whole = Frame(c, 0.45f, params);
      effecter->SetCellGrid(3, 2);
      const TBitmap cut = Frame(c, 0.45f, params);
      EXPECT_TRUE(SameUpToItsOwnEdges(whole, cut)) << Name(c);
    }
  }
  effecter->SetCellGrid(1, 1);
}

TEST_F(TransitionFrames, RollsFlipsAndSwapsKeepThePicturesUndistortedWhereFlat) {
  const auto a = MemoryStore(*WavePicture(kW, kH, false));
  const auto b = MemoryStore(*WavePicture(kW, kH, true));
  m_drawFirst = Picture(a);
  m_drawSecond = Picture(b);
  const TBitmap pictureA = DrawFrame(m_first);
  const TBitmap pictureB = DrawFrame(m_second);
  // Flip and swap: each slide whole in its own place at the ends.
  for (const TCase& c : {TCase{kEffectFlip, 1}, TCase{kEffectFlip, 4}, TCase{kEffectSwap, 2}, TCase{kEffectSwap, 3}}) {
    for (const TEffectParams& params : {Defaults(), Others()}) {
      EXPECT_LE(MaxDifference(Frame(c, 0, params), pictureA, {0, 0, kW, kH}).value, 2) << Name(c);
      EXPECT_LE(MaxDifference(Frame(c, kAlmostOne, params), pictureB, {0, 0, kW, kH}).value, 2) << Name(c);
    }
  }
  // A roll from the left half way: a radius of 16 pixels at 72. The
  // incoming page lies flat left of the cylinder and the part of it rolled
  // past half a turn, the outgoing slide right of the cylinder.
  const TBitmap roll = Frame({kEffectRoll, 1}, 0.5f);
  EXPECT_LE(MaxDifference(roll, pictureB, {0, 0, 55, kH}).value, 2);
  EXPECT_LE(MaxDifference(roll, pictureA, {89, 0, kW, kH}).value, 2);
  EXPECT_GT(MaxDifference(roll, pictureB, {56, 0, 88, kH}).value, 10) << "the cylinder";
  // Unrolling the other way (variant 5 rolls the outgoing page up from
  // the left): the incoming slide shows where the page has gone.
  const TBitmap unroll = Frame({kEffectRoll, 5}, 0.5f);
  EXPECT_LE(MaxDifference(unroll, pictureB, {0, 0, 55, kH}).value, 2);
  EXPECT_LE(MaxDifference(unroll, pictureA, {105, 0, kW, kH}).value, 2);
}

TEST_F(TransitionFrames, TheFlipIsEdgeOnHalfWay) {
  const TBitmap frame = Frame({kEffectFlip, 2}, 0.5f);
  int lit = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      lit += !IsColor(frame.GetPixel(x, y), {0, 0, 0, 255});
    }
  }
  EXPECT_LE(lit, kH) << "at most a line of the card shows";
}

TEST_F(TransitionFrames, ACustomTransitionDrawsItsSlideWithBothSlidesAsPictures) {
  // The mini-slide shows the outgoing slide at half size on the left and
  // the incoming one on the right.
  auto files = MakeRef<TTestFileSource>();
  files->Add("fx/halves.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=1000\nopt_scr_width=160\nopt_scr_height=90\n"
                              "[slide1]\nUsePersonal=1\nPers_Fon=1\nbstyle=1\nbname=65280\n"
                              "object out:image\n  ReplaceWithEffectBuffer=1\n  FitMode=PlaceInto\n"
                              "  object K:keypoint\n    ScaleX=50\n    ScaleY=50\n    Position=-50,0\n  end\nend\n"
                              "object in:image\n  ReplaceWithEffectBuffer=2\n  FitMode=PlaceInto\n"
                              "  object K:keypoint\n    ScaleX=50\n    ScaleY=50\n    Position=50,0\n  end\nend\n");
  const TFileAccessor accessor = TestAccessor(files);
  m_drawer->SetFileAccessor(&accessor);
  TEffectParams params = Defaults();
  params.Custom = "fx/halves.vmo";
  const TBitmap frame = Frame({kCustomEffectClass, 0}, 0.5f, params);
  m_drawer->SetFileAccessor(nullptr);
  // The mini-slide's green background, and the two halves of its pictures.
  EXPECT_TRUE(IsColor(frame.GetPixel(80, 5), {0, 255, 0, 255}));
  EXPECT_TRUE(IsColor(frame.GetPixel(40, 45), kRed));
  EXPECT_TRUE(IsColor(frame.GetPixel(120, 45), kBlue));
  EXPECT_TRUE(IsColor(frame.GetPixel(5, 30), kRed));
  EXPECT_TRUE(IsColor(frame.GetPixel(155, 60), kBlue));
}

} // namespace
} // namespace qx::test
