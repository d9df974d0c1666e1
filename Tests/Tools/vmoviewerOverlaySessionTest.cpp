// A rendered session of the demo show with the layer above the slides: the
// mouse moves and the video-style bar fades in, the "Info" button opens a
// dialog that holds the show, its "Close" button closes it, the "Skip ahead"
// button jumps to the third slide, the time thumb is dragged, and the sound
// button mutes. Each effect is checked at its scripted time in the frames
// (against the single show times the direct renderer draws, which show the
// layer as it is before any input: the logo, no bar) and in audio.wav.
#include "Tests/TestSupport/qxPngTestSupport.h"
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoMusicTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

const std::string kDemoShow = std::string(VMO_BINARY_DIR) + "/demo.VmShow";
constexpr int kFps = 10;
constexpr int kWidth = 640;
constexpr int kHeight = 360;
// The bar lies along the bottom (8 % of the height); the slides are compared
// above it.
constexpr int kBarTop = 330;

// Wall times (ms) of the script and where it clicks (output pixels).
constexpr int kInfoAt = 1200;  // the "Info" button on the first slide
constexpr int kCloseAt = 2000; // the dialog's "Close" button
constexpr int kSkipAt = 2500;  // "Skip ahead": to the third slide (10000)
constexpr int kDragAt = 3200;  // the time thumb, dragged to about 12 s
constexpr int kReleaseAt = 3400;
constexpr int kMuteAt = 4000; // the bar's sound button
constexpr int kDuration = 5000;

const std::string kScript = "300 move 100 100\n"
                            "400 move 140 120\n"
                            "1200 click 416 36\n"
                            "2000 click 320 260\n"
                            "2500 click 577 36\n"
                            "3000 move 300 340\n"
                            "3200 press 300 345\n"
                            "3300 move 250 345\n"
                            "3400 release 170 345\n"
                            "4000 click 540 345\n";

// Show times the direct renderer draws: the start, where the show goes on
// after the dialog, where the skip lands and where the drag lands.
std::vector<int> DirectTimes() {
  std::vector<int> times{200, 1000};
  for (int t = 1300; t <= 1500; t += 50)
    times.push_back(t);
  for (int t = 10000; t <= 10400; t += 50)
    times.push_back(t);
  for (int t = 11800; t <= 12600; t += 100)
    times.push_back(t);
  return times;
}

class OverlaySession : public testing::Test {
protected:
  static void SetUpTestSuite() {
    s_folder = new TScratchFolder;
    const std::string size = " -size " + std::to_string(kWidth) + "x" + std::to_string(kHeight);
    const std::string scriptPath = s_folder->Write("script.txt", kScript);
    s_played = test::RunProgram(VMOVIEWER_PATH, "-exename '" + kDemoShow + "' -render '" + Folder("played") +
                                                    "' -fps " + std::to_string(kFps) + size + " -duration " +
                                                    std::to_string(kDuration) + " -input '" + scriptPath + "'");
    std::string times;
    for (const int t : DirectTimes())
      times += (times.empty() ? "" : ",") + std::to_string(t);
    s_direct = test::RunProgram(VMOVIEWER_PATH, "-exename '" + kDemoShow + "' -render-at " + times + " '" +
                                                    Folder("direct") + "'" + size);
  }
  static void TearDownTestSuite() {
    delete s_folder;
    s_folder = nullptr;
  }

  static std::string Folder(const std::string& name) { return s_folder->Path() + name + "/"; }
  static std::string Frame(int wallMs) { return Folder("played") + SequenceFrameName(wallMs * kFps / 1000); }
  static std::string ShowTime(int ms) { return Folder("direct") + "t" + std::to_string(ms) + ".png"; }

