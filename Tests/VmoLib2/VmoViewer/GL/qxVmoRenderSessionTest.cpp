// The headless renderer through the engine on a real (off-screen) GL ES
// device: small shows of one colour per slide, rendered on the virtual wall
// clock with scripted viewer calls, frames compared by their pixels.
#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"

#include "QxLib/Graphics/qxJpegWriter.h"
#include "Tests/TestSupport/qxPngTestSupport.h"
#include "Tests/TestSupport/qxTestEngines.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoEngineTestSupport.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/VmoViewer/Virtual/qxVmoRenderSound.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

namespace qx {
namespace {

using test::TScratchFolder;

constexpr int kWidth = 64;
constexpr int kHeight = 36;
constexpr int kFps = 10;

// Slides of 2 s: red, green, blue backgrounds, no transitions; slide 1's
// personal keys are `first`.
std::string Project(const std::string& repeat = "stop", const std::string& first = "") {
  return "[Main]\r\nopt_slidescount=3\r\nopt_synchpos1=2000\r\nopt_synchpos2=4000\r\nopt_synchpos3=6000\r\n"
         "opt_repeat=" +
         repeat +
         "\r\nopt_scr_full=0\r\nopt_scr_width=64\r\nopt_scr_height=36\r\nopt_fx_enable=0\r\n"
         "opt_bstyle=1\r\nopt_bname=255\r\n"
         "[Slide1]\r\nUsePersonal=1\r\n" +
         first +
         "[Slide2]\r\nUsePersonal=1\r\nPers_Fon=1\r\nbstyle=1\r\nbname=65280\r\n"
         "[Slide3]\r\nUsePersonal=1\r\nPers_Fon=1\r\nbstyle=1\r\nbname=16711680\r\n";
}

// Viewer calls at wall times.
class TScript : public TRenderInput {
public:
  using TCall = std::function<void(TVmoShowViewer&)>;

  TScript(TRenderedWindow& window, std::vector<std::pair<int64_t, TCall>> calls)
      : m_window(window), m_calls(std::move(calls)) {}

  void DeliverDue(int64_t wallMs) override {
    while (m_next < m_calls.size() && m_calls[m_next].first <= wallMs)
      m_calls[m_next++].second(*m_window.Viewer());
  }
  std::optional<int64_t> NextEventTime() const override {
    if (m_next >= m_calls.size())
      return std::nullopt;
    return m_calls[m_next].first;
  }

private:
  TRenderedWindow& m_window;
  std::vector<std::pair<int64_t, TCall>> m_calls;
  size_t m_next = 0;
};

struct TRun {
  TRenderSession::TResult Result;
  std::string Folder;
};

class RenderSession : public testing::Test {
protected:
  void SetUp() override {
    m_engine = test::SharedGLEngine();
    ASSERT_NE(m_engine, nullptr);
  }

  TRun Render(const std::string& project, const std::string& name,
              std::vector<std::pair<int64_t, TScript::TCall>> calls = {},
              std::optional<int32_t> duration = std::nullopt) {
    return RenderShow(m_folder.Write(name + ".vmo", project), true, name, std::move(calls), duration);
  }

  TRun RenderShow(const std::string& path, bool projectMode, const std::string& name,
                  std::vector<std::pair<int64_t, TScript::TCall>> calls = {},
                  std::optional<int32_t> duration = std::nullopt, bool decodeAhead = true) {
    TRenderOptions options;
    options.DecodeAhead = decodeAhead;
    options.OutputFolder = m_folder.Path() + name;
    options.Fps = kFps;
    options.Width = kWidth;
    options.Height = kHeight;
    options.Duration = duration;
    TVmoViewerSetup output;
    output.MakeDrawDevice = [] { return std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight}); };
    output.MakeDrawer = [engine = m_engine] {
      auto drawer = std::make_unique<T3DDrawer>(*engine);
      drawer->SetNoPresent(true);
      return drawer;
    };
    TRenderSession session(options, output);
    session.SetSound(nullptr, [&session](TVmoSource&) -> std::unique_ptr<TVmoEngineMusic> {
      return std::make_unique<test::TTestMusic>(session.Driver());
    });
    std::string message;
    auto show = OpenShowToRender(path, projectMode, message);
    EXPECT_NE(show, nullptr) << message;
    TVmoPlainWindow window(session.ViewerSetup(), std::move(show), 0);
    TScript script(window, std::move(calls));
    TRun run{session.Run(window, &script, nullptr), options.OutputFolder + "/"};
    return run;
  }

  TBgra At(const TRun& run, int64_t frame, int x = kWidth / 2, int y = kHeight / 2) {
    const TBitmap picture = test::LoadPngFile(run.Folder + SequenceFrameName(frame));
    EXPECT_EQ(picture.Width(), kWidth);
    if (picture.Width() != kWidth)
      return {};
    return picture.GetPixel(x, y);
  }

  static std::string Bytes(const std::string& path) { return test::FileBytes(path); }

