// Runs "vmopack music" on a loose project of plain PCM files and measures
// the sound track it writes: item boundaries, cross-fade midpoints, fade
// ends and envelope levels against the project, a paused comment that
// continues without a gap or a repeat, and the absence of clicks.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoMusicTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

namespace qx {
namespace {

using test::kFramesPerMs;
using test::TProgramRun;
using test::TScratchFolder;

// Music from 0 to 9 s: a (+6000) from 0 to 4 s cross-fading over 2 s into
// b (-6000) up to 5 s, one second of silence, then c (8000) from 6 s, fading
// out over its last 2 s to 9 s. A comment of 4 s on the second slide, from
// 10 s, whose frames tell their position in the file.
constexpr std::string_view kProject = "[Main]\n"
                                      "opt_slidescount=2\n"
                                      "opt_synchpos1=10000\n"
                                      "opt_synchpos2=16000\n"
                                      "opt_repeat=stop\n"
                                      "object M:music\n"
                                      "  object T:TMusicTrack\n"
                                      "    object A:TMusicItem\n"
                                      "      FileName=a.wav\n"
                                      "      Duration=4000\n"
                                      "    end\n"
                                      "    object B:TMusicItem\n"
                                      "      FileName=b.wav\n"
                                      "      Duration=3000\n"
                                      "      Cross=2000\n"
                                      "    end\n"
                                      "    object C:TMusicItem\n"
                                      "      FileName=c.wav\n"
                                      "      Duration=3000\n"
                                      "      CrossMode=1\n"
                                      "      Pause=1000\n"
                                      "      FadeOut=2000\n"
                                      "    end\n"
                                      "  end\n"
                                      "end\n"
                                      "[Slide1]\n"
                                      "[Slide2]\n"
                                      "object M:music\n"
                                      "  object V:TSoundComment\n"
                                      "    FileName=voice.wav\n"
                                      "    Duration=4000\n"
                                      "  end\n"
                                      "end\n";

// Within this of where the project puts them (ms).
constexpr double kToleranceMs = 10;
// The automatic fade of every item (ms).
constexpr double kAutoFadeMs = 10;

class Track {
public:
  explicit Track(std::vector<int16_t> samples) : m_samples(std::move(samples)) {}

  int64_t Frames() const { return static_cast<int64_t>(m_samples.size() / 2); }
  int16_t Left(int64_t frame) const { return m_samples[static_cast<size_t>(frame * 2)]; }
  int16_t Right(int64_t frame) const { return m_samples[static_cast<size_t>(frame * 2 + 1)]; }
  double LeftAt(double ms) const { return Left(static_cast<int64_t>(std::llround(ms * kFramesPerMs))); }

  // The time (ms) of the first frame from `fromMs` on for which the left
  // sample passes the test; -1 when none does.
  double FirstTime(double fromMs, const std::function<bool(int16_t)>& test) const {
    for (int64_t frame = static_cast<int64_t>(fromMs * kFramesPerMs); frame < Frames(); ++frame) {
      if (test(Left(frame)))
        return static_cast<double>(frame) / kFramesPerMs;
    }
    return -1;
  }

  // The file position of the frame, when the comment plays it unchanged.
  std::optional<int32_t> Position(int64_t frame) const { return test::FramePosition(Left(frame), Right(frame)); }

private:
  std::vector<int16_t> m_samples;
};

class VmopackMusic : public testing::Test {
protected:
  void SetUp() override {
    m_folder.Write("a.wav", test::ConstantWave(5000, 6000));
    m_folder.Write("b.wav", test::ConstantWave(5000, -6000));
    m_folder.Write("c.wav", test::ConstantWave(4000, 8000));
    m_folder.Write("voice.wav", test::PositionWave(5000));
    m_project = m_folder.Write("show.vmo", std::string(kProject));
  }

  TProgramRun Music(const std::string& options) {
    return test::RunProgram(VMOPACK_PATH, "music '" + m_project + "' -o '" + Output() + "' " + options);
  }
  std::string Output() const { return m_folder.Path() + "out.wav"; }
  Track Read() const { return Track(test::WaveSamples(test::ReadText(Output()))); }

private:
  TScratchFolder m_folder;
  std::string m_project;
};

TEST_F(VmopackMusic, ItemsCrossFadesAndFadesLieWhereTheProjectPutsThem) {
  const TProgramRun run = Music("");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "music\t0\t16000\n");
  const Track track = Read();
  EXPECT_NEAR(static_cast<double>(track.Frames()) / kFramesPerMs, 16000, kToleranceMs);

