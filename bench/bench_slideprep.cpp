// Preparing one 24-megapixel JPEG slide for a 1920 x 1080 output, as the
// slide loader and the drawer do it: open the picture, choose the mip level
// from the size the picture is shown at, decode that level in the drawer's
// 32-bit format (the JPEG decoder scales in the DCT), and upload its tiles
// to a headless GL ES screen. The pieces are timed on their own too. The
// same run times djpeg decoding the same file at the same scale, so the
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
#include <memory>
#include <optional>
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

// A headless GL ES screen with the drawer's texture pools, for the
// benchmarks that upload tiles.
struct TUploadScreen {
  std::unique_ptr<T3DEngine> Engine;
  std::optional<TDrawDevice> Device;
  std::optional<T3DScreen> Screen;
  std::optional<TTextureManager6> Manager;
  std::string Error;

  TUploadScreen() {
    Engine = CreateDrawingEngine("", nullptr, Error);
    if (!Engine)
      return;
    Device.emplace(T3DRect{0, 0, kOutputWidth, kOutputHeight});
    Screen.emplace(*Engine, nullptr, nullptr);
    Screen->AssignDevice(&*Device);
    if (!Screen->BeginScene()) {
      Error = "no headless GL ES 3 screen";
      return;
    }
    Manager.emplace(*Screen);
  }
  ~TUploadScreen() {
    if (Manager) {
      Manager.reset();
      Screen->EndScene(false);
    }
  }
};

// The level the drawer asks for, in the drawer's pixel format.
std::shared_ptr<const TBitmap> DecodeSlideLevel(TBitmapStore& store) {
  g_level = SlideMipLevel(store.Width(), store.Height());
  return store.GetMipLevel(g_level, TPixelFormat::Bgra32);
}

// As the drawer uploads a picture: tiles with their mip maps.
void UploadTiles(TTextureManager6& manager, const std::shared_ptr<const TBitmap>& level, bool spread) {
  TMultiTexture6 picture(manager);
  picture.SetSource(level, 1, 1, {0, 0, level->Width(), level->Height()});
  picture.SetMipMaps(true);
  picture.Preload(spread);
}

// One preparation: open, decode the level, upload its tiles.
bool PrepareOnce(TTextureManager6& manager, bool spread) {
  std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
  if (!image)
    return false;
  const std::shared_ptr<const TBitmap> level = DecodeSlideLevel(image->Store());
  UploadTiles(manager, level, spread);
  benchmark::DoNotOptimize(level->Bits());
  return true;
}

// The whole preparation; `spread` paces the tile uploads 1 ms apart as the
// player drawing live does (the renderer and the export do not). One
// untimed run first fills the tile pools, as the first slides of a show do
// for the later ones.
void PrepareSlide(benchmark::State& state, bool spread) {
  TUploadScreen screen;
  if (!screen.Manager) {
    state.SkipWithError(screen.Error.c_str());
    return;
  }
  if (!PrepareOnce(*screen.Manager, spread)) {
    state.SkipWithError("the photo does not open");
    return;
  }
  for (auto _ : state)
    PrepareOnce(*screen.Manager, spread);
  state.counters["level"] = g_level;
}

void BM_PrepareJpegSlide(benchmark::State& state) { PrepareSlide(state, false); }
void BM_PrepareJpegSlideLivePaced(benchmark::State& state) { PrepareSlide(state, true); }

// Opening alone: the file read into memory, its header and EXIF data.
void BM_OpenPicture(benchmark::State& state) {
  for (auto _ : state) {
    std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
    if (!image) {
      state.SkipWithError("the photo does not open");
      break;
    }
    benchmark::DoNotOptimize(image->Store().Width());
  }
}

// Open and decode the chosen level.
void BM_DecodeChosenLevel(benchmark::State& state) {
  for (auto _ : state) {
    std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
    if (!image) {
      state.SkipWithError("the photo does not open");
      break;
    }
    benchmark::DoNotOptimize(DecodeSlideLevel(image->Store())->Bits());
  }
}

// The tiles alone, from a level decoded once, after one untimed upload.
void BM_UploadTiles(benchmark::State& state) {
  TUploadScreen screen;
  if (!screen.Manager) {
    state.SkipWithError(screen.Error.c_str());
    return;
  }
  std::optional<TImage> image = ImageLoaders().OpenFile(Photo().Path);
  if (!image) {
    state.SkipWithError("the photo does not open");
    return;
  }
  const std::shared_ptr<const TBitmap> level = DecodeSlideLevel(image->Store());
  UploadTiles(*screen.Manager, level, false);
  for (auto _ : state)
    UploadTiles(*screen.Manager, level, false);
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
BENCHMARK(BM_PrepareJpegSlideLivePaced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);
BENCHMARK(BM_OpenPicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_DecodeChosenLevel)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_UploadTiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);
BENCHMARK(BM_DjpegSameScale)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(8);

BENCHMARK_MAIN();
