#include "QxLib/Music/Sdl/qxSdlWaveOut.h"

#include "QxLib/Music/qxMusicPlayer.h"
#include "Tests/QxLib/Music/qxWaveOutTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

using test::TConstantFiller;
using test::WaitUntil;

// SDL's dummy driver plays into nothing at the pace of a sound card: the
// tests never need one.
constexpr const char* kDummy = "dummy";

} // namespace

TEST(SdlWaveOut, TheDummyDriverOpensAndPlaysBuffersAtItsOwnPace) {
  TSdlWaveOutDevice device(kDummy);
  ASSERT_TRUE(device.IsUsable()) << device.FailureText();
  EXPECT_EQ(device.DriverName(), "dummy");
  TConstantFiller filler(1000);
  auto buffer = device.CreateBuffer(MakePcmFormat(22050, 16, 1), filler);
  ASSERT_TRUE(buffer);
  const int32_t prebuffer = buffer->PrebufferSize();
  EXPECT_EQ(prebuffer, 22050 * 2 * 2 * 3 / 4);
  buffer->Play();
  ASSERT_TRUE(WaitUntil([&] { return filler.firstFills.load() == 1; }));
  // The refill thread keeps the ring filled while the device plays it.
  ASSERT_TRUE(WaitUntil([&] { return filler.refills.load() >= 2; }));
  EXPECT_LE(filler.refilled.load(), 22050 * 2 * 2 / 2 * filler.refills.load());
  ASSERT_TRUE(WaitUntil([&] { return buffer->GetPosition() > 100; }));
  EXPECT_LE(buffer->QueuedBytes(), 2 * 22050 * 2);
}

TEST(SdlWaveOut, AStopFadesWhatIsQueued) {
  TSdlWaveOutDevice device(kDummy);
  ASSERT_TRUE(device.IsUsable()) << device.FailureText();
  TConstantFiller filler(1000);
  auto buffer = device.CreateBuffer(MixingFormat(), filler);
  buffer->Play();
  ASSERT_TRUE(WaitUntil([&] { return filler.refills.load() >= 1; }));
  buffer->Stop();
  ASSERT_TRUE(WaitUntil([&] { return !filler.Fades().empty(); }));
  const int32_t faded = filler.Fades().front();
  // Everything queued but the next 25 ms.
  EXPECT_GT(faded, 0);
  EXPECT_LE(faded, 2 * 176400 - 1102 * 4);
}

TEST(SdlWaveOut, TheClockRunsFromItsStart) {
  TSdlWaveOutDevice device(kDummy);
  ASSERT_TRUE(device.IsUsable()) << device.FailureText();
  auto timer = device.CreateTimerChannel();
  timer->SetTime(5000);
  timer->Start();
  EXPECT_TRUE(timer->IsPlaying());
  EXPECT_GE(timer->GetTime(), 5000);
  ASSERT_TRUE(WaitUntil([&] { return timer->GetTime() > 5100; }));
  const int32_t before = timer->GetTime();
  ASSERT_TRUE(WaitUntil([&] { return timer->GetTime() > before; }));
  timer->Stop();
  const int32_t stopped = timer->GetTime();
  EXPECT_GE(stopped, before);
  EXPECT_EQ(timer->GetTime(), stopped);
}

TEST(SdlWaveOut, ADeviceThatCannotOpenIsUnusableAndGivesNoPlayer) {
  auto device = std::make_unique<TSdlWaveOutDevice>("no-such-driver");
  EXPECT_FALSE(device->IsUsable());
  EXPECT_FALSE(device->FailureText().empty());
  TConstantFiller filler(0);
  EXPECT_EQ(device->CreateBuffer(MixingFormat(), filler), nullptr);
  EXPECT_EQ(device->CreateTimerChannel(), nullptr);
  EXPECT_EQ(CreateMusicPlayer(std::move(device)), nullptr);
  EXPECT_FALSE(TSdlWaveOutDevice::Available("no-such-driver"));
}

} // namespace qx
