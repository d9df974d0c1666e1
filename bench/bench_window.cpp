// Playing the demo show in a real window: the player's main window, engine
// and music on the SDL window system and sound device, for 20 seconds, then
// paused for a few seconds. Prints
//   - the times between frames presented (median, 99th percentile, frames
//     later than two refresh periods of the display),
//   - the process's share of one processor while paused, against its share
//     while playing,
//   - how far the show clock drifts from the sound device: the engine's
//     position against the milliseconds a silent buffer of the same device
//     has played, over the playing span.
// Without a display it runs itself again under Xvfb (xvfb-run); the sound
// goes to SDL's dummy driver.
// Usage: bench_window [SHOW]
#include "QxLib/Application2/qxApplication.h"
#include "QxLib/Music/Backends/qxSoundDevices.h"
#include "QxLib/Music/qxWaveOut.h"
#include "QxLib/qxBackendChoice.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxProcess.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/Backends/qxWindowSystems.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "Vmo/VmoViewer/MainUnit.h"
#include "Vmo/VmoViewer/qxVmoWindowHost.h"
#include "bench/qxBenchPlayer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace qx;
using TClock = std::chrono::steady_clock;

constexpr auto kPlayTime = std::chrono::seconds(20);
constexpr auto kPauseTime = std::chrono::seconds(4);
// The first second of play (the window appearing, the first slide
// loading) is left out of the frame times and the drift.
constexpr auto kWarmUp = std::chrono::seconds(1);
// The fade of the paused music is left out of the paused CPU share.
constexpr auto kPauseSettle = std::chrono::milliseconds(500);
constexpr auto kSampleInterval = std::chrono::milliseconds(100);
constexpr int32_t kSpaceKey = 0x20;
constexpr const char* kChildFlag = "--in-display";

double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Notes when each frame has been drawn and presented, on the engine's
// thread; the engine draws as it would without it.
class TPresentRecorder final : public TVmoFramePacer {
public:
  bool MayDraw() override { return true; }
  void FrameDrawn(TDeviceDrawer&) override {
    const std::lock_guard lock(m_lock);
    m_times.push_back(TClock::now());
  }
  std::vector<TClock::time_point> Times() {
    const std::lock_guard lock(m_lock);
    return m_times;
  }

private:
  std::mutex m_lock;
  std::vector<TClock::time_point> m_times;
};

// A buffer of silence on the sound device: what it has played is the
// device's count of played samples.
class TSilence final : public TWaveOutFiller {
public:
  void FirstFill(TWaveOutBuffer&, uint8_t* destination, int32_t count) override {
    std::memset(destination, 0, static_cast<size_t>(count));
  }
  void FadeQueued(TWaveOutBuffer&, uint8_t*, int32_t) override {}
  void Refill(TWaveOutBuffer&, uint8_t* destination, int32_t count) override {
    std::memset(destination, 0, static_cast<size_t>(count));
  }
};

struct TSample {
  TClock::time_point At;
  double DeviceMs = 0;
  double Position = 0;
  bool Running = false;
};

// A message from the timing thread: run `Work` on the main thread.
struct TCall final : TApplicationMessage {
  explicit TCall(std::function<void()> work) : Work(std::move(work)) {}
  std::function<void()> Work;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(std::ceil(p * values.size())) - 1);
  return values[index];
}

void ReportFrames(const std::vector<TClock::time_point>& presents, TClock::time_point from, TClock::time_point to,
                  int refreshRate) {
  std::vector<double> gaps;
  for (size_t i = 1; i < presents.size(); ++i)
    if (presents[i - 1] >= from && presents[i] <= to)
      gaps.push_back(Ms(presents[i] - presents[i - 1]));
  const double period = 1000.0 / (refreshRate > 0 ? refreshRate : 60);
  const auto late = std::count_if(gaps.begin(), gaps.end(), [period](double gap) { return gap > 2 * period; });
  std::printf("frames presented while playing: %zu in %.1f s (%.1f frames/s)\n", gaps.size() + 1, Ms(to - from) / 1000,
              gaps.size() / (Ms(to - from) / 1000));
  std::printf("time between frames: median %.2f ms, 99th percentile %.2f ms, max %.2f ms\n", Percentile(gaps, 0.5),
              Percentile(gaps, 0.99), gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end()));
  std::printf("frames later than two refresh periods (%.1f ms at %d Hz%s): %lld of %zu\n", 2 * period,
              refreshRate > 0 ? refreshRate : 60, refreshRate > 0 ? "" : ", assumed", static_cast<long long>(late),
              gaps.size());
}

