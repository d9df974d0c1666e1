// vmopack videoinfo and frame on clips packed in a show and on disk, frames
// against the ffmpeg program's decoding of the same file, and vmoviewer
// showing a clip in a rendered show at the clip frame of the show time.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxTestClips.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>

namespace qx {
namespace {

using test::TestClip;
using test::TProgramRun;
using test::TScratchFolder;

TProgramRun Vmopack(const std::vector<std::string>& args) { return test::RunJoined(VMOPACK_PATH, args); }

// A show holding the clip as a packed entry "clip.<ext>".
std::string PackShow(const TScratchFolder& folder, const std::string& clip) {
  const std::string name = "clip" + clip.substr(clip.rfind('.'));
  folder.Write("Project.vmo", "[Main]\r\nVmoVersion=5.6\r\n");
  folder.Write(name, test::ReadBinary(clip));
  folder.Write("show.manifest", "deflate | Project.vmo | Project.vmo\nstored | " + name + " | " + name + "\n");
  EXPECT_EQ(Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "show.exe"}).ExitCode, 0);
  return folder.Path() + "show.exe";
}

// RGB bytes of a PNG file.
std::vector<uint8_t> ReadRgb(const std::string& path, int* width = nullptr, int* height = nullptr) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
  if (width)
    *width = static_cast<int>(image.width);
  if (height)
    *height = static_cast<int>(image.height);
  return rgb;
}

// Every frame of a clip as the ffmpeg program decodes it, in RGB.
std::vector<std::vector<uint8_t>> FfmpegFrames(const std::string& clip, const std::string& raw, size_t frameBytes) {
  EXPECT_TRUE(test::RunFfmpeg("-i '" + clip + "' -vsync passthrough -f rawvideo -pix_fmt rgb24 '" + raw + "'"));
  const std::string bytes = test::ReadBinary(raw);
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes)
    frames.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                        bytes.begin() + static_cast<ptrdiff_t>(at + frameBytes));
  return frames;
}

double MeanError(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty())
    return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
  return sum / static_cast<double>(a.size());
}

TEST(VmopackVideo, VideoInfoReportsTheSourcesParameters) {
  TScratchFolder folder;
  const std::string show = PackShow(folder, TestClip("h264.mp4"));
  const TProgramRun packed = Vmopack({"videoinfo", show, "clip.mp4"});
  EXPECT_EQ(packed.ExitCode, 0) << packed.Out;
  EXPECT_EQ(packed.Out, "160\t120\t25\t75\t1\t0\t0\tH264\t3\t3000\n");
  const TProgramRun disk = Vmopack({"videoinfo", show, "LoadFromDisk:" + TestClip("interlaced-bff.mpg")});
  EXPECT_EQ(disk.Out, "320\t240\t25\t25\t1\t1\t1\tMPEG2\t4\t1000\n");
}

TEST(VmopackVideo, FramesAgreeWithFfmpegsDecoding) {
  TScratchFolder folder;
  const std::string clip = TestClip("h264.mkv");
  const std::string show = PackShow(folder, clip);
  const auto reference = FfmpegFrames(clip, folder.Path() + "frames.rgb", 160 * 120 * 3);
  ASSERT_EQ(reference.size(), 75u);
  double worst = 0;
  for (const int index : {0, 37, 74, 13}) {
    const std::string out = folder.Path() + "ours" + std::to_string(index) + ".png";
    const TProgramRun run = Vmopack({"frame", show, "clip.mkv", "--index", std::to_string(index), "-o", out});
    ASSERT_EQ(run.ExitCode, 0) << run.Out;
    int width = 0;
    int height = 0;
    const std::vector<uint8_t> ours = ReadRgb(out, &width, &height);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
    const double error = MeanError(ours, reference[static_cast<size_t>(index)]);
    worst = std::max(worst, error);
    EXPECT_LT(error, 1.0) << "frame " << index;
    // The neighbouring frame is further away: the index is not off by one.
    if (index > 0) {
      EXPECT_GT(MeanError(ours, reference[static_cast<size_t>(index - 1)]), error) << "frame " << index;
    }
  }
  std::printf("mean error against ffmpeg's frames: at most %.3f levels\n", worst);
}

TEST(VmopackVideo, ClearFailures) {
  TScratchFolder folder;
  const std::string show = PackShow(folder, TestClip("h264.mp4"));
  const TProgramRun missing = Vmopack({"videoinfo", show, "nothing.mp4"});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Out.find("\"nothing.mp4\" is not in the show"), std::string::npos) << missing.Out;
  const TProgramRun project = Vmopack({"videoinfo", show, "Project.vmo"});
  EXPECT_EQ(project.ExitCode, 1);
  EXPECT_NE(project.Out.find("not a video clip"), std::string::npos) << project.Out;
  const TProgramRun past = Vmopack({"frame", show, "clip.mp4", "--index", "75", "-o", folder.Path() + "x.png"});
  EXPECT_EQ(past.ExitCode, 1);
  EXPECT_NE(past.Out.find("past the clip's last frame 74"), std::string::npos) << past.Out;
  EXPECT_EQ(Vmopack({"frame", show, "clip.mp4", "--index", "-3", "-o", folder.Path() + "x.png"}).ExitCode, 1);
}