  // Mean difference of the colour channels of two pictures over the rows
  // [top, bottom), 0 ... 255.
  static double Difference(const std::string& path1, const std::string& path2, int top = 0, int bottom = kBarTop) {
    const TBitmap a = test::LoadPngFile(path1);
    const TBitmap b = test::LoadPngFile(path2);
    if (a.IsEmpty() || a.Width() != b.Width() || a.Height() != b.Height() || bottom > a.Height())
      return 255;
    double total = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < a.Width(); ++x) {
        const TBgra p = a.GetPixel(x, y);
        const TBgra q = b.GetPixel(x, y);
        total += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
      }
    return total / (3.0 * a.Width() * (bottom - top));
  }
  // The smallest difference of a played frame from the direct frames of
  // show times [from, to] in steps.
  static double Closest(int wallMs, int from, int to, int step) {
    double best = 255;
    for (int t = from; t <= to; t += step)
      best = std::min(best, Difference(Frame(wallMs), ShowTime(t)));
    return best;
  }

  static double Rms(int fromMs, int toMs) {
    const std::vector<int16_t> all = test::WaveSamples(test::FileBytes(Folder("played") + "audio.wav"));
    const size_t first = static_cast<size_t>(fromMs * test::kFramesPerMs) * 2;
    const size_t last = std::min(all.size(), static_cast<size_t>(toMs * test::kFramesPerMs) * 2);
    if (first >= last)
      return -1;
    double sum = 0;
    for (size_t i = first; i < last; ++i)
      sum += static_cast<double>(all[i]) * all[i];
    return std::sqrt(sum / static_cast<double>(last - first));
  }

  static TScratchFolder* s_folder;
  static TProgramRun s_played;
  static TProgramRun s_direct;
};

TScratchFolder* OverlaySession::s_folder = nullptr;
TProgramRun OverlaySession::s_played;
TProgramRun OverlaySession::s_direct;

// One test, so that the two runs of the player are made once.
TEST_F(OverlaySession, FramesAndSoundShowEachEffectAtItsTime) {
  ASSERT_EQ(s_played.ExitCode, 0) << s_played.Err;
  ASSERT_EQ(s_direct.ExitCode, 0) << s_direct.Err;
  EXPECT_NE(s_played.Out.find("50 frame(s) and audio.wav"), std::string::npos) << s_played.Out;
  {
    SCOPED_TRACE("the bar fades in after the mouse moved");
    // Hidden at start-up: the bottom is the show's own ...
    EXPECT_LT(Difference(Frame(200), ShowTime(200), kBarTop, kHeight), 1.0);
    // ... until the mouse moves; the slide above it is the same.
    EXPECT_GT(Difference(Frame(1000), ShowTime(1000), kBarTop, kHeight), 10);
    EXPECT_LT(Difference(Frame(1000), ShowTime(1000)), 1.0);
  }
  {
    SCOPED_TRACE("the dialog holds the show");
    // Faded in after 200 ms, the dialog covers the slide and nothing moves
    // until its button is clicked.
    EXPECT_GT(Difference(Frame(kInfoAt + 300), Frame(kInfoAt - 100)), 20);
    const std::string held = test::FileBytes(Frame(kInfoAt + 300));
    for (int ms = kInfoAt + 400; ms < kCloseAt; ms += 100)
      EXPECT_EQ(test::FileBytes(Frame(ms)), held) << ms;
    // Closed, it fades out and the show goes on from where it was held.
    EXPECT_NE(test::FileBytes(Frame(kCloseAt + 400)), test::FileBytes(Frame(kCloseAt + 300)));
    // Held at about 1200 from the click on, it runs again once the dialog
    // has faded out (200 ms).
    EXPECT_LT(Closest(kCloseAt + 400, 1300, 1500, 50), 1.0);
  }
  {
    SCOPED_TRACE("a button on the slide jumps to the third slide");
    EXPECT_GT(Closest(kSkipAt - 100, 10000, 10400, 50), 10);
    EXPECT_LT(Closest(kSkipAt + 200, 10000, 10400, 50), 1.0);
  }
  {
    SCOPED_TRACE("dragging the time thumb");
    EXPECT_GT(Closest(kDragAt - 100, 11800, 12600, 100), 4);
    EXPECT_LT(Closest(kReleaseAt + 200, 11800, 12600, 100), 1.0);
    // Playing again after the drag.
    EXPECT_NE(test::FileBytes(Frame(kReleaseAt + 400)), test::FileBytes(Frame(kReleaseAt + 300)));
  }
  {
    SCOPED_TRACE("the sound button mutes");
    // A level the music stays far above (full scale: 32767).
    constexpr double kAudible = 500;
    EXPECT_GT(Rms(kMuteAt - 400, kMuteAt), kAudible);
    EXPECT_EQ(Rms(kMuteAt + 100, kDuration), 0);
  }
}

} // namespace
} // namespace qx
