// vmopack soundinfo and decode: the player's decoders on the sounds of a
// packed show, with the show's own decoder plug-ins.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";
const std::string kPlugins = VMO_PLUGIN_DIR "/";

TProgramRun Vmopack(const std::vector<std::string>& args) { return test::RunJoined(VMOPACK_PATH, args); }

class VmopackSound : public testing::Test {
protected:
  void SetUp() override {
    m_folder.Write("Project.vmo", "[Main]\r\nVmoVersion=5.6\r\nopt_oggpath=lib\\vmoogg.so\r\n"
                                  "opt_wmapath=lib\\vmowma.so\r\n");
    m_folder.Write("show.manifest", "deflate | Project.vmo | Project.vmo\n"
                                    "stored | lib\\vmoogg.so | " +
                                        kPlugins +
                                        "vmoogg.so\n"
                                        "stored | lib\\vmowma.so | " +
                                        kPlugins +
                                        "vmowma.so\n"
                                        "scramble | C:\\Show\\song.mp3 | " +
                                        kMedia +
                                        "cbr.mp3\n"
                                        "deflate | C:\\Show\\voice.wav | " +
                                        kMedia +
                                        "source.wav\n"
                                        "stored | C:\\Show\\tone.ogg | " +
                                        kMedia +
                                        "tone.ogg\n"
                                        "stored | C:\\Show\\tone.wma | " +
                                        kMedia +
                                        "tone.wma\n"
                                        "stored | C:\\Show\\noise.wav | " +
                                        kMedia + "cbr.mp3\n");
    const TProgramRun pack = Vmopack({"pack", Path("show.manifest"), "-o", Path("show.VmShow")});
    ASSERT_EQ(pack.ExitCode, 0) << pack.Out;
  }

  std::string Path(const std::string& name) const { return m_folder.Path() + name; }

  TScratchFolder m_folder;
};

TEST_F(VmopackSound, SoundInfoPrintsOneTabSeparatedLine) {
  const TProgramRun mp3 = Vmopack({"soundinfo", Path("show.VmShow"), "C:\\Show\\song.mp3"});
  ASSERT_EQ(mp3.ExitCode, 0) << mp3.Out;
  // kind, tag, channels, rate, bits, length, offset, size, frame size, VBR
  EXPECT_EQ(mp3.Out.substr(0, mp3.Out.find('\t', mp3.Out.find("\t16\t") + 4)), "4\t1\t2\t44100\t16\t12069");
  EXPECT_NE(mp3.Out.find("\t418\t0\n"), std::string::npos) << mp3.Out;

  const TProgramRun ogg = Vmopack({"soundinfo", Path("show.VmShow"), "C:\\Show\\tone.ogg"});
  EXPECT_EQ(ogg.Out, "6\t1\t2\t44100\t16\t12000\t0\t0\t0\t0\n");
  const TProgramRun wma = Vmopack({"soundinfo", Path("show.VmShow"), "C:\\Show\\tone.wma"});
  EXPECT_EQ(wma.Out.substr(0, 2), "5\t");
  const TProgramRun disk = Vmopack({"soundinfo", Path("show.VmShow"), "LoadFromDisk:" + kMedia + "vbr.mp3"});
  EXPECT_EQ(disk.Out.substr(disk.Out.size() - 2), "1\n");
}

TEST_F(VmopackSound, DecodeWritesTheDeliveredPcm) {
  const TProgramRun all = Vmopack({"decode", Path("show.VmShow"), "C:\\Show\\voice.wav", "-o", Path("all.wav")});
  ASSERT_EQ(all.ExitCode, 0) << all.Out;
  // The same bytes as the file: header and data.
  EXPECT_EQ(test::ReadText(Path("all.wav")), test::ReadText(kMedia + "source.wav"));

  const TProgramRun part = Vmopack(
      {"decode", Path("show.VmShow"), "C:\\Show\\song.mp3", "-o", Path("part.wav"), "--from", "50", "--ms", "1000"});
  ASSERT_EQ(part.ExitCode, 0) << part.Out;
  const std::string wave = test::ReadText(Path("part.wav"));
  ASSERT_EQ(wave.size(), 44u + 176400);
  // 50 ms into the mpg123 program's decode of the file.
  EXPECT_EQ(wave.substr(44), test::ReadText(kMedia + "cbr.mp3.raw").substr(8820, 176400));
}

TEST_F(VmopackSound, CompositeDescriptionsAreMixedFromTheShowsFiles) {
  m_folder.Write("mix.txt", "9213AB40-17BB-458F-9C4C-1806F44BEB65[Main]\r\nDuration=2000\r\n"
                            "[0]\r\nFileName=C:\\Show\\voice.wav\r\nDuration=1000\r\n"
                            "[1]\r\nFileName=C:\\Show\\song.mp3\r\nTimeLine=500\r\nDuration=1500\r\n");
  const TProgramRun info = Vmopack({"soundinfo", Path("show.VmShow"), "@" + Path("mix.txt")});
  ASSERT_EQ(info.ExitCode, 0) << info.Out;
  EXPECT_EQ(info.Out, "9\t1\t2\t44100\t16\t2000\t0\t352800\t0\t0\n");
  const TProgramRun mixed = Vmopack({"decode", Path("show.VmShow"), "@" + Path("mix.txt"), "-o", Path("mix.wav")});
  ASSERT_EQ(mixed.ExitCode, 0) << mixed.Out;
  const std::string wave = test::ReadText(Path("mix.wav"));
  // All of the description, and sound in its second half (the MP3 alone).
  ASSERT_GE(wave.size(), 44u + 352800);
  EXPECT_NE(wave.substr(44 + 264600, 4000), std::string(4000, '\0'));
}

TEST_F(VmopackSound, FailuresExitWithAClearMessage) {
  const TProgramRun missing = Vmopack({"decode", Path("show.VmShow"), "C:\\Show\\none.wav", "-o", Path("x.wav")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Out.find("Cannot open \"C:\\Show\\none.wav\""), std::string::npos) << missing.Out;

  // MPEG bytes under a ".wav" name: no known kind.
  const TProgramRun unknown = Vmopack({"soundinfo", Path("show.VmShow"), "C:\\Show\\noise.wav"});
  EXPECT_EQ(unknown.ExitCode, 1);
  EXPECT_NE(unknown.Out.find("Unknown sound file kind"), std::string::npos) << unknown.Out;

  m_folder.Write("plain.txt", "not a description");
  const TProgramRun description = Vmopack({"soundinfo", Path("show.VmShow"), "@" + Path("plain.txt")});
  EXPECT_EQ(description.ExitCode, 1);
  EXPECT_NE(description.Out.find("holds no composite description"), std::string::npos) << description.Out;
  const TProgramRun noFile = Vmopack({"soundinfo", Path("show.VmShow"), "@" + Path("none.txt")});
  EXPECT_EQ(noFile.ExitCode, 1);

  const TProgramRun usage = Vmopack({"decode", Path("show.VmShow"), "C:\\Show\\voice.wav", "--ms", "x"});
  EXPECT_EQ(usage.ExitCode, 1);
}

} // namespace
} // namespace qx
