// Runs "vmopack playlist" on loose project files and checks its lines.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

TProgramRun Playlist(const std::string& args) { return test::RunProgram(VMOPACK_PATH, "playlist " + args); }

constexpr std::string_view kObjectProject = "[Main]\n"
                                            "opt_slidescount=2\n"
                                            "opt_synchpos1=10000\n"
                                            "opt_synchpos2=20000\n"
                                            "opt_fullyplaysound=1\n"
                                            "object M:music\n"
                                            "  object O:TMusicOptions\n"
                                            "    IsRepeat=1\n"
                                            "  end\n"
                                            "  object T:TMusicTrack\n"
                                            "    object A:TMusicItem\n"
                                            "      FileName=a.mp3\n"
                                            "      Duration=8000\n"
                                            "    end\n"
                                            "    object B:TMusicItem\n"
                                            "      FileName=b.mp3\n"
                                            "      Duration=6000\n"
                                            "      Cross=2000\n"
                                            "    end\n"
                                            "  end\n"
                                            "end\n"
                                            "[Slide1]\n"
                                            "object M:music\n"
                                            "  object C:TSoundComment\n"
                                            "    FileName=voice.wav\n"
                                            "    Duration=4000\n"
                                            "    Volume=75\n"
                                            "  end\n"
                                            "end\n"
                                            "[Slide2]\n"
                                            "UsePersonal=1\n"
                                            "MusicAction=2\n";

TEST(VmopackPlaylist, PrintsFlagsMainEntriesAndSlides) {
  const TScratchFolder folder;
  const std::string project = folder.Write("show.vmo", std::string(kObjectProject));
  const TProgramRun run = Playlist("'" + project + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "flags\t1\t0\t1\t0\t0\n"
                     "main\t0\t0\t12000\tcomposite\n"
                     "slide\t0\t1\t4000\t-\n"
                     "slide\t1\t0\t0\t0\n");
}

TEST(VmopackPlaylist, FullListingIndentsEveryDescriptionUnderItsLine) {
  const TScratchFolder folder;
  const std::string project = folder.Write("show.vmo", std::string(kObjectProject));
  const TProgramRun run = Playlist("--full '" + project + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::string marker = "\t9213AB40-17BB-458F-9C4C-1806F44BEB65\n\t[Main]\n";
  const size_t main = run.Out.find("main\t0\t0\t12000\tcomposite\n" + marker + "\tDuration=12000\n");
  const size_t slide = run.Out.find("slide\t0\t1\t4000\t-\n" + marker + "\tDuration=4000\n");
  EXPECT_NE(main, std::string::npos) << run.Out;
  EXPECT_NE(slide, std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("\tFileName=voice.wav\n\tTimeLine=0\n"), std::string::npos) << run.Out;
  EXPECT_EQ(run.Out.find('\r'), std::string::npos);
}

TEST(VmopackPlaylist, KeyFormatAndErrors) {
  const TScratchFolder folder;
  const std::string keys = folder.Write("keys.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=5000\nopt_usemusic=1\n"
                                                    "opt_syncmode=1\nopt_music_count=2\nopt_music1=a.mp3\n"
                                                    "opt_lengthlist1=3000\nopt_music2=b.mp3\nopt_lengthlist2=1900\n"
                                                    "[Slide1]\nSound=voice.wav\nSoundLength=9000\n");
  const TProgramRun run = Playlist("'" + keys + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "flags\t1\t1\t0\t0\t1\n"
                     "main\t0\t0\t3000\ta.mp3\n"
                     "main\t1\t3000\t1900\tb.mp3\n"
                     "slide\t0\t0\t5000\t-\n");

  const std::string bad = folder.Write("bad.vmo", "[Main]\nopt_slidescount=1\nopt_usemusic=1\n[Slide1]\nSound=a.wav\n");
  const TProgramRun failed = Playlist("'" + bad + "'");
  EXPECT_EQ(failed.ExitCode, 1);
  EXPECT_NE(failed.Err.find("Incorrect music time"), std::string::npos) << failed.Err;

  const TProgramRun usage = Playlist("--fast '" + keys + "'");
  EXPECT_EQ(usage.ExitCode, 1);
  EXPECT_NE(usage.Err.find("playlist SHOW [--full]"), std::string::npos) << usage.Err;
}

} // namespace
} // namespace qx
