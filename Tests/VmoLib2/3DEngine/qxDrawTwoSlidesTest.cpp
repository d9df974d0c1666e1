#include "VmoLib2/3DEngine/qxDrawTwoSlides.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/3DEngine/qxD3DEffecter.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qx {
namespace {

// Transition classes of the show's records.
constexpr int kCircle = 4;
constexpr int kPush = 12;
constexpr int kFlip = 16;
constexpr int kSwap = 17;
constexpr int kCustom = 18;

const T3DRect kSlideRect{0, 0, 800, 600};

// Writes what is drawn, in order, as text.
using TJournal = std::vector<std::string>;

// A drawer that only runs the protocol and notes what it is asked.
class TRecordingDrawer final : public TDeviceDrawer {
public:
  explicit TRecordingDrawer(TJournal& journal) : m_journal(journal) {
    SetDrawCallback([](TDrawPhase, TDrawItem&) {});
    SetDeviceRect(kSlideRect);
  }

  void Init(TDrawDevice&) override {}
  void Close() override {}
  bool Ready() const override { return true; }
  int ShaderLevel() const override { return 2; }
  T3DRect CurrentTargetRect() const override { return kSlideRect; }
  void SetSlideSize(int, int) override {}
  T3DRect SlideRect() const override { return kSlideRect; }
  void SetViewport(const TFloatRect*, int, int) override {}
  void ClearScreen(T3DColor color, bool) override { m_journal.push_back("clear " + std::to_string(color)); }
  void ClearRect(T3DColor, const T3DRect&) override {}
  void PreloadPicture(const TPictureSource&, const TPictureDrawParams&) override {}
  void FreeTextureCache(const TPictureSource&) override {}
  void DrawPicture(const TPictureSource&, const TPlacement&, const TPictureDrawParams&) override {}
  void DrawBox(const TPlacement&, const TBoxDrawParams&) override {}
  void DrawFrame(const TPlacement&, float, float, float, float, const TBoxDrawParams&) override {}
  void DrawLine(const T3DPoint&, const T3DPoint&, T3DColor) override {}
  TRefPtr<TYUVImage> MakeYUVImage(int, int) override { return {}; }
  void DrawVideo(TYUVImage&, const TPlacement&, const TVideoDrawParams&) override {}
  void DrawMaskedGroup(TDrawItem&, std::span<const TMaskDraw>, const TRepeatPattern*) override {}
  void DrawTwoSlides(TDrawItem&, TDrawItem&, bool, TVmoFilter*) override {}
  void BeginSharpening() override {}
  void EndSharpening(uint8_t, float) override {}
  void BeginHider() override {}
  void EndHider(TRgb, float) override {}
  bool ReadBack(TBitmap&) override { return false; }
  std::unique_ptr<TBitmap> Capture() override { return {}; }

protected:
  void BeginFrame(TDrawItem&) override {}
  void EndFrame(TDrawItem&) override {}
  void EndScene() override {}

private:
  TJournal& m_journal;
};

class TNamedSlide final : public TDrawItem {
public:
  TNamedSlide(std::string name, TJournal& journal) : m_name(std::move(name)), m_journal(journal) {}
  void Draw(TDeviceDrawer& drawer) override {
    std::string line = m_name;
    if (drawer.HasOffset()) {
      line += " at " + std::to_string(static_cast<int>(drawer.Offset()[0])) + "," +
              std::to_string(static_cast<int>(drawer.Offset()[1]));
    }
    m_journal.push_back(line);
  }
  bool NeedsRedraw() const override { return false; }

private:
  std::string m_name;
  TJournal& m_journal;
};

// The frame's root: runs the dispatch inside the drawer's protocol, so the
// slides are drawn by nested calls as in a real frame.
class TPairItem final : public TDrawItem {
public:
  explicit TPairItem(std::function<void(TDeviceDrawer&)> draw) : m_draw(std::move(draw)) {}
  void Draw(TDeviceDrawer& drawer) override { m_draw(drawer); }
  bool NeedsRedraw() const override { return true; }

private:
  std::function<void(TDeviceDrawer&)> m_draw;
};

// Notes each rendering and draws the slide into the journal as the real
// effecter draws it into its target.
class TRecordingEffecter final : public TCustomD3DEffecter {
public:
  explicit TRecordingEffecter(TJournal& journal) : m_journal(journal) { Init(kSlideRect); }
  void Init(const T3DRect& area) override {
    SetArea(area);
    SetInited(!area.IsEmpty());
  }
  void Release() override { SetInited(false); }
  TEffController& RenderSlide(bool padEdges, const TDrawSlide& draw) override {
    CheckInited();
    m_journal.push_back(padEdges ? "effect (padded):" : "effect:");
    draw();
    return m_controller;
  }
  TEffController& RenderRealSlide(const TDrawSlide& draw) override {
    CheckInited();
    m_journal.push_back("real slide:");
    draw();
    return m_controller;
  }
  TCustomTexture* RealSlideTarget(int) override { return nullptr; }
  TEffController& Controller() override { return m_controller; }

private:
  TJournal& m_journal;
  test::TRecordingController m_controller{{0, 0, 800, 600}};
};

class DrawTwoSlidesTest : public testing::Test {
protected:
  // Draws one transition frame and answers the journal.
  TJournal Frame(TVmoFilter* filter, bool skip = false, const TFileAccessor* accessor = nullptr) {
    m_journal.clear();
    TPairItem root([&](TDeviceDrawer& drawer) {
      DrawTwoSlides(drawer, m_effecter, kSlideRect, m_first, m_second, skip, filter, accessor);
    });
    m_drawer.DrawItem(root);
    return m_journal;
  }
  static TVmoFilter Filter(int effectClass, int variant) {
    return TVmoFilter(TTransition{effectClass, variant, 1000, TEffectParams{}});
  }

