// The soak run: plays a show over and over through the engine, the slide
// loader and the music player on the virtual clock with the virtual sound
// device (as the player's headless render does), for hours of show time at
// a low frame rate, each frame drawn and read back, then dropped. Every few
// show minutes it samples the process's resident memory, its peak,
// threads, open files and device objects and prints the curve as CSV. At the
// end, with the player torn down, it compares threads, open files and
// device objects with what the process held before the show, and fails
// when one was left behind or when the resident memory rose after the
// first pass by more than the tolerance.
#include "QxLib/Music/qxFFMpegConverter.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxProcess.h"
#include "QxLib/qxProcessUsage.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoViewer/Virtual/qxVmoRenderSound.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"
#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"
#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"
#include "bench/soak/qxSoakCurve.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>

namespace {

using namespace qx;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int64_t kMinuteMs = 60 * 1000;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kMiB = 1024 * 1024;
// The first play, before the soak: a few seconds of show time.
constexpr int64_t kWarmUpMs = 3000;
// Shuffled play lists follow a fixed seed, so that runs compare.
constexpr uint32_t kMusicSeed = 1;

struct TSoakOptions {
  std::string Show = VMO_DEMO_SHOW;
  // The player whose "../Common/" holds the video-decoding library.
  std::string Player = VMO_PLAYER_PATH;
  std::string Engine;
  std::string Csv;
  // The run ends early, checked and torn down as at its end, once this file
  // exists.
  std::string StopFile;
  int64_t ShowMs = 24 * kHourMs;
  int64_t SampleMs = 10 * kMinuteMs;
  int32_t Fps = 1;
  int32_t Width = 640;
  int32_t Height = 360;
  int64_t ToleranceBytes = 16 * kMiB;
};

void PrintUsage() {
  std::fprintf(stderr,
               "usage: vmosoak [SHOW] [--hours H | --minutes M | --seconds S] [--fps N] [--sample-minutes M |\n"
               "               --sample-seconds S] [--size WxH] [--engine NAME] [--csv FILE] [--tolerance-mib N]\n"
               "               [--player PATH] [--stop-file FILE]\n"
               "  Plays SHOW (default: the demo show of the build) repeating on the virtual clock for the show\n"
               "  time given (default 24 hours) at N frames per show second (default 1), frames dropped, and\n"
               "  prints the memory curve as CSV. Fails when memory grew after the first pass by more than\n"
               "  the tolerance (default 16 MiB) or a thread, file or device object was left behind.\n"
               "  Once FILE exists the run ends there and is checked as at its end.\n");
}

// A whole positive number within `limit`; false otherwise.
bool ParseCount(const char* text, int64_t limit, int64_t& value) {
  char* end = nullptr;
  const double number = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(number > 0) || number > static_cast<double>(limit))
    return false;
  value = static_cast<int64_t>(number);
  return value > 0;
}

bool ParseArguments(int argc, char** argv, TSoakOptions& options) {
  constexpr int64_t kMaxShowMs = std::numeric_limits<int32_t>::max();
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0) {
      options.Show = name;
      continue;
    }
    if (i + 1 >= argc)
      return false;
    const char* value = argv[++i];
    int64_t number = 0;
    if (name == "--hours" && ParseCount(value, kMaxShowMs / kHourMs, number))
      options.ShowMs = number * kHourMs;
    else if (name == "--minutes" && ParseCount(value, kMaxShowMs / kMinuteMs, number))
      options.ShowMs = number * kMinuteMs;
    else if (name == "--seconds" && ParseCount(value, kMaxShowMs / 1000, number))
      options.ShowMs = number * 1000;
    else if (name == "--sample-minutes" && ParseCount(value, kMaxShowMs / kMinuteMs, number))
      options.SampleMs = number * kMinuteMs;
    else if (name == "--sample-seconds" && ParseCount(value, kMaxShowMs / 1000, number))
      options.SampleMs = number * 1000;
    else if (name == "--fps" && ParseCount(value, kMaxRenderFps, number))
      options.Fps = static_cast<int32_t>(number);
    else if (name == "--tolerance-mib" && ParseCount(value, 1 << 20, number))
      options.ToleranceBytes = number * kMiB;
    else if (name == "--size" && ParseFrameSize(value, options.Width, options.Height))
      continue;
    else if (name == "--engine")
      options.Engine = value;
    else if (name == "--csv")
      options.Csv = value;
    else if (name == "--player")
      options.Player = value;
    else if (name == "--stop-file")
      options.StopFile = value;
    else
      return false;
  }
  return true;
}

TSoakHoldings CurrentHoldings() {
  const TProcessUsage usage = CurrentProcessUsage();
  return {usage.Threads, usage.OpenFiles, T3DDevStore::LiveObjects()};
}

