#include "VmoLib2/VmoViewer/qxVmoRootItem.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/VmoClasses/qxRecordingDrawer.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestSupport.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace qx {

namespace {

using test::TRecordingDrawer;

class TStubOverlay : public TDrawItem {
public:
  void Draw(TDeviceDrawer& drawer) override {
    ++Drawn;
    if (Fail)
      throw std::runtime_error("overlay failed");
    drawer.DrawLine({}, {}, 0);
  }
  bool NeedsRedraw() const override { return Animating; }
  void FrameEnded() override { ++Ended; }
  int Drawn = 0;
  int Ended = 0;
  bool Fail = false;
  bool Animating = false;
};

// Three slides: 0 ... 5000 (shown until 6000), a 1000 ms transition into
// slide 1 at 5000 (shown until 11000), and slide 2 at 10000 whose
// transition has no duration.
class DrawList : public testing::Test {
protected:
  DrawList() {
    AddSlide({0, 5000, 0, 1000, 6000}, nullptr);
    m_fade = std::make_unique<TVmoFilter>(TTransition{1, 0, 1000, {}});
    AddSlide({5000, 10000, 1000, 1000, 11000}, m_fade.get());
    m_cut = std::make_unique<TVmoFilter>(TTransition{1, 0, 0, {}});
    AddSlide({10000, 15000, 0, 0, 15000}, m_cut.get());
  }

  void AddSlide(const TSlideTimes& times, TVmoFilter* transition) {
    auto slide = std::make_unique<TVmoSlide>(nullptr);
    slide->SetSize({800, 600});
    slide->SetCenter(400, 300);
    slide->SetTimes(times);
    slide->PrepareResources();
    m_entries.push_back({slide.get(), times, transition});
    m_slides.push_back(std::move(slide));
  }

  std::span<const TSlideEntry> Entries(size_t first, size_t count) const {
    return std::span<const TSlideEntry>(m_entries).subspan(first, count);
  }

  // Draws the root as one frame and returns the kinds of the calls.
  std::vector<std::string> DrawFrame() {
    m_drawer.Calls.clear();
    m_drawer.DrawItem(m_root);
    return m_drawer.Kinds();
  }

  std::vector<std::unique_ptr<TVmoSlide>> m_slides;
  std::vector<TSlideEntry> m_entries;
  std::unique_ptr<TVmoFilter> m_fade;
  std::unique_ptr<TVmoFilter> m_cut;
  TStubOverlay m_overlay;
  TRootItem m_root;
  TRecordingDrawer m_drawer;
};

using TKinds = std::vector<std::string>;

} // namespace

TEST(SlideData, HoldsThreeEntriesAndRefusesAFourth) {
  TSlideData data;
  for (int i = 0; i < 3; ++i)
    data.Add(TSlideEntry{});
  EXPECT_EQ(data.Count(), 3);
  EXPECT_EQ(data.Entries().size(), 3u);
  {
    const test::TMutedDebugOutput muted;
    EXPECT_THROW(data.Add(TSlideEntry{}), EAssertionFailed);
    EXPECT_THROW(data.Entry(3), EAssertionFailed);
  }
  EXPECT_EQ(data.Count(), 3);
}

TEST_F(DrawList, BeforeTheFirstSlideOnlyTheBackgroundIsDrawn) {
  EXPECT_FALSE(m_root.BuildDrawList({}, &m_overlay, 0));
  EXPECT_TRUE(m_root.Items().empty());
  EXPECT_FALSE(m_root.BuildDrawList(Entries(1, 2), &m_overlay, 4000));
  EXPECT_TRUE(m_root.Items().empty());
  EXPECT_EQ(m_root.Filter(), nullptr);
  m_root.SetBackgroundColor(MakeColor(10, 20, 30));
  EXPECT_EQ(DrawFrame(), (TKinds{"clearscreen", "endscene"}));
  EXPECT_EQ(m_drawer.Calls[0].Color, MakeColor(10, 20, 30));
  m_root.SetClearBackground(false);
  EXPECT_EQ(DrawFrame(), (TKinds{"endscene"}));
}

