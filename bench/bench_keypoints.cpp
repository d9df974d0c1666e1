// Cost of one frame of key point evaluation for a busy show: 10,000 objects
// with 10 key points each, a third smoothed, a third depth-corrected. The
// frame must stay within a tenth of a 60 Hz frame (1667 us) on one core.
#include "VmoLib2/VmoClasses/qxKeyPoints.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace qx;

constexpr int kObjectCount = 10000;
constexpr int kKeyPointsPerObject = 10;
constexpr double kSlideLength = 20000;
constexpr double kFrameTime = 1000.0 / 60;
constexpr double kBudgetMicroseconds = 1e6 / 60 / 10;

std::vector<std::unique_ptr<TKeyPoints>> MakeObjects(const TKeyPointAnchors& anchors) {
  std::vector<std::unique_ptr<TKeyPoints>> objects;
  objects.reserve(kObjectCount);
  for (int i = 0; i < kObjectCount; ++i) {
    auto list = std::make_unique<TKeyPoints>(anchors);
    for (int k = 0; k < kKeyPointsPerObject; ++k) {
      const auto origin = k == kKeyPointsPerObject - 1 ? TKeyOrigin::SlideEnd : TKeyOrigin::SlideBegin;
      const double time = origin == TKeyOrigin::SlideEnd ? 0 : k * kSlideLength / kKeyPointsPerObject;
      TKeyPoint& point = list->Add(origin, time);
      point.SetScaleX(100 + 15 * k + i % 7);
      point.SetScaleY(100 + 10 * k);
      point.SetPosition({static_cast<float>(k * 3 - i % 11), static_cast<float>(k)});
      point.SetAngle(0.1f * k);
      point.SetOpacity(k % 2 ? 100 : 60);
    }
    switch (i % 3) {
    case 0:
      for (const TSpeedKind kind : {TSpeedKind::Pan, TSpeedKind::Zoom, TSpeedKind::Rotate})
        list->Store(kind).SetIntervals({{0, kKeyPointsPerObject - 1, 0.25L, 0.6L}});
      break;
    case 1: list->SetPerspectiveCorrection(true); break;
    default: break;
    }
    objects.push_back(std::move(list));
  }
  return objects;
}

void BM_EvaluateFrame(benchmark::State& state) {
  const TFixedAnchors anchors({0, 1000, kSlideLength, kSlideLength + 1000});
  auto objects = MakeObjects(anchors);
  double time = 0;
  float sink = 0;
  for (auto _ : state) {
    for (auto& object : objects) {
      object->Evaluate(time);
      sink += object->Current().ScaleX;
    }
    time += kFrameTime;
    if (time > kSlideLength + 1000)
      time = 0;
  }
  benchmark::DoNotOptimize(sink);
  state.counters["budget_us"] = kBudgetMicroseconds;
  state.counters["objects"] = kObjectCount;
}

BENCHMARK(BM_EvaluateFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