// The show clock's drift from the device: over each pair of readings taken
// while the engine ran, how much further the show moved than the device
// played, summed. Spans where the engine stood (waiting for a slide to
// load) are counted apart: there the show stands and the sound goes on.
// A line fitted through the summed drift against the device's time gives
// the rate; the readings' scatter about it is the jitter of the position
// the engine reports (taken at its last drawn frame).
void ReportDrift(const std::vector<TSample>& samples, TClock::time_point from, TClock::time_point to) {
  double drift = 0;
  double covered = 0;
  double stood = 0;
  double wall = 0;
  std::vector<std::pair<double, double>> points; // (device ms played while running, drift)
  for (size_t i = 1; i < samples.size(); ++i) {
    const TSample& a = samples[i - 1];
    const TSample& b = samples[i];
    if (a.At < from || b.At > to)
      continue;
    const double played = b.DeviceMs - a.DeviceMs;
    if (!a.Running || !b.Running) {
      stood += played;
      continue;
    }
    drift += (b.Position - a.Position) - played;
    covered += played;
    wall += Ms(b.At - a.At);
    points.emplace_back(covered, drift);
  }
  if (points.size() < 2) {
    std::printf("show clock against the device: too few readings while playing\n");
    return;
  }
  double mx = 0;
  double my = 0;
  for (const auto& [x, y] : points) {
    mx += x;
    my += y;
  }
  mx /= static_cast<double>(points.size());
  my /= static_cast<double>(points.size());
  double sxy = 0;
  double sxx = 0;
  for (const auto& [x, y] : points) {
    sxy += (x - mx) * (y - my);
    sxx += (x - mx) * (x - mx);
  }
  const double slope = sxx > 0 ? sxy / sxx : 0;
  double scatter = 0;
  for (const auto& [x, y] : points) {
    const double residual = y - (my + slope * (x - mx));
    scatter += residual * residual;
  }
  scatter = std::sqrt(scatter / static_cast<double>(points.size()));
  std::printf("show clock against the device's played samples over %.1f s of play: drift %+.1f ms at the end, "
              "rate %+.1f ms a minute (least squares), scatter of the readings %.1f ms (%zu pairs %lld ms apart); "
              "the engine stood %.0f ms\n",
              covered / 1000, drift, slope * 60000, scatter, points.size(),
              static_cast<long long>(kSampleInterval.count()), stood);
  std::printf("the device played %.0f ms in %.0f ms of the system clock over those pairs\n", covered, wall);
}