// Writes each line to standard output and, when given, to the CSV file.
class TCurveOutput {
public:
  explicit TCurveOutput(const std::string& path) : m_file(path.empty() ? nullptr : std::fopen(path.c_str(), "w")) {}
  ~TCurveOutput() {
    if (m_file)
      std::fclose(m_file);
  }
  TCurveOutput(const TCurveOutput&) = delete;
  TCurveOutput& operator=(const TCurveOutput&) = delete;
  bool Failed(const std::string& path) const { return !path.empty() && !m_file; }

  void Line(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    if (m_file) {
      std::fprintf(m_file, "%s\n", text.c_str());
      std::fflush(m_file);
    }
  }

private:
  std::FILE* m_file;
};

// The sampling of one run: the resident memory at every frame, and a
// sample every `SampleMs` of show time and as the second pass begins.
class TSampler {
public:
  using TClock = std::chrono::steady_clock;

  TSampler(const TSoakOptions& options, TCurveOutput& output) : m_options(options), m_output(output) {}

  const TSoakCurve& Curve() const { return m_curve; }

  void Start() {
    m_output.Line(SoakCsvHeader());
    m_start = TClock::now();
  }

  // False once the run is to stop.
  bool FrameDone(int64_t wallMs, TRenderedWindow& window) {
    m_intervalMax = std::max(m_intervalMax, CurrentProcessUsage().ResidentBytes);
    // A repeating show's position runs on through its passes.
    TVmoShowViewer* viewer = window.Viewer();
    const TVmoEngineState state = viewer ? viewer->EngineState() : TVmoEngineState{};
    const int32_t pass =
        state.Duration > 0 ? static_cast<int32_t>(std::max(0.0, state.Position) / state.Duration) + 1 : 1;
    const bool secondPassBegins = pass > 1 && m_pass == 1;
    m_pass = pass;
    if (secondPassBegins || wallMs >= m_nextSample)
      Sample(wallMs);
    while (m_nextSample <= wallMs)
      m_nextSample += m_options.SampleMs;
    std::error_code error;
    return m_options.StopFile.empty() || !std::filesystem::exists(m_options.StopFile, error);
  }

  void Sample(int64_t wallMs) {
    TSoakSample sample;
    sample.ShowMs = wallMs;
    sample.Pass = m_pass;
    sample.WallSeconds = std::chrono::duration<double>(TClock::now() - m_start).count();
    sample.Usage = CurrentProcessUsage();
    sample.IntervalMaxResident = std::max(m_intervalMax, sample.Usage.ResidentBytes);
    sample.DeviceObjects = T3DDevStore::LiveObjects();
    m_intervalMax = 0;
    m_curve.Add(sample);
    m_output.Line(SoakCsvLine(sample));
  }

private:
  const TSoakOptions& m_options;
  TCurveOutput& m_output;
  TSoakCurve m_curve;
  TClock::time_point m_start = TClock::now();
  int64_t m_nextSample = 0;
  int64_t m_intervalMax = 0;
  int32_t m_pass = 1;
};

std::string Mib(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / static_cast<double>(kMiB));
  return text;
}

// Plays the show on an engine of its own for `showMs` of show time, sampled
// when `sampler` is given; false when it could not be opened or ended before
// its time other than by the stop file. `reachedMs` is the show time played.
// Everything it made is gone when it returns.
bool PlayShow(const TSoakOptions& options, int64_t showMs, TSampler* sampler, int64_t& reachedMs) {
  reachedMs = 0;
  std::string error;
  const std::unique_ptr<T3DEngine> engine = Create3DEngine(options.Engine, nullptr, error);
  if (!engine) {
    std::fprintf(stderr, "vmosoak: %s\n", error.c_str());
    return false;
  }
  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(options.Show, false, message);
  if (!show || !show->ProjectStorage()) {
    std::fprintf(stderr, "vmosoak: %s\n", message.c_str());
    return false;
  }
  // Whatever the project says, the show starts again at its end.
  if (TIniSection* main = show->ProjectStorage()->FindSection("Main"))
    main->WriteString("opt_repeat", "repeat");
  LocateVideoLibrary(show->Accessor(), options.Player);

  TRenderOptions render;
  render.Fps = options.Fps;
  render.Width = options.Width;
  render.Height = options.Height;
  render.Duration = static_cast<int32_t>(showMs);
  render.Progress = sampler && StandardErrorIsTerminal();
  TVmoViewerSetup output;
  output.MakeDrawDevice = [&render] {
    return std::make_unique<TDrawDevice>(T3DRect{0, 0, render.Width, render.Height});
  };
  output.MakeDrawer = [&engine] {
    auto drawer = std::make_unique<T3DDrawer>(*engine);
    drawer->SetNoPresent(true);
    return drawer;
  };
  TRenderSession session(render, output);
  auto sound = std::make_unique<TVmoRenderSound>();
  TWaveOutDevice& device = sound->Device();
  session.SetSound(std::move(sound), MakeMusicFactory(&device, kMusicSeed));
  TVmoPlainWindow window(session.ViewerSetup(), std::move(show), 0);
  if (window.Closed()) {
    std::fprintf(stderr, "vmosoak: %s\n", window.Message().c_str());
    return false;
  }
  if (sampler)
    session.SetFrameObserver(
        [sampler, &window](int64_t, int64_t wallMs) { return sampler->FrameDone(wallMs, window); });
  const TRenderSession::TResult result = session.Run(window, nullptr, stderr);
  reachedMs = result.Frames * 1000 / options.Fps;
  if (sampler)
    sampler->Sample(reachedMs);
  if (result.End == TRenderEnd::Stopped) {
    std::fprintf(stderr, "vmosoak: stopped by %s at %lld s of show time\n", options.StopFile.c_str(),
                 static_cast<long long>(reachedMs / 1000));
    return true;
  }
  if (result.End != TRenderEnd::ReachedDuration) {
    std::fprintf(stderr, "vmosoak: stopped early: %s\n", std::string(RenderEndText(result.End)).c_str());
    return false;
  }
  return true;
}

