// A video clip with sound in a show rendered through the engine: each frame
// shows the clip frame of its show time, and the clip's sound in audio.wav
// lines up with the picture within one video frame while the clip plays,
// after a pause and after seeks; while the show is paused the picture holds
// and the sound is silent.
//
// The clip tells what is seen and heard: frame n shows n in binary as eight
// stripes (the eighth always white), and its sound (right channel only)
// carries the sample position in every sample. The show's music (left
// channel only) carries its own position, which is the show time.
#include "Tests/TestSupport/qxPngTestSupport.h"
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxTestClips.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoMusicTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

// The clip: 64 x 36, 25 frames a second, 4 s; output frames at the same
// rate.
constexpr int kFps = 25;
constexpr double kFrameMs = 1000.0 / kFps;
constexpr int kClipFrames = 100;
constexpr double kClipMs = kClipFrames * kFrameMs;
// The show time at which the clip starts.
constexpr double kClipStart = 500;
constexpr int kStripes = 8;
constexpr int kStripeWidth = 8;
constexpr int kStripeRow = 18;

// Position codes: sample frame n of a coded channel holds 1 + n / 16, so
// that 0 is silence and any sample played at unity gain tells where it
// comes from (to 16 frames, 0.36 ms).
constexpr int kCodeShift = 4;

std::string CodedWave(int32_t ms, int channel) {
  const auto frames = static_cast<int32_t>(ms * test::kFramesPerMs);
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 2, 0);
  for (int32_t n = 0; n < frames; ++n)
    samples[static_cast<size_t>(n) * 2 + static_cast<size_t>(channel)] = static_cast<int16_t>(1 + (n >> kCodeShift));
  return test::MakeWave(MakePcmFormat(44100, 16, 2), test::Samples16(samples));
}

// The position (ms) that the coded samples of one channel from `at` (an
// index into interleaved stereo) stand for: the code steps by exactly one
// every 16 frames, which a faded or mixed sound does not. None for silence
// or anything that is no code.
std::optional<double> CodedMs(const std::vector<int16_t>& samples, size_t at) {
  constexpr size_t kStep = size_t{1} << kCodeShift;
  if (at + 4 * kStep >= samples.size() || samples[at] <= 0)
    return std::nullopt;
  // The first step after `at` tells the phase within the 16 frames.
  size_t phase = 1;
  while (phase < kStep && samples[at + phase * 2] == samples[at])
    ++phase;
  for (int step = 0; step < 2; ++step) {
    const size_t next = at + (phase + static_cast<size_t>(step) * kStep) * 2;
    if (samples[next] != samples[at] + step + 1 || samples[next - 2] != samples[at] + step)
      return std::nullopt;
  }
  const int32_t frame = ((samples[at] - 1) << kCodeShift) + static_cast<int32_t>(kStep - phase);
  return frame / test::kFramesPerMs;
}

// The clip in a container of each audio seek strategy: Matroska (by time)
// with FLAC, MP4 (by stream) with ALAC; H.264 with two B-frames and a key
// frame every 10 frames. Both sounds are lossless, so the codes survive.
struct TContainer {
  std::string Extension;
  std::string SoundCodec;
};

std::string MakeClip(const TScratchFolder& folder, const TContainer& container) {
  const std::string sound = folder.Write("clip-sound.wav", CodedWave(static_cast<int32_t>(kClipMs), 1));
  const std::string clip = folder.Path() + "clip." + container.Extension;
  const bool made = test::RunFfmpeg(
      "-f lavfi -i nullsrc=s=64x36:r=25:d=4 -i '" + sound +
      "' -vf \"geq=lum='16+219*if(gte(X\\,56)\\,1\\,mod(floor(N/pow(2\\,floor(X/8)))\\,2))':cb=128:cr=128\" "
      "-c:v libx264 -preset veryfast -qp 4 -g 10 -bf 2 -pix_fmt yuv420p -c:a " +
      container.SoundCodec + " -shortest '" + clip + "'");
  EXPECT_TRUE(made) << "ffmpeg could not make the clip";
  return clip;
}

// Two slides without transitions: the first (0 ... 5000 ms, black) shows
// the clip from 500 ms on, the second (5000 ... 6000 ms) is red. The music
// is synchronised with the show.
std::string Project(const std::string& clip) {
  return "[Main]\n"
         "opt_slidescount=2\nopt_synchpos1=5000\nopt_synchpos2=6000\n"
         "opt_repeat=stop\nopt_syncmode=1\nopt_scr_full=0\n"
         "opt_scr_width=64\nopt_scr_height=36\nopt_fx_enable=0\nopt_bstyle=1\nopt_bname=0\n"
         "object M:music\n"
         "  object T:TMusicTrack\n"
         "    object A:TMusicItem\n"
         "      FileName=music.wav\n"
         "      Duration=6000\n"
         "    end\n"
         "  end\n"
         "end\n"
         "[Slide1]\n"
         "object v:video\n"
         "  FileName=" +
         clip +
         "\n"
         "  StartVMOTime=500\n"
         "  Duration=4000\n"
         "  AntialiasedBorder=0\n"
         "  FitMode=Cover\n"
         "end\n"
         "[Slide2]\n"
         "UsePersonal=1\nPers_Fon=1\nbstyle=1\nbname=255\n";
}

