#include "QxLib/Music/qxMusicPlayer.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/Music/qxChannelKiller.h"
#include "QxLib/Music/qxChannelMusic.h"
#include "QxLib/Music/qxCompositeParams.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"
#include "Tests/QxLib/Music/qxWaveOutTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace qx {

namespace {

using test::MakeWave;
using test::MemoryStreamOf;
using test::Samples16;
using test::WaitUntil;
using test::WaveSamples;

// A file whose left sample tells the frame's position: frame f holds
// f / 40 (1102.5 per second), the right sample a constant.
std::string PositionWave(int frames, int16_t right = 10000) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    samples[2 * i] = static_cast<int16_t>(i / 40);
    samples[2 * i + 1] = right;
  }
  return MakeWave(MixingFormat(), Samples16(samples));
}

// The music player on a virtual device whose sound goes to memory, with
// files served from memory.
class TPlayerRig {
public:
  TPlayerRig() {
    auto stream = std::make_unique<TMemoryStream>();
    m_output = stream.get();
    auto device = std::make_unique<TVirtualWaveOutDevice>(std::move(stream));
    m_device = device.get();
    player = CreateMusicPlayer(std::move(device));
    TSoundFileAccess access;
    access.Open = [this](const std::string& name) -> std::unique_ptr<TStream> {
      const auto found = m_files.find(name);
      return found == m_files.end() ? nullptr : MemoryStreamOf(found->second);
    };
    access.Free = [this](std::unique_ptr<TStream> released) {
      ++freed;
      released.reset();
    };
    player->SetFileAccess(access);
  }

  void Add(const std::string& name, std::string bytes) { m_files[name] = std::move(bytes); }
  TVirtualWaveOutDevice& Device() { return *m_device; }
  std::vector<int16_t> Samples() { return WaveSamples(*m_output); }
  // The left sample of the frame played at ms.
  int16_t LeftAt(int ms) { return Samples()[static_cast<size_t>(2 * (int64_t{ms} * 441 / 10))]; }
  int16_t RightAt(int ms) { return Samples()[static_cast<size_t>(2 * (int64_t{ms} * 441 / 10) + 1)]; }

  std::unique_ptr<TMusicPlayerClass> player;
  std::atomic<int> freed{0};

private:
  std::map<std::string, std::string> m_files;
  TMemoryStream* m_output;
  TVirtualWaveOutDevice* m_device;
};

// The left sample of a PositionWave at ms of the file.
int16_t FileValue(int ms) { return static_cast<int16_t>(int64_t{ms} * 441 / 10 / 40); }

TChannelMusic& Music(TChannel& channel) { return static_cast<TChannelMusic&>(channel); }

} // namespace

TEST(MusicPlayer, PlaysStopsAndRefusesASecondPlay) {
  TPlayerRig rig;
  rig.Add("a.wav", PositionWave(10 * 44100));
  std::unique_ptr<TChannel> channel = rig.player->CreateChannel("a.wav", -1);
  ASSERT_TRUE(channel);
  EXPECT_EQ(channel->GetLength(), 10000);
  EXPECT_EQ(channel->GetPlayer(), rig.player.get());
  EXPECT_EQ(rig.player->ChannelCount(), 1);
  EXPECT_FALSE(channel->IsPlaying());
  EXPECT_FALSE(channel->Stop(10));
  ASSERT_TRUE(channel->Play(10));
  EXPECT_TRUE(channel->IsPlaying());
  EXPECT_FALSE(channel->Play(10));
  EXPECT_EQ(Music(*channel).InstanceCount(), 1);
  rig.Device().Advance(500);
  EXPECT_EQ(channel->GetPosition(), 500);
  // The file plays from its start, faded in over the first 10 ms.
  EXPECT_EQ(rig.LeftAt(200), FileValue(200));
  EXPECT_EQ(rig.RightAt(0), 0);
  EXPECT_EQ(rig.RightAt(20), 10000);
  ASSERT_TRUE(channel->Stop(10));
  EXPECT_FALSE(channel->IsPlaying());
  rig.Device().Advance(100);
  EXPECT_EQ(rig.RightAt(590), 0);
  // Where the fade-out began: the next Play goes on from there.
  EXPECT_EQ(channel->GetPosition(), 500 + kStopFadeDelayMs);
}