TEST_F(DrawList, OneSlideThenTheOverlay) {
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 1), &m_overlay, 2000));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[0].get(), &m_overlay}));
  EXPECT_FALSE(m_root.InTransition());
  EXPECT_FALSE(m_root.TransitionStarting());
  EXPECT_TRUE(m_root.Changed());
  // The background is filled under the slides whether or not an overlay
  // follows: the overlay covers only its own items, and the letterbox
  // around the slide would keep an old frame's pixels.
  EXPECT_EQ(DrawFrame(), (TKinds{"clearscreen", "box", "line", "endscene"}));
  EXPECT_EQ(m_overlay.Ended, 1);
  // The slide was given its time.
  EXPECT_TRUE(m_slides[0]->Active());

  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 1), nullptr, 2000));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[0].get(), nullptr}));
  EXPECT_EQ(DrawFrame(), (TKinds{"clearscreen", "box", "endscene"}));
}

TEST_F(DrawList, TransitionDrawsBothSlidesThroughTheFilter) {
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 5500));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[0].get(), m_slides[1].get(), &m_overlay}));
  EXPECT_TRUE(m_root.InTransition());
  EXPECT_FALSE(m_root.TransitionStarting());
  EXPECT_EQ(m_root.Filter(), m_fade.get());
  EXPECT_FLOAT_EQ(m_fade->Progress(), 0.5f);
  EXPECT_EQ(DrawFrame(), (TKinds{"clearscreen", "twoslides", "box", "box", "line", "endscene"}));
  EXPECT_FALSE(m_drawer.Calls[1].SkipEffect);
  EXPECT_EQ(m_drawer.Calls[1].Filter, m_fade.get());

  // After the outgoing slide's end the incoming one stands alone.
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 6500));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[1].get(), &m_overlay}));
  EXPECT_FALSE(m_root.InTransition());
  EXPECT_EQ(m_root.Filter(), nullptr);
  EXPECT_TRUE(m_root.Changed());
}

TEST_F(DrawList, TransitionStartingSetsUpTheIncomingSlide) {
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 3000));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[0].get(), m_slides[1].get(), &m_overlay}));
  EXPECT_TRUE(m_root.TransitionStarting());
  EXPECT_FALSE(m_root.InTransition());
  EXPECT_EQ(m_root.Filter(), m_fade.get());
  EXPECT_FLOAT_EQ(m_fade->Progress(), 0);
  EXPECT_EQ(DrawFrame()[1], "twoslides");
  EXPECT_TRUE(m_drawer.Calls[1].SkipEffect);

  // The incoming slide animating does not ask for frames before its time.
  m_slides[1]->SetChangeFlags(true);
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 3000));
  EXPECT_FALSE(m_root.Changed());
  EXPECT_FALSE(m_root.NeedsRedraw());
}

TEST_F(DrawList, RightAfterATransitionTheNextOneIsNotSetUpAtOnce) {
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 5500));
  EXPECT_TRUE(m_root.InTransition());
  // A jump back to slide 0: the first list after the transition shows it
  // alone, the next one sets up slide 1 again.
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 4000));
  EXPECT_EQ(m_root.Items().size(), 2u);
  EXPECT_FALSE(m_root.TransitionStarting());
  EXPECT_FALSE(m_root.InTransition());
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 4000));
  EXPECT_EQ(m_root.Items().size(), 3u);
  EXPECT_TRUE(m_root.TransitionStarting());
  // Slide 2's transition has no duration: it is never set up ahead.
  ASSERT_TRUE(m_root.BuildDrawList(Entries(1, 2), &m_overlay, 7000));
  ASSERT_TRUE(m_root.BuildDrawList(Entries(1, 2), &m_overlay, 7000));
  EXPECT_EQ(m_root.Items().size(), 2u);
  EXPECT_FALSE(m_root.TransitionStarting());
}

