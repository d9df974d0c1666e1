// Preparing one 24-megapixel JPEG slide for a 1920 x 1080 output, as the
// slide loader and the drawer do it: open the picture, choose the mip level
// from the size the picture is shown at, decode that level (the JPEG decoder
// scales in the DCT), and upload its tiles to a headless GL ES screen. The
// same run times djpeg decoding the same file at the same scale, so the two
// figures come from the same machine state.
#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/Graphics/qxImage.h"
#include "QxLib/qxProcess.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qxMultiTexture6.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "bench/qxBenchPhoto.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

using namespace qx;

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
constexpr int kOutputWidth = 1920;
constexpr int kOutputHeight = 1080;

struct TPhotoFile {
  std::string Path;
  TPhotoFile() : Path("/tmp/bench_slideprep_" + std::to_string(CurrentProcessId()) + ".jpg") {
    const std::string jpeg = bench::EncodePhoto(kPhotoWidth, kPhotoHeight, 90, 7);
    std::ofstream(Path, std::ios::binary).write(jpeg.data(), static_cast<std::streamsize>(jpeg.size()));
  }
  ~TPhotoFile() { std::remove(Path.c_str()); }
};

const TPhotoFile& Photo() {
  static const TPhotoFile photo;
  return photo;
}

// The level a full-slide picture gets: fitted into the output, wanted at
// the host's mip-level scale.
int SlideMipLevel(int width, int height) {
  const double fit = std::min(static_cast<double>(kOutputWidth) / width, static_cast<double>(kOutputHeight) / height);
  return MipLevelForSize(width, height, WantedSide(width * fit, TVmoObjectHost::kMipLevelScale),
                         WantedSide(height * fit, TVmoObjectHost::kMipLevelScale));
}

int g_level = -1;

void BM_PrepareJpegSlide(benchmark::State& state) {
  std::string error;
  const std::unique_ptr<T3DEngine> engine = CreateDrawingEngine("", nullptr, error);
  if (!engine) {
    state.SkipWithError(error.c_str());
    return;
  }
  TDrawDevice device({0, 0, kOutputWidth, kOutputHeight});
  T3DScreen screen(*engine, nullptr, nullptr);
  screen.AssignDevice(&device);
  if (!screen.BeginScene()) {
    state.SkipWithError("no headless GL ES 3 screen");
    return;
  }
  TTextureManager6 manager(screen);
  for (auto _ : state) {
    std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
    if (!image) {
      state.SkipWithError("the photo does not open");
      break;
    }
    TBitmapStore& store = image->Store();
    g_level = SlideMipLevel(store.Width(), store.Height());
    std::shared_ptr<const TBitmap> level = store.GetMipLevel(g_level);
    TMultiTexture6 picture(manager);
    picture.SetSource(level, 1, 1, {0, 0, level->Width(), level->Height()});
    // As the drawer uploads a picture: tiles with their mip maps.
    picture.SetMipMaps(true);
    picture.Preload();
    benchmark::DoNotOptimize(level->Bits());
  }
  screen.EndScene(false);
  state.counters["level"] = g_level;
}

// The decoding part alone: open and decode the chosen level.
void BM_DecodeChosenLevel(benchmark::State& state) {
  for (auto _ : state) {
    std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
    if (!image) {
      state.SkipWithError("the photo does not open");
      break;
    }
    TBitmapStore& store = image->Store();
    std::shared_ptr<const TBitmap> level = store.GetMipLevel(SlideMipLevel(store.Width(), store.Height()));
    benchmark::DoNotOptimize(level->Bits());
  }
}

// djpeg on the same file at the scale of the chosen level, output thrown
// away; wall time of the child process, start included.
void BM_DjpegSameScale(benchmark::State& state) {
  if (g_level < 0) {
    std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
    g_level = image ? SlideMipLevel(image->Store().Width(), image->Store().Height()) : 0;
  }
  const std::string scale = "1/" + std::to_string(1 << std::min(g_level, 3));
  const std::string path = Photo().Path;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const TProgramResult run = RunProgram("djpeg", {"-scale", scale, "-outfile", "/dev/null", path});
    if (!run.StartError.empty()) {
      state.SkipWithError("djpeg not found (package libjpeg-turbo-progs)");
      return;
    }
    if (run.ExitCode != 0) {
      state.SkipWithError("djpeg failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetLabel("scale " + scale);
}

} // namespace

BENCHMARK(BM_PrepareJpegSlide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_DecodeChosenLevel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_DjpegSameScale)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

BENCHMARK_MAIN();