// What one output frame shows and what plays as it is shown.
struct TSeen {
  std::optional<int> Picture;   // the clip frame on screen
  std::optional<double> Sound;  // the clip time (ms) heard
  std::optional<double> Show;   // the show time (ms) the music plays
  bool Silent = false;          // neither music nor clip is heard
};

class RenderedClip : public testing::TestWithParam<TContainer> {
protected:
  void SetUp() override {
    m_folder.Write("music.wav", CodedWave(6000, 0));
    m_project = m_folder.Write("show.vmo", Project(MakeClip(m_folder, GetParam())));
  }

  TProgramRun Render(const std::string& script, int32_t durationMs) {
    const std::string scriptPath = m_folder.Write("input.txt", script);
    const TProgramRun run = test::RunProgram(
        VMOVIEWER_PATH, "-filename '" + m_project + "' -render '" + Frames() + "' -fps " + std::to_string(kFps) +
                            " -size 64x36 -input '" + scriptPath + "' -duration " + std::to_string(durationMs));
    m_samples = test::WaveSamples(test::FileBytes(Frames() + "audio.wav"));
    return run;
  }
  std::string Frames() const { return m_folder.Path() + "frames/"; }

  // The clip frame whose number the stripes of output frame k show; none
  // when the picture is no clip frame.
  std::optional<int> Picture(int64_t k) const {
    const TBitmap frame = test::LoadPngFile(Frames() + SequenceFrameName(k));
    if (frame.IsEmpty())
      return std::nullopt;
    int number = 0;
    for (int bit = 0; bit < kStripes; ++bit) {
      const TBgra pixel = frame.GetPixel(bit * kStripeWidth + kStripeWidth / 2, kStripeRow);
      const bool white = pixel.r > 200 && pixel.g > 200 && pixel.b > 200;
      const bool black = pixel.r < 55 && pixel.g < 55 && pixel.b < 55;
      if (white == black || (bit == kStripes - 1 && !white))
        return std::nullopt;
      if (white && bit < kStripes - 1)
        number |= 1 << bit;
    }
    return number;
  }

  // The sound is read in the middle of the frame's time on screen (less
  // half a frame), so that a frame drawn just after a seek is compared with
  // the sound after the seek.
  TSeen Seen(int64_t k) const {
    TSeen seen;
    seen.Picture = Picture(k);
    const auto at = static_cast<size_t>((2 * k + 1) * 44100 / (2 * kFps)) * 2;
    if (at + 1 >= m_samples.size())
      return seen;
    if (const std::optional<double> show = CodedMs(m_samples, at))
      seen.Show = *show - kFrameMs / 2;
    if (const std::optional<double> sound = CodedMs(m_samples, at + 1))
      seen.Sound = *sound - kFrameMs / 2;
    seen.Silent = m_samples[at] == 0 && m_samples[at + 1] == 0;
    return seen;
  }
  // The output frame shown at wall time `ms`.
  static int64_t FrameAt(int64_t ms) { return ms * kFps / 1000; }

  // Over output frames [first, last): wherever a clip frame and the clip's
  // sound are both there, the sound is within one video frame of the
  // picture; returns the largest offset (sound - picture, ms) by size.
  double LargestOffset(int64_t first, int64_t last, int* compared = nullptr) const {
    double largest = 0;
    for (int64_t k = first; k < last; ++k) {
      const TSeen seen = Seen(k);
      if (!seen.Picture || !seen.Sound)
        continue;
      const double offset = *seen.Sound - *seen.Picture * kFrameMs;
      EXPECT_LE(std::abs(offset), kFrameMs) << "frame " << k << ": picture " << *seen.Picture << ", sound at "
                                            << *seen.Sound << " ms";
      if (std::abs(offset) > std::abs(largest))
        largest = offset;
      if (compared)
        ++*compared;
    }
    return largest;
  }

  // Over output frames [first, last), all within the clip's run: each
  // shows the clip frame of its show time, and the clip plays at that time.
  void ExpectPlaying(int64_t first, int64_t last) const {
    for (int64_t k = first; k < last; ++k) {
      const TSeen seen = Seen(k);
      ASSERT_TRUE(seen.Show && seen.Picture && seen.Sound) << "frame " << k;
      const double clipTime = *seen.Show - kClipStart;
      EXPECT_LE(std::abs(*seen.Picture * kFrameMs - clipTime), kFrameMs)
          << "frame " << k << ": picture " << *seen.Picture << " at show time " << *seen.Show;
      EXPECT_NEAR(*seen.Sound, clipTime, kFrameMs / 4) << "frame " << k;
    }
  }

