// Decoding an animated GIF of 100 frames of 480 x 270 into its strip: full
// frames, and the small changed rectangles that optimising writers produce.
#include "QxLib/Graphics/qxGifLoader.h"
#include "Tests/QxLib/Graphics/GifBuilder.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 270;
constexpr int kFrames = 100;

qx::test::TGifBuilder MakeAnimation(bool fullFrames) {
  qx::test::TGifBuilder gif;
  gif.Width = kWidth;
  gif.Height = kHeight;
  gif.LoopCount = 0;
  for (uint32_t i = 0; i < 256; ++i)
    gif.GlobalPalette.push_back((i * 0x9E3779u) & 0xFFFFFF);
  std::mt19937 random(11);
  for (int f = 0; f < kFrames; ++f) {
    qx::test::TGifFrameData frame;
    frame.Width = fullFrames ? kWidth : 120;
    frame.Height = fullFrames ? kHeight : 90;
    frame.Left = fullFrames ? 0 : (f * 17) % (kWidth - frame.Width);
    frame.Top = fullFrames ? 0 : (f * 11) % (kHeight - frame.Height);
    frame.DelayField = 4;
    frame.Disposal = 1;
    frame.Transparent = fullFrames ? -1 : 255;
    frame.Indexes.resize(static_cast<size_t>(frame.Width) * frame.Height);
    // Bands that move from frame to frame, with a little noise, so that the
    // code table fills and resets as in real pictures.
    for (int y = 0; y < frame.Height; ++y)
      for (int x = 0; x < frame.Width; ++x)
        frame.Indexes[static_cast<size_t>(y) * frame.Width + x] =
            static_cast<uint8_t>(((x + f * 4) / 6 + y / 5 + (random() % 16 == 0 ? random() % 7 : 0)) % 255);
    gif.Frames.push_back(std::move(frame));
  }
  return gif;
}

void DecodeAnimation(benchmark::State& state) {
  const std::string bytes = MakeAnimation(state.range(0) != 0).Build();
  for (auto _ : state) {
    qx::TGifPicture picture;
    if (!qx::DecodeGif(bytes, true, picture) || picture.FrameCount != kFrames)
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(picture.Bitmap->Bits());
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
  state.counters["frames/s"] = benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["Mpixel/s"] =
      benchmark::Counter(double(kFrames) * kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(DecodeAnimation)->ArgName("full_frames")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
