// Speed of reading, saving and querying project texts of several megabytes.
#include "QxLib/qxIniParser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr size_t kProjectBytes = 5 * 1024 * 1024;

void AppendObject(std::string& text, int slide, int index, int depth) {
  const std::string indent(static_cast<size_t>(2 * depth), ' ');
  text += indent + "object Picture" + std::to_string(index) + ":Picture\n";
  for (int k = 0; k < 14; ++k)
    text += indent + "  Property" + std::to_string(k) + " = " + std::to_string(slide * 31 + k) + ",0.5,-12\n";
  text += indent + "  FileName=C:\\Photos\\Trip\\Bild_" + std::to_string(slide) + "_\xC3\xBC.jpg\n";
  if (depth < 2)
    AppendObject(text, slide, index + 100, depth + 1);
  text += indent + "end\n";
}

// A project with a main section and slide sections of many keys and nested
// objects, UTF-8 with a byte-order mark, about kProjectBytes long.
const std::string& ProjectText() {
  static const std::string text = [] {
    std::string t = "\xEF\xBB\xBF[Main]\nVmoVersion=5.6\nSlideCount=0\n\n";
    for (int slide = 0; t.size() < kProjectBytes; ++slide) {
      t += "[Slide" + std::to_string(slide) + "]\n";
      for (int k = 0; k < 30; ++k)
        t += "Key" + std::to_string(k) + "=" + std::to_string(slide * 1000 + k) + "\n";
      t += "; transition\nEffect_Class=7\n";
      for (int o = 0; o < 4; ++o)
        AppendObject(t, slide, o, 1);
      t += "\n";
    }
    return t;
  }();
  return text;
}

void BM_ParseProject(benchmark::State& state) {
  const std::string& text = ProjectText();
  for (auto _ : state) {
    qx::TIniStorage ini;
    ini.LoadFromString(text);
    benchmark::DoNotOptimize(ini.Last());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseProject)->Unit(benchmark::kMillisecond);

void BM_SaveProject(benchmark::State& state) {
  qx::TIniStorage ini;
  ini.LoadFromString(ProjectText());
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string saved = ini.SaveToString();
    bytes = saved.size();
    benchmark::DoNotOptimize(saved.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond);

void BM_FindKeyInBigSection(benchmark::State& state) {
  const int keyCount = static_cast<int>(state.range(0));
  std::string text = "[Big]\n";
  std::vector<std::string> keys;
  for (int k = 0; k < keyCount; ++k) {
    keys.push_back("SomeLongerKeyName" + std::to_string(k));
    text += keys.back() + "=" + std::to_string(k) + "\n";
  }
  qx::TIniStorage ini;
  ini.LoadFromString(text);
  const qx::TIniSection* section = ini.FindSection("big");
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(section->FindKey(keys[next]));
    next = (next + 7919) % keys.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_FindKeyInBigSection)->Arg(100)->Arg(5000);

void BM_FindSectionInProject(benchmark::State& state) {
  qx::TIniStorage ini;
  ini.LoadFromString(ProjectText());
  const std::vector<std::string> names = ini.SectionNames();
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ini.FindSection(names[next]));
    next = (next + 7919) % names.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["sections"] = static_cast<double>(names.size());
}
BENCHMARK(BM_FindSectionInProject);

} // namespace

BENCHMARK_MAIN();
