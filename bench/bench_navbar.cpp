// Navigation panel figures at 1920 x 1080: one frame of the video-style bar
// while the show plays (the thumb moving, the time text changing every
// second), the worst case of a text change on every frame, against the
// baseline of a frame where nothing changes; and building the panel (the
// definition read, the pictures scaled and the time glyphs rendered).
#include "VmoLib2/NavPanel/qxNavPanel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace qx;

const char* const kDefinition = R"([Common]
VideoStyle=1
DefaultScale=5
BgLeft=4
BgRight=4
flnm_back=back.bmp
[Pixel positions]
BarSize=640,24
TrackHeight=6
BtnSize=16,16
DigitSize=6,10
VolumeControlLength=60
LeftSpace=8
ButtonsTrackSpace=8
TrackDigitsSpace=8
DigitsSoundBtnSpace=8
SoundBtnTrackSpace=6
RightSpace=12
[Trackbar]
TrackLineLeft=3
TrackLineRight=3
flnm_Line=line.bmp
flnm_Polzun=thumb.bmp
[Buttons]
flnm_Normal=strip.bmp
flnm_Hover=strip.bmp
flnm_Click=strip.bmp
)";

// A picture with soft alpha, so every piece is blended, not copied.
std::unique_ptr<TBitmap> Picture(int width, int height) {
  auto picture = std::make_unique<TBitmap>(width, height, TPixelFormat::Bgra32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture->SetPixel(x, y, TBgra{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11), 120,
                                    static_cast<uint8_t>(128 + 127 * std::sin(x * 0.7 + y))});
  return picture;
}

// One minute of show: the thumb moves about one pixel a frame.
constexpr int64_t kDurationMs = 60000;
constexpr int64_t kFrameMs = 40;

std::unique_ptr<TNavPanel> MakePanel() {
  static const std::map<std::string, std::pair<int, int>> sizes = {
      {"back.bmp", {32, 24}}, {"line.bmp", {16, 6}}, {"thumb.bmp", {8, 12}}, {"strip.bmp", {96, 16}}};
  TNavPanelHooks hooks;
  hooks.LoadPicture = [](const std::string& name) -> std::unique_ptr<TBitmap> {
    const auto found = sizes.find(name);
    return found == sizes.end() ? nullptr : Picture(found->second.first, found->second.second);
  };
  hooks.LoadText = [](const std::string&) -> std::optional<std::string> { return kDefinition; };
  hooks.IsPlaying = [] { return true; };
  hooks.PictureChanged = [](const T3DRect& changed) { benchmark::DoNotOptimize(changed); };
  TNavPanelSettings settings;
  settings.DefinitionFile = "navbar.ini";
  settings.Buttons = {"backward", "forward"};
  settings.DurationMs = kDurationMs;
  settings.OutputRect = T3DRect{0, 0, 1920, 1080};
  return std::make_unique<TNavPanel>(settings, std::move(hooks));
}

// state.range(0): show time added per frame (0: nothing changes).
void BM_VideoBarFrame(benchmark::State& state) {
  const auto panel = MakePanel();
  const int64_t step = state.range(0);
  int64_t time = 0;
  for (auto _ : state) {
    time = (time + step) % kDurationMs;
    panel->SetShowTime(time);
    benchmark::DoNotOptimize(panel->Picture().Bits());
  }
}
BENCHMARK(BM_VideoBarFrame)->Arg(0)->ArgName("idle");
BENCHMARK(BM_VideoBarFrame)->Arg(kFrameMs)->ArgName("playing_ms_per_frame");
BENCHMARK(BM_VideoBarFrame)->Arg(1000)->ArgName("new_second_every_frame");

void BM_VideoBarBuild(benchmark::State& state) {
  for (auto _ : state) {
    const auto panel = MakePanel();
    benchmark::DoNotOptimize(panel->Picture().Bits());
  }
}
BENCHMARK(BM_VideoBarBuild)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
