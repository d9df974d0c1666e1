#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLoadCallback.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/VmoThirdSlide3.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoSlideLoader2.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace qx {

namespace {

// The smallest side of the loader's frame.
constexpr int kMinFrameSide = 10;
// How often the engine handles its own queue while a loader it stops may
// still wait in a send to it.
constexpr auto kLoaderStopPoll = std::chrono::milliseconds(3);

int32_t Truncated(double ms) { return static_cast<int32_t>(std::clamp(std::trunc(ms), -2147483647.0, 2147483647.0)); }

} // namespace

TOpenParams::TOpenParams() = default;
TOpenParams::~TOpenParams() = default;

TVmoPictureData::TVmoPictureData(std::unique_ptr<TBitmap> picture) : Picture(std::move(picture)) {}
TVmoPictureData::~TVmoPictureData() = default;

TVmoEngine::TShow::~TShow() {
  // The source borrows the accessor.
  Source.reset();
  Accessor.reset();
}

TVmoEngine::TVmoEngine(TApplication* application, std::unique_ptr<TVmoDrawController> drawController,
                       TVmoMusicFactory music)
    : TCustomVmoEngine(application), m_drawController(std::move(drawController)), m_musicFactory(std::move(music)) {
  QX_ASSERT(m_drawController != nullptr, "TVmoEngine: no draw controller");
}

TVmoEngine::~TVmoEngine() {
  // The thread first; then what it used, in the order they depend on each
  // other.
  Stop();
  StopLoader();
  m_music.reset();
  m_previousShow.reset();
  m_root.BuildDrawList({}, nullptr, 0);
  m_drawController.reset();
  m_show.reset();
}

TVmoSource* TVmoEngine::Source() const { return m_show ? m_show->Source.get() : nullptr; }

double TVmoEngine::Position() const { return m_loader ? m_loader->Timing()->Position() : m_clockOffset; }

double TVmoEngine::SlideStart(int32_t index) const {
  TSlideTimes times;
  Source()->GetSlideTimes(index, times);
  return times.SlideStart;
}

TVmoEngineState TVmoEngine::State() const {
  const std::lock_guard guard(m_stateLock);
  return m_published;
}

void TVmoEngine::Publish() {
  const std::lock_guard guard(m_stateLock);
  m_published.Paused = m_paused;
  m_published.AtBarrier = m_atBarrier;
  m_published.Running = m_running;
  m_published.Ended = m_ended;
  m_published.RequestPending = m_pending != nullptr || Events().PendingCount() > 0;
  m_published.Position = Position();
  m_published.Duration = Source() ? Source()->TotalDuration() : 0;
  m_published.ShowsDialog = m_overlay && m_overlay->ShowsDialog();
}

// --- Events -----------------------------------------------------------------

bool TVmoEngine::HandleEvent(int32_t id, TEventPayload& payload) {
  switch (id) {
  case kMouseEvent:
    if (const auto* mouse = dynamic_cast<const TMouseData*>(payload.get()))
      OnMouseEvent(*mouse);
    break;
  case kCaptureEvent: Capture(); break;
  case kCloseDialogEvent:
    if (m_overlay)
      m_overlay->CloseDialog(NowMs());
    break;
  case kHelpEvent: Perform({akHelp, 0, {}}); break;
  case kSlideListEvent:
    if (const auto* data = dynamic_cast<const TSlideData*>(payload.get()))
      OnSlideList(*data);
    break;
  case kOpenEvent:
    if (dynamic_cast<const TOpenParams*>(payload.get()))
      OnOpenEvent(std::unique_ptr<TOpenParams>(static_cast<TOpenParams*>(payload.release())));
    break;
  case kModeEvent:
    if (const auto* mode = dynamic_cast<const TModeData*>(payload.get()))
      OnModeEvent(mode->Paused);
    break;
  default: QX_ASSERT(false, "TVmoEngine: unknown event " + std::to_string(id));
  }
  Publish();
  return true;
}