int Run(int argc, char** argv) {
  TSoakOptions options;
  if (!ParseArguments(argc, argv, options)) {
    PrintUsage();
    return kExitUsage;
  }
  TCurveOutput output(options.Csv);
  if (output.Failed(options.Csv)) {
    std::fprintf(stderr, "vmosoak: cannot write %s\n", options.Csv.c_str());
    return kExitUsage;
  }
  // Sound only the video-decoding library reads, as the player installs it.
  InstallFFMpegAudio();
  // A short first play makes what the process keeps for its life (the
  // graphics driver's display and threads, the sound channels' reaper); the
  // soak's teardown is compared with what is left after it.
  const TSoakHoldings start = CurrentHoldings();
  int64_t reachedMs = 0;
  if (!PlayShow(options, kWarmUpMs, nullptr, reachedMs))
    return kExitFailed;
  const TSoakHoldings before = CurrentHoldings();
  std::printf("# kept for the process's life after a first play: threads %d -> %d, open files %d -> %d (",
              start.Threads, before.Threads, start.OpenFiles, before.OpenFiles);
  for (const std::string& name : ThreadNames())
    std::printf(" %s", name.c_str());
  std::printf(" )\n");

  std::fprintf(stderr, "vmosoak: %s for %lld s of show time at %d fps, %dx%d\n", options.Show.c_str(),
               static_cast<long long>(options.ShowMs / 1000), options.Fps, options.Width, options.Height);
  TSampler sampler(options, output);
  sampler.Start();
  const bool played = PlayShow(options, options.ShowMs, &sampler, reachedMs);
  const TSoakHoldings after = CurrentHoldings();

  const TSoakCurve& curve = sampler.Curve();
  for (const int64_t hours : {1, 6, 24}) {
    if (const std::optional<int64_t> peak = curve.PeakAt(hours * kHourMs); peak && hours * kHourMs <= reachedMs)
      std::printf("# peak at %lld h of show time: %s\n", static_cast<long long>(hours), Mib(*peak).c_str());
  }
  if (const std::optional<int64_t> peak = curve.PeakAt(reachedMs))
    std::printf("# peak at the end (%lld s of show time): %s\n", static_cast<long long>(reachedMs / 1000),
                Mib(*peak).c_str());
  bool grew = false;
  if (const std::optional<int64_t> growth = curve.GrowthAfterFirstPass()) {
    grew = *growth > options.ToleranceBytes;
    std::printf("# resident memory high in the first interval after the first pass: %s (to %lld ms), later highs above it by %s (tolerance %s)%s\n",
                Mib(curve.Reference()->IntervalMaxResident).c_str(),
                static_cast<long long>(curve.Reference()->ShowMs), Mib(*growth).c_str(),
                Mib(options.ToleranceBytes).c_str(), grew ? "  GREW" : "");
  } else {
    std::printf("# the show did not reach its second pass: no growth check\n");
  }
  const TSoakLeakReport leaks = CompareHoldings(before, after);
  for (const std::string& line : leaks.Lines)
    std::printf("# after the teardown: %s\n", line.c_str());
  const bool passed = played && !grew && !leaks.Leaked;
  std::printf("# %s\n", passed ? "passed" : "FAILED");
  return passed ? kExitOk : kExitFailed;
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vmosoak: %s\n", error.what());
    return kExitFailed;
  }
}
