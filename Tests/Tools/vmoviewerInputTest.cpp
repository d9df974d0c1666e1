// A rendered session with scripted input: vmoviewer plays a show through the
// main window, the engine and the music on the virtual clock, and the
// frames and audio.wav it writes agree with what the script did (pause and
// resume, next and previous slide, the wheel); the script's errors name
// their line.
#include "Tests/TestSupport/qxPngTestSupport.h"
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoMusicTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

constexpr int kFps = 10;

// Three slides of 2 s, red, green and blue, without transitions; music
// synchronised with the show whose samples tell their position.
constexpr std::string_view kProject = "[Main]\n"
                                      "opt_slidescount=3\n"
                                      "opt_synchpos1=2000\n"
                                      "opt_synchpos2=4000\n"
                                      "opt_synchpos3=6000\n"
                                      "opt_repeat=stop\n"
                                      "opt_syncmode=1\n"
                                      "opt_scr_full=0\n"
                                      "opt_scr_width=64\n"
                                      "opt_scr_height=36\n"
                                      "opt_fx_enable=0\n"
                                      "opt_bstyle=1\n"
                                      "opt_bname=255\n"
                                      "object M:music\n"
                                      "  object T:TMusicTrack\n"
                                      "    object A:TMusicItem\n"
                                      "      FileName=position.wav\n"
                                      "      Duration=8000\n"
                                      "    end\n"
                                      "  end\n"
                                      "end\n"
                                      "[Slide1]\n"
                                      "[Slide2]\n"
                                      "UsePersonal=1\nPers_Fon=1\nbstyle=1\nbname=65280\n"
                                      "[Slide3]\n"
                                      "UsePersonal=1\nPers_Fon=1\nbstyle=1\nbname=16711680\n";

class RenderedInput : public testing::Test {
protected:
  void SetUp() override {
    m_folder.Write("position.wav", test::PositionWave(8000));
    m_project = m_folder.Write("show.vmo", std::string(kProject));
  }

  TProgramRun Render(const std::string& script, const std::string& options = "-duration 6000") {
    const std::string scriptPath = m_folder.Write("input.txt", script);
    return test::RunProgram(VMOVIEWER_PATH, "-filename '" + m_project + "' -render '" + Frames() + "' -fps " +
                                                std::to_string(kFps) + " -size 64x36 -input '" + scriptPath + "' " +
                                                options);
  }
  std::string Frames() const { return m_folder.Path() + "frames/"; }

  TBgra Pixel(int64_t frame) const {
    const TBitmap picture = test::LoadPngFile(Frames() + SequenceFrameName(frame));
    return picture.IsEmpty() ? TBgra{} : picture.GetPixel(32, 18);
  }
  std::string FrameBytes(int64_t frame) const { return test::FileBytes(Frames() + SequenceFrameName(frame)); }

  // The audio samples (interleaved stereo) of wall time [from, to) ms.
  std::vector<int16_t> Audio(int64_t fromMs, int64_t toMs) const {
    const std::vector<int16_t> all = test::WaveSamples(test::FileBytes(Frames() + "audio.wav"));
    const size_t first = static_cast<size_t>(fromMs * 441 / 10) * 2;
    const size_t last = std::min(all.size(), static_cast<size_t>(toMs * 441 / 10) * 2);
    return first < last ? std::vector<int16_t>(all.begin() + first, all.begin() + last) : std::vector<int16_t>{};
  }
  // The music position (ms) heard at wall time `ms`, if the frame there is
  // one of the file's, unchanged.
  std::optional<double> HeardAt(int64_t ms) const {
    const std::vector<int16_t> frame = Audio(ms, ms + 1);
    if (frame.size() < 2)
      return std::nullopt;
    const std::optional<int32_t> position = test::FramePosition(frame[0], frame[1]);
    if (!position)
      return std::nullopt;
    return *position / test::kFramesPerMs;
  }

  TScratchFolder m_folder;
  std::string m_project;
};

bool IsRed(TBgra p) { return p.r > 200 && p.g < 50 && p.b < 50; }
bool IsGreen(TBgra p) { return p.g > 200 && p.r < 50 && p.b < 50; }
bool IsBlue(TBgra p) { return p.b > 200 && p.r < 50 && p.g < 50; }

