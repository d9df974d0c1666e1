// Opening a show package with a large file table: locating the trailer,
// inflating and parsing the table of 20,000 entries, and looking entries up.
#include "QxLib/qxFileStream.h"
#include "Tools/PackWriter/qxVmoPackWriter.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace {

constexpr int kEntryCount = 20000;

std::string EntryName(int i) {
  return "C:\\Users\\author\\Pictures\\Holiday 2026\\album " + std::to_string(i / 100) + "\\IMG_" +
         std::to_string(100000 + i) + ".jpg";
}

// Writes the package once per process into a temporary folder.
class TBenchPackage {
public:
  TBenchPackage() {
    std::random_device random;
    m_folder = std::filesystem::temp_directory_path() / ("vmo-bench-" + std::to_string(random()));
    std::filesystem::create_directories(m_folder);
    m_path = (m_folder / "show.exe").string();
    qx::TFileStream out(m_path, qx::TFileMode::Create);
    qx::TVmoPackWriter writer(out);
    const std::string bytes(64, 'x');
    for (int i = 0; i < kEntryCount; ++i)
      writer.AddEntry(EntryName(i), i % 3 == 0 ? qx::kVmoStored : qx::kVmoScrambled, bytes);
    writer.AddExeGuid("{00000000-0000-0000-0000-000000000000}");
    writer.Finish("5.6", qx::TVmoTrailerForm::Current);
  }
  ~TBenchPackage() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  const std::string& Path() const { return m_path; }

private:
  std::filesystem::path m_folder;
  std::string m_path;
};

const TBenchPackage& Package() {
  static const TBenchPackage package;
  return package;
}

void BM_OpenPackage20000Entries(benchmark::State& state) {
  const std::string& path = Package().Path();
  for (auto _ : state) {
    qx::TVmoUnpack unpack(path);
    if (!unpack.IsOpen())
      state.SkipWithError("package did not open");
    benchmark::DoNotOptimize(unpack.Struc());
  }
  state.counters["entries"] = kEntryCount;
}
BENCHMARK(BM_OpenPackage20000Entries)->Unit(benchmark::kMillisecond);

void BM_FindEntry(benchmark::State& state) {
  qx::TVmoUnpack unpack(Package().Path());
  std::vector<std::string> names;
  std::mt19937 random(1);
  for (int i = 0; i < 1000; ++i)
    names.push_back(EntryName(static_cast<int>(random() % kEntryCount)));
  size_t next = 0;
  qx::TVmoEntryInfo info;
  for (auto _ : state) {
    benchmark::DoNotOptimize(unpack.FindEntry(names[next], info));
    next = (next + 1) % names.size();
  }
}
BENCHMARK(BM_FindEntry)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
