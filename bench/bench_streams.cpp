// Reading one large stored entry through a window with the load callback
// attached, against a plain file read of the same bytes in the same run.
//
// Usage: bench_streams [--size=BYTES[K|M|G]] [benchmark flags]
// The size may also come from VMO_BENCH_STREAM_SIZE; the default is 1 GiB.
// The entry file is written once into a fresh temporary folder and removed
// at the end.
#include "QxLib/qxFileStream.h"
#include "QxLib/qxLoadCallback.h"
#include "QxLib/qxProcess.h"
#include "QxLib/qxStreamUtils.h"
#include "QxLib/qxTempManager.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qx;

// Bytes of other package data before and after the entry, so the window
// starts inside the file as real entries do.
constexpr int64_t kLeadIn = 4096 + 123;
constexpr int64_t kLeadOut = 4096;
// The piece size the package reader asks for.
constexpr int32_t kRequestedPieceSize = 32768;
// The piece size a window would use if attaching a callback capped pieces at
// 256 bytes; measured on a smaller span because it is slow.
constexpr int32_t kTinyPieceSize = 256;
constexpr int64_t kTinyPieceSpan = int64_t(64) << 20;

int64_t g_entrySize = int64_t(1) << 30;
std::string g_fileName;
std::map<std::string, uint64_t> g_checksums;

int64_t ParseSize(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  int64_t scale = 1;
  switch (end && *end ? *end : ' ') {
  case 'k':
  case 'K': scale = int64_t(1) << 10; break;
  case 'm':
  case 'M': scale = int64_t(1) << 20; break;
  case 'g':
  case 'G': scale = int64_t(1) << 30; break;
  default: break;
  }
  const auto size = static_cast<int64_t>(value * static_cast<double>(scale));
  return size > 0 ? size : g_entrySize;
}

long PeakRssKiB() { return static_cast<long>(PeakResidentBytes() / 1024); }

// Byte i of the file; the entry is not all zeros, so a window that read the
// wrong place would give another checksum.
uint8_t FileByte(int64_t i) { return static_cast<uint8_t>((i * 2654435761u) >> 13); }

void WriteEntryFile(const std::string& name, int64_t total) {
  TFileStream file(name, TFileMode::Create);
  std::vector<uint8_t> block(1 << 20);
  for (int64_t done = 0; done < total;) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(block.size()), total - done);
    for (int64_t i = 0; i < n; ++i)
      block[static_cast<size_t>(i)] = FileByte(done + i);
    file.WriteBuffer(block.data(), n);
    done += n;
  }
}

// Reads `count` bytes through a caller buffer of bufferSize and folds them
// into a checksum that touches every 64th byte.
uint64_t Drain(TStream& stream, int64_t count, std::vector<uint8_t>& buffer) {
  uint64_t sum = 0;
  while (count > 0) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(buffer.size()), count);
    const int64_t got = stream.Read(buffer.data(), n);
    if (got <= 0)
      break;
    for (int64_t i = 0; i < got; i += 64)
      sum = sum * 31 + buffer[static_cast<size_t>(i)];
    count -= got;
  }
  return sum;
}

void Record(benchmark::State& state, const char* name, uint64_t sum, int64_t span) {
  g_checksums[std::string(name) + "/" + std::to_string(state.range(0))] = sum;
  state.SetBytesProcessed(state.iterations() * span);
  state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
}

void BM_PlainFileRead(benchmark::State& state) {
  std::vector<uint8_t> buffer(static_cast<size_t>(state.range(0)));
  uint64_t sum = 0;
  for (auto _ : state) {
    TFileStream file(g_fileName, TFileMode::OpenRead);
    file.SetPosition(kLeadIn);
    sum = Drain(file, g_entrySize, buffer);
  }
  Record(state, "BM_PlainFileRead", sum, g_entrySize);
}

void WindowRead(benchmark::State& state, const char* name, int32_t pieceSize, int64_t span) {
  SetLoadCallbackMode(lcmNone);
  std::vector<uint8_t> buffer(static_cast<size_t>(state.range(0)));
  uint64_t sum = 0;
  for (auto _ : state) {
    TPartialStream window(std::make_unique<TFileStream>(g_fileName, TFileMode::OpenRead), kLeadIn, g_entrySize);
    window.AttachLoadCallback(pieceSize);
    sum = Drain(window, span, buffer);
  }
  Record(state, name, sum, span);
}

void BM_WindowRead(benchmark::State& state) { WindowRead(state, "BM_WindowRead", kRequestedPieceSize, g_entrySize); }

void BM_WindowRead256BytePieces(benchmark::State& state) {
  WindowRead(state, "BM_WindowRead256BytePieces", kTinyPieceSize, std::min(g_entrySize, kTinyPieceSpan));
}

// Keeps the real time per iteration of every run for the closing summary.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
  TSummaryReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& reports) override {
    for (const Run& run : reports)
      seconds[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime() / 1e3;
    ConsoleReporter::ReportRuns(reports);
  }
  std::map<std::string, double> seconds;
};

// A fresh folder under the system's temporary folder, removed with everything
// in it when the run ends.
class TTempFolder {
public:
  TTempFolder() : m_path(NewTempFolder(false)) {}
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  const std::string& Path() const { return m_path; }

private:
  std::string m_path;
};

void PrintSummary(const TSummaryReporter& reporter, long rssBeforeKiB) {
  const double mib = static_cast<double>(g_entrySize) / (1 << 20);
  std::printf("\nentry size: %.0f MiB\n", mib);
  for (const int64_t buffer : {int64_t(32768), int64_t(1) << 20}) {
    const std::string arg = "/" + std::to_string(buffer);
    const auto plain = reporter.seconds.find("BM_PlainFileRead" + arg);
    const auto window = reporter.seconds.find("BM_WindowRead" + arg);
    if (plain == reporter.seconds.end() || window == reporter.seconds.end())
      continue;
    std::printf("reads of %lld bytes: plain %.3f s (%.0f MiB/s), window %.3f s (%.0f MiB/s), window/plain %.3f\n",
                static_cast<long long>(buffer), plain->second, mib / plain->second, window->second,
                mib / window->second, window->second / plain->second);
    const bool same = g_checksums["BM_PlainFileRead" + arg] == g_checksums["BM_WindowRead" + arg];
    std::printf("  same bytes read: %s\n", same ? "yes" : "NO");
  }
  std::printf("peak RSS: %.1f MiB before the reads, %.1f MiB after\n", static_cast<double>(rssBeforeKiB) / 1024.0,
              static_cast<double>(PeakRssKiB()) / 1024.0);
}

} // namespace

BENCHMARK(BM_PlainFileRead)->Arg(32768)->Arg(1 << 20)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRead)->Arg(32768)->Arg(1 << 20)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRead256BytePieces)->Arg(1 << 20)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (const char* size = std::getenv("VMO_BENCH_STREAM_SIZE"))
    g_entrySize = ParseSize(size);
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--size=", 7) == 0)
      g_entrySize = ParseSize(argv[i] + 7);
    else
      args.push_back(argv[i]);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data()))
    return 1;

  const TTempFolder folder;
  g_fileName = folder.Path() + "/package.bin";
  WriteEntryFile(g_fileName, kLeadIn + g_entrySize + kLeadOut);
  const long rssBefore = PeakRssKiB();

  TSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter, rssBefore);
  benchmark::Shutdown();
  return 0;
}
