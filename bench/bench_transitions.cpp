// Frames per second during each transition family at 1920 x 1080, drawn
// headless through the drawer: two full-screen photo slides, one frame of
// the transition after another (the phase moving through it), against the
// plain frame of the same two slides drawn one over the other. Each family
// runs right after a plain run, so that a change in the load of a shared
// machine touches both sides of a ratio alike; the summary gives the ratio
// to the mean of the plain runs around it. Goal: no family below 0.5.
#include "QxLib/Graphics/qxBitmapStore.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"
#include "VmoLib2/VmoViewer/qxVmoFileSources.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qx;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kMinSeconds = 2.0;
// Phases visited in turn: a hundred steps through the transition.
constexpr int kPhaseSteps = 100;

struct TFamily {
  const char* name;
  int cls;
  int variant;
};

// One transition of each family (the 3D ones with depth, the masks with
// soft edges).
const TFamily kFamilies[] = {
    {"mosaic", 1, 1}, {"cross-fade", 2, 1},     {"clock", 3, 1}, {"circle", 4, 2}, {"rhomb", 5, 2},   {"square", 6, 2},
    {"bands", 7, 2},  {"diagonal bands", 8, 2}, {"wipe", 9, 1},  {"broom", 11, 6}, {"push", 12, 2},   {"slide", 13, 3},
    {"roll", 14, 1},  {"diagonal roll", 15, 3}, {"flip", 16, 2}, {"swap", 17, 1},  {"custom", 18, 0},
};

TEffectParams Params() {
  TEffectParams p;
  p.Smoothline = 0.03f;
  p.BroomOffset = 0.2f;
  p.RollDiameter = 0.08f;
  p.RollVariants = true;
  p.Roll3D = true;
  p.RollCurving = 0.5f;
  p.FlipCurving = 0.5f;
  p.FlipSmooth = true;
  p.SwapDepth = 2;
  p.SwapWidth = 0.6f;
  p.SwapMaxAngle = 45;
  p.CenterX = 50;
  p.CenterY = 50;
  p.MosaicDX = 32;
  p.MosaicDY = 18;
  p.MosaicSC = 1000;
  p.Seed = 4711;
  p.Custom = VMO_DEMO_DIR "/spin.vmo";
  return p;
}

// A photo-like picture: gradients with fine noise.
std::unique_ptr<TBitmap> Photo(uint32_t seed) {
  auto bitmap = std::make_unique<TBitmap>(kWidth, kHeight, TPixelFormat::Bgra32);
  uint32_t state = seed;
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bitmap->Scanline(y);
    for (int x = 0; x < kWidth; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 28) - 8;
      row[x * 4] = static_cast<uint8_t>(std::clamp(x * 255 / kWidth + noise, 0, 255));
      row[x * 4 + 1] = static_cast<uint8_t>(std::clamp(y * 255 / kHeight + noise, 0, 255));
      row[x * 4 + 2] = static_cast<uint8_t>(std::clamp(static_cast<int>(seed * 60 % 256) + noise, 0, 255));
      row[x * 4 + 3] = 255;
    }
  }
  return bitmap;
}

class TPictureSlide final : public TDrawItem {
public:
  explicit TPictureSlide(uint32_t seed) : m_store(MakeRef<TWrapperBitmapStore>("photo", Photo(seed))) {}
  void Draw(TDeviceDrawer& drawer) override {
    TPictureSource source;
    source.Store = m_store.Get();
    drawer.DrawPicture(source, TPlacement::Flat({0, 0, kWidth, kHeight}), TPictureDrawParams{});
  }
  bool NeedsRedraw() const override { return true; }

private:
  TRefPtr<TBitmapStore> m_store;
};

class TFrameItem final : public TDrawItem {
public:
  explicit TFrameItem(std::function<void(TDeviceDrawer&)> draw) : m_draw(std::move(draw)) {}
  void Draw(TDeviceDrawer& drawer) override { m_draw(drawer); }
  bool NeedsRedraw() const override { return true; }

private:
  std::function<void(TDeviceDrawer&)> m_draw;
};

// The drawer, its device and the two slides, made once for all runs.
struct TStage {
  std::unique_ptr<T3DEngine> engine;
  std::unique_ptr<TDrawDevice> device;
  std::unique_ptr<T3DDrawer> drawer;
  TFileAccessor accessor{MakeRef<TMappedFileSource>()};
  TPictureSlide first{1};
  TPictureSlide second{2};
  bool ready = false;
};

TStage& Stage() {
  static TStage stage;
  if (stage.engine) {
    return stage;
  }
  std::string error;
  stage.engine = Create3DEngine("gl", nullptr, error);
  if (!stage.engine) {
    std::fprintf(stderr, "no GL engine: %s\n", error.c_str());
    return stage;
  }
  stage.device = std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight});
  stage.drawer = std::make_unique<T3DDrawer>(*stage.engine);
  stage.drawer->SetDrawCallback([](TDrawPhase, TDrawItem&) {});
  stage.drawer->SetNoPresent(true);
  stage.drawer->SetFileAccessor(&stage.accessor);
  stage.drawer->Init(*stage.device);
  stage.ready = stage.drawer->Ready();
  return stage;
}

