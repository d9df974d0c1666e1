// MPEG audio decoding through TMpegConverter, read as a channel reads it
// (the stream access over a disk file, Read in 4096-byte steps), against the
// mpg123 program decoding the same file to nothing in the same run.
//
// Each iteration decodes the file kLoops times; the program is run once with
// "--loop kLoops", so that its start-up counts once per iteration as ours
// (opening the file and the decoder) does. On a busy machine compare the
// counter "cpu_ms" (processor time per iteration: this process's for the
// converter, the child's for the program); "x_realtime" says how many times
// faster than playing the decode runs in real time.
#include "QxLib/qxProcess.h"
#include "QxLib/Music/qxConverterFactory.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

using namespace qx;

constexpr int kLoops = 10;
constexpr int32_t kReadStep = 4096;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";

void DecodeWithConverter(benchmark::State& state, const std::string& file) {
  int64_t bytes = 0;
  double seconds = 0;
  const double cpuBefore = (ProcessCpuSeconds() * 1000.0);
  for (auto _ : state) {
    for (int loop = 0; loop < kLoops; ++loop) {
      TOpenedSound sound(kMedia + file, {});
      TWavConverter& converter = sound.Converter();
      bool more = true;
      while (more) {
        more = converter.Read(kReadStep);
        converter.Output().Consume(kReadStep);
        bytes += kReadStep;
      }
      seconds += sound.Info().Length / 1000.0;
    }
  }
  state.SetBytesProcessed(bytes);
  state.counters["cpu_ms"] = ((ProcessCpuSeconds() * 1000.0) - cpuBefore) / static_cast<double>(state.iterations());
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}

void DecodeWithProgram(benchmark::State& state, const std::string& file) {
  const std::string command = "mpg123 -q -s --loop " + std::to_string(kLoops) + " '" + kMedia + file + "' >/dev/null";
  double seconds = 0;
  const double cpuBefore = (ChildrenCpuSeconds() * 1000.0);
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("mpg123 failed");
      return;
    }
    seconds += kLoops * 12.0;
  }
  state.counters["cpu_ms"] = ((ChildrenCpuSeconds() * 1000.0) - cpuBefore) / static_cast<double>(state.iterations());
  state.counters["x_realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}

void BM_TMpegConverter_Cbr(benchmark::State& state) { DecodeWithConverter(state, "cbr.mp3"); }
void BM_Mpg123Program_Cbr(benchmark::State& state) { DecodeWithProgram(state, "cbr.mp3"); }
void BM_TMpegConverter_Vbr(benchmark::State& state) { DecodeWithConverter(state, "vbr.mp3"); }
void BM_Mpg123Program_Vbr(benchmark::State& state) { DecodeWithProgram(state, "vbr.mp3"); }

BENCHMARK(BM_TMpegConverter_Cbr)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mpg123Program_Cbr)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TMpegConverter_Vbr)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mpg123Program_Vbr)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