void TVmoEngine::OnOpenEvent(std::unique_ptr<TOpenParams> params) {
  Log().WriteLine(std::string("TVmoEngine: ") + (params->IsOpen() ? "open" : "seek") + " request " +
                  std::to_string(params->SequenceNo) + " at " + std::to_string(params->Position));
  if (m_pending && !params->IsOpen()) {
    // A seek moves the waiting request, so an open followed by a seek opens
    // at the seek's position.
    m_pending->SequenceNo = params->SequenceNo;
    m_pending->Position = params->Position;
    return;
  }
  // The newest pause request wins: the waiting request's, else the one being
  // processed, else the engine's own.
  if (m_pending)
    params->PausedAfter = m_pending->PausedAfter;
  else if (m_processing)
    params->PausedAfter = m_processing->PausedAfter;
  else
    params->PausedAfter = m_paused;
  m_pending = std::move(params);
}

void TVmoEngine::OnModeEvent(bool paused) {
  Log().WriteBool("TVmoEngine: pause request ", paused);
  if (m_pending)
    m_pending->PausedAfter = paused;
  else if (m_processing)
    m_processing->PausedAfter = paused;
  else
    m_paused = paused;
  // The show resumes: the dialogs that held it go.
  if (!paused && m_overlay)
    m_overlay->ClosePauseDialogs(NowMs());
}

void TVmoEngine::OnSlideList(const TSlideData& data) { m_slides.assign(data.Entries().begin(), data.Entries().end()); }

void TVmoEngine::ProcessRequest() {
  std::unique_ptr<TOpenParams> request = std::move(m_pending);
  m_processing = request.get();
  try {
    if (request->IsOpen()) {
      OpenShow(std::move(request->Accessor), std::move(request->Storage), request->Position);
      Log().WriteLine("TVmoEngine: opened at " + std::to_string(request->Position));
    } else {
      SetPosition(request->Position);
      Log().WriteLine("TVmoEngine: position set to " + std::to_string(request->Position));
    }
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TVmoEngine: request failed: ") + error.what());
  }
  m_processing = nullptr;
  m_sequence = request->SequenceNo;
  m_paused = request->PausedAfter;
}

// --- Opening ----------------------------------------------------------------

void TVmoEngine::Open(std::unique_ptr<TFileAccessor> accessor, std::unique_ptr<TIniStorage> storage, int32_t position,
                      int32_t sequenceNo) {
  OpenShow(std::move(accessor), std::move(storage), position);
  m_sequence = sequenceNo;
  Publish();
}

void TVmoEngine::OpenShow(std::unique_ptr<TFileAccessor> accessor, std::unique_ptr<TIniStorage> storage,
                          double position) {
  QX_ASSERT(storage != nullptr, "TVmoEngine.Open: no project");
  QX_ASSERT(accessor != nullptr, "TVmoEngine.Open: no file accessor");
  // A project that cannot be a show leaves the open show as it was.
  auto show = std::make_unique<TShow>();
  show->Accessor = std::move(accessor);
  show->Source = std::make_unique<TVmoSource>(*show->Accessor, std::move(storage), m_deterministic);

  // The loader and (when paused) the music player of the old show go first.
  StopLoader();
  if (auto* drawer = dynamic_cast<T3DDrawer*>(m_drawController->Drawer()))
    drawer->SetFileAccessor(nullptr);
  if (m_paused || !m_music) {
    m_show.reset();
  } else {
    // The music still plays the old show: it is rebuilt at its next stop.
    if (!m_previousShow)
      m_previousShow = std::move(m_show);
    m_musicRebuild = true;
  }
  m_show = std::move(show);
  m_endReported = false;
  m_ended = false;
  Reinitialise(position, false);
}

