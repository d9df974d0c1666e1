// Runs the vmoviewer program headless on small shows made here and checks
// its exit codes, its error text and which frame files it writes.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace qx {
namespace {

using test::ReadText;
using test::TProgramRun;
using test::TScratchFolder;

TProgramRun Viewer(const std::string& args) { return test::RunProgram(VMOVIEWER_PATH, args); }

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Two slides of solid colour, 2 s each, with a one-second cross-fade.
constexpr std::string_view kProject = "[Main]\r\n"
                                      "opt_slidescount=2\r\n"
                                      "opt_synchpos1=2000\r\n"
                                      "opt_synchpos2=4000\r\n"
                                      "opt_repeat=stop\r\n"
                                      "opt_scr_width=64\r\n"
                                      "opt_scr_height=36\r\n"
                                      "opt_fx_enable=0\r\n"
                                      "opt_bstyle=1\r\n"
                                      "opt_bname=255\r\n"
                                      "[Slide1]\r\n"
                                      "[Slide2]\r\n"
                                      "UsePersonal=1\r\n"
                                      "Pers_Fon=1\r\n"
                                      "bstyle=1\r\n"
                                      "bname=65280\r\n"
                                      "Pers_Effect=1\r\n"
                                      "Effect_Class=2\r\n"
                                      "Effect_Type=1\r\n"
                                      "EffectTime=1000\r\n";

TEST(Vmoviewer, AShowThatCannotBeOpenedGivesTheMessageAndExitCode1) {
  TScratchFolder folder;
  const std::string show = folder.Path() + "missing.exe";
  const TProgramRun run = Viewer("-exename '" + show + "' -render '" + folder.Path() + "frames'");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err,
            "Slideshow Error\nSlideshow File not Found\n\"" + show + "\" or \"" + folder.Path() + "missing.VmShow\"\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "frames"));
}

TEST(Vmoviewer, AFileThatIsNeitherShowNorProjectCannotBeOpened) {
  TScratchFolder folder;
  const std::string show = folder.Write("notes.txt", "no package, no project\r\n\x01\x02");
  const TProgramRun run = Viewer("-exename '" + show + "' -render '" + folder.Path() + "frames'");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("Slideshow Error\nCan`t Load Show"), std::string::npos) << run.Err;
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "frames"));
}

TEST(Vmoviewer, WrongOptionsGiveTheUsage) {
  TScratchFolder folder;
  const TProgramRun run = Viewer("-exename x -render out -fps 0");
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("-fps"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("usage:"), std::string::npos) << run.Err;
}

// Sample frames of the sound of the first `frames` frames at `fps`.
int64_t SoundFrames(int64_t frames, int fps) { return frames * 44100 / fps; }

TEST(Vmoviewer, ASequenceRunsOnTheWallClockUntilTheShowReachesTo) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string frames = folder.Path() + "frames";
  const TProgramRun run =
      Viewer("-exename '" + project + "' -render '" + frames + "' -fps 10 -from 1000 -to 2000 -size 64x36");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // The show starts within the first frame of the wall clock and plays
  // 1000 ms: frames 0 ... 10, then the sound of exactly those frames.
  std::vector<std::string> expected{"audio.wav"};
  for (int k = 0; k <= 10; ++k)
    expected.push_back(SequenceFrameName(k));
  EXPECT_EQ(FilesIn(frames), expected);
  EXPECT_NE(run.Out.find("11 frame(s) and audio.wav written to " + frames + ": the show time reached -to"),
            std::string::npos)
      << run.Out;
  const std::string png = ReadText(frames + "/frame000010.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(static_cast<unsigned char>(png[19]), 64);
  EXPECT_EQ(static_cast<unsigned char>(png[23]), 36);
  EXPECT_EQ(std::filesystem::file_size(frames + "/audio.wav"), 44u + 4u * SoundFrames(11, 10));
}

TEST(Vmoviewer, WithoutAnEndTheSequenceRunsToTheEndOfTheShow) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string frames = folder.Path() + "frames";
  const TProgramRun run = Viewer("-exename '" + project + "' -render '" + frames + "' -fps 2 -from 1000 -size 32x18");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // Wall times 0, 500, ..., 3000: the show ends at 4000, 3000 ms after
  // its start at 1000.
  EXPECT_EQ(FilesIn(frames).size(), 8u);
  EXPECT_NE(run.Out.find("7 frame(s) and audio.wav written to " + frames + ": the show ended"), std::string::npos)
      << run.Out;
}

TEST(Vmoviewer, ADurationEndsTheSequenceOnTheWallClock) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string frames = folder.Path() + "frames";
  const TProgramRun run =
      Viewer("-exename '" + project + "' -render '" + frames + "' -fps 30 -duration 500 -size 32x18");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // Frames at 0, 33, ..., 466 ms; the sound of frame k starts at sample
  // k x 44100 / 30, so 15 frames hold 22050 samples.
  EXPECT_EQ(FilesIn(frames).size(), 16u);
  EXPECT_EQ(std::filesystem::file_size(frames + "/audio.wav"), 44u + 4u * SoundFrames(15, 30));
  EXPECT_NE(run.Out.find("the wall time reached -duration"), std::string::npos) << run.Out;
}

TEST(Vmoviewer, ABadInputScriptNamesItsLine) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string script = folder.Write("input.txt", "# start\n100 key Space\n200 jump\n");
  const TProgramRun run =
      Viewer("-exename '" + project + "' -render '" + folder.Path() + "frames' -input '" + script + "' -size 32x18");
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("line 3"), std::string::npos) << run.Err;
}

TEST(Vmoviewer, AnOutputFolderThatCannotBeMadeFailsWithoutFrames) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string blocker = folder.Write("taken", "a file where the folder should go");
  const TProgramRun run = Viewer("-exename '" + project + "' -render '" + blocker + "' -size 32x18");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("cannot create the folder " + blocker), std::string::npos) << run.Err;
}

TEST(Vmoviewer, SingleTimesAreNamedByTheirTime) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string shots = folder.Path() + "shots";
  const TProgramRun run = Viewer("-filename '" + project + "' -render-at 0,2500,3999 '" + shots + "' -size 32x18");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(FilesIn(shots), (std::vector<std::string>{"t0.png", "t2500.png", "t3999.png"}));
  // Not a terminal: no progress line.
  EXPECT_EQ(run.Err.find("\rframe"), std::string::npos);
}

TEST(Vmoviewer, TheNullEngineRendersEveryFrameBlack) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", std::string(kProject));
  const std::string frames = folder.Path() + "frames";
  const TProgramRun run =
      Viewer("-engine null -exename '" + project + "' -render '" + frames + "' -fps 2 -from 1000 -size 32x18");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(FilesIn(frames).size(), 8u);
}

TEST(Vmoviewer, AnUnknownEngineGivesTheChoicesAndTheUsage) {
  TScratchFolder folder;
  const TProgramRun run = Viewer("-engine d3d9 -exename x -render out");
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("unknown engine \"d3d9\" (choose "), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("null)"), std::string::npos) << run.Err;
  EXPECT_NE(run.Err.find("usage:"), std::string::npos) << run.Err;
}

} // namespace
} // namespace qx