  // Each start is the middle of the item's automatic fade-in.
  EXPECT_NEAR(track.FirstTime(0, [](int16_t v) { return v >= 3000; }) - kAutoFadeMs / 2, 0, kToleranceMs);
  EXPECT_NEAR(track.FirstTime(2500, [](int16_t v) { return v <= 0; }), 3000, kToleranceMs)
      << "the middle of the cross-fade, where a and b cancel";
  EXPECT_NEAR(track.FirstTime(4500, [](int16_t v) { return v > -3000; }) + kAutoFadeMs / 2, 5000, kToleranceMs);
  EXPECT_NEAR(track.FirstTime(5100, [](int16_t v) { return v >= 4000; }) - kAutoFadeMs / 2, 6000, kToleranceMs);
  EXPECT_NEAR(track.FirstTime(8500, [](int16_t v) { return v == 0; }), 9000, kToleranceMs) << "end of the fade-out";
  EXPECT_EQ(track.LeftAt(9500), 0);
  EXPECT_NEAR(track.FirstTime(9500, [](int16_t v) { return v <= -8000; }) - kAutoFadeMs / 2, 10000, kToleranceMs)
      << "the comment starts with its slide";

  // Along the fade-out of c, the level follows the envelope.
  for (double t = 7000; t <= 8750; t += 250) {
    const double expected = (9000 - t) / 2000;
    const double level = track.LeftAt(t) / 8000.0;
    ASSERT_GT(level, 0) << t;
    EXPECT_NEAR(20 * std::log10(level), 20 * std::log10(expected), 0.5) << "at " << t << " ms";
  }
}

TEST_F(VmopackMusic, APausedCommentContinuesWithoutAGapOrARepeat) {
  const TProgramRun run = Music("--pause 11500:700");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const Track track = Read();
  EXPECT_NEAR(static_cast<double>(track.Frames()) / kFramesPerMs, 16700, kToleranceMs);

  // The runs of frames that the comment played unchanged, each one file
  // position after the other.
  struct TRun {
    int64_t Frame = 0;
    int32_t First = 0;
    int32_t Last = 0;
  };
  std::vector<TRun> runs;
  std::optional<int32_t> previous;
  for (int64_t frame = static_cast<int64_t>(9900 * kFramesPerMs); frame < track.Frames(); ++frame) {
    const std::optional<int32_t> position = track.Position(frame);
    if (position && previous && *position == *previous + 1) {
      if (runs.empty() || runs.back().Last != *previous)
        runs.push_back({frame - 1, *previous, *previous});
      runs.back().Last = *position;
    }
    previous = position;
  }
  std::erase_if(runs, [](const TRun& r) { return r.Last - r.First < 4410; });
  ASSERT_EQ(runs.size(), 2u) << "the comment before and after the pause";
  // Before the pause the file plays in full up to where its fade-out
  // begins; after it, the fade-in covers the same part of the file.
  const double fadeOutStart = (runs[0].Last + 1) / kFramesPerMs;
  const double fadeInStart = runs[1].First / kFramesPerMs - kAutoFadeMs;
  EXPECT_NEAR(fadeInStart, fadeOutStart, 2) << "gap (>0) or repeat (<0) of the comment";
  EXPECT_NEAR(runs[0].Frame / kFramesPerMs, 10000 + kAutoFadeMs, kToleranceMs);
  EXPECT_NEAR(fadeOutStart, 1500, 40) << "the comment stops with the clock";
  EXPECT_NEAR((runs[1].Frame - runs[0].Frame) / kFramesPerMs - (runs[1].First - runs[0].First) / kFramesPerMs, 700, 30)
      << "the comment waits for the length of the pause";
}

TEST_F(VmopackMusic, FreeRunningMusicPlaysOnThroughAPauseWithoutClicks) {
  const TProgramRun run = Music("--pause 1000:500");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const Track track = Read();
  EXPECT_EQ(track.LeftAt(1250), 6000) << "the music goes on while the show is paused";
  EXPECT_NEAR(track.FirstTime(9500, [](int16_t v) { return v <= -8000; }) - kAutoFadeMs / 2, 10500, kToleranceMs)
      << "the comment comes later by the pause";
  // No step between two frames is steeper than the loudest sound (16000)
  // faded in over 10 ms twice at once (the channel's fade and the item's),
  // plus the 1 % by which the mixer snaps a gain near 1 to exactly 1; a
  // sound started or stopped without its fade would step by thousands.
  constexpr double kLoudest = 16000;
  const auto limit = static_cast<int32_t>(2 * kLoudest / (kAutoFadeMs * kFramesPerMs) + 0.015 * kLoudest);
  int32_t steepest = 0;
  for (int64_t frame = 1; frame < track.Frames(); ++frame)
    steepest = std::max(steepest, std::abs(track.Left(frame) - track.Left(frame - 1)));
  EXPECT_LE(steepest, limit);
}

TEST_F(VmopackMusic, ReportsUsageErrors) {
  EXPECT_NE(Music("--pause 1000").Err.find("--pause takes MS:LEN pairs"), std::string::npos);
  EXPECT_NE(Music("--from 20000").Err.find("nothing to play"), std::string::npos);
  const TProgramRun noOutput = test::RunProgram(VMOPACK_PATH, "music x.vmo");
  EXPECT_EQ(noOutput.ExitCode, 1);
  EXPECT_NE(noOutput.Err.find("music SHOW -o OUT.wav"), std::string::npos) << noOutput.Err;
}

} // namespace
} // namespace qx
