#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"

#include "Tests/QxLib/Music/qxWaveOutTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

using test::TConstantFiller;
using test::WaveSamples;

struct TVirtualRig {
  TVirtualRig() {
    auto stream = std::make_unique<TMemoryStream>();
    output = stream.get();
    device = std::make_unique<TVirtualWaveOutDevice>(std::move(stream));
  }
  std::vector<int16_t> Samples() { return WaveSamples(*output); }

  TMemoryStream* output;
  std::unique_ptr<TVirtualWaveOutDevice> device;
};

constexpr int32_t kFrameBytes = 4;

} // namespace

TEST(VolumeLaw, SixDecibelsPerHalvingDownToTheFloor) {
  EXPECT_EQ(VolumeToAttenuation(1.0f), 0);
  EXPECT_EQ(VolumeToAttenuation(0.5f), -600);
  EXPECT_EQ(VolumeToAttenuation(0.25f), -1200);
  EXPECT_EQ(VolumeToAttenuation(0.0f), -10000);
  EXPECT_EQ(VolumeToAttenuation(-1.0f), -10000);
  EXPECT_EQ(VolumeToAttenuation(2.0f), 0);
  EXPECT_EQ(VolumeToAttenuation(1e-9f), -10000);
  EXPECT_FLOAT_EQ(AttenuationToVolume(0), 1.0f);
  EXPECT_FLOAT_EQ(AttenuationToVolume(-10000), 0.0f);
  EXPECT_FLOAT_EQ(AttenuationToVolume(-600), 0.5f);
  EXPECT_EQ(AttenuationToGainQ16(0), 65536);
  EXPECT_EQ(AttenuationToGainQ16(-10000), 0);
  EXPECT_EQ(AttenuationToGainQ16(-600), 32846); // 10^(-0.3)
}

TEST(VirtualWaveOut, WritesAWaveFileOfTheMixingFormatAsTheClockAdvances) {
  TVirtualRig rig;
  EXPECT_TRUE(rig.device->IsUsable());
  rig.device->Advance(1000);
  EXPECT_EQ(rig.device->NowMs(), 1000);
  EXPECT_EQ(rig.device->FramesWritten(), 44100);
  const uint8_t* header = rig.output->Memory();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(header), 4), "RIFF");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(header + 8), 8), "WAVEfmt ");
  uint32_t dataSize, rate;
  std::memcpy(&rate, header + 24, 4);
  std::memcpy(&dataSize, header + 40, 4);
  EXPECT_EQ(rate, 44100u);
  EXPECT_EQ(dataSize, 44100u * kFrameBytes);
  EXPECT_EQ(rig.output->GetSize(), 44 + 44100 * kFrameBytes);
  rig.device->Advance(7);
  EXPECT_EQ(rig.device->FramesWritten(), 44100 + 308); // 1007 ms = 44408.7 frames
}

TEST(VirtualWaveOut, MixesBuffersOfEveryFormatAtTheirVolumeWithClipping) {
  TVirtualRig rig;
  TConstantFiller stereo(1000);
  TConstantFiller mono8(128 + 64, true); // +64 in 8 bits = 16384 in 16 bits
  auto a = rig.device->CreateBuffer(MixingFormat(), stereo);
  auto b = rig.device->CreateBuffer(MakePcmFormat(22050, 8, 1), mono8);
  ASSERT_TRUE(a && b);
  b->SetVolume(0.5f);
  EXPECT_EQ(b->Attenuation(), -600);
  a->Play();
  b->Play();
  rig.device->Advance(50);
  const std::vector<int16_t> samples = rig.Samples();
  ASSERT_EQ(samples.size(), 2u * 2205);
  // 1000 + 16384 at -6 dB (16384 * 32846 / 65536 = 8212).
  EXPECT_EQ(samples[1000], 9212);
  EXPECT_EQ(samples[1001], 9212);

  TConstantFiller loud(30000);
  auto c = rig.device->CreateBuffer(MixingFormat(), loud);
  auto d = rig.device->CreateBuffer(MixingFormat(), loud);
  a.reset();
  b.reset();
  c->Play();
  d->Play();
  rig.device->Advance(10);
  EXPECT_EQ(rig.Samples().back(), 32767);
}

TEST(VirtualWaveOut, UnplayableFormatsGetNoBuffer) {
  TVirtualRig rig;
  TConstantFiller filler(0);
  EXPECT_EQ(rig.device->CreateBuffer(MakePcmFormat(44100, 24, 2), filler), nullptr);
  TPcmFormat adpcm = MakePcmFormat(44100, 16, 2);
  adpcm.FormatTag = kWaveFormatAdpcm;
  EXPECT_EQ(rig.device->CreateBuffer(adpcm, filler), nullptr);
}