void TVmoEngine::StopLoader() {
  if (m_loader) {
    m_loader->RequestStop();
    // The loader may be waiting in a send to this queue.
    while (m_loader->Running()) {
      ProcessEvents();
      std::this_thread::sleep_for(kLoaderStopPoll);
    }
    m_loader->Stop();
    m_loader.reset();
  }
  m_loaderStarted = false;
  m_slides.clear();
  // The draw list must not keep slides of the loader that is gone, nor the
  // overlay, which goes with it.
  m_root.BuildDrawList({}, nullptr, 0);
  m_overlay.reset();
  if (m_paused && m_music) {
    m_music.reset();
    m_previousShow.reset();
    m_musicRebuild = false;
  }
}

void TVmoEngine::StartMusic() {
  m_music = m_musicFactory ? m_musicFactory(*Source()) : nullptr;
  if (!m_music)
    return;
  m_music->Start();
  m_music->SetPlaying(false);
}

void TVmoEngine::Reinitialise(double position, bool reopen) {
  const int64_t mark = TLog::Mark();
  if (m_paused)
    SetRunning(false);
  StopLoader();
  TVmoSource* source = Source();
  if (!source)
    return;

  const auto [deviceWidth, deviceHeight] = m_drawController->DeviceSize();
  m_loader = std::make_unique<TVmoSlideLoader>(*source, kLoaderCapacity, TSize{deviceWidth, deviceHeight});
  m_loader->Cache().SetOnContainerCreated([this](TDrawContainer& container) {
    if (TVmoSlide* slide = container.Slide())
      Preload(*slide);
  });
  m_loader->ReportTo(Events());
  // A deterministic show draws each clip frame of its own time, waiting for
  // the decoder, instead of the nearest one decoded so far.
  m_loader->Cache().Producer().Host().SetExactVideoFrames(m_deterministic);

  if (m_paused)
    StartMusic();
  if (!reopen) {
    PostToMain(kFrameSizeKind, {m_loader->FrameWidth(), m_loader->FrameHeight(), m_loader->ScreenModeForWindow()});
    m_drawController->InitDrawer();
    // Custom transitions read their pictures from the open show. A
    // deterministic show is drawn frame by frame, not against a clock: its
    // uploads need no spreading.
    if (auto* drawer = dynamic_cast<T3DDrawer*>(m_drawController->Drawer())) {
      drawer->SetFileAccessor(m_show->Accessor.get());
      drawer->SetSpreadUploads(!m_deterministic);
      drawer->SetDecodeAhead(m_decodeAhead);
    }
  }
  m_loader->SetFrameSize(std::max(deviceWidth, kMinFrameSide), std::max(deviceHeight, kMinFrameSide));
  m_loader->SetGeometry(m_cover);
  if (TDeviceDrawer* drawer = m_drawController->Drawer()) {
    const TPixelRect slide = m_loader->SlideRect();
    drawer->SetSlideSize(slide.Width(), slide.Height());
  }

  MakeOverlay();

  // The new loader starts where the show is, whether or not the clock was
  // stopped by the user.
  m_clockOffset = position;
  m_loader->Timing()->SetPosition(position);
  m_loader->Timing()->SetRequested(position);
  m_lastReported = kForceReport;
  if (m_paused) {
    ComputeActionPoint(position);
    ComputeBarrier(position);
    m_atBarrier = false;
  }
  Log().WriteElapsed("Loader Inited To Time : ", mark, " ms");
}

void TVmoEngine::SetPosition(double position) {
  SetRunning(false);
  m_clockOffset = position;
  if (m_loader) {
    m_loader->Timing()->SetPosition(position);
    m_loader->Timing()->SetRequested(position);
  }
  m_lastReported = kForceReport;
  ComputeActionPoint(position);
  ComputeBarrier(position);
  m_atBarrier = false;
  // Played again to the end, the show reports its end again.
  m_endReported = false;
  m_ended = false;
}

