// A rendered session of the demo show with scripted input: pause, next and
// previous slide while paused, resume, the wheel. Its frames and audio.wav
// must agree with what the script did, checked against the single show
// times the direct renderer draws and against a second session whose show
// stands paused before any synchronised sound begins.
//
// The demo's main music plays free (not synchronised with the slides): it
// keeps playing while the show is paused and both sessions hear the same
// music at the same wall time. The third slide (10000 ms, with its
// transition in until 11500 ms) has a spoken comment from 10500 ms on,
// which is synchronised: it stops with the show. So the difference of the
// two sessions' sound is the comment alone.
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
// Both sessions start at this show time (shortly before the third slide)
// and last this long.
constexpr int kFrom = 9000;
constexpr int kDuration = 7000;

// Wall times (ms) of the script.
constexpr int kPauseAt = 2500;    // show at 11500: the comment speaks
constexpr int kNextAt = 3000;     // paused: to the fourth slide
constexpr int kPreviousAt = 4000; // paused: back to the third
constexpr int kResumeAt = 5000;
constexpr int kWheelAt = 6000; // two notches toward the user: 1400 ms on

// Slide targets while paused: the slide's start after its transition in.
constexpr int kFourthSlideShown = 15000 + 1500;
constexpr int kThirdSlideShown = 10000 + 1500;

class DemoSession : public testing::Test {
protected:
  static void SetUpTestSuite() {
    s_folder = new TScratchFolder;
    s_played = Render("played", std::to_string(kPauseAt) + " key space\n" + std::to_string(kNextAt) + " key Right\n" +
                                    std::to_string(kPreviousAt) + " key Left\n" + std::to_string(kResumeAt) +
                                    " key space\n" + std::to_string(kWheelAt) + " wheel -2\n");
    // Paused at show time 9900, before the comment, until after the other
    // session resumed.
    s_reference = Render("reference", "900 key space\n5100 key space\n");
    const std::string times = std::to_string(kFourthSlideShown) + "," + std::to_string(kThirdSlideShown) +
                              ",12900,12950,13000,13050,13100";
    s_direct = test::RunProgram(VMOVIEWER_PATH, "-exename '" + kDemoShow + "' -render-at " + times + " '" +
                                                    Folder("direct") + "' -size 160x90");
  }
  static void TearDownTestSuite() {
    delete s_folder;
    s_folder = nullptr;
  }

  static std::string Folder(const std::string& name) { return s_folder->Path() + name + "/"; }

  static TProgramRun Render(const std::string& name, const std::string& script) {
    const std::string scriptPath = s_folder->Write(name + ".txt", script);
    return test::RunProgram(VMOVIEWER_PATH, "-exename '" + kDemoShow + "' -render '" + Folder(name) + "' -fps " +
                                                std::to_string(kFps) + " -size 160x90 -from " + std::to_string(kFrom) +
                                                " -duration " + std::to_string(kDuration) + " -input '" +
                                                scriptPath + "'");
  }

  static std::string Frame(const std::string& session, int wallMs) {
    return Folder(session) + SequenceFrameName(wallMs * kFps / 1000);
  }
  static std::string ShowTime(int ms) { return Folder("direct") + "t" + std::to_string(ms) + ".png"; }

  // Mean difference of the colour channels of two pictures, 0 ... 255.
  static double Difference(const std::string& path1, const std::string& path2) {
    const TBitmap a = test::LoadPngFile(path1);
    const TBitmap b = test::LoadPngFile(path2);
    if (a.IsEmpty() || a.Width() != b.Width() || a.Height() != b.Height())
      return 255;
    double total = 0;
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x) {
        const TBgra p = a.GetPixel(x, y);
        const TBgra q = b.GetPixel(x, y);
        total += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
      }
    return total / (3.0 * a.Width() * a.Height());
  }

  // The samples (interleaved stereo) of wall time [from, to) ms.
  static std::vector<int16_t> Sound(const std::string& session, int fromMs, int toMs) {
    const std::vector<int16_t> all = test::WaveSamples(test::FileBytes(Folder(session) + "audio.wav"));
    const size_t first = static_cast<size_t>(fromMs * test::kFramesPerMs) * 2;
    const size_t last = std::min(all.size(), static_cast<size_t>(toMs * test::kFramesPerMs) * 2);
    return first < last ? std::vector<int16_t>(all.begin() + first, all.begin() + last) : std::vector<int16_t>{};
  }
  // Root mean square of the played session's sound over [from, to), or of
  // its difference from the reference session's.
  static double Rms(int fromMs, int toMs, bool lessReference) {
    const std::vector<int16_t> played = Sound("played", fromMs, toMs);
    const std::vector<int16_t> reference = Sound("reference", fromMs, toMs);
    if (played.empty() || played.size() != reference.size())
      return -1;
    double sum = 0;
    for (size_t i = 0; i < played.size(); ++i) {
      const double v = lessReference ? played[i] - reference[i] : played[i];
      sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(played.size()));
  }

  static TScratchFolder* s_folder;
  static TProgramRun s_played;
  static TProgramRun s_reference;
  static TProgramRun s_direct;
};

