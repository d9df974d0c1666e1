// Helpers of the engine tests: an engine behind its viewer, run on a step
// driver's virtual clock, with a music clock that counts the driver's
// milliseconds and plays no sound, and records of what the engine reports
// to the main thread.
#pragma once

#include "QxLib/Application2/qxApplication.h"
#include "QxLib/qxDebugOutput.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"
#include "VmoLib2/VmoViewer/qxVmoStepDriver.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace qx::test {

// The music clock of a show without sound: running, the driver's time minus
// Base; stopped, Base; never past the limit.
class TTestMusic : public TVmoEngineMusic {
public:
  explicit TTestMusic(const TStepDriver& driver) : m_driver(driver) {}

  void Start() override {}
  void SetPlaying(bool playing) override {
    if (playing == m_running)
      return;
    m_running = playing;
    m_base = Clock() - m_base;
  }
  void SetTime(double limit, double position) override {
    ++SetTimeCalls;
    if (limit >= 0) {
      m_limit = limit;
      m_lastLimit = limit;
    }
    if (position >= 0) {
      m_running = false;
      m_base = position;
    }
  }
  double GetTime() override {
    const double time = m_running ? Clock() - m_base : m_base;
    return HonourLimit ? std::min(time, m_limit) : time;
  }
  bool IsReady() override { return Ready || m_running; }
  double LastLimit() override { return m_lastLimit; }
  float GetVolume() override { return m_volume; }
  void SetVolume(float volume) override { m_volume = volume; }

  bool Ready = true;
  // A clock that runs past the limit (a sound card's clock a little late
  // to stop) lets the engine see how far past a barrier it ran.
  bool HonourLimit = true;
  int SetTimeCalls = 0;

private:
  double Clock() const { return static_cast<double>(m_driver.Now()); }

  const TStepDriver& m_driver;
  bool m_running = false;
  double m_base = 0;
  double m_limit = 2147483647.0;
  double m_lastLimit = -1;
  float m_volume = 1;
};

struct TPositionReport {
  int32_t Position;
  bool Ended;
};

// A viewer with its engine on a virtual clock, over a project written as
// INI text; the drawer is none, so nothing is drawn.
class TEngineHarness {
public:
  explicit TEngineHarness(TVmoMusicFactory music = {})
      : m_scope(m_driver), m_applicationSteps(m_application), m_wasMuted(SetDebugOutputMuted(true)) {
    m_driver.Attach(m_applicationSteps, TStepDriver::kNever);
    TVmoViewerSetup setup;
    setup.Application = &m_application;
    setup.MakeDrawDevice = [] { return std::make_unique<TDrawDevice>(T3DRect{0, 0, 800, 600}); };
    setup.MakeDrawer = []() -> std::unique_ptr<TDeviceDrawer> { return nullptr; };
    setup.MakeMusic = music ? std::move(music) : [this](TVmoSource&) -> std::unique_ptr<TVmoEngineMusic> {
      auto made = std::make_unique<TTestMusic>(m_driver);
      Music = made.get();
      return made;
    };
    Viewer = std::make_unique<TVmoShowViewer>(setup);
    TVmoShowViewer::TCallbacks callbacks;
    callbacks.Position = [this](int32_t position, bool ended) { Reports.push_back({position, ended}); };
    callbacks.Action = [this](const TVmoActionInfo& action) { Actions.push_back(action); };
    callbacks.Placement = [this](int32_t width, int32_t height, int mode) {
      Placements.push_back({width, height, mode});
    };
    Viewer->SetCallbacks(callbacks);
  }
  ~TEngineHarness() {
    Viewer.reset();
    m_driver.Detach(m_applicationSteps);
    SetDebugOutputMuted(m_wasMuted);
  }
  TEngineHarness(const TEngineHarness&) = delete;
  TEngineHarness& operator=(const TEngineHarness&) = delete;

  // Opens the project (kept for the show's life) at `start` and, unless
  // `paused`, starts playing.
  void Open(const std::string& project, int32_t start = 0, bool paused = false) {
    m_projects.push_back(Project(project));
    Viewer->Open(m_accessor, *m_projects.back(), start);
    Viewer->SetPaused(paused);
  }

  void RunUntil(int64_t ms) { m_driver.RunUntil(ms); }
  void RunFor(int64_t ms) { m_driver.RunUntil(m_driver.Now() + ms); }
  int64_t Now() const { return m_driver.Now(); }
  TVmoEngineState State() const { return Viewer->EngineState(); }
  double Position() const { return State().Position; }

  // Runs millisecond by millisecond until `done` holds; false after `limit`.
  template <class TDone>
  bool RunUntilTrue(TDone done, int64_t limit = 120000) {
    const int64_t end = m_driver.Now() + limit;
    while (!done()) {
      if (m_driver.Now() >= end)
        return false;
      RunFor(1);
    }
    return true;
  }

  int EndReports() const {
    return static_cast<int>(
        std::count_if(Reports.begin(), Reports.end(), [](const TPositionReport& report) { return report.Ended; }));
  }

  TStepDriver& Driver() { return m_driver; }
  TApplication& Application() { return m_application; }

  std::unique_ptr<TVmoShowViewer> Viewer;
  TTestMusic* Music = nullptr;
  std::vector<TPositionReport> Reports;
  std::vector<TVmoActionInfo> Actions;
  std::vector<std::array<int32_t, 3>> Placements;

private:
  TApplication m_application;
  TStepDriver m_driver;
  TStepDriver::TScope m_scope;
  TApplicationSteps m_applicationSteps;
  bool m_wasMuted;
  TFileAccessor m_accessor = TestAccessor();
  std::vector<std::unique_ptr<TIniStorage>> m_projects;
};

// Slides of 4 s with `transition` ms transitions (none when 0), plus `main`
// lines and `slides` sections (each "[SlideN]" with its keys).
inline std::string EngineShow(int count, std::string_view main = "", std::string_view slides = "", int transition = 0) {
  std::string text = "[Main]\nopt_slidescount=" + std::to_string(count) + "\n";
  for (int i = 1; i <= count; ++i)
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * 4000) + "\n";
  text += transition > 0 ? "opt_fx_enable=1\nopt_fx_eff3=1\nopt_fx_time=" + std::to_string(transition) + "\n"
                         : "opt_fx_enable=0\n";
  text += "opt_scr_full=0\nopt_scr_width=800\nopt_scr_height=600\n";
  text += main;
  text += slides;
  return text;
}

} // namespace qx::test