// --- A clip in a rendered show -------------------------------------------

// A 64 x 36 clip of 75 frames, each one grey level: frame n has luma
// 16 + (7n mod 200), so the frame on screen can be told by its brightness.
std::string GreyClip() {
  static const std::string path = [] {
    const std::string out = test::WriteTestFile("grey.mp4", "");
    EXPECT_TRUE(
        test::RunFfmpeg("-f lavfi -i nullsrc=s=64x36:r=25:d=3 -vf \"geq=lum='16+mod(N*7\\,200)':cb=128:cr=128\" "
                        "-c:v libx264 -preset veryfast -qp 4 -g 10 -pix_fmt yuv420p '" +
                        out + "'"));
    return out;
  }();
  return path;
}

// The mean of every RGB byte of a PNG.
double MeanLevel(const std::string& png) {
  const std::vector<uint8_t> rgb = ReadRgb(png);
  double sum = 0;
  for (const uint8_t value : rgb)
    sum += value;
  return rgb.empty() ? -1 : sum / static_cast<double>(rgb.size());
}

// One slide of 6 s filled by a clip that starts at 1 s and ends at 4 s, and
// by extra objects.
std::string ClipShow(const std::string& clip, const std::string& more = "") {
  return "[Main]\r\nopt_slidescount=1\r\nopt_synchpos1=6000\r\nopt_repeat=stop\r\nopt_scr_width=64\r\n"
         "opt_scr_height=36\r\nopt_fx_enable=0\r\nopt_bstyle=1\r\nopt_bname=0\r\n"
         "[Slide1]\r\nobject v:video\r\nFileName=" +
         clip + "\r\nLoadFromDisk=1\r\nStartVMOTime=1000\r\nAntialiasedBorder=0\r\nFitMode=Cover\r\nend\r\n" + more;
}

TEST(VmoviewerVideo, TheClipsPictureAtShowTimeTIsItsFrameAtTMinusItsStart) {
  TScratchFolder folder;
  const std::string clip = GreyClip();
  // ffmpeg's frames in RGB: their brightness identifies them.
  std::vector<double> levels;
  for (int index = 0; index < 75; ++index) {
    const int luma = 16 + (index * 7) % 200;
    levels.push_back((luma - 16) * 255.0 / 219.0);
  }
  const std::string project = folder.Write("Project.vmo", ClipShow(clip));
  const std::vector<int> times = {0, 999, 1000, 1040, 1400, 1960, 2520, 3960, 5999};
  std::string list;
  for (const int time : times)
    list += (list.empty() ? "" : ",") + std::to_string(time);
  const TProgramRun run = test::RunProgram(VMOVIEWER_PATH, "-exename '" + project + "' -render-at " + list + " '" +
                                                               folder.Path() + "frames' -size 64x36");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  for (const int time : times) {
    const double level = MeanLevel(folder.Path() + "frames/t" + std::to_string(time) + ".png");
    int nearest = 0;
    for (int index = 1; index < 75; ++index)
      if (std::abs(levels[static_cast<size_t>(index)] - level) < std::abs(levels[static_cast<size_t>(nearest)] - level))
        nearest = index;
    const int expected = std::clamp(static_cast<int>(std::lround((time - 1000) * 25 / 1000.0)), 0, 74);
    EXPECT_EQ(nearest, expected) << "at " << time << " ms (level " << level << ")";
    EXPECT_NEAR(level, levels[static_cast<size_t>(expected)], 2.0) << "at " << time << " ms";
  }
}

TEST(VmoviewerVideo, DamagedMissingAndSoundOnlyClipsLeaveTheRestOfTheShowPlaying) {
  TScratchFolder folder;
  const std::string mkv = test::ReadBinary(TestClip("h264.mkv"));
  const std::string cut = folder.Write("cut.mkv", mkv.substr(0, mkv.size() / 3));
  std::string damaged = mkv;
  for (size_t at = 2000; at < damaged.size(); at += 700)
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
  const std::string broken = folder.Write("damaged.mkv", damaged);
  const std::string huge =
      folder.Write("huge.y4m", "YUV4MPEG2 W60000 H60000 F25:1 C420jpeg\nFRAME\n" + std::string(100, '\x10'));
  std::string more;
  for (const std::string& file : {cut, broken, huge, TestClip("tone.flac"), folder.Path() + "missing.mp4"})
    more += "object x:video\r\nFileName=" + file + "\r\nLoadFromDisk=1\r\nend\r\n";
  more += "object b:box\r\nSize=16,16\r\nColor1=255,0,0\r\nColor2=255,0,0\r\nend\r\n";
  const std::string project = folder.Write("Project.vmo", ClipShow(GreyClip(), more));
  const TProgramRun run = test::RunProgram(VMOVIEWER_PATH, "-exename '" + project + "' -render '" + folder.Path() +
                                                               "frames' -fps 5 -size 64x36");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // Six seconds at 5 frames a second, the frame at the show's end included.
  EXPECT_NE(run.Out.find("31 frame(s) and audio.wav written"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("the show ended"), std::string::npos) << run.Out;
}

} // namespace
} // namespace qx
