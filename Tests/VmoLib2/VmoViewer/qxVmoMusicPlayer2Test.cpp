#include "VmoLib2/VmoViewer/qxVmoMusicPlayer2.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxMemoryStream.h"
#include "Tests/QxLib/Music/qxWaveOutTestSupport.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoMusicTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoMusicLoader2.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::Project;
using test::TTestFileSource;

constexpr int32_t kStep = 10;

// Slides ending at 21 s, 50 s and 60 s; a comment of 20584 ms on the
// second slide; one track of one minute.
std::string ShowText(const std::string& mainLines = "", const std::string& music = "") {
  return "[Main]\nopt_slidescount=3\nopt_synchpos1=21000\nopt_synchpos2=50000\nopt_synchpos3=60000\n"
         "opt_fullyplaysound=1\n" +
         mainLines +
         (music.empty() ? "object M:music\nobject T:TMusicTrack\nobject A:TMusicItem\nFileName=song.wav\n"
                          "Duration=60000\nend\nend\nend\n"
                        : music) +
         "[Slide1]\n[Slide2]\nobject M:music\nobject C:TSoundComment\nFileName=voice.wav\nDuration=20584\n"
         "end\nend\n[Slide3]\n";
}

// A show played headless on the virtual device.
class VirtualShow {
public:
  explicit VirtualShow(const std::string& project) {
    auto files = MakeRef<TTestFileSource>();
    files->Add("song.wav", test::ConstantWave(1000, 4000));
    files->Add("voice.wav", test::PositionWave(3000));
    files->Add("short.wav", test::ConstantWave(300, 3000));
    m_source = std::make_unique<TVmoSource>(TFileAccessor(files), Project(project), true);
    auto output = std::make_unique<TMemoryStream>();
    m_output = output.get();
    auto device = std::make_unique<TVirtualWaveOutDevice>(std::move(output));
    m_device = device.get();
    auto mixer = CreateMusicPlayer(std::move(device));
    EXPECT_NE(mixer, nullptr);
    m_player = std::make_unique<TVmoMusicPlayer>(m_source.get(), false, std::move(mixer),
                                                 TVmoMusicPlayer::TDriving::Manual, 1);
  }

  TVmoMusicPlayer& Player() { return *m_player; }

  // Repositions and pumps until the music is ready.
  void SetTime(double limit, double position) {
    m_player->SetTime(limit, position);
    for (int i = 0; i < 20 && !m_player->IsReady(); ++i)
      m_player->Pump();
    EXPECT_TRUE(m_player->IsReady());
  }
  // Plays `ms` of device time in steps of 10 ms.
  void Play(int32_t ms) {
    for (int32_t done = 0; done < ms; done += kStep) {
      m_player->Pump();
      m_device->Advance(kStep);
    }
    m_player->Pump();
  }
  std::vector<int16_t> Samples() {
    const int64_t size = m_output->GetSize();
    return test::WaveSamples(std::string(reinterpret_cast<const char*>(m_output->Memory()), static_cast<size_t>(size)));
  }

  template <class T>
  std::vector<T*> Live() {
    std::vector<T*> items;
    for (const auto& item : m_player->Items()) {
      if (auto* typed = dynamic_cast<T*>(item.get()); typed && !typed->Disposed())
        items.push_back(typed);
    }
    return items;
  }

private:
  std::unique_ptr<TVmoSource> m_source;
  TMemoryStream* m_output = nullptr;
  TVirtualWaveOutDevice* m_device = nullptr;
  std::unique_ptr<TVmoMusicPlayer> m_player;
};

using MusicPlayer = test::TShowSourceTest;