TEST_F(RenderedInput, PauseHoldsThePictureAndSilencesTheSynchronisedMusicAndResumeGoesOn) {
  const TProgramRun run = Render("# pause for one second\n500 key Space\n1500 key space\n");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("60 frame(s) and audio.wav"), std::string::npos) << run.Out;
  // Frames at 600 ... 1400 ms repeat the one at 500 ms.
  for (int64_t k = 6; k <= 14; ++k)
    EXPECT_EQ(FrameBytes(k), FrameBytes(5)) << k;
  // Before the pause the music plays where the show is; while paused
  // (after its fade of 25 ms) it is silent.
  const std::optional<double> before = HeardAt(400);
  ASSERT_TRUE(before);
  for (int16_t sample : Audio(560, 1500))
    ASSERT_EQ(sample, 0);
  // After the resume it goes on from where it stopped: the show lost the
  // second of the pause.
  const std::optional<double> after = HeardAt(1900);
  ASSERT_TRUE(after);
  EXPECT_NEAR(*after - *before, 1500 - 1000, 40);
}

TEST_F(RenderedInput, NextPreviousAndWheelMoveTheShowAndItsMusic) {
  const TProgramRun run = Render("2000 key Right\n"
                                 "3000 key Left\n"
                                 "4000 wheel -2\n"
                                 "5000 wheel -1 ctrl\n");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_TRUE(IsRed(Pixel(19)));
  // "Next slide" at 2000 ms (the show a little behind, still on the first
  // slide): the frame after shows the next slide's start.
  const std::optional<double> next = HeardAt(2150);
  ASSERT_TRUE(next);
  EXPECT_NEAR(*next, 2001 + 150, 60);
  EXPECT_TRUE(IsGreen(Pixel(21)));
  // "Previous slide" at 3000 ms goes back to the first slide.
  EXPECT_TRUE(IsRed(Pixel(31)));
  const std::optional<double> previous = HeardAt(3100);
  ASSERT_TRUE(previous);
  EXPECT_LT(*previous, 150);
  // Two notches toward the user: 1400 ms after the last requested position.
  const std::optional<double> wheel = HeardAt(4100);
  ASSERT_TRUE(wheel);
  EXPECT_NEAR(*wheel, 1400 + 100, 60);
  EXPECT_TRUE(IsRed(Pixel(41)));
  // Ctrl and the wheel toward the user at 5000 ms (the show at about
  // 2400 ms, on the second slide): the third slide.
  EXPECT_TRUE(IsGreen(Pixel(49)));
  EXPECT_TRUE(IsBlue(Pixel(51)));
  const std::optional<double> slide = HeardAt(5100);
  ASSERT_TRUE(slide);
  EXPECT_NEAR(*slide, 4001 + 100, 60);
}

TEST_F(RenderedInput, EscapeClosesTheWindowAndEndsTheSession) {
  const TProgramRun run = Render("1000 key Escape\n");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("10 frame(s)"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("the window closed"), std::string::npos) << run.Out;
}

TEST_F(RenderedInput, APausedShowEndsTheSessionWhenTheScriptHasNoMore) {
  const TProgramRun run = Render("300 key Ctrl+P\n", "");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("the show waits for input"), std::string::npos) << run.Out;
}

TEST_F(RenderedInput, ABadLineIsAnErrorNamingItsNumber) {
  for (const auto& [script, why] : std::vector<std::pair<std::string, std::string>>{
           {"# fine\n100 key Space\n\n200 key Sapce\n", "line 4: unknown key \"Sapce\""},
           {"100 click 1\n", "line 1: click wants <x> <y> and a button"},
           {"100 key Space\n50 key Space\n", "line 2: the time goes back"},
           {"x key Space\n", "line 1: \"x\" is not a time in ms"},
           {"100 jump\n", "line 1: unknown event \"jump\""},
           {"100 wheel 0\n", "line 1: \"0\" is not a number of notches"}}) {
    const TProgramRun run = Render(script);
    EXPECT_EQ(run.ExitCode, 2) << script;
    EXPECT_NE(run.Err.find(why), std::string::npos) << run.Err;
  }
}

} // namespace
} // namespace qx
