// The quality of the show clock: the music timeline player's GetTime
// against the sound the device consumed, over ten minutes of sound.
//
// On the SDL device (SDL's dummy driver when there is no sound card; real
// time) the player runs on its threads as the engine drives it; every 5 ms
// the benchmark reads GetTime, the frames the device's mixer consumed (a
// silent probe voice of its own) and the system clock. Counters:
//  - clock_drift_ms: change of (GetTime - consumed) from the first to the
//    last second; clock_max_dev_ms: its largest distance from the start
//    value; clock_jitter_ms: standard deviation of the change of
//    (GetTime - system clock) between successive readings;
//  - baseline, measured in the same run on the same readings: the system
//    clock against the consumed sound (sysclock_drift_ms,
//    sysclock_max_dev_ms) and the jitter of the raw play position
//    (position_jitter_ms), the steps in which the device consumes sound.
// On the virtual device (virtual time, 10 ms steps, one player step each)
// the same drift is measured against the frames written, without threads.
//
// Usage: bench_musicclock [--seconds=N] [benchmark flags]; N defaults to 600.
#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/Music/qxVolumeParams.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxMemoryStream.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoMusicPlayer2.h"
#ifdef QX_HAVE_SDL_AUDIO
#include "QxLib/Music/Sdl/qxSdlWaveOut.h"
#endif

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qx;

int g_seconds = 600;
constexpr auto kReadingPeriod = std::chrono::milliseconds(5);
constexpr double kFramesPerMs = 44.1;

class TNoFiles : public TFileSource {
protected:
  std::unique_ptr<TStream> RawOpen(const std::string&) override { return nullptr; }
};

// A show of one slide as long as the measurement, without music: the
// clock runs the same with or without channels.
std::unique_ptr<TVmoSource> LongShow() {
  auto storage = std::make_unique<TIniStorage>();
  storage->LoadFromString("[Main]\nopt_slidescount=1\nopt_synchpos1=" + std::to_string(g_seconds * 1000 + 60000) +
                          "\nopt_repeat=stop\n[Slide1]\n");
  return std::make_unique<TVmoSource>(TFileAccessor(MakeRef<TNoFiles>()), std::move(storage), true);
}

struct TReading {
  double Music = 0;    // GetTime
  double Consumed = 0; // ms of sound the device consumed
  double System = 0;   // ms of the system clock
};

double StdDevOfSteps(const std::vector<double>& values) {
  if (values.size() < 3)
    return 0;
  std::vector<double> steps;
  for (size_t i = 1; i < values.size(); ++i)
    steps.push_back(values[i] - values[i - 1]);
  double mean = 0;
  for (const double s : steps)
    mean += s;
  mean /= static_cast<double>(steps.size());
  double sum = 0;
  for (const double s : steps)
    sum += (s - mean) * (s - mean);
  return std::sqrt(sum / static_cast<double>(steps.size()));
}

// Change of the series from its first second to its last, and its largest
// distance from the first second's mean.
void DriftOf(const std::vector<double>& series, size_t perSecond, double& drift, double& maxDeviation) {
  const size_t window = std::min(perSecond, series.size() / 2);
  if (window == 0)
    return;
  double first = 0;
  double last = 0;
  for (size_t i = 0; i < window; ++i) {
    first += series[i];
    last += series[series.size() - 1 - i];
  }
  first /= static_cast<double>(window);
  last /= static_cast<double>(window);
  drift = last - first;
  maxDeviation = 0;
  for (const double value : series)
    maxDeviation = std::max(maxDeviation, std::abs(value - first));
}