TEST_F(MusicPlayer, ACommentOpensAtTheSkippedPartOfItself) {
  VirtualShow show(ShowText());
  show.SetTime(TVmoMusicPlayer::kNoLimit, 30000);
  const auto comments = show.Live<TPlayComment>();
  ASSERT_EQ(comments.size(), 1u);
  const TVmoChannel& channel = *comments[0]->Channel();
  EXPECT_EQ(channel.FileOffset, 9000);
  EXPECT_EQ(channel.StartTime, 30000);
  EXPECT_EQ(channel.EndTime.load(), 41584);
  EXPECT_NE(channel.Device, nullptr);
  EXPECT_EQ(show.Player().GetTime(), 30000);

  show.SetTime(TVmoMusicPlayer::kNoLimit, 21000 + 20584);
  EXPECT_TRUE(show.Live<TPlayComment>().empty()) << "a comment that has ended is not created";
}

TEST_F(MusicPlayer, SynchronisedMusicIsLaidOncePerPassOfARepeatingShow) {
  const std::string music = "object M:music\nobject T:TMusicTrack\nobject A:TMusicItem\nFileName=song.wav\n"
                            "Duration=58000\nend\nend\nend\n";
  VirtualShow show(ShowText("opt_syncmode=1\nopt_repeat=repeat\n", music));
  show.SetTime(TVmoMusicPlayer::kNoLimit, 150000); // 2.5 passes of 60 s
  auto sequences = show.Live<TPlaySequence>();
  ASSERT_EQ(sequences.size(), 1u);
  EXPECT_EQ(sequences[0]->StartTime, 150000);
  EXPECT_EQ(sequences[0]->Offset, 30000);
  EXPECT_EQ(show.Player().CurrentSequence(), sequences[0]);

  show.SetTime(TVmoMusicPlayer::kNoLimit, 174000);
  show.Player().SetPlaying(true);
  show.Play(2000);
  sequences = show.Live<TPlaySequence>();
  ASSERT_EQ(sequences.size(), 2u) << "the next pass is created five seconds ahead";
  EXPECT_EQ(sequences[1]->StartTime, 180000);
  EXPECT_EQ(sequences[1]->Offset, 0);
  show.Play(5000);
  sequences = show.Live<TPlaySequence>();
  ASSERT_EQ(sequences.size(), 1u) << "the new pass replaces the old one";
  EXPECT_EQ(sequences[0]->StartTime, 180000);
  EXPECT_TRUE(sequences[0]->Started());
}

TEST_F(MusicPlayer, PausingStopsTheCommentAndResumingContinuesIt) {
  VirtualShow show(ShowText());
  show.SetTime(TVmoMusicPlayer::kNoLimit, 21000);
  show.Player().SetPlaying(true);
  show.Play(1000);
  TPlayComment* comment = show.Live<TPlayComment>().at(0);
  ASSERT_TRUE(comment->Channel()->Playing);
  show.Player().SetPlaying(false);
  show.Play(500);
  EXPECT_FALSE(comment->Channel()->Playing);
  EXPECT_TRUE(comment->Channel()->Stopped);
  const int32_t paused = comment->Channel()->Device->GetPosition();
  EXPECT_NEAR(paused, 1000, 60);
  EXPECT_EQ(show.Player().CurrentSequence()->Started(), true) << "free-running music plays on";
  show.Player().SetPlaying(true);
  show.Play(300);
  ASSERT_TRUE(comment->Channel()->Playing);
  EXPECT_NEAR(comment->Channel()->Device->GetPosition(), paused + 300, 60);
}

TEST_F(MusicPlayer, AChannelThatCannotOpenLeavesItsItemReadyAndSilent) {
  VirtualShow show("[Main]\nopt_slidescount=1\nopt_synchpos1=5000\nopt_usemusic=1\nopt_music_count=2\n"
                   "opt_music1=missing.mp3\nopt_lengthlist1=2000\nopt_music2=short.wav\nopt_lengthlist2=3000\n"
                   "[Slide1]\n");
  show.SetTime(5000, 0);
  TPlaySequence* sequence = show.Player().CurrentSequence();
  ASSERT_NE(sequence, nullptr);
  ASSERT_EQ(sequence->Channels().size(), 2u);
  EXPECT_TRUE(sequence->Ready());
  EXPECT_EQ(sequence->Channels()[0]->Device, nullptr);
  ASSERT_NE(sequence->Channels()[1]->Device, nullptr);
  EXPECT_EQ(sequence->Channels()[1]->EndTime.load(), 2300) << "the file is shorter than its entry";
  show.Player().SetPlaying(true);
  show.Play(2500);
  const std::vector<int16_t> samples = show.Samples();
  ASSERT_GT(samples.size(), 2 * 2200 * 44u);
  EXPECT_EQ(samples[2 * 44 * 1000], 0) << "the missing file is silence";
  EXPECT_EQ(samples[2 * 44 * 2150], 3000) << "the next entry plays at its time";
}

