// Shadow figures: one drop shadow of a 1920 x 1080 picture, straight through
// the shadow producer at full size and through a shadow picture name (which
// reduces the picture to at most 700000 pixels first).
#include "VmoLib2/qxShadow.h"
#include "VmoLib2/qxShadowNames.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A picture with an irregular alpha outline: an opaque ellipse whose edge
// fades over a few pixels, on a transparent ground.
qx::TBitmap MakeCutOut() {
  qx::TBitmap bitmap(kWidth, kHeight, qx::TPixelFormat::Bgra32);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bitmap.Scanline(y);
    const double dy = (y - kHeight / 2.0) / (kHeight * 0.45);
    for (int x = 0; x < kWidth; ++x, row += 4) {
      const double dx = (x - kWidth / 2.0) / (kWidth * 0.45);
      const double edge = (1 - std::sqrt(dx * dx + dy * dy)) * 200;
      row[0] = static_cast<uint8_t>(x);
      row[1] = static_cast<uint8_t>(y);
      row[2] = 128;
      row[3] = static_cast<uint8_t>(std::clamp(edge * 255, 0.0, 255.0));
    }
  }
  return bitmap;
}

// state.range(0): shadow size; state.range(1): contour preset (-1 = none).
void BM_ShadowProducer(benchmark::State& state) {
  const qx::TBitmap picture = MakeCutOut();
  qx::TShadowProducer producer;
  producer.Shadow().SetSize(static_cast<double>(state.range(0)));
  producer.Shadow().Curve().SetPresetIndex(static_cast<int>(state.range(1)));
  producer.SetColor(qx::TBgra{0, 0, 0, 180});
  for (auto _ : state) {
    const qx::TBitmap shadow = producer.Produce(picture);
    benchmark::DoNotOptimize(shadow.Bits());
  }
}

void BM_NamedShadow(benchmark::State& state) {
  auto store = qx::MakeRef<qx::TWrapperBitmapStore>("cutout.png", std::make_unique<qx::TBitmap>(MakeCutOut()));
  qx::TShadowNameParams params;
  params.Width = kWidth;
  params.Height = kHeight;
  params.BorderX = params.BorderY = 40;
  params.BaseAlpha = 0;
  params.BlurSize = static_cast<double>(state.range(0));
  params.ContourIndex = 5;
  params.Opacity = 75;
  params.Source = "cutout.png";
  const std::string name = qx::ComposeShadowName(params);
  const qx::TShadowSourceGetter getter = [&store](const std::string&) { return store; };
  for (auto _ : state) {
    const qx::TBitmap shadow = qx::ProduceShadowPicture(name, getter);
    benchmark::DoNotOptimize(shadow.Bits());
  }
}

} // namespace

BENCHMARK(BM_ShadowProducer)
    ->Args({0, -1})
    ->Args({10, -1})
    ->Args({10, 5})
    ->Args({40, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NamedShadow)->Arg(10)->Arg(40)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