TEST(MusicPlayer, StopThenPlayContinuesAtTheSavedPositionWithANewInstance) {
  TPlayerRig rig;
  rig.Add("a.wav", PositionWave(10 * 44100));
  auto channel = rig.player->CreateChannel("a.wav", -1);
  channel->Play(10);
  rig.Device().Advance(1000);
  channel->Stop(10);
  // Long enough for the stopped instance's queued two seconds to play out.
  rig.Device().Advance(2500);
  ASSERT_TRUE(WaitUntil([&] { return Music(*channel).InstanceCount() == 0; }));
  // The file was heard in full up to where the fade-out began, 25 ms after
  // the stop.
  EXPECT_EQ(rig.LeftAt(1020), FileValue(1020));
  EXPECT_EQ(Music(*channel).SavedPosition(), 1000 + kStopFadeDelayMs);
  EXPECT_EQ(rig.RightAt(3000), 0);
  ASSERT_TRUE(channel->Play(10));
  rig.Device().Advance(500);
  // 200 ms after the new start the file is at 1225 ms: nothing heard twice.
  EXPECT_EQ(rig.LeftAt(3700), FileValue(1200 + kStopFadeDelayMs));
}

TEST(MusicPlayer, SetPositionCrossFadesWhilePlayingAndOnlyMovesTheStartWhileStopped) {
  TPlayerRig rig;
  rig.Add("a.wav", PositionWave(20 * 44100));
  auto channel = rig.player->CreateChannel("a.wav", 3000);
  ASSERT_TRUE(channel);
  EXPECT_EQ(channel->GetPosition(), 3000);
  EXPECT_FALSE(channel->IsPlaying());
  rig.Device().Advance(100);
  EXPECT_EQ(rig.RightAt(50), 0); // nothing plays yet
  channel->Play(10);
  rig.Device().Advance(400);
  EXPECT_EQ(rig.LeftAt(300), FileValue(3200));

  channel->SetPosition(8000);
  EXPECT_TRUE(channel->IsPlaying());
  EXPECT_EQ(Music(*channel).InstanceCount(), 2);
  rig.Device().Advance(200);
  // The new instance sounds at once; the old one fades out 25 ms after the
  // request, over 10 ms.
  EXPECT_EQ(rig.RightAt(520), 20000);
  EXPECT_EQ(rig.RightAt(650), 10000);
  EXPECT_EQ(rig.LeftAt(650), FileValue(8150));
  rig.Device().Advance(2500);
  ASSERT_TRUE(WaitUntil([&] { return Music(*channel).InstanceCount() == 1; }));
}

TEST(MusicPlayer, VolumeFollowsTheSixDecibelLawAndTheMasterVolume) {
  TPlayerRig rig;
  rig.Add("a.wav", PositionWave(10 * 44100, 10000));
  auto channel = rig.player->CreateChannel("a.wav", -1);
  channel->Play(10);
  rig.Device().Advance(100);
  channel->SetVolume(0.5f);
  rig.Device().Advance(100);
  channel->SetVolume(0.0f);
  rig.Device().Advance(100);
  channel->SetVolume(2.0f);
  rig.Device().Advance(100);
  EXPECT_EQ(rig.RightAt(150), 5012);  // -600: 10000 * 10^(-0.3)
  EXPECT_EQ(rig.RightAt(250), 0);     // -10000
  EXPECT_EQ(rig.RightAt(350), 10000); // limited to 0
  channel->SetVolume(1.0f);
  rig.player->SetVolume(0.5f);
  EXPECT_FLOAT_EQ(channel->GetMasterVolume(), 0.5f);
  EXPECT_FLOAT_EQ(channel->GetVolume(), 1.0f);
  rig.Device().Advance(100);
  EXPECT_EQ(rig.RightAt(450), 5012);
  // A channel made later starts with the master volume.
  auto later = rig.player->CreateChannel("a.wav", -1);
  EXPECT_FLOAT_EQ(later->GetMasterVolume(), 0.5f);
}

