// Time from start to the first frame for a show package of 1 GiB: the
// player's main window opens the package, the viewer starts the engine,
// and the engine draws the first slide on an off-screen device, on the
// real clock. The baseline is the same show without the gigabyte: a small
// package with the same project and photo. Both packages are written at
// run time into /tmp (so both are in the page cache when opened); each is
// opened several times, fresh, and the median is reported. The engine is
// the one VMO_ENGINE names, else the null engine (everything but the GPU
// upload): the GL engine's off-screen device gives the engine's own thread
// no textures, so its first frames would lack the photo.
// Usage: bench_firstframe [MiB]   (default 1024)
#include "QxLib/Application2/qxApplication.h"
#include "QxLib/qxBackendChoice.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxProcess.h"
#include "Tools/PackWriter/qxVmoPackWriter.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "Vmo/VmoViewer/MainUnit.h"
#include "Vmo/VmoViewer/qxVmoHeadlessHost.h"
#include "bench/qxBenchPhoto.h"
#include "bench/qxBenchPlayer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace qx;
using TClock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 5;
constexpr int64_t kMiB = 1024 * 1024;
constexpr int64_t kChunk = 64 * kMiB;
constexpr auto kGiveUp = std::chrono::seconds(20);
constexpr const char* kPhotoName = "C:\\Shows\\Big\\photo.jpg";

std::string Project() {
  return std::string("[Main]\r\nVmoVersion=5.6.1\r\nopt_slidescount=1\r\nopt_synchpos1=5000\r\nopt_repeat=stop\r\n"
                     "opt_scr_full=0\r\nopt_scr_width=1920\r\nopt_scr_height=1080\r\nopt_fx_enable=0\r\n"
                     "[Slide1]\r\nobject Photo:mainimage\r\n  ImageName=") +
         kPhotoName + "\r\n  FitMode=PlaceInto\r\nend\r\n";
}

// The project and its photo, then `bulk` bytes of stored entries (clips a
// show carries) in pieces of 64 MiB.
void WriteShow(const std::string& path, const std::string& photo, int64_t bulk) {
  TFileStream file(path, TFileMode::Create);
  TVmoPackWriter writer(file);
  writer.AddEntry("Project.vmo", 1, Project());
  writer.AddEntry(kPhotoName, 0, photo);
  std::string piece(static_cast<size_t>(std::min(bulk, kChunk)), '\0');
  for (size_t i = 0; i < piece.size(); ++i)
    piece[i] = static_cast<char>(i * 2654435761u >> 24);
  for (int64_t written = 0, index = 0; written < bulk; written += kChunk, ++index) {
    const size_t size = static_cast<size_t>(std::min(kChunk, bulk - written));
    writer.AddEntry("C:\\Shows\\Big\\clip" + std::to_string(index) + ".mp4", 0, std::string_view(piece).substr(0, size));
  }
  writer.AddExeGuid("{00000000-0000-0000-0000-000000000000}");
  writer.Finish("5.6.1", TVmoTrailerForm::Current);
}

std::string EngineName() {
  const std::string requested = RequestedBackend(std::nullopt, kEngineVariable);
  return requested.empty() ? "null" : requested;
}

// One start: the engine, the main window and the show made afresh; the
// time until the engine reports its first frame of the show drawn.
std::optional<double> TimeToFirstFrame(const std::string& path) {
  const TClock::time_point start = TClock::now();
  std::string error;
  const std::unique_ptr<T3DEngine> engine = Create3DEngine(EngineName(), nullptr, error);
  if (!engine)
    throw std::runtime_error(error);
  TApplication application;
  TVmoViewerSetup setup;
  setup.Application = &application;
  setup.MakeDrawDevice = [] { return std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight}); };
  setup.MakeDrawer = [&engine] {
    auto drawer = std::make_unique<T3DDrawer>(*engine);
    drawer->SetNoPresent(true);
    return drawer;
  };
  setup.MakeMusic = MakeMusicFactory(nullptr);
  auto now = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now().time_since_epoch()).count();
  };
  TVmoHeadlessHost host(setup, now, kWidth, kHeight, nullptr);
  const bench::TShowCommandLine command(path);
  TMainForm form(host, command.Options);
  if (!form.Create())
    throw std::runtime_error("the show did not open: " + path);
  // The main window is shown when the engine reports the first frame.
  while (host.WindowShown == 0 && TClock::now() - start < kGiveUp) {
    application.WaitForMessages(std::chrono::milliseconds(1));
    application.ProcessMessages();
  }
  if (host.WindowShown == 0)
    return std::nullopt;
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Measure(const char* label, const std::string& path) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    const std::optional<double> ms = TimeToFirstFrame(path);
    if (!ms) {
      std::fprintf(stderr, "%s: no first frame within %lld s\n", label, static_cast<long long>(kGiveUp.count()));
      return false;
    }
    times.push_back(*ms);
  }
  std::printf("%-30s %8.1f MiB: first frame after %.1f ms (median of %d; min %.1f, max %.1f)\n", label,
              static_cast<double>(TFileStream(path, TFileMode::OpenRead).GetSize()) / kMiB, Median(times), kRuns,
              *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
  return true;
}

int Run(int64_t bulkMiB) {
  const std::string stem = "/tmp/bench_firstframe_" + std::to_string(CurrentProcessId());
  const std::string big = stem + "_big.VmShow";
  const std::string small = stem + "_small.VmShow";
  const std::string photo = bench::EncodePhoto(kWidth, kHeight, 85, 3);
  const TClock::time_point writeStart = TClock::now();
  WriteShow(big, photo, bulkMiB * kMiB);
  std::printf("wrote the large package in %.1f s\n",
              std::chrono::duration<double>(TClock::now() - writeStart).count());
  WriteShow(small, photo, 0);
  std::printf("engine: %s\n", EngineName().c_str());
  bool ok = false;
  try {
    // The baseline first, so that one-time costs (the engine's libraries)
    // fall on it rather than on the large package.
    ok = Measure("baseline: small package", small) && Measure("large package", big);
  } catch (...) {
    std::remove(big.c_str());
    std::remove(small.c_str());
    throw;
  }
  std::remove(big.c_str());
  std::remove(small.c_str());
  return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  try {
    InitCommandLine(argc, argv);
    const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    if (mib <= 0 || mib > 1900) {
      std::fprintf(stderr, "usage: bench_firstframe [MiB up to 1900]\n");
      return 2;
    }
    return Run(mib);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_firstframe: %s\n", error.what());
    return 1;
  }
}