TEST(VirtualWaveOut, RefillsHalfSecondChunksEveryHundredMilliseconds) {
  TVirtualRig rig;
  TConstantFiller filler(500);
  auto buffer = rig.device->CreateBuffer(MixingFormat(), filler);
  const int32_t second = 44100 * kFrameBytes;
  EXPECT_EQ(buffer->PrebufferSize(), second * 3 / 2);
  EXPECT_EQ(buffer->GetPosition(), 0);
  buffer->Play();
  EXPECT_EQ(filler.firstFills.load(), 1);
  EXPECT_EQ(buffer->QueuedBytes(), second * 3 / 2);
  rig.device->Advance(99);
  EXPECT_EQ(filler.refills.load(), 0);
  rig.device->Advance(1);
  // At 100 ms: 0.1 s played, room for 0.6 s, at most half a second filled.
  EXPECT_EQ(filler.refills.load(), 1);
  EXPECT_EQ(filler.refilled.load(), second / 2);
  EXPECT_EQ(buffer->QueuedBytes(), 2 * second - second / 10);
  rig.device->Advance(50);
  EXPECT_EQ(buffer->GetPosition(), 150);
  rig.device->Advance(850);
  EXPECT_EQ(buffer->GetPosition(), 1000);
  // The ring stays full: every refill makes up for what was played.
  EXPECT_EQ(buffer->QueuedBytes(), 2 * second);
}

TEST(VirtualWaveOut, AStopFadesQueuedDataFromTwentyFiveMillisecondsOn) {
  TVirtualRig rig;
  TConstantFiller filler(2000);
  auto buffer = rig.device->CreateBuffer(MixingFormat(), filler);
  buffer->Play();
  rig.device->Advance(200);
  const int32_t queued = buffer->QueuedBytes();
  buffer->Stop();
  rig.device->Advance(1);
  const std::vector<int32_t> fades = filler.Fades();
  ASSERT_FALSE(fades.empty());
  int32_t faded = 0;
  for (int32_t count : fades)
    faded += count;
  // Everything queued but the next 25 ms (1102 frames) and the one
  // millisecond played since the request.
  EXPECT_EQ(faded, queued - 1102 * kFrameBytes - 44 * kFrameBytes);
  rig.device->Advance(100);
  const std::vector<int16_t> samples = rig.Samples();
  const size_t stop = 2 * 8820;              // 200 ms
  EXPECT_EQ(samples[stop + 2 * 1000], 2000); // still the old sound 22 ms later
  EXPECT_EQ(samples[stop + 2 * 1200], 0);    // faded 27 ms later
}

TEST(VirtualWaveOut, ALateRefillIsHeardAsSilenceNotAsOldData) {
  TVirtualRig rig;
  TConstantFiller filler(3000);
  TSoftWaveBuffer buffer(*rig.device, MakePcmFormat(44100, 16, 2), filler);
  buffer.Start();
  // Three seconds without a refill cycle: the prebuffer (1.5 s) runs out.
  {
    std::vector<int16_t> out(2 * 44100 * 3);
    std::lock_guard lock(rig.device->Mixer().Lock());
    rig.device->Mixer().Mix(out.data(), 44100 * 3);
    EXPECT_EQ(out[2 * 44100], 3000);
    EXPECT_EQ(out[2 * 44100 * 2], 0);
  }
  EXPECT_EQ(buffer.QueuedBytes(), 0);
  buffer.RefillCycle();
  EXPECT_EQ(buffer.QueuedBytes(), 44100 * kFrameBytes / 2);
}

TEST(VirtualWaveOut, TheClockFollowsTheVirtualTime) {
  TVirtualRig rig;
  auto timer = rig.device->CreateTimerChannel();
  ASSERT_TRUE(timer);
  EXPECT_FALSE(timer->IsPlaying());
  timer->Start();
  EXPECT_TRUE(timer->IsPlaying());
  EXPECT_EQ(timer->GetTime(), 0);
  // The clock runs from the first tick that sees the silent voice move,
  // 10 ms after the start.
  rig.device->Advance(1000);
  EXPECT_EQ(timer->GetTime(), 990);
  rig.device->Advance(4000); // two wraps of the two-second ring
  EXPECT_EQ(timer->GetTime(), 4990);
  timer->SetTime(20000);
  rig.device->Advance(500);
  EXPECT_EQ(timer->GetTime(), 20500);
  timer->Stop();
  rig.device->Advance(500);
  EXPECT_EQ(timer->GetTime(), 20500);
  timer->Start();
  rig.device->Advance(100);
  EXPECT_EQ(timer->GetTime(), 20590);
}

TEST(VirtualWaveOut, TheSameCallsGiveTheSameBytes) {
  const auto run = [] {
    TVirtualRig rig;
    TConstantFiller a(1234), b(77, true);
    auto first = rig.device->CreateBuffer(MixingFormat(), a);
    auto second = rig.device->CreateBuffer(MakePcmFormat(11025, 8, 1), b);
    first->Play();
    rig.device->Advance(333);
    second->SetVolume(0.3f);
    second->Play();
    rig.device->Advance(250);
    first->Stop();
    rig.device->Advance(700);
    return std::string(reinterpret_cast<const char*>(rig.output->Memory()), static_cast<size_t>(rig.output->GetSize()));
  };
  const std::string once = run();
  EXPECT_EQ(once.size(), 44u + 4u * 56580u); // 1283 ms
  EXPECT_EQ(run(), once);
}

} // namespace qx