void TVmoEngine::MakeOverlay() {
  TThirdSlideSettings settings;
  settings.OutputWidth = m_loader->FrameWidth();
  settings.OutputHeight = m_loader->FrameHeight();
  settings.Cover = m_cover;
  settings.EngineSlideWidth = m_loader->SlideRect().Width();
  settings.Volume = m_music ? m_volume.load() : 0;
  settings.DurationMs = static_cast<int64_t>(Source()->TotalDuration());
  TThirdSlideCallbacks callbacks;
  callbacks.SetVolume = [this](double volume) { SetVolume(static_cast<float>(volume)); };
  callbacks.GoToTime = [this](int64_t ms) {
    Perform({akGotoTime, static_cast<int32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX)), {}});
  };
  // On the engine's thread, where the overlay is driven.
  callbacks.IsPlaying = [this] { return !m_paused; };
  try {
    m_overlay = std::make_unique<TThirdSlide>(*Source(), settings, std::move(callbacks));
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TVmoEngine: no overlay: ") + error.what());
  }
}

// --- Barriers and action points ---------------------------------------------

void TVmoEngine::ComputeBarrier(double time) {
  TVmoSource* source = Source();
  const int32_t count = source ? source->SlideCount() : 0;
  const bool repeats = source && source->EndMode() == TEndMode::Repeat;
  if (m_actionsEnabled && source && count > 0) {
    const int32_t start = time == m_barrier.Time ? m_barrier.Slide : std::max(0, source->FindSlide(time));
    // In a repeating show the end actions repeat every pass: when one pass
    // after the start holds none, no later pass does.
    const int64_t last = repeats ? static_cast<int64_t>(start) + count : count - 1;
    for (int64_t i = start; i <= std::min<int64_t>(last, kNoSlide); ++i) {
      const auto index = static_cast<int32_t>(i);
      TSlideTimes times;
      source->GetSlideTimes(index, times);
      if (!(time < times.SlideEnd))
        continue;
      const TEndAction action = source->GetEndAction(index);
      if (!action.HasAction())
        continue;
      m_barrier = {true, index, times.SlideEnd, action.LoopLength};
      return;
    }
  }
  m_barrier = {false, std::max(0, count - 1), source && !repeats ? source->TotalDuration() : kNoTime, 0};
}

void TVmoEngine::ComputeActionPoint(double time) {
  TVmoSource* source = Source();
  const int32_t count = source ? source->SlideCount() : 0;
  if (m_actionsEnabled && source && count > 0) {
    const bool repeats = source->EndMode() == TEndMode::Repeat;
    const int32_t start = time == m_actionPoint.Time ? m_actionPoint.Slide + 1 : std::max(0, source->FindSlide(time));
    for (int64_t i = start; i < static_cast<int64_t>(start) + count && i <= kNoSlide; ++i) {
      if (!repeats && i >= count)
        break;
      const auto index = static_cast<int32_t>(i);
      std::string program;
      if (!source->GetRunApp(index, program))
        continue;
      const double at = SlideStart(index) + 1;
      if (!(time < at))
        continue;
      m_actionPoint = {index, at, std::move(program)};
      return;
    }
  }
  m_actionPoint = {kNoSlide, kNoTime, {}};
}

// --- The clock --------------------------------------------------------------

void TVmoEngine::SetRunning(bool running) {
  if (running) {
    if (TDeviceDrawer* drawer = m_drawController->Drawer()) {
      for (const TSlideEntry& entry : m_slides) {
        if (!entry.Slide)
          continue;
        const double local = m_clockOffset - entry.Times.SlideStart;
        Log().WriteFloat("PreloadEx Time: ", local);
        PreloadSlide(*drawer, *entry.Slide, entry.Times.SlideStart + std::max(0.0, local));
      }
    }
    if (m_music) {
      if (m_music->LastLimit() != m_barrier.Time)
        m_music->SetLimit(m_barrier.Time);
      m_music->SetPlaying(true);
    }
    m_running = true;
    m_clockOffset = GetShowTime();
    // The renderer's loader threads share its one thread: nothing to slow.
    if (!Driven())
      SetLoadCallbackMode(lcmSleep);
    m_interpolator.LeaveBypassAfterNext();
    return;
  }
  m_interpolator.SetBypass(true);
  const bool wasRunning = m_running;
  m_running = false;
  if (m_music)
    m_music->SetPlaying(false);
  m_clockOffset = Position();
  if (wasRunning && !Driven())
    SetLoadCallbackMode(lcmNone);
  if (m_musicRebuild) {
    m_musicRebuild = false;
    m_music.reset();
    m_previousShow.reset();
    if (Source())
      StartMusic();
  }
}

