// Render throughput of the demo show at 1920 x 1080: every frame of the
// show at 25 frames per second drawn headless through the slide loader, the
// draw list and the drawer, and read back (PNG writing excluded; a second
// figure includes it for the first 50 frames). Run from the build folder,
// or pass the show: bench_render [SHOW]
//
// Then the player itself, both ways, on the first 10 s of the show at 25
// frames per second and 1920 x 1080, PNG files written: "-render" plays the
// show through the main window, the engine, the music player and the
// virtual sound device on the virtual clock (and writes audio.wav too);
// the baseline "-render-at" draws the same show times straight through the
// slide loader and the drawer, as the player did before it had an engine.
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
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace qx;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFps = 25;
constexpr int kPngFrames = 50;
constexpr int kPlayerSpanMs = 10000;

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

int64_t PngCount(const std::filesystem::path& folder) {
  int64_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    count += entry.path().extension() == ".png" ? 1 : 0;
  return count;
}

// Runs the player once into a fresh folder; frames written per second of
// wall time, or nothing when it failed.
std::optional<double> PlayerThroughput(const char* label, const std::string& showPath,
                                       std::vector<std::string> args) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("bench_render_" + std::to_string(CurrentProcessId()));
  std::filesystem::remove_all(folder);
  std::vector<std::string> all = {"-exename", showPath};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back(folder.string());
  all.insert(all.end(), {"-size", std::to_string(kWidth) + "x" + std::to_string(kHeight)});
  const auto start = std::chrono::steady_clock::now();
  const TProgramResult result = RunProgram(VMOVIEWER_PATH, all);
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  const int64_t frames = result.ExitCode == 0 ? PngCount(folder) : 0;
  std::filesystem::remove_all(folder);
  if (frames == 0) {
    std::fprintf(stderr, "%s failed (%d): %s%s\n", label, result.ExitCode, result.Err.c_str(),
                 result.StartError.c_str());
    return std::nullopt;
  }
  std::printf("%-44s %lld frames in %.2f s: %.1f frames/s (%.1f %% of one processor)\n", label,
              static_cast<long long>(frames), seconds, frames / seconds, 100 * result.CpuSeconds / seconds);
  return frames / seconds;
}

int RunPlayer(const std::string& showPath) {
  std::string times;
  for (int64_t k = 0; FrameTime(0, kFps, k) < kPlayerSpanMs; ++k)
    times += (k ? "," : "") + std::to_string(static_cast<int64_t>(FrameTime(0, kFps, k)));
  std::printf("\nthe player, first %d ms of the show at %d fps, PNG files written:\n", kPlayerSpanMs, kFps);
  const std::optional<double> direct = PlayerThroughput("baseline: -render-at (slide loader, drawer)", showPath,
                                                        {"-render-at", times});
  const std::optional<double> engine =
      PlayerThroughput("-render (main window, engine, music, sound)", showPath,
                       {"-fps", std::to_string(kFps), "-to", std::to_string(kPlayerSpanMs), "-render"});
  if (!direct || !engine)
    return 1;
  std::printf("through the engine: %.2f x the baseline's throughput\n", *engine / *direct);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  try {
    const std::string show = argc > 1 ? argv[1] : VMO_DEMO_SHOW;
    const int drawn = Run(show);
    return drawn != 0 ? drawn : RunPlayer(show);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_render: %s\n", error.what());
    return 1;
  }
}
