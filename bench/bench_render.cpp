// Render throughput of the demo show at 1920 x 1080: every frame of the
// show at 25 frames per second drawn headless through the slide loader, the
// draw list and the drawer, and read back (PNG writing excluded; a second
// figure includes it for the first 50 frames). Run from the build folder,
// or pass the show: bench_render [SHOW]
#include "QxLib/Graphics/qxPngWriter.h"
#include "QxLib/qxProcess.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

namespace {

using namespace qx;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFps = 25;
constexpr int kPngFrames = 50;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

int Run(const std::string& showPath) {
  std::string message;
  auto show = OpenShowToRender(showPath, false, message);
  if (!show) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  TVmoSource& source = show->Source();
  std::string error;
  const std::unique_ptr<T3DEngine> engine = CreateDrawingEngine("", nullptr, error);
  if (!engine) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  TDrawDevice device({0, 0, kWidth, kHeight});
  TVmoDrawController controller(device, [&engine] { return std::make_unique<T3DDrawer>(*engine); });
  TVmoRenderer renderer(source, controller, false);

  const int64_t count = FrameCount(0, static_cast<int32_t>(DefaultRenderEnd(source)), kFps);
  TBitmap frame;
  renderer.Render(0, frame);
  const auto start = std::chrono::steady_clock::now();
  for (int64_t k = 0; k < count; ++k)
    renderer.Render(FrameTime(0, kFps, k), frame);
  const double drawSeconds = Seconds(std::chrono::steady_clock::now() - start);

  const std::string png = "/tmp/bench_render_" + std::to_string(CurrentProcessId()) + ".png";
  const auto pngStart = std::chrono::steady_clock::now();
  for (int64_t k = 0; k < kPngFrames; ++k) {
    renderer.Render(FrameTime(0, kFps, k), frame);
    WritePngFile(frame, png);
  }
  const double pngSeconds = Seconds(std::chrono::steady_clock::now() - pngStart);
  std::remove(png.c_str());

  std::printf("demo show %dx%d, %lld frames at %d fps of show time\n", kWidth, kHeight, static_cast<long long>(count),
              kFps);
  std::printf("render throughput: %.1f frames/s (%.1f ms a frame, %.2f s of it waiting for slides)\n",
              count / drawSeconds, 1000 * drawSeconds / count, renderer.TimeWaiting().count());
  std::printf("with PNG writing:  %.1f frames/s\n", kPngFrames / pngSeconds);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc > 1 ? argv[1] : VMO_DEMO_SHOW);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_render: %s\n", error.what());
    return 1;
  }
}