  TJournal m_journal;
  TRecordingDrawer m_drawer{m_journal};
  TRecordingEffecter m_effecter{m_journal};
  TNamedSlide m_first{"first", m_journal};
  TNamedSlide m_second{"second", m_journal};
};

TEST_F(DrawTwoSlidesTest, SkipOrNoRecordDrawsTheFirstSlideAlone) {
  TVmoFilter circle = Filter(kCircle, 2);
  circle.SetProgress(0.5f);
  EXPECT_EQ(Frame(&circle, true), (TJournal{"first"}));
  EXPECT_EQ(Frame(nullptr), (TJournal{"first"}));
}

TEST_F(DrawTwoSlidesTest, OutsideTheTransitionTheSecondSlideIsAlone) {
  TVmoFilter circle = Filter(kCircle, 2);
  circle.SetProgress(1.0f);
  EXPECT_EQ(Frame(&circle), (TJournal{"second"}));
  circle.SetProgress(-0.1f);
  EXPECT_EQ(Frame(&circle), (TJournal{"second"}));
  // No transition at all: the incoming slide.
  TVmoFilter none = Filter(0, 0);
  none.SetProgress(0.5f);
  EXPECT_EQ(Frame(&none), (TJournal{"second"}));
}

TEST_F(DrawTwoSlidesTest, ShapeEffectsDrawTheFirstPlainlyAndTheSecondThroughTheEffect) {
  TVmoFilter circle = Filter(kCircle, 2);
  circle.SetProgress(0.3f);
  EXPECT_EQ(Frame(&circle), (TJournal{"first", "effect:", "second"}));
  EXPECT_NEAR(circle.CurrentEffect()->Progress(), 300, 1e-3);
}

TEST_F(DrawTwoSlidesTest, TheInvertedFlagSwapsTheSlides) {
  TVmoFilter circle = Filter(kCircle, 1);
  circle.SetProgress(0.3f);
  EXPECT_EQ(Frame(&circle), (TJournal{"second", "effect:", "first"}));
  ASSERT_TRUE(circle.CurrentEffect()->Inverted());
}

TEST_F(DrawTwoSlidesTest, OverturnShowsOneSlideSwitchingHalfWay) {
  TVmoFilter flip = Filter(kFlip, 1);
  flip.SetProgress(0.49f);
  EXPECT_EQ(Frame(&flip), (TJournal{"effect:", "first"}));
  flip.SetProgress(0.5f);
  EXPECT_EQ(Frame(&flip), (TJournal{"effect:", "second"}));
}

TEST_F(DrawTwoSlidesTest, TwoSlidesEffectDrawsTheFarSlideFirst) {
  TVmoFilter swap = Filter(kSwap, 1);
  swap.SetProgress(0.25f);
  EXPECT_EQ(Frame(&swap), (TJournal{"effect:", "second", "effect:", "first"}));
  swap.SetProgress(0.75f);
  EXPECT_EQ(Frame(&swap), (TJournal{"effect:", "first", "effect:", "second"}));
}

TEST_F(DrawTwoSlidesTest, PushShiftsThePlainSlideAndResetsTheOffset) {
  TVmoFilter fromRight = Filter(kPush, 2);
  fromRight.SetProgress(0.25f);
  EXPECT_EQ(Frame(&fromRight), (TJournal{"first at -200,0", "effect (padded):", "second"}));
  EXPECT_FALSE(m_drawer.HasOffset());

  TVmoFilter fromTop = Filter(kPush, 3);
  fromTop.SetProgress(0.5f);
  EXPECT_EQ(Frame(&fromTop), (TJournal{"first at 0,300", "effect (padded):", "second"}));
}

TEST_F(DrawTwoSlidesTest, AnOffsetSetBeforeTheFrameIsKeptUnderAPush) {
  m_drawer.Set2DOffset(10, 20);
  TVmoFilter fromLeft = Filter(kPush, 1);
  fromLeft.SetProgress(0.5f);
  EXPECT_EQ(Frame(&fromLeft), (TJournal{"first at 410,20", "effect (padded):", "second at 10,20"}));
  EXPECT_EQ(m_drawer.Offset(), (std::array<float, 2>{10, 20}));
}

TEST_F(DrawTwoSlidesTest, RealSlideEffectsRenderBothSlidesAndClearTheScreen) {
  const bool wasMuted = SetDebugOutputMuted(true);
  SetProgramPath("/opt/player/player");
  auto files = MakeRef<test::TTestFileSource>();
  files->Add("fx/plain.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=3000\n");
  const TFileAccessor accessor = test::TestAccessor(files);
  TEffectParams params;
  params.Custom = "fx/plain.vmo";
  TVmoFilter custom(TTransition{kCustom, 0, 1000, params});
  custom.SetProgress(0.5f);
  const TJournal journal = Frame(&custom, false, &accessor);
  SetDebugOutputMuted(wasMuted);
  ASSERT_EQ(custom.CurrentEffect()->ClassName(), "TRealSlideFilter");
  // The mini-project has no size, so it shows nothing: the incoming slide
  // comes instead.
  EXPECT_EQ(journal, (TJournal{"real slide:", "first", "real slide:", "second",
                               "clear " + std::to_string(MakeColor(0, 0, 0, 255)), "second"}));
}

TEST_F(DrawTwoSlidesTest, AnUninitialisedEffecterStopsTheFrame) {
  m_effecter.Release();
  TVmoFilter circle = Filter(kCircle, 2);
  circle.SetProgress(0.5f);
  EXPECT_THROW(Frame(&circle), EAssertionFailed);
  // Plain frames need no effecter.
  EXPECT_EQ(Frame(&circle, true), (TJournal{"first"}));
}

} // namespace
} // namespace qx
