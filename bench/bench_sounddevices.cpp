// The sound devices mixing sixteen playing buffers: the virtual device
// (mixing, refills and the WAV file written to memory) and the SDL device on
// SDL's dummy driver (the audio thread and sixteen refill threads, measured
// as CPU of the whole process over one second of sound each), against a
// plain clamped sum of sixteen PCM streams of one second in the same run.
// "cpu_per_s" is CPU seconds per second of sound.
#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/qxMemoryStream.h"
#ifdef QX_HAVE_SDL_AUDIO
#include "QxLib/Music/Sdl/qxSdlWaveOut.h"
#endif

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using namespace qx;

constexpr int kBuffers = 16;

// Fills with a changing signal of the buffer's format.
class TSignalFiller : public TWaveOutFiller {
public:
  void FirstFill(TWaveOutBuffer&, uint8_t* destination, int32_t count) override { Fill(destination, count); }
  void FadeQueued(TWaveOutBuffer&, uint8_t*, int32_t) override {}
  void Refill(TWaveOutBuffer&, uint8_t* destination, int32_t count) override { Fill(destination, count); }

private:
  void Fill(uint8_t* destination, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
      destination[i] = static_cast<uint8_t>(m_next++ * 13);
  }
  uint32_t m_next = 0;
};

// Half of the buffers at the mixing format, the others at 22050 Hz mono
// 16 bits (resampled by the mixer); the rates the shows carry.
TPcmFormat FormatOf(int index) { return index % 2 == 0 ? MixingFormat() : MakePcmFormat(22050, 16, 1); }

struct TPlaying {
  std::vector<std::unique_ptr<TSignalFiller>> fillers;
  std::vector<std::unique_ptr<TWaveOutBuffer>> buffers;

  void Start(TWaveOutDevice& device) {
    for (int i = 0; i < kBuffers; ++i) {
      fillers.push_back(std::make_unique<TSignalFiller>());
      buffers.push_back(device.CreateBuffer(FormatOf(i), *fillers.back()));
      buffers.back()->SetVolume(0.7f);
      buffers.back()->Play();
    }
  }
};

void BM_VirtualDevice16Buffers(benchmark::State& state) {
  TVirtualWaveOutDevice device(std::make_unique<TMemoryStream>());
  TPlaying playing;
  playing.Start(device);
  for (auto _ : state)
    device.Advance(1000);
  state.counters["cpu_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_VirtualDevice16Buffers)->Unit(benchmark::kMillisecond);

#ifdef QX_HAVE_SDL_AUDIO
// One iteration is one second of sound on the dummy driver; the time shown
// as CPU is that of every thread of the process.
void BM_SdlDummyDevice16Buffers(benchmark::State& state) {
  TSdlWaveOutDevice device("dummy");
  if (!device.IsUsable()) {
    state.SkipWithError(device.FailureText().c_str());
    return;
  }
  TPlaying playing;
  playing.Start(device);
  for (auto _ : state)
    std::this_thread::sleep_for(std::chrono::seconds(1));
  state.counters["cpu_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SdlDummyDevice16Buffers)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
#endif

// Baseline: sixteen one-second stereo streams summed and clamped.
void BM_PlainSum16Streams(benchmark::State& state) {
  const size_t samples = 44100 * 2;
  std::vector<std::vector<int16_t>> streams(kBuffers, std::vector<int16_t>(samples));
  for (int b = 0; b < kBuffers; ++b)
    for (size_t i = 0; i < samples; ++i)
      streams[b][i] = static_cast<int16_t>((i * (b + 3)) % 4000);
  std::vector<int32_t> acc(samples);
  std::vector<int16_t> out(samples);
  for (auto _ : state) {
    std::fill(acc.begin(), acc.end(), 0);
    for (const std::vector<int16_t>& stream : streams)
      for (size_t i = 0; i < samples; ++i)
        acc[i] += stream[i];
    for (size_t i = 0; i < samples; ++i)
      out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["cpu_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlainSum16Streams)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