TScratchFolder* DemoSession::s_folder = nullptr;
TProgramRun DemoSession::s_played;
TProgramRun DemoSession::s_reference;
TProgramRun DemoSession::s_direct;

// A level the comment and the music stay far above (full scale: 32767).
constexpr double kAudible = 500;
// The stop's fade-out: heard until 25 ms after the request, then 25 ms.
constexpr int kFadeMs = 60;

// One test, so that the three runs of the player are made once.
TEST_F(DemoSession, FramesAndSoundAgreeWithTheScript) {
  ASSERT_EQ(s_played.ExitCode, 0) << s_played.Err;
  ASSERT_EQ(s_reference.ExitCode, 0) << s_reference.Err;
  ASSERT_EQ(s_direct.ExitCode, 0) << s_direct.Err;
  EXPECT_NE(s_played.Out.find("70 frame(s) and audio.wav"), std::string::npos) << s_played.Out;
  EXPECT_NE(s_played.Out.find("reached -duration"), std::string::npos) << s_played.Out;
  // Until the reference pauses, the two sessions are one.
  EXPECT_EQ(Rms(0, 900, true), 0);
  EXPECT_EQ(test::FileBytes(Frame("played", 800)), test::FileBytes(Frame("reference", 800)));

  {
    SCOPED_TRACE("paused");
    // The comment speaks before the pause ...
    EXPECT_GT(Rms(1500, kPauseAt, true), kAudible);
    // ... and is silent from the fade on until the show resumes, through
    // the slide changes made while paused; the free music goes on as if
    // nothing had happened.
    EXPECT_EQ(Rms(kPauseAt + kFadeMs, kResumeAt, true), 0);
    EXPECT_GT(Rms(kPauseAt + kFadeMs, kResumeAt, false), kAudible);
    // The picture holds: every frame of the pause repeats the one before
    // the next key.
    const std::string held = test::FileBytes(Frame("played", kPauseAt + 100));
    for (int ms = kPauseAt + 200; ms < kNextAt; ms += 100)
      EXPECT_EQ(test::FileBytes(Frame("played", ms)), held) << ms;
  }
  {
    SCOPED_TRACE("next and previous slide while paused");
    // Before the key the frame is elsewhere in the show; after it, the
    // slide's start is shown and held.
    EXPECT_GT(Difference(Frame("played", kNextAt - 100), ShowTime(kFourthSlideShown)), 10);
    for (int ms = kNextAt + 100; ms < kPreviousAt; ms += 100)
      EXPECT_LT(Difference(Frame("played", ms), ShowTime(kFourthSlideShown)), 0.5) << ms;
    for (int ms = kPreviousAt + 100; ms < kResumeAt; ms += 100)
      EXPECT_LT(Difference(Frame("played", ms), ShowTime(kThirdSlideShown)), 0.5) << ms;
  }
  {
    SCOPED_TRACE("resumed");
    // The show moves again, and the comment, 1000 ms into it at 11500,
    // speaks again while the reference (at 9900 ... 10500) has none yet.
    EXPECT_NE(test::FileBytes(Frame("played", kResumeAt + 300)), test::FileBytes(Frame("played", kResumeAt + 100)));
    EXPECT_GT(Rms(kResumeAt + 100, kResumeAt + 600, true), kAudible);
  }
  {
    SCOPED_TRACE("wheel");
    // Two notches toward the user: 1400 ms past the last requested
    // position (11500). The frame 100 ms after the turn shows about 13000
    // (the slide may take some of those 100 ms to load).
    double best = 255;
    for (int time : {12900, 12950, 13000, 13050, 13100})
      best = std::min(best, Difference(Frame("played", kWheelAt + 100), ShowTime(time)));
    EXPECT_LT(best, 1.0);
    EXPECT_GT(Difference(Frame("played", kWheelAt - 100), ShowTime(13000)), 4 * best + 2);
  }
}

} // namespace
} // namespace qx
