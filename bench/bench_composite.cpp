// The composite mixer mixing eight overlapping items, each with a fade
// envelope and a level envelope, into ten seconds of sound, against a plain
// clamped sum of the same eight PCM streams in the same run. The counter
// "x_realtime" is seconds of sound per second of CPU.
#include "QxLib/Music/qxCompositeConverter.h"
#include "QxLib/qxMemoryStream.h"
#include "QxLib/qxStreamUtils.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qx;

constexpr int kItems = 8;
constexpr int kSeconds = 10;
constexpr int kFrames = 44100 * kSeconds;

std::vector<int16_t> ItemSamples(int item) {
  std::vector<int16_t> samples(static_cast<size_t>(kFrames) * 2);
  for (int i = 0; i < kFrames; ++i) {
    samples[2 * i] = static_cast<int16_t>((i * (7 + item)) % 8000 - 4000);
    samples[2 * i + 1] = static_cast<int16_t>((i * (11 + item)) % 6000 - 3000);
  }
  return samples;
}

std::string WaveFile(const std::vector<int16_t>& samples) {
  const auto le32 = [](std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
  const auto le16 = [](std::string& s, uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  le32(out, 36 + data);
  out += "WAVEfmt ";
  le32(out, 16);
  le16(out, 1);
  le16(out, 2);
  le32(out, 44100);
  le32(out, 176400);
  le16(out, 4);
  le16(out, 16);
  out += "data";
  le32(out, data);
  out.append(reinterpret_cast<const char*>(samples.data()), data);
  return out;
}

struct TFixture {
  TFixture() {
    TCompositeParams params;
    params.SetDuration(kSeconds * 1000);
    for (int i = 0; i < kItems; ++i) {
      samples.push_back(ItemSamples(i));
      const std::string name = "item" + std::to_string(i) + ".wav";
      auto file = std::make_unique<TMemoryStream>();
      file->WriteString(WaveFile(samples.back()));
      files[name] = std::move(file);
      TCompositeItem& item = params.AddItem();
      item.FileName = name;
      item.TimeLine = 0;
      item.Duration = kSeconds * 1000;
      TVolumeParams& fade = item.Fades.Add();
      fade.AddPoint(0, 0);
      fade.AddPoint(2000 + 100 * i, 1000);
      fade.AddPoint(8000 - 100 * i, 1000);
      fade.AddPoint(kSeconds * 1000, 0);
      TVolumeParams& level = item.Fades.Add();
      level.AddPoint(0, 400 + 50 * i);
    }
    params.GetOrAddMainVolume().Add().AddPoint(0, 900);
    description = params.Write();
    // Windows over files held in memory, as packed entries are read.
    access.Open = [this](const std::string& name) -> std::unique_ptr<TStream> {
      TMemoryStream& file = *files.at(name);
      return std::make_unique<TPartialStream>(file, 0, file.GetSize());
    };
    InstallCompositeConverter();
  }

  std::map<std::string, std::unique_ptr<TMemoryStream>> files;
  std::vector<std::vector<int16_t>> samples;
  std::string description;
  TSoundFileAccess access;
};

TFixture& Fixture() {
  static TFixture fixture;
  return fixture;
}

void SetRealTimeCounter(benchmark::State& state) {
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds, benchmark::Counter::kIsRate);
}

// Open, seek and read the whole description in 4096-byte steps, as a
// channel's refills do.
void BM_CompositeMixer8Items(benchmark::State& state) {
  TFixture& fixture = Fixture();
  const std::optional<TMediaInfo> info = CompositeDescriptionInfo(fixture.description);
  std::vector<uint8_t> out(4096);
  for (auto _ : state) {
    TCompositeConverter converter(fixture.description, fixture.access);
    converter.Open(*info);
    converter.Seek(0);
    for (int64_t done = 0; done < int64_t{kFrames} * 4; done += 4096) {
      converter.Read(4096);
      converter.Output().Take(out.data(), 4096);
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetRealTimeCounter(state);
}
BENCHMARK(BM_CompositeMixer8Items)->Unit(benchmark::kMillisecond);

// Baseline: the same eight streams summed into 32 bits and clamped.
void BM_PlainSum8Streams(benchmark::State& state) {
  TFixture& fixture = Fixture();
  std::vector<int32_t> acc(static_cast<size_t>(kFrames) * 2);
  std::vector<int16_t> out(acc.size());
  for (auto _ : state) {
    std::fill(acc.begin(), acc.end(), 0);
    for (const std::vector<int16_t>& item : fixture.samples)
      for (size_t i = 0; i < acc.size(); ++i)
        acc[i] += item[i];
    for (size_t i = 0; i < acc.size(); ++i)
      out[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
    benchmark::DoNotOptimize(out.data());
  }
  SetRealTimeCounter(state);
}
BENCHMARK(BM_PlainSum8Streams)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