  T3DEngine* m_engine = nullptr;
  TScratchFolder m_folder;
};

::testing::AssertionResult Is(TBgra actual, int r, int g, int b) {
  if (std::abs(actual.r - r) <= 4 && std::abs(actual.g - g) <= 4 && std::abs(actual.b - b) <= 4)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << int(actual.r) << "," << int(actual.g) << "," << int(actual.b)
                                       << "), wanted (" << r << "," << g << "," << b << ")";
}

TEST_F(RenderSession, FramesFollowTheShowOnTheWallClockUntilItEnds) {
  const TRun run = Render(Project(), "plain");
  EXPECT_EQ(run.Result.End, TRenderEnd::ShowEnded);
  // Six seconds of show, started within a frame of the wall clock's start.
  EXPECT_GE(run.Result.Frames, 60);
  EXPECT_LE(run.Result.Frames, 62);
  EXPECT_TRUE(Is(At(run, 10), 255, 0, 0));
  EXPECT_TRUE(Is(At(run, 30), 0, 255, 0));
  EXPECT_TRUE(Is(At(run, 50), 0, 0, 255));
  EXPECT_FALSE(std::filesystem::exists(run.Folder + SequenceFrameName(run.Result.Frames)));
}

TEST_F(RenderSession, WhilePausedTheFramesRepeat) {
  const TRun run = Render(Project(), "paused",
                          {{1500, [](TVmoShowViewer& viewer) { viewer.SetPaused(true); }},
                           {3500, [](TVmoShowViewer& viewer) { viewer.SetPaused(false); }}});
  EXPECT_EQ(run.Result.End, TRenderEnd::ShowEnded);
  // Frames 16 ... 35 show the instant the pause began.
  const std::string held = Bytes(run.Folder + SequenceFrameName(16));
  for (int64_t k = 17; k <= 35; ++k)
    EXPECT_EQ(Bytes(run.Folder + SequenceFrameName(k)), held) << "frame " << k;
  EXPECT_TRUE(Is(At(run, 35), 255, 0, 0));
  // The show resumes where it stood: 2 s of pause, 2 s more of frames.
  EXPECT_GE(run.Result.Frames, 80);
  EXPECT_LE(run.Result.Frames, 82);
}

TEST_F(RenderSession, AfterASeekTheNextFrameShowsTheTarget) {
  const TRun run = Render(Project(), "seek", {{500, [](TVmoShowViewer& viewer) { viewer.Seek(4000); }}});
  EXPECT_TRUE(Is(At(run, 4), 255, 0, 0));
  EXPECT_TRUE(Is(At(run, 6), 0, 0, 255));
  EXPECT_GE(run.Result.Frames, 25);
  EXPECT_LE(run.Result.Frames, 27);
}

TEST_F(RenderSession, APauseEndActionHoldsThePictureUntilTheScriptContinues) {
  const std::string project = Project("stop", "Pers_EndAction=pause\r\n");
  const TRun held = Render(project, "held");
  // Without input the session ends once the show waits at the barrier.
  EXPECT_EQ(held.Result.End, TRenderEnd::Waiting);
  EXPECT_GE(held.Result.Frames, 20);
  EXPECT_LE(held.Result.Frames, 22);

  const TRun continued =
      Render(project, "continued", {{3000, [](TVmoShowViewer& viewer) { viewer.Seek(viewer.Position()); }}});
  EXPECT_EQ(continued.Result.End, TRenderEnd::ShowEnded);
  EXPECT_TRUE(Is(At(continued, 25), 255, 0, 0));
  EXPECT_EQ(Bytes(continued.Folder + SequenceFrameName(22)), Bytes(continued.Folder + SequenceFrameName(29)));
  EXPECT_TRUE(Is(At(continued, 45), 0, 255, 0));
}

TEST_F(RenderSession, ADurationEndsTheSessionOnTheWallClock) {
  const TRun run = Render(Project("repeat"), "duration", {}, 1234);
  EXPECT_EQ(run.Result.End, TRenderEnd::ReachedDuration);
  EXPECT_EQ(run.Result.Frames, 13);
}