int PlayAndMeasure(const std::string& showPath) {
  std::string error;
  const std::unique_ptr<TWindowSystem> windows =
      CreateWindowSystem(RequestedBackend(std::nullopt, kWindowSystemVariable), error);
  if (!windows) {
    std::fprintf(stderr, "bench_window: no window system: %s\n", error.c_str());
    return 1;
  }
  const std::unique_ptr<T3DEngine> engine =
      Create3DEngine(RequestedBackend(std::nullopt, kEngineVariable), &windows->Displays(), error);
  if (!engine) {
    std::fprintf(stderr, "bench_window: %s\n", error.c_str());
    return 1;
  }
  // SDL's dummy driver consumes samples at the pace of a sound card.
  TSoundDeviceOptions soundOptions;
  soundOptions.SdlDriver = "dummy";
  std::unique_ptr<TWaveOutDevice> sound = CreateWaveOutDevice("sdl", soundOptions, error);
  if (!sound || !sound->IsUsable()) {
    std::fprintf(stderr, "bench_window: no sound device: %s\n", error.c_str());
    return 1;
  }
  TSilence silence;
  const std::unique_ptr<TWaveOutBuffer> played = sound->CreateBuffer(MakePcmFormat(44100, 16, 2), silence);
  if (!played) {
    std::fprintf(stderr, "bench_window: the sound device makes no buffer\n");
    return 1;
  }
  played->Play();

  TApplication application;
  TPresentRecorder recorder;
  TVmoViewerSetup setup;
  setup.Application = &application;
  setup.MakeDrawer = [&engine] { return std::make_unique<T3DDrawer>(*engine); };
  setup.MakeMusic = MakeMusicFactory(sound.get());
  setup.Pacer = &recorder;
  TVmoWindowHost host(*windows, setup, nullptr, nullptr);

  const bench::TShowCommandLine command(showPath);
  TMainForm form(host, command.Options);

  std::vector<TSample> samples;
  const int32_t callId = application.RegisterMessage([](std::unique_ptr<TApplicationMessage>& message) {
    static_cast<TCall&>(*message).Work();
  });
  auto post = [&application, callId](std::function<void()> work) {
    application.Post(callId, std::make_unique<TCall>(std::move(work)));
  };

  if (!form.Create()) {
    std::fprintf(stderr, "bench_window: the show did not open: %s\n", showPath.c_str());
    return 1;
  }
  const TClock::time_point start = TClock::now();
  double cpuAtPause = 0;
  double cpuAtEnd = 0;
  TClock::time_point pausedFrom;
  TClock::time_point pausedTo;
  // The timing thread only posts; everything it asks for runs on the main
  // thread between the window's events.
  std::atomic<bool> stop = false;
  std::thread timer([&] {
    const TClock::time_point pauseAt = start + kPlayTime;
    const TClock::time_point endAt = pauseAt + kPauseTime;
    bool paused = false;
    for (TClock::time_point next = start; !stop; next += kSampleInterval) {
      std::this_thread::sleep_until(next);
      post([&] {
        const TVmoShowViewer* viewer = form.Viewer();
        if (!viewer)
          return;
        const TVmoEngineState state = viewer->EngineState();
        samples.push_back({TClock::now(), static_cast<double>(played->GetPosition()), state.Position, state.Running});
      });
      if (!paused && next >= pauseAt) {
        paused = true;
        post([&] { form.KeyDown(kSpaceKey, 0); });
        std::this_thread::sleep_for(kPauseSettle);
        post([&] {
          pausedFrom = TClock::now();
          cpuAtPause = ProcessCpuSeconds();
        });
      }
      if (next >= endAt) {
        post([&] {
          pausedTo = TClock::now();
          cpuAtEnd = ProcessCpuSeconds();
          form.CloseRequest();
        });
        return;
      }
    }
  });
  const double cpuAtStart = ProcessCpuSeconds();
  host.Run(form);
  stop = true;
  timer.join();
  application.UnregisterMessage(callId);

  T3DDisplayMode mode;
  const int refreshRate = windows->Displays().Mode(0, mode) ? mode.refreshRate : 0;
  std::printf("%s in a window, %lld s playing then %lld s paused\n", showPath.c_str(),
              static_cast<long long>(kPlayTime.count()), static_cast<long long>(kPauseTime.count()));
  ReportFrames(recorder.Times(), start + kWarmUp, start + kPlayTime, refreshRate);
  if (pausedTo > pausedFrom) {
    const double playingShare = (cpuAtPause - cpuAtStart) / (Ms(pausedFrom - start) / 1000);
    const double pausedShare = (cpuAtEnd - cpuAtPause) / (Ms(pausedTo - pausedFrom) / 1000);
    std::printf("CPU share of one processor: paused %.1f %% (over %.1f s), baseline playing %.1f %%\n",
                100 * pausedShare, Ms(pausedTo - pausedFrom) / 1000, 100 * playingShare);
  }
  ReportDrift(samples, start + kWarmUp, start + kPlayTime);
  return 0;
}

// Runs this program again under Xvfb and passes its output on.
int RunInVirtualDisplay(const std::string& showPath) {
  const TProgramResult result = RunProgram(
      "xvfb-run", {"-a", "-s", "-screen 0 1920x1080x24", ProgramPath(), kChildFlag, showPath}, TProgramOutput::Joined);
  std::fputs(result.Out.c_str(), stdout);
  if (!result.StartError.empty())
    std::fprintf(stderr, "bench_window: xvfb-run: %s\n", result.StartError.c_str());
  return result.ExitCode;
}

} // namespace

int main(int argc, char** argv) {
  try {
    InitCommandLine(argc, argv);
    const bool child = argc > 1 && std::strcmp(argv[1], kChildFlag) == 0;
    const int showArg = child ? 2 : 1;
    const std::string show = argc > showArg ? argv[showArg] : VMO_DEMO_SHOW;
    if (!child && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
      return RunInVirtualDisplay(show);
    return PlayAndMeasure(show);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_window: %s\n", error.what());
    return 1;
  }
}