TEST_F(MusicPlayer, TheClockNeverPassesTheLimit) {
  VirtualShow show(ShowText("opt_repeat=stop\n"));
  show.SetTime(3000, 0);
  show.Player().SetPlaying(true);
  for (int i = 0; i < 50; ++i) {
    show.Play(100);
    EXPECT_LE(show.Player().GetTime(), 3000);
  }
  EXPECT_EQ(show.Player().GetTime(), 3000);
  EXPECT_TRUE(show.Live<TPlayComment>().empty()) << "nothing is scheduled past the limit and five seconds";
  EXPECT_EQ(show.Player().LastLimit(), 3000);
  show.SetTime(30000, -1);
  EXPECT_EQ(show.Player().LastLimit(), 30000);
  show.Play(100);
  EXPECT_GT(show.Player().GetTime(), 3000) << "a later limit lets the clock run on";
}

TEST_F(MusicPlayer, FreeRunningMusicIsNotRepositionedAndAPersonalListReplacesIt) {
  const std::string slides = "[Slide1]\n[Slide2]\nUsePersonal=1\nMusicAction=2\nobject M:music\n"
                             "object T:TMusicTrack\nobject A:TMusicItem\nFileName=short.wav\nDuration=300\n"
                             "end\nend\nend\n[Slide3]\n";
  std::string project = ShowText();
  project = project.substr(0, project.find("[Slide1]")) + slides;
  VirtualShow show(project);
  show.SetTime(TVmoMusicPlayer::kNoLimit, 0);
  TPlaySequence* main = show.Player().CurrentSequence();
  show.Player().SetPlaying(true);
  show.Play(500);
  ASSERT_TRUE(main->Started());
  show.SetTime(TVmoMusicPlayer::kNoLimit, 20000);
  EXPECT_EQ(show.Player().CurrentSequence(), main);
  EXPECT_FALSE(main->Disposed());
  show.Player().SetPlaying(true);
  show.Play(1200);
  TPlaySequence* personal = show.Player().CurrentSequence();
  ASSERT_NE(personal, nullptr);
  EXPECT_NE(personal, main);
  EXPECT_TRUE(personal->Started());
  EXPECT_EQ(personal->StartTime, 21000);
  for (TPlaySequence* sequence : show.Live<TPlaySequence>())
    EXPECT_NE(sequence, main) << "the music before the personal list has ended";
}

TEST_F(MusicPlayer, AShowOfTinySlidesWithLongCommentsOpensABoundedNumberOfChannels) {
  VirtualShow show("[Main]\nopt_slidescount=1\nopt_synchpos1=1\nopt_usemusic=1\nopt_fullyplaysound=1\n"
                   "[Slide1]\nSound=voice.wav\nSoundLength=10000\n");
  show.SetTime(TVmoMusicPlayer::kNoLimit, 0);
  EXPECT_LE(show.Player().Items().size(), TVmoMusicPlayer::kMaxItems);
  show.Player().SetPlaying(true);
  show.Play(100);
  EXPECT_LE(show.Player().Items().size(), TVmoMusicPlayer::kMaxItems);
}