TEST_F(RenderSession, WithoutAnOutputFolderFramesAreDrawnObservedAndDroppedUntilTheObserverStops) {
  TRenderOptions options;
  options.Fps = 4;
  options.Width = kWidth;
  options.Height = kHeight;
  options.Duration = 2500;
  TVmoViewerSetup output;
  int drawers = 0;
  output.MakeDrawDevice = [] { return std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight}); };
  output.MakeDrawer = [engine = m_engine, &drawers] {
    ++drawers;
    auto drawer = std::make_unique<T3DDrawer>(*engine);
    drawer->SetNoPresent(true);
    return drawer;
  };
  const auto entriesBefore = std::distance(std::filesystem::directory_iterator(m_folder.Path()), {});
  TRenderSession session(options, output);
  // The sound is mixed and dropped: no file, and finishing it is harmless.
  auto sound = std::make_unique<TVmoRenderSound>();
  TWaveOutDevice& device = sound->Device();
  session.SetSound(std::move(sound), MakeMusicFactory(&device, 1));
  std::string message;
  auto show = OpenShowToRender(m_folder.Write("dropped.vmo", Project("repeat")), true, message);
  ASSERT_NE(show, nullptr) << message;
  TVmoPlainWindow window(session.ViewerSetup(), std::move(show), 0);
  std::vector<std::pair<int64_t, int64_t>> seen;
  // The observer sees every frame and ends the session after the third.
  session.SetFrameObserver([&seen](int64_t frames, int64_t wallMs) {
    seen.emplace_back(frames, wallMs);
    return frames < 3;
  });
  const TRenderSession::TResult result = session.Run(window, nullptr, nullptr);
  EXPECT_EQ(result.End, TRenderEnd::Stopped);
  EXPECT_EQ(result.Frames, 3);
  EXPECT_EQ(seen, (std::vector<std::pair<int64_t, int64_t>>{{1, 0}, {2, 250}, {3, 500}}));
  EXPECT_EQ(drawers, 1);
  // Only the project file is new in the folder: no frames, no sound.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Path()), {}), entriesBefore + 1);
}

TEST_F(RenderSession, TheSameSessionGivesTheSameFrames) {
  const std::vector<std::pair<int64_t, TScript::TCall>> calls = {
      {700, [](TVmoShowViewer& viewer) { viewer.SetPaused(true); }},
      {900, [](TVmoShowViewer& viewer) { viewer.SetPaused(false); }},
      {1300, [](TVmoShowViewer& viewer) { viewer.Seek(3900); }}};
  const TRun first = Render(Project(), "first", calls);
  const TRun second = Render(Project(), "second", calls);
  ASSERT_EQ(first.Result.Frames, second.Result.Frames);
  for (int64_t k = 0; k < first.Result.Frames; ++k)
    EXPECT_EQ(Bytes(first.Folder + SequenceFrameName(k)), Bytes(second.Folder + SequenceFrameName(k))) << k;
}

TEST_F(RenderSession, PicturesDecodedAheadGiveTheSameFrames) {
  // Three 1 s slides of zooming photos, cross-faded, so that each slide's
  // picture is decoded at a reduced scale while the one before is shown.
  std::string project = "[Main]\r\nopt_slidescount=3\r\nopt_synchpos1=1000\r\nopt_synchpos2=2000\r\n"
                        "opt_synchpos3=3000\r\nopt_repeat=stop\r\nopt_scr_full=0\r\nopt_scr_width=64\r\n"
                        "opt_scr_height=36\r\nopt_fx_enable=0\r\nopt_bstyle=1\r\nopt_bname=0\r\n";
  test::TTestPackage package;
  for (int i = 1; i <= 3; ++i) {
    const std::string name = "C:\\show\\photo" + std::to_string(i) + ".jpg";
    project += "[Slide" + std::to_string(i) + "]\r\n";
    if (i > 1)
      project += "UsePersonal=1\r\nPers_Effect=1\r\nEffect_Class=2\r\nEffect_Type=1\r\nEffectTime=300\r\n";
    project += "object Photo:mainimage\r\n  ImageName=" + name +
               "\r\n  FitMode=Cover\r\n"
               "  object K1:keypoint\r\n    Time=0\r\n    Origin=SlideBegin\r\n    ScaleX=100\r\n  end\r\n"
               "  object K2:keypoint\r\n    Time=0\r\n    Origin=SlideEnd\r\n    ScaleX=140\r\n  end\r\n"
               "end\r\n";
    TBitmap photo(320, 240, TPixelFormat::Bgr24);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x)
        photo.SetPixel(x, y, TBgra{static_cast<uint8_t>(255 - 60 * i), static_cast<uint8_t>(y / 2 + 40 * i),
                                   static_cast<uint8_t>(x * 3 / 4), 255});
    package.entries.push_back({name, kVmoStored, EncodeJpeg(photo)});
  }
  package.entries.insert(package.entries.begin(), {"Project.vmo", kVmoDeflated, project});
  const std::string path = m_folder.Write("photos.VmShow", package.Build());
  const TRun ahead = RenderShow(path, false, "ahead");
  const TRun inline_ = RenderShow(path, false, "inline", {}, std::nullopt, false);
  EXPECT_EQ(ahead.Result.End, TRenderEnd::ShowEnded);
  ASSERT_EQ(ahead.Result.Frames, inline_.Result.Frames);
  for (int64_t k = 0; k < ahead.Result.Frames; ++k)
    EXPECT_EQ(Bytes(ahead.Folder + SequenceFrameName(k)), Bytes(inline_.Folder + SequenceFrameName(k))) << k;
  // The photos are there: slide 1's is bluer than slide 3's.
  EXPECT_LT(At(ahead, 28).b, 120);
  EXPECT_GT(At(ahead, 5).b, 150);
}

} // namespace
} // namespace qx