double TVmoEngine::GetShowTime() {
  if (!m_running)
    return m_clockOffset;
  const double musicTime = m_music ? m_music->GetTime() : 0;
  return m_interpolator.Step(musicTime - m_clockOffset);
}

bool TVmoEngine::IsMusicReady() {
  if (!m_music)
    return false;
  if (!m_running && m_loader) {
    const double position = Position();
    if (m_music->GetTime() != position || m_music->LastLimit() != m_barrier.Time)
      m_music->SetTime(m_barrier.Time, position);
  }
  const bool ready = m_music->IsReady();
  if (!ready && m_running)
    Log().WriteLine("TVmoEngine.IsMusicReady: False");
  return ready;
}

bool TVmoEngine::IsPreloaded() const {
  if (m_running)
    return true;
  if (static_cast<int>(m_slides.size()) < kLoaderCapacity)
    return false;
  const double position = Position();
  const TSlideTimes& first = m_slides.front().Times;
  return first.SlideStart + first.InEffect <= position && position <= m_slides.back().Times.VisibleEnd;
}

bool TVmoEngine::IsReadyToDraw() const {
  if (m_running)
    return true;
  const double position = Position();
  if (m_slides.size() == 1) {
    const TSlideTimes& only = m_slides[0].Times;
    return only.SlideStart + only.InEffect <= position && position <= only.SlideEnd;
  }
  if (m_slides.size() == 2) {
    const TSlideTimes& first = m_slides[0].Times;
    const TSlideTimes& second = m_slides[1].Times;
    return first.SlideStart + first.InEffect <= position && position <= first.VisibleEnd &&
           second.SlideStart <= position && position <= second.SlideEnd;
  }
  return IsPreloaded();
}

bool TVmoEngine::IsShowEnded() {
  TVmoSource* source = Source();
  if (!m_loader || !source || source->EndMode() == TEndMode::Repeat)
    return false;
  const double total = source->TotalDuration();
  if (!(Position() > total))
    return false;
  m_loader->Timing()->SetPosition(total);
  m_ended = true;
  if (!m_endReported) {
    m_endReported = true;
    PostToMain(kPositionKind, {m_sequence, Truncated(total), Truncated(total), 1});
  }
  return true;
}

// --- The loop step ----------------------------------------------------------

void TVmoEngine::Step() {
  MainLoop();
  Publish();
  Sleep();
}

void TVmoEngine::OnStop() {
  if (m_running)
    SetRunning(false);
}

void TVmoEngine::Sleep() {
  const int64_t sinceLastSleep = NowMs() - m_lastSleepEnd;
  WaitForEvents(std::chrono::milliseconds(sinceLastSleep < kSlowStepMs ? kSleepMs : kShortSleepMs));
  m_lastSleepEnd = NowMs();
}

void TVmoEngine::MainLoop() {
  if (m_music && m_music->GetVolume() != m_volume.load())
    m_music->SetVolume(m_volume.load());
  if (Events().IsClosed())
    return;
  ProcessEvents();
  if (m_pending)
    ProcessRequest();
  if (m_loader && !m_loaderStarted) {
    m_loader->Start();
    m_loaderStarted = true;
  }

  int state = m_drawController->GetState();
  TVmoSource* source = Source();
  // An open dialog marked "DialogPause" holds the clock.
  bool newActive =
      !m_paused && !m_atBarrier && !(m_overlay && m_overlay->HoldsClock()) && IsPreloaded() && IsMusicReady();
  if (!source)
    newActive = false;
  else if (source->PauseWhenInactive() && !(state & TVmoDrawController::kDeviceActive))
    newActive = false;
  else if ((m_running && IsShowEnded()) || m_ended)
    // An ended show stays stopped until a seek or an open; restarting it
    // would only stop it again at the next step.
    newActive = false;

  if (!newActive) {
    if (m_running) {
      Log().WriteLine("TVmoEngine.MainLoop: SetActive(False) - Stop by not NewActive");
      state |= TVmoDrawController::kRefreshPending;
    }
    SetRunning(false);
  }
  const int resetFlags = TVmoDrawController::kResetPending | TVmoDrawController::kDrawerReady;
  if ((state & resetFlags) == resetFlags) {
    newActive = false;
    HandleDeviceReset();
  }
  if (newActive && !m_running) {
    Log().WriteLine("TVmoEngine.MainLoop: SetActive(True) - Start by NewActive");
    SetRunning(true);
  }
  if (Terminated())
    return;
  AdvanceClock();
  DrawStep(state);
  ReportPosition();
}