void Report(benchmark::State& state, const std::vector<TReading>& readings, size_t perSecond) {
  std::vector<double> clockVsSound;
  std::vector<double> systemVsSound;
  std::vector<double> clockVsSystem;
  std::vector<double> soundVsSystem;
  for (const TReading& r : readings) {
    clockVsSound.push_back(r.Music - r.Consumed);
    systemVsSound.push_back(r.System - r.Consumed);
    clockVsSystem.push_back(r.Music - r.System);
    soundVsSystem.push_back(r.Consumed - r.System);
  }
  double drift = 0;
  double deviation = 0;
  DriftOf(clockVsSound, perSecond, drift, deviation);
  state.counters["clock_drift_ms"] = drift;
  state.counters["clock_max_dev_ms"] = deviation;
  state.counters["clock_jitter_ms"] = StdDevOfSteps(clockVsSystem);
  DriftOf(systemVsSound, perSecond, drift, deviation);
  state.counters["sysclock_drift_ms"] = drift;
  state.counters["sysclock_max_dev_ms"] = deviation;
  state.counters["position_jitter_ms"] = StdDevOfSteps(soundVsSystem);
  state.counters["readings"] = static_cast<double>(readings.size());
}

#ifdef QX_HAVE_SDL_AUDIO
void BM_MusicClockOnSdlDevice(benchmark::State& state) {
  auto device = std::make_unique<TSdlWaveOutDevice>("dummy");
  if (!device->IsUsable()) {
    state.SkipWithError(device->FailureText().c_str());
    return;
  }
  TSdlWaveOutDevice& sdl = *device;
  // A silent voice of the mixing format counts the bytes the device takes.
  TSoftVoice probe(MixingFormat(), 4 * 44100);
  probe.Silent = true;
  probe.Playing = true;
  {
    std::lock_guard lock(sdl.Mixer().Lock());
    sdl.Mixer().Add(probe);
  }
  const std::unique_ptr<TVmoSource> source = LongShow();
  std::vector<TReading> readings;
  for (auto _ : state) {
    TVmoMusicPlayer player(source.get(), false, CreateMusicPlayer(std::move(device)));
    player.Start();
    player.SetTime(TVmoMusicPlayer::kNoLimit, 0);
    while (!player.IsReady())
      std::this_thread::sleep_for(kReadingPeriod);
    player.SetPlaying(true);
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(g_seconds);
    for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
      TReading reading;
      reading.Music = player.GetTime();
      {
        std::lock_guard lock(sdl.Mixer().Lock());
        reading.Consumed = static_cast<double>(probe.Played) / kMixFrameBytes / kFramesPerMs;
      }
      reading.System = std::chrono::duration<double, std::milli>(now - start).count();
      readings.push_back(reading);
      std::this_thread::sleep_for(kReadingPeriod);
    }
    {
      std::lock_guard lock(sdl.Mixer().Lock());
      sdl.Mixer().Remove(probe);
    }
    player.Stop();
  }
  // The first readings, while the clock waits for the player to run, are
  // left out.
  std::erase_if(readings, [](const TReading& r) { return r.Music <= 0; });
  Report(state, readings, 1000 / kReadingPeriod.count());
}
BENCHMARK(BM_MusicClockOnSdlDevice)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
#endif

// Virtual time: the clock against the frames the device wrote.
void BM_MusicClockOnVirtualDevice(benchmark::State& state) {
  const std::unique_ptr<TVmoSource> source = LongShow();
  std::vector<TReading> readings;
  for (auto _ : state) {
    auto device = std::make_unique<TVirtualWaveOutDevice>();
    TVirtualWaveOutDevice& clock = *device;
    TVmoMusicPlayer player(source.get(), false, CreateMusicPlayer(std::move(device)),
                           TVmoMusicPlayer::TDriving::Manual);
    player.SetTime(TVmoMusicPlayer::kNoLimit, 0);
    clock.Advance(20);
    player.Pump();
    player.SetPlaying(true);
    player.Pump();
    const int64_t startFrames = clock.FramesWritten();
    for (int32_t ms = 0; ms < g_seconds * 1000; ms += 10) {
      clock.Advance(10);
      player.Pump();
      TReading reading;
      reading.Music = player.GetTime();
      reading.Consumed = static_cast<double>(clock.FramesWritten() - startFrames) / kFramesPerMs;
      reading.System = ms + 10;
      readings.push_back(reading);
    }
  }
  Report(state, readings, 100);
}
BENCHMARK(BM_MusicClockOnVirtualDevice)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seconds=", 10) == 0)
      g_seconds = std::max(1, std::atoi(argv[i] + 10));
    else
      rest.push_back(argv[i]);
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