TEST(MusicPlayer, AFileThatEndsFreesItsInstance) {
  TPlayerRig rig;
  rig.Add("short.wav", PositionWave(44100 * 3 / 10)); // 300 ms
  auto channel = rig.player->CreateChannel("short.wav", -1);
  channel->Play(10);
  rig.Device().Advance(200);
  EXPECT_EQ(TChannelKiller::Instance().PendingCount(), 1);
  // Freed once its queued sound has played, plus 20 ms.
  rig.Device().Advance(2000);
  ASSERT_TRUE(WaitUntil([&] { return Music(*channel).InstanceCount() == 0; }));
  EXPECT_FALSE(channel->IsPlaying());
  EXPECT_GE(channel->GetPosition(), 300);
  EXPECT_EQ(rig.RightAt(250), 10000);
  EXPECT_EQ(rig.RightAt(350), 0);
  // The stream it read went back to the file access.
  EXPECT_GE(rig.freed.load(), 2);
}

TEST(MusicPlayer, TheClockStartsAtItsFirstReadingAndRunsWithTheDevice) {
  TPlayerRig rig;
  EXPECT_EQ(rig.player->GetClock(), 0.0);
  rig.Device().Advance(1000);
  EXPECT_EQ(rig.player->GetClock(), 990.0);
}

TEST(MusicPlayer, CompositeDescriptionsPlayAsOneChannel) {
  TPlayerRig rig;
  rig.Add("a.wav", PositionWave(44100, 4000));
  rig.Add("b.wav", PositionWave(44100, 3000));
  TCompositeParams params;
  params.SetDuration(2000);
  TCompositeItem& a = params.AddItem();
  a.FileName = "a.wav";
  a.Duration = 1000;
  TCompositeItem& b = params.AddItem();
  b.FileName = "b.wav";
  b.TimeLine = 500;
  b.Duration = 1000;
  auto channel = rig.player->CreateChannel(params.Write(), -1);
  ASSERT_TRUE(channel);
  EXPECT_EQ(channel->GetLength(), 2000);
  channel->Play(10);
  rig.Device().Advance(1600);
  EXPECT_EQ(rig.RightAt(250), 4000);
  EXPECT_EQ(rig.RightAt(750), 7000);
  EXPECT_EQ(rig.RightAt(1250), 3000);
}

TEST(MusicPlayer, FilesThatCannotBeOpenedGiveNoChannel) {
  TPlayerRig rig;
  rig.Add("garbage.wav", std::string(1000, 'x'));
  EXPECT_EQ(rig.player->CreateChannel("missing.wav", -1), nullptr);
  EXPECT_EQ(rig.player->CreateChannel("garbage.wav", -1), nullptr);
  EXPECT_EQ(rig.player->CreateChannel(std::string(kCompositeMarker) + "[Main]\nDuration=0\n", -1), nullptr);
  EXPECT_EQ(rig.player->ChannelCount(), 0);
}

TEST(MusicPlayer, ADeviceThatCannotOpenGivesNoPlayer) {
  EXPECT_EQ(CreateMusicPlayer(std::make_unique<TNoWaveOutDevice>()), nullptr);
  EXPECT_EQ(CreateMusicPlayer(nullptr), nullptr);
  // Used anyway, it makes no channel and its clock is the system's.
  TMusicPlayerClass silent(std::make_unique<TNoWaveOutDevice>());
  EXPECT_FALSE(silent.IsUsable());
  EXPECT_EQ(silent.CreateChannel("a.wav", -1), nullptr);
  EXPECT_GT(silent.GetClock(), 0.0);
}

TEST(MusicPlayer, ChannelsAndPlayerMayGoInEitherOrder) {
  TPlayerRig rig;
  rig.Add("a.wav", PositionWave(10 * 44100));
  auto playing = rig.player->CreateChannel("a.wav", -1);
  auto prepared = rig.player->CreateChannel("a.wav", 2000);
  auto survivor = rig.player->CreateChannel("a.wav", -1);
  playing->Play(10);
  survivor->Play(10);
  rig.Device().Advance(300);
  // A playing channel that goes fades out; its instance is the killer's.
  playing.reset();
  prepared.reset();
  EXPECT_EQ(rig.player->ChannelCount(), 1);
  EXPECT_EQ(TChannelKiller::Instance().OrphanCount(), 1);
  rig.Device().Advance(2500);
  ASSERT_TRUE(WaitUntil([] { return TChannelKiller::Instance().OrphanCount() == 0; }));
  // The player goes first: the channel stays, silent and unlinked.
  rig.player.reset();
  EXPECT_EQ(survivor->GetPlayer(), nullptr);
  EXPECT_FALSE(survivor->IsPlaying());
  EXPECT_FALSE(survivor->Play(10));
}

} // namespace qx