void TVmoEngine::HandleDeviceReset() {
  m_firstFrameSent = false;
  if (m_running)
    Log().WriteLine("TVmoEngine.MainLoop: SetActive(False) - Stop by Reinited");
  SetRunning(false);
  TDeviceDrawer* drawer = m_drawController->Drawer();
  if (drawer)
    for (const TSlideEntry& entry : m_slides)
      if (entry.Slide)
        ReleaseSlide(*drawer, *entry.Slide);
  const auto [width, height] = m_drawController->DeviceSize();
  if (m_loader && (width != m_loader->FrameWidth() || height != m_loader->FrameHeight())) {
    Log().WriteLine("OpenInt on diff size: " + std::to_string(width) + "x" + std::to_string(height));
    Reinitialise(GetShowTime(), true);
  }
  if (drawer)
    for (size_t i = 1; i < m_slides.size(); ++i)
      if (m_slides[i].Slide)
        PreloadSlide(*drawer, *m_slides[i].Slide, m_slides[i].Times.SlideStart);
  Log().WriteLine("DrawDevice Reinited (Slides: " + std::to_string(m_slides.size()) + ")");
}

void TVmoEngine::AdvanceClock() {
  if (!m_loader)
    return;
  const double requested = GetShowTime();
  if (m_overlay)
    m_overlay->Step(static_cast<int64_t>(requested), NowMs());
  m_loader->Timing()->SetRequested(requested);
  double position = requested;
  if (m_running && m_barrier.Has && requested >= m_barrier.Time) {
    Log().WriteLine("TVmoEngine.MainLoop: SetActive(False) - Stop by Barrier");
    SetRunning(false);
    if (m_barrier.LoopLength > 0) {
      // The loop continues as far past its start as the clock ran past its
      // end (whole loop lengths taken off until it is before the end); the
      // clock starts again on a later step.
      const double loops = std::floor((requested - m_barrier.Time) / m_barrier.LoopLength) + 1;
      position = requested - loops * m_barrier.LoopLength;
    } else {
      // A "pause" end action, or a loop without length, holds the picture.
      // The held position is reported even when it is close to the last
      // report: the main window continues from exactly there.
      m_atBarrier = true;
      position = m_barrier.Time;
      ComputeBarrier(position);
      m_lastReported = kForceReport;
    }
    m_loader->Timing()->SetPosition(position);
    m_clockOffset = position;
    if (m_music)
      m_music->SetTime(m_barrier.Time, position);
  } else {
    m_loader->Timing()->SetPosition(position);
  }

  IsShowEnded();

  if (m_running && Position() >= m_actionPoint.Time) {
    const std::string program = m_actionPoint.Program;
    ComputeActionPoint(m_actionPoint.Time);
    if (!program.empty())
      Perform(TVmoActionInfo{akRunProgram, 0, program});
  }
}

void TVmoEngine::ReportPosition() {
  const int32_t position = Truncated(Position());
  if (std::abs(static_cast<int64_t>(position) - m_lastReported) <= kReportStepMs)
    return;
  m_lastReported = position;
  TVmoSource* source = Source();
  PostToMain(kPositionKind, {m_sequence, position, source ? Truncated(source->TotalDuration()) : 0, 0});
}

} // namespace qx
