// Picture decoding figures: JPEG decoding at each DCT scale against the
// djpeg program of libjpeg-turbo on the same file, and the mip chain of a
// 24-megapixel picture.
#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/Graphics/qxJpegLoader.h"
#include "QxLib/Graphics/qxMipFilter.h"
#include "QxLib/qxProcess.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A photo-like picture: smooth colour gradients with fine noise.
qx::TBitmap MakePhoto() {
  qx::TBitmap bitmap(kWidth, kHeight, qx::TPixelFormat::Bgr24);
  std::mt19937 random(42);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < kWidth; ++x, row += 3) {
      const int noise = static_cast<int>(random() % 24) - 12;
      row[0] = static_cast<uint8_t>(std::clamp(x * 255 / kWidth + noise, 0, 255));
      row[1] = static_cast<uint8_t>(std::clamp(y * 255 / kHeight + noise, 0, 255));
      row[2] = static_cast<uint8_t>(std::clamp(((x + y) / 40) % 256 + noise, 0, 255));
    }
  }
  return bitmap;
}

std::string EncodeJpeg(const qx::TBitmap& bitmap) {
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(bitmap.Width());
  info.image_height = static_cast<JDIMENSION>(bitmap.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bitmap.Scanline(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string result(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return result;
}

// The test photo, made once per run and written to a file for djpeg.
struct TPhoto {
  std::string Jpeg;
  std::string Path;

  TPhoto() {
    Jpeg = EncodeJpeg(MakePhoto());
    Path = "/tmp/bench_pictures_photo_" + std::to_string(qx::CurrentProcessId()) + ".jpg";
    std::ofstream(Path, std::ios::binary).write(Jpeg.data(), static_cast<std::streamsize>(Jpeg.size()));
  }
  ~TPhoto() { std::remove(Path.c_str()); }
};

const TPhoto& Photo() {
  static const TPhoto photo;
  return photo;
}

void BM_JpegDecode(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  const std::string& jpeg = Photo().Jpeg;
  for (auto _ : state) {
    qx::TBitmap bitmap = qx::DecodeJpeg(jpeg, level);
    benchmark::DoNotOptimize(bitmap.Bits());
  }
  state.counters["MPix"] = double(kWidth) * kHeight / 1e6;
  state.counters["bytes"] = static_cast<double>(jpeg.size());
}

// The same decode by djpeg in a child process, output to /dev/null. The
// figure is the child's CPU time (user + system), compared with the CPU
// column of BM_JpegDecode, so that other load on the machine does not
// distort the comparison; the process start is part of it.
void BM_Djpeg(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  const std::string scale = "1/" + std::to_string(1 << level);
  std::string path = Photo().Path;
  for (auto _ : state) {
    const qx::TProgramResult run = qx::RunProgram("djpeg", {"-scale", scale, "-outfile", "/dev/null", path});
    if (!run.StartError.empty()) {
      state.SkipWithError("djpeg not found (package libjpeg-turbo-progs)");
      return;
    }
    if (run.ExitCode != 0) {
      state.SkipWithError("djpeg failed");
      return;
    }
    state.SetIterationTime(run.CpuSeconds);
  }
}

// Halving a 6000 x 4000 picture through the store down to 1 x 1.
void BM_MipChain(benchmark::State& state) {
  const qx::TBitmap photo = MakePhoto();
  for (auto _ : state) {
    state.PauseTiming();
    auto store = qx::MakeRef<qx::TWrapperBitmapStore>("photo", std::make_unique<qx::TBitmap>(photo.Clone()));
    store->GetMipLevel(0);
    state.ResumeTiming();
    int level = 1;
    while (store->LevelWidth(level - 1) > 1 || store->LevelHeight(level - 1) > 1)
      benchmark::DoNotOptimize(store->GetMipLevel(level++).get());
  }
}

} // namespace

BENCHMARK(BM_JpegDecode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Djpeg)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MipChain)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
