// The cost of the layer above the slides per frame at 1920 x 1080: the demo
// show's first slide drawn headless and read back, without the layer (the
// baseline), with the layer and its video-style bar shown (the logo, the bar
// at full opacity), and with the bar's time moving every frame (its picture
// handed to the drawer again each frame, as while the show plays). Run from
// the build folder, or pass the show: bench_overlay [SHOW] [benchmark flags]
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoClasses/VmoThirdSlide3.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoDrawController.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoRootItem.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace qx;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// The show time drawn: the first slide, its pan and zoom under way.
constexpr double kTime = 2000;

std::string g_showPath = VMO_DEMO_SHOW;

// The first slide of the show on a headless 1920 x 1080 device, and the layer
// with the bar shown from the start.
class TOverlayScene {
public:
  TOverlayScene() {
    std::string message;
    m_show = OpenShowToRender(g_showPath, false, message);
    if (!m_show)
      throw std::runtime_error(message);
    std::string error;
    m_engine = CreateDrawingEngine("", nullptr, error);
    if (!m_engine)
      throw std::runtime_error(error);
    m_device = std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight});
    m_controller =
        std::make_unique<TVmoDrawController>(*m_device, [this] { return std::make_unique<T3DDrawer>(*m_engine); });
    m_controller->InitDrawer();

    TVmoSource& source = m_show->Source();
    m_producer = std::make_unique<TSlideProducer>(source);
    m_producer->SetGeometry({0, 0, kWidth, kHeight}, TSlideFitMode::FitInside);
    m_producer->SetTiming(MakeRef<TTiming>());
    m_slide = m_producer->MakeSlide(0, 0);
    if (!m_slide)
      throw std::runtime_error("the first slide could not be made");
    source.GetSlideTimes(0, m_entry.Times);
    m_entry.Slide = m_slide.get();
    const TPixelRect slide = m_producer->SlideRect();
    m_controller->Drawer()->SetSlideSize(slide.Width(), slide.Height());
    PreloadSlide(*m_controller->Drawer(), *m_slide, kTime);

    // The bar is shown from the start rather than after a mouse move.
    source.MainSection().WriteBool("opt_nav_hideonstartup", false);
    TThirdSlideSettings settings;
    settings.OutputWidth = kWidth;
    settings.OutputHeight = kHeight;
    settings.EngineSlideWidth = slide.Width();
    settings.DurationMs = static_cast<int64_t>(source.TotalDuration());
    m_overlay = std::make_unique<TThirdSlide>(source, settings, TThirdSlideCallbacks{});
    if (!m_overlay->Panel())
      throw std::runtime_error("the show has no navigation bar");
    m_overlay->Step(static_cast<int64_t>(kTime), 0);
  }

  // Draws the slide (and the layer) at `time` and reads the frame back, so
  // that the device's work is part of the figure.
  void Frame(bool overlay, double time) {
    if (overlay)
      m_overlay->Step(static_cast<int64_t>(time), 0);
    m_root.BuildDrawList({&m_entry, 1}, overlay ? m_overlay.get() : nullptr, kTime);
    m_root.SetForceDraw(true);
    m_controller->Drawer()->SetNoPresent(true);
    m_controller->Draw(m_root);
    if (!m_controller->Drawer()->ReadBack(m_frame))
      throw std::runtime_error("the frame could not be read back");
  }

  ~TOverlayScene() { m_root.BuildDrawList({}, nullptr, 0); }

private:
  std::unique_ptr<TVmoShowLocator> m_show;
  std::unique_ptr<T3DEngine> m_engine;
  std::unique_ptr<TDrawDevice> m_device;
  std::unique_ptr<TVmoDrawController> m_controller;
  std::unique_ptr<TSlideProducer> m_producer;
  std::unique_ptr<TVmoSlide> m_slide;
  TSlideEntry m_entry;
  std::unique_ptr<TThirdSlide> m_overlay;
  TRootItem m_root;
  TBitmap m_frame;
};

TOverlayScene& Scene() {
  static TOverlayScene scene;
  return scene;
}

void BM_FrameWithoutOverlay(benchmark::State& state) {
  for (auto _ : state)
    Scene().Frame(false, kTime);
}
BENCHMARK(BM_FrameWithoutOverlay)->Unit(benchmark::kMillisecond);

void BM_FrameWithOverlay(benchmark::State& state) {
  for (auto _ : state)
    Scene().Frame(true, kTime);
}
BENCHMARK(BM_FrameWithOverlay)->Unit(benchmark::kMillisecond);

void BM_FrameWithOverlayTimeMoving(benchmark::State& state) {
  // A second of show time per frame: the thumb moves and the time text
  // changes, so the bar's picture changes in every frame.
  double time = kTime;
  for (auto _ : state) {
    time += 1000;
    Scene().Frame(true, time);
  }
}
BENCHMARK(BM_FrameWithOverlayTimeMoving)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] != '-') {
    g_showPath = argv[1];
    --argc;
    ++argv;
  }
  benchmark::Initialize(&argc, argv);
  try {
    Scene();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_overlay: %s\n", error.what());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