// Draws a frame and waits until it is drawn (reading one pixel).
bool DrawAndWait(TStage& stage, TDrawItem& root) {
  stage.drawer->DrawItem(root);
  T3DRenderer* renderer = stage.drawer->Screen().Renderer();
  if (!renderer) {
    return false;
  }
  const T3DRect pixel{0, 0, 1, 1};
  T3DSurface* back = renderer->BackBuffer();
  const bool read = back && back->Lock(&pixel, T3DLockMode::ReadOnly) != nullptr;
  return back && back->Unlock() && read;
}

struct TFigures {
  double fps = 0;
  double cpuMsPerFrame = 0;
};
std::map<std::string, TFigures> g_figures;
std::vector<std::string> g_order;

double ProcessCpuMs() { return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

void Run(benchmark::State& state, const std::string& key, TDrawItem& root, const std::function<void(int)>& step) {
  TStage& stage = Stage();
  if (!stage.ready) {
    state.SkipWithError("no headless GL ES 3 drawer");
    return;
  }
  step(0);
  if (!DrawAndWait(stage, root)) {
    state.SkipWithError("frame failed");
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ProcessCpuMs();
  int frame = 0;
  for (auto _ : state) {
    step(frame++);
    DrawAndWait(stage, root);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  g_figures[key] = {frame / seconds, (ProcessCpuMs() - cpuStart) / frame};
  g_order.push_back(key);
  state.counters["fps"] = benchmark::Counter(frame, benchmark::Counter::kIsRate);
}

void BM_PlainTwoSlides(benchmark::State& state) {
  TStage& stage = Stage();
  TFrameItem root([&](TDeviceDrawer& drawer) {
    drawer.ClearScreen(MakeColor(0, 0, 0), false);
    drawer.DrawItem(stage.first);
    drawer.DrawItem(stage.second);
  });
  Run(state, "plain " + std::to_string(state.range(0)), root, [](int) {});
}

void BM_Transition(benchmark::State& state) {
  const TFamily& family = kFamilies[state.range(0)];
  TStage& stage = Stage();
  TVmoFilter filter(TTransition{family.cls, family.variant, 1000, Params()});
  TFrameItem root([&](TDeviceDrawer& drawer) {
    drawer.ClearScreen(MakeColor(0, 0, 0), false);
    drawer.DrawTwoSlides(stage.first, stage.second, false, &filter);
  });
  Run(state, family.name, root,
      [&](int frame) { filter.SetProgress(static_cast<float>((frame % kPhaseSteps + 0.5) / kPhaseSteps)); });
}

void Register() {
  const int families = static_cast<int>(std::size(kFamilies));
  for (int i = 0; i < families; ++i) {
    benchmark::RegisterBenchmark(("plain/" + std::to_string(i)).c_str(), BM_PlainTwoSlides)
        ->Arg(i)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(kMinSeconds);
    benchmark::RegisterBenchmark((std::string("transition/") + kFamilies[i].name).c_str(), BM_Transition)
        ->Arg(i)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(kMinSeconds);
  }
  benchmark::RegisterBenchmark(("plain/" + std::to_string(families)).c_str(), BM_PlainTwoSlides)
      ->Arg(families)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->MinTime(kMinSeconds);
}

// The mean of the plain runs just before and just after a family's run.
TFigures PlainAround(int family) {
  const auto before = g_figures.find("plain " + std::to_string(family));
  const auto after = g_figures.find("plain " + std::to_string(family + 1));
  if (before == g_figures.end() || after == g_figures.end()) {
    return {};
  }
  return {(before->second.fps + after->second.fps) / 2,
          (before->second.cpuMsPerFrame + after->second.cpuMsPerFrame) / 2};
}

} // namespace

int main(int argc, char** argv) {
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n%-16s %10s %10s %7s %12s %12s\n", "family", "fps", "plain fps", "ratio", "CPU ms/frame",
              "plain CPU ms");
  for (int i = 0; i < static_cast<int>(std::size(kFamilies)); ++i) {
    const auto found = g_figures.find(kFamilies[i].name);
    const TFigures plain = PlainAround(i);
    if (found == g_figures.end() || plain.fps <= 0) {
      continue;
    }
    std::printf("%-16s %10.1f %10.1f %7.2f %12.1f %12.1f\n", kFamilies[i].name, found->second.fps, plain.fps,
                found->second.fps / plain.fps, found->second.cpuMsPerFrame, plain.cpuMsPerFrame);
  }
  Stage().drawer.reset();
  return 0;
}
