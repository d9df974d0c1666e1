// Video benchmarks, each against a baseline measured in the same run:
// 1. decoding a 1080p H.264 clip through the video source (every frame, in
//    order, into YUV planes in memory) against the ffmpeg program decoding
//    the same file to its null output;
// 2. the cost per frame of drawing a playing 1080p clip on a 1920 x 1080
//    output (headless renderer, frames read back) against the same slide
//    without the clip.
// The clip is made with ffmpeg in a temporary folder. Run from the build
// folder: bench_video [CLIP]
#include "QxLib/qxProcess.h"
#include "QxLib/Graphics/Video/qxWinVideoSource.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxTempManager.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoFileSources.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace qx;
using TClock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 100;
constexpr int kRuns = 3;
constexpr int kFps = 25;

double Seconds(TClock::duration d) { return std::chrono::duration<double>(d).count(); }

// YUV planes in memory, as a drawer's image holds them.
class TPlanes final : public TYUVImage {
public:
  TPlanes(int32_t width, int32_t height) : TYUVImage(width, height) {
    for (int i = 0; i < 3; ++i)
      m_planes[i].resize(static_cast<size_t>(PlaneWidth(i)) * PlaneHeight(i));
  }
  TMode Mode() const override { return kThreePlanes; }
  TPlane LockPlane(int32_t plane) override {
    return {m_planes[plane].data(), PlaneWidth(plane), PlaneWidth(plane), PlaneHeight(plane)};
  }
  void UnlockPlane(int32_t) override {}
  bool NeedsRefill() const override { return false; }
  void RefillDone() override {}

private:
  int32_t PlaneWidth(int i) const { return i == 0 ? Width() : Width() / 2; }
  int32_t PlaneHeight(int i) const { return i == 0 ? Height() : Height() / 2; }
  std::vector<uint8_t> m_planes[3];
};

bool Ffmpeg(const std::string& args) {
  return std::system(("ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " >/dev/null 2>&1").c_str()) == 0;
}

void BenchDecoding(const std::string& clip) {
  double ours = 1e9;
  double oursCpu = 1e9;
  double theirs = 1e9;
  double theirsCpu = 1e9;
  int64_t frames = 0;
  for (int run = 0; run < kRuns; ++run) {
    const double cpu0 = ChildrenCpuSeconds();
    const auto start = TClock::now();
    Ffmpeg("-i '" + clip + "' -f null -");
    theirs = std::min(theirs, Seconds(TClock::now() - start));
    theirsCpu = std::min(theirsCpu, ChildrenCpuSeconds() - cpu0);

    TFileStream stream(clip, TFileMode::OpenRead);
    auto source = TWinVideoSource::Open(stream, 0, clip);
    if (!source)
      throw std::runtime_error("the video source cannot open " + clip);
    frames = source->Params().FrameCount;
    TPlanes image(source->Params().Width, source->Params().Height);
    const double self0 = ProcessCpuSeconds();
    const auto decodeStart = TClock::now();
    for (int64_t index = 0; index < frames; ++index)
      source->GetFrame(index, image);
    ours = std::min(ours, Seconds(TClock::now() - decodeStart));
    oursCpu = std::min(oursCpu, ProcessCpuSeconds() - self0);
  }
  std::printf("1080p H.264 decoding, %lld frames (best of %d):\n", static_cast<long long>(frames), kRuns);
  std::printf("  video source:      %7.1f frames/s  (%.2f ms CPU a frame)\n", frames / ours, 1000 * oursCpu / frames);
  std::printf("  ffmpeg -f null:    %7.1f frames/s  (%.2f ms CPU a frame)\n", frames / theirs,
              1000 * theirsCpu / frames);
  std::printf("  ratio:             %7.2f\n", theirs / ours);
}

// Milliseconds a frame of rendering a one-slide show holding `object` (an
// object block, or nothing) over the whole output.
double RenderMs(T3DEngine& engine, const std::string& folder, const std::string& name, const std::string& object) {
  const std::string project = folder + name + ".vmo";
  std::ofstream(project) << "[Main]\r\nopt_slidescount=1\r\nopt_synchpos1=10000\r\nopt_repeat=stop\r\n"
                            "opt_scr_width=1920\r\nopt_scr_height=1080\r\nopt_fx_enable=0\r\nopt_bstyle=1\r\n"
                            "opt_bname=0\r\n[Slide1]\r\n"
                         << object;
  std::string message;
  auto show = OpenShowToRender(project, false, message);
  if (!show)
    throw std::runtime_error(message);
  TDrawDevice device({0, 0, kWidth, kHeight});
  TVmoDrawController controller(device, [&engine] { return std::make_unique<T3DDrawer>(engine); });
  TVmoRenderer renderer(show->Source(), controller, false);
  TBitmap frame;
  renderer.Render(0, frame);
  const auto start = TClock::now();
  for (int k = 1; k < kFrames; ++k)
    renderer.Render(FrameTime(0, kFps, k), frame);
  return 1000 * Seconds(TClock::now() - start) / (kFrames - 1);
}

int Run(int argc, char** argv) {
  InitCommandLine(argc, argv);
  const std::string folder = NewTempFolder(true);
  std::string clip = argc > 1 ? argv[1] : folder + "clip1080.mp4";
  if (argc <= 1 && !Ffmpeg("-f lavfi -i testsrc2=s=1920x1080:r=25:d=4 -c:v libx264 -preset veryfast -crf 23 "
                           "-pix_fmt yuv420p '" +
                           clip + "'")) {
    std::fprintf(stderr, "bench_video: ffmpeg could not make the clip\n");
    return 1;
  }
  TFileAccessor none(MakeRef<TMappedFileSource>());
  if (LocateVideoLibrary(none, ProgramPath()).empty()) {
    std::fprintf(stderr, "bench_video: no video-decoding library beside the program\n");
    return 1;
  }
  BenchDecoding(clip);

  const std::string still = folder + "still.bmp";
  Ffmpeg("-i '" + clip + "' -frames:v 1 '" + still + "'");
  // Frames are drawn off-screen, on the GL ES engine.
  std::string engineError;
  const std::unique_ptr<T3DEngine> engine = CreateDrawingEngine("gl", nullptr, engineError);
  if (!engine) {
    std::fprintf(stderr, "bench_video: %s\n", engineError.c_str());
    return 1;
  }
  const double empty = RenderMs(*engine, folder, "empty", "");
  const double picture =
      RenderMs(*engine, folder, "still", "object p:image\r\nImageName=" + still + "\r\nFitMode=Cover\r\nend\r\n");
  const double playing = RenderMs(
      *engine, folder, "clip", "object v:video\r\nFileName=" + clip + "\r\nLoadFromDisk=1\r\nFitMode=Cover\r\nend\r\n");
  std::printf("drawing at %dx%d, %d frames at %d fps of show time:\n", kWidth, kHeight, kFrames - 1, kFps);
  std::printf("  slide with a playing 1080p clip:    %6.2f ms a frame\n", playing);
  std::printf("  the slide with a still 1080p frame: %6.2f ms a frame\n", picture);
  std::printf("  the slide without either:           %6.2f ms a frame\n", empty);
  std::printf("  cost of the clip over the empty slide: %6.2f ms a frame\n", playing - empty);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_video: %s\n", error.what());
    return 1;
  }
}