TEST_F(DrawList, ZeroDurationTransitionKeepsTheOutgoingSlideAlone) {
  // Slide 2 has begun, but slide 1 is visible until 11000.
  ASSERT_TRUE(m_root.BuildDrawList(Entries(1, 2), &m_overlay, 10500));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[1].get(), &m_overlay}));
  EXPECT_EQ(m_root.Filter(), nullptr);
  EXPECT_FALSE(m_root.InTransition());
  EXPECT_EQ(DrawFrame(), (TKinds{"clearscreen", "box", "line", "endscene"}));

  ASSERT_TRUE(m_root.BuildDrawList(Entries(1, 2), &m_overlay, 11500));
  EXPECT_EQ(m_root.Items(), (std::vector<TDrawItem*>{m_slides[2].get(), &m_overlay}));
}

TEST_F(DrawList, NeedsRedrawFollowsChangesProgressAndAnimation) {
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 1), &m_overlay, 2000));
  EXPECT_TRUE(m_root.NeedsRedraw()); // a new list
  DrawFrame();
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 1), &m_overlay, 2000));
  EXPECT_FALSE(m_root.Changed());
  EXPECT_FALSE(m_root.NeedsRedraw());
  m_overlay.Animating = true;
  EXPECT_TRUE(m_root.NeedsRedraw());
  m_overlay.Animating = false;
  m_root.SetForceDraw(true);
  EXPECT_TRUE(m_root.NeedsRedraw());
  m_root.SetForceDraw(false);

  // Inside a transition every new progress is a change.
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 5200));
  DrawFrame();
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 5200));
  EXPECT_FALSE(m_root.Changed());
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 5300));
  EXPECT_TRUE(m_root.Changed());
  EXPECT_FLOAT_EQ(m_fade->Progress(), 0.3f);
}

TEST_F(DrawList, HiderPassWrapsTheSlidesButNotTheOverlay) {
  m_root.SetHider(0.25f, 200);
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 2), &m_overlay, 5500));
  EXPECT_EQ(DrawFrame(),
            (TKinds{"clearscreen", "beginhider", "twoslides", "box", "box", "endhider", "line", "endscene"}));
  EXPECT_FLOAT_EQ(m_drawer.Calls[5].Amount, 0.25f);
}

TEST_F(DrawList, AFailingFrameIsSkippedQuietly) {
  m_overlay.Fail = true;
  ASSERT_TRUE(m_root.BuildDrawList(Entries(0, 1), &m_overlay, 2000));
  EXPECT_NO_THROW(DrawFrame());
  EXPECT_EQ(m_overlay.Drawn, 1);
  EXPECT_EQ(m_overlay.Ended, 1);
  // The slide is drawn again in the next frame.
  m_overlay.Fail = false;
  EXPECT_EQ(DrawFrame(), (TKinds{"clearscreen", "box", "line", "endscene"}));
}

TEST_F(DrawList, ReleasingDeviceObjectsFreesTheListedPictures) {
  test::TTestHost host(800, 600);
  const auto picture = host.AddPicture("pic.jpg", 200, 100);
  host.AddPicture("tile.jpg", 40, 30);
  TIniStorage storage;
  ASSERT_TRUE(storage.LoadFromString("[main]\r\n[slide1]\r\nUsePersonal=1\r\nPers_Fon=1\r\nbstyle=2\r\n"
                                     "bname=tile.jpg\r\nobject p:image\r\n  ImageName=pic.jpg\r\nend\r\n"));
  TVmoSlide slide(&host);
  slide.SetSize({800, 600});
  slide.SetCenter(400, 300);
  slide.LoadSlide(*storage.FindSection("main"), *storage.FindSection("slide1"), false);
  slide.PrepareResources();
  const TSlideEntry entry{&slide, TSlideTimes{0, 5000, 0, 0, 5000}, nullptr};
  ASSERT_TRUE(m_root.BuildDrawList(std::span<const TSlideEntry>(&entry, 1), nullptr, 100));
  m_root.ReleaseDeviceObjects(m_drawer);
  const auto freed = m_drawer.OfKind("free");
  ASSERT_EQ(freed.size(), 2u);
  EXPECT_EQ(freed[0].Picture.Bitmap.get(), slide.BackgroundPicture().Bitmap());
  EXPECT_EQ(freed[1].Picture.Store, picture.Get());
}

} // namespace qx