TEST_F(MusicPlayer, RunsOnItsThreadsAndTheSystemClockWithoutADevice) {
  auto source = std::make_unique<TVmoSource>(test::TestAccessor(), Project(ShowText()), true);
  TVmoMusicPlayer player(source.release(), true, nullptr);
  player.Start();
  player.SetTime(TVmoMusicPlayer::kNoLimit, 1000);
  EXPECT_EQ(player.GetTime(), 1000);
  EXPECT_TRUE(test::WaitUntil([&] { return player.IsReady(); }));
  player.SetPlaying(true);
  EXPECT_TRUE(test::WaitUntil([&] { return player.GetTime() > 1000; }));
  player.SetPlaying(false);
  EXPECT_TRUE(test::WaitUntil([&] { return !player.Running(); }));
  const double stopped = player.GetTime();
  EXPECT_EQ(player.GetTime(), stopped);
  EXPECT_EQ(player.GetVolume(), 0.0f);
  player.Stop();
}

TEST_F(MusicPlayer, ItsThreadsOpenTheChannelsOfAVirtualDevice) {
  auto files = MakeRef<TTestFileSource>();
  files->Add("song.wav", test::ConstantWave(1000, 4000));
  files->Add("voice.wav", test::PositionWave(1000));
  TVmoSource source(TFileAccessor(files), Project(ShowText()), true);
  TVmoMusicPlayer player(&source, false, CreateMusicPlayer(std::make_unique<TVirtualWaveOutDevice>()));
  EXPECT_TRUE(player.HasDevice());
  player.Start();
  player.SetTime(TVmoMusicPlayer::kNoLimit, 30000); // the comment and the music open
  EXPECT_TRUE(test::WaitUntil([&] { return player.IsReady(); }));
  player.SetVolume(0.5f);
  EXPECT_EQ(player.GetVolume(), 0.5f);
  player.SetPlaying(true);
  EXPECT_TRUE(test::WaitUntil([&] { return player.Running(); }));
  player.SetTime(TVmoMusicPlayer::kNoLimit, 0);
  EXPECT_FALSE(player.Running()) << "a reposition stops the clock";
  EXPECT_TRUE(test::WaitUntil([&] { return player.IsReady(); }));
}

TEST_F(MusicPlayer, TheStreamOpenerReadsPackedFilesAndDiskFiles) {
  const test::TScratchFolder folder;
  folder.Write("beside.wav", "disk bytes");
  auto files = MakeRef<TTestFileSource>();
  files->Add("music\\packed.wav", "packed bytes");
  TFileAccessor accessor(files);
  accessor.SetBaseFolder(folder.Path());
  const auto readEntry = [&accessor](const std::string& name) {
    std::unique_ptr<TStream> stream = OpenShowSound(accessor, name);
    return stream ? stream->ReadAll() : std::string("none");
  };
  EXPECT_EQ(readEntry("music\\packed.wav"), "packed bytes");
  EXPECT_EQ(readEntry("LoadFromDisk:" + folder.Path() + "beside.wav"), "disk bytes");
  EXPECT_EQ(readEntry("LoadFromDisk:D:\\authoring\\beside.wav"), "disk bytes")
      << "found by its name in the show's folder";
  EXPECT_EQ(readEntry("LoadFromDisk:D:\\authoring\\missing.wav"), "none");
  EXPECT_EQ(readEntry("beside.wav"), "none") << "a name without the prefix is a packed file";
}

TEST_F(MusicPlayer, MissingSourcesAndBadProjectsEndTheConstruction) {
  try {
    TVmoMusicPlayer player(nullptr, false, nullptr);
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("'No VmoSource for VmoMusicPlayer'"), std::string::npos) << e.what();
  }
  // The owned source goes with the failed construction (the sanitiser
  // build finds a leak otherwise).
  auto source = std::make_unique<TVmoSource>(
      test::TestAccessor(), Project("[Main]\nopt_slidescount=1\nopt_usemusic=1\n[Slide1]\nSound=a.wav\n"), true);
  EXPECT_THROW(TVmoMusicPlayer(source.release(), true, nullptr), EAssertionFailed);
}

} // namespace
} // namespace qx