  TScratchFolder m_folder;
  std::string m_project;
  std::vector<int16_t> m_samples;
};

TEST_P(RenderedClip, PictureAndSoundFollowTheShowTimeAndLineUp) {
  const TProgramRun run = Render("", 6000);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  int compared = 0;
  const double largest = LargestOffset(0, FrameAt(6000), &compared);
  std::printf("playing: largest offset of the clip's sound from its picture %.1f ms over %d frames\n", largest,
              compared);
  EXPECT_GT(compared, 80);
  bool before = false;
  bool during = false;
  bool after = false;
  for (int64_t k = 0; k < FrameAt(6000); ++k) {
    const TSeen seen = Seen(k);
    if (!seen.Show)
      continue;
    // Before its start the clip shows its first frame and is not heard;
    // past its end it holds its last frame, still silent.
    if (*seen.Show < kClipStart - kFrameMs) {
      before = true;
      EXPECT_EQ(seen.Picture, 0) << "frame " << k;
      EXPECT_FALSE(seen.Sound) << "frame " << k;
    } else if (*seen.Show > kClipStart + kFrameMs && *seen.Show < kClipStart + kClipMs - kFrameMs) {
      during = true;
      ExpectPlaying(k, k + 1);
    } else if (*seen.Show > kClipStart + kClipMs + kFrameMs && *seen.Show < 5000 - kFrameMs) {
      after = true;
      EXPECT_EQ(seen.Picture, kClipFrames - 1) << "frame " << k;
      EXPECT_FALSE(seen.Sound) << "frame " << k;
    }
  }
  EXPECT_TRUE(before && during && after);
}

TEST_P(RenderedClip, PauseAndSeeksKeepPictureAndSoundTogether) {
  const TProgramRun run = Render("1000 key Space\n"  // pause
                                 "1800 key Space\n"  // resume
                                 "2400 wheel -3\n"   // to 2100 ms: a little ahead
                                 "3200 key Right\n"  // the second slide
                                 "3600 key Left\n"   // back to the first: the clip starts again
                                 "4400 wheel -5\n",  // to 3500 ms: far ahead in the clip
                                 5400);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;

  // While paused the picture holds and nothing is heard (after the music's
  // fade).
  const std::optional<int> held = Seen(FrameAt(1000)).Picture;
  ASSERT_TRUE(held);
  for (int64_t k = FrameAt(1080); k < FrameAt(1800); ++k) {
    const TSeen seen = Seen(k);
    EXPECT_EQ(seen.Picture, held) << "frame " << k;
    EXPECT_TRUE(seen.Silent) << "frame " << k;
  }
  // Shortly after the resume and after each seek the clip plays in step
  // with the show again, its sound with its picture.
  double largest = 0;
  for (const auto& [from, to] : std::vector<std::pair<int64_t, int64_t>>{
           {1000, 1800}, {1800, 2400}, {2400, 3200}, {3600, 4400}, {4400, 5400}}) {
    const double offset = LargestOffset(FrameAt(from), FrameAt(to));
    std::printf("%lld ... %lld ms: largest offset of the clip's sound from its picture %.1f ms\n",
                static_cast<long long>(from), static_cast<long long>(to), offset);
    if (std::abs(offset) > std::abs(largest))
      largest = offset;
  }
  ExpectPlaying(FrameAt(2000), FrameAt(2400));
  ExpectPlaying(FrameAt(2600), FrameAt(3200));
  ExpectPlaying(FrameAt(4600), FrameAt(5400));
  // On the second slide the clip is neither seen nor heard.
  for (int64_t k = FrameAt(3400); k < FrameAt(3600); ++k) {
    EXPECT_FALSE(Seen(k).Picture) << "frame " << k;
    EXPECT_FALSE(Seen(k).Sound) << "frame " << k;
  }
  // Back at the first slide's start the clip waits at its first frame,
  // silent, then plays from its start.
  bool restarted = false;
  for (int64_t k = FrameAt(3800); k < FrameAt(4400); ++k) {
    const TSeen seen = Seen(k);
    if (seen.Show && *seen.Show < kClipStart - kFrameMs) {
      EXPECT_EQ(seen.Picture, 0) << "frame " << k;
      EXPECT_FALSE(seen.Sound) << "frame " << k;
    } else if (seen.Show && *seen.Show > kClipStart + kFrameMs) {
      restarted = true;
      ExpectPlaying(k, k + 1);
    }
  }
  EXPECT_TRUE(restarted);
}

INSTANTIATE_TEST_SUITE_P(Containers, RenderedClip,
                         testing::Values(TContainer{"mkv", "flac"}, TContainer{"mp4", "alac"}),
                         [](const testing::TestParamInfo<TContainer>& param) { return param.param.Extension; });

} // namespace
} // namespace qx
