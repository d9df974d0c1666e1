// The playback engine: the thread that plays an opened show. It owns the
// show clock (the music player's clock, smoothed, while the show plays; a
// held position while it is stopped), decides when the clock may run (the
// slides around the position are prepared and the music is ready), stops it
// at slide end actions and at the end of the show, runs the slide programs,
// draws each frame through the draw controller and reports position, first
// frame, actions and captured pictures to the main thread.
//
// The main window never calls the engine directly: TVmoShowViewer posts the
// events below to its queue (the first open excepted, which the viewer makes
// before starting the thread).
//
// Events to the engine:          Reports to the main thread (TVmoEngineEvent):
//   11 TMouseData  hit-test, act     1 first frame drawn (frame rectangle)
//   13 capture the current frame     2 position (sequence, position,
//   15 close the overlay's dialog      duration, ended flag)
//   16 show the "help" dialog       12 action (kind, integer; text payload)
//  101 TSlideData (from the loader) 14 captured picture (TVmoPictureData)
//  102 TOpenParams open or seek     17 frame size and screen mode after an
//  103 TModeData   pause or resume     open
#pragma once

#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"
#include "VmoLib2/VmoViewer/qxVmoDrawController.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoEngineTypes.h"
#include "VmoLib2/VmoViewer/qxVmoFrameInterpolator.h"
#include "VmoLib2/VmoViewer/qxVmoRootItem.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qx {

class TBitmap;
class TDeviceDrawer;
class TFileAccessor;
class TIniStorage;
class TVmoSlide;
class TVmoSlideLoader;
class TVmoSource;
class TThirdSlide;

// An open (with a project) or a seek (without one).
class TOpenParams : public TVmoEventData {
public:
  bool PausedAfter = true;
  int32_t SequenceNo = 0;
  std::unique_ptr<TFileAccessor> Accessor;
  // None for a seek.
  std::unique_ptr<TIniStorage> Storage;
  int32_t Position = 0;

  TOpenParams();
  ~TOpenParams() override;
  bool IsOpen() const { return Storage != nullptr; }
};

class TModeData : public TVmoEventData {
public:
  explicit TModeData(bool paused) : Paused(paused) {}
  bool Paused;
};

// Mouse event kinds (the event types of the input mapping).
enum TVmoMouseKind : uint8_t { mkMove = 1, mkButtonDown = 2, mkDoubleClick = 3, mkButtonUp = 4 };
// Mouse buttons.
enum TVmoMouseButton : int32_t { mbNone = 0, mbLeft = 1, mbMiddle = 2, mbRight = 4 };
// The far position of a mouse that left the window: hover states end.
inline constexpr int32_t kMouseFarAway = 2147483647;

class TMouseData : public TVmoEventData {
public:
  uint8_t Kind = mkMove;
  // Output pixels.
  int32_t X = 0;
  int32_t Y = 0;
  // The shift state of the window system (0x02 Shift, 0x04 Alt, 0x08 Ctrl,
  // 0x10 left, 0x20 right, 0x40 middle button held).
  int32_t Shift = 0;
  int32_t Button = mbNone;
  // Performed when no object on the slides has an action at the point.
  TVmoActionInfo Action;
};

// The text of an action report (kind 12).
class TVmoTextData : public TVmoEventData {
public:
  explicit TVmoTextData(std::string text) : Text(std::move(text)) {}
  std::string Text;
};

// The picture of a capture (kind 14).
class TVmoPictureData : public TVmoEventData {
public:
  explicit TVmoPictureData(std::unique_ptr<TBitmap> picture);
  ~TVmoPictureData() override;
  std::unique_ptr<TBitmap> Picture;
};

// How frames reach the output. A window shows every frame the engine draws
// and needs no pacer. The headless renderer lets the engine draw only at the
// times of its output frames, and reads each frame back.
class TVmoFramePacer {
public:
  virtual ~TVmoFramePacer() = default;
  // Engine thread, once per loop step before the drawing: whether this step
  // may draw. A step that may not keeps a forced redraw for the next one
  // that may.
  virtual bool MayDraw() = 0;
  // Engine thread, after each frame drawn (also an empty one).
  virtual void FrameDrawn(TDeviceDrawer& drawer) = 0;
};

// A snapshot of the engine's state for other threads.
struct TVmoEngineState {
  bool Paused = true;
  bool AtBarrier = false;
  bool Running = false;
  // A non-repeating show has passed its end.
  bool Ended = false;
  // An open or seek is waiting to be processed.
  bool RequestPending = false;
  // The show position and the show's total duration, ms.
  double Position = 0;
  double Duration = 0;
  // The hit test of the last mouse position: over an object with an action,
  // and the class of the object under the mouse ("TVmoButton", ...).
  bool OverActiveObject = false;
  std::string HitClassName;
  // The overlay shows a dialog: keys close it (Escape) or are swallowed.
  bool ShowsDialog = false;

  // The clock waits for the user: paused, or held at a "pause" barrier.
  bool WaitsForUser() const { return !Running && !RequestPending && (Paused || AtBarrier); }
};

class TVmoEngine : public TCustomVmoEngine {
public:
  static constexpr int32_t kMouseEvent = 11;
  static constexpr int32_t kCaptureEvent = 13;
  static constexpr int32_t kCloseDialogEvent = 15;
  static constexpr int32_t kHelpEvent = 16;
  static constexpr int32_t kSlideListEvent = 101;
  static constexpr int32_t kOpenEvent = 102;
  static constexpr int32_t kModeEvent = 103;

  static constexpr int32_t kActionKind = 12;
  static constexpr int32_t kPictureKind = 14;
  static constexpr int32_t kFrameSizeKind = 17;

  // The slides the loader keeps prepared: the one on screen and the next two.
  static constexpr int kLoaderCapacity = 3;
  // A position report is sent when the position moved by more than this.
  static constexpr int32_t kReportStepMs = 20;
  // The last reported position that forces the next report.
  static constexpr int32_t kForceReport = -2147483647;
  // Steps sleep this long, or kShortSleepMs after a step of kSlowStepMs or
  // more.
  static constexpr int32_t kSleepMs = 3;
  static constexpr int32_t kShortSleepMs = 1;
  static constexpr int32_t kSlowStepMs = 17;
  // Barrier and action point times when there is none.
  static constexpr double kNoTime = 1e300;
  static constexpr int32_t kNoSlide = 2147483646;

  // Created paused and stopped, with volume 1. The draw controller owns the
  // window's draw device; `music` makes the music players.
  TVmoEngine(TApplication* application, std::unique_ptr<TVmoDrawController> drawController, TVmoMusicFactory music);
  ~TVmoEngine() override;

  // Settings made before the first open.
  void SetFramePacer(TVmoFramePacer* pacer) { m_pacer = pacer; }
  // Slide end actions and slide programs are honoured (default true); from
  // the next open or seek on.
  void SetActionsEnabled(bool enabled) { m_actionsEnabled = enabled; }
  // Slides cover the output (cropped) instead of fitting inside it.
  void SetCover(bool cover) { m_cover = cover; }
  // Random choices of the show (transitions) follow fixed orders and video
  // objects wait for the clip frame of their time, so that every run shows
  // the same; from the next open on. The player leaves it false; the
  // headless renderer sets it.
  void SetDeterministic(bool deterministic) { m_deterministic = deterministic; }
  // Preloaded pictures are decoded on a thread of their own before their
  // upload (see T3DDrawer::SetDecodeAhead); from the next open on.
  void SetDecodeAhead(bool on) { m_decodeAhead = on; }

  // The first open, made on the calling thread before the thread starts:
  // the engine owns the accessor and the project.
  void Open(std::unique_ptr<TFileAccessor> accessor, std::unique_ptr<TIniStorage> storage, int32_t position,
            int32_t sequenceNo);

  // The requested music volume; any thread.
  void SetVolume(float volume) { m_volume.store(volume); }
  float Volume() const { return m_volume.load(); }
  // For the overlay's play button: not paused.
  bool IsPlaying() const { return !State().Paused; }

  // Any thread.
  TVmoEngineState State() const;
  TVmoDrawController& DrawController() const { return *m_drawController; }

protected:
  void Step() override;
  void OnStop() override;
  bool HandleEvent(int32_t id, TEventPayload& payload) override;

private:
  struct TBarrier {
    bool Has = false;
    int32_t Slide = 0;
    double Time = kNoTime;
    double LoopLength = 0;
  };
  struct TActionPoint {
    int32_t Slide = kNoSlide;
    double Time = kNoTime;
    std::string Program;
  };
  // The open show: the accessor its files come through and the source over
  // the project, freed in this order's reverse.
  struct TShow {
    std::unique_ptr<TFileAccessor> Accessor;
    std::unique_ptr<TVmoSource> Source;
    ~TShow();
  };

  // Events.
  void OnOpenEvent(std::unique_ptr<TOpenParams> params);
  void OnModeEvent(bool paused);
  void OnMouseEvent(const TMouseData& mouse);
  void OnSlideList(const TSlideData& data);
  void Capture();
  void ProcessRequest();

  // Opening and positioning.
  void OpenShow(std::unique_ptr<TFileAccessor> accessor, std::unique_ptr<TIniStorage> storage, double position);
  void Reinitialise(double position, bool reopen);
  void StopLoader();
  void StartMusic();
  void SetPosition(double position);
  void ComputeBarrier(double time);
  void ComputeActionPoint(double time);

  // The clock.
  void SetRunning(bool running);
  double GetShowTime();
  bool IsMusicReady();
  bool IsPreloaded() const;
  bool IsReadyToDraw() const;
  bool IsShowEnded();
  double Position() const;

  // The loop step.
  void MainLoop();
  void HandleDeviceReset();
  void AdvanceClock();
  void DrawStep(int state);
  void Draw(bool force);
  void ReportPosition();
  void Sleep();

  // Mouse and actions. The hit test answers whether the overlay took the
  // event (the slides then do not see it).
  bool HitTest(const std::array<int32_t, 5>& mouse, TVmoActionInfo* found);
  void PublishHit(bool overActive, std::string className);
  void Perform(const TVmoActionInfo& action);
  void MakeOverlay();

  void Preload(TVmoSlide& slide);
  void Publish();

  TVmoSource* Source() const;
  double SlideStart(int32_t index) const;

  std::unique_ptr<TVmoDrawController> m_drawController;
  TVmoMusicFactory m_musicFactory;
  TVmoFramePacer* m_pacer = nullptr;
  bool m_cover = false;
  bool m_deterministic = false;
  bool m_decodeAhead = false;

  std::unique_ptr<TShow> m_show;
  // A show replaced while the music still played it; freed with that player.
  std::unique_ptr<TShow> m_previousShow;
  bool m_paused = true;
  int32_t m_sequence = 0;
  std::unique_ptr<TOpenParams> m_pending;
  TOpenParams* m_processing = nullptr;

  TFrameInterpolator m_interpolator;
  TRootItem m_root;
  bool m_running = false;
  double m_clockOffset = 0;

  std::unique_ptr<TVmoEngineMusic> m_music;
  bool m_musicRebuild = false;
  // The layer above the slides (logo, navigation panel, dialogs), made with
  // each loader; none when it could not be made.
  std::unique_ptr<TThirdSlide> m_overlay;
  std::unique_ptr<TVmoSlideLoader> m_loader;
  bool m_loaderStarted = false;
  std::vector<TSlideEntry> m_slides;

  bool m_firstFrameSent = false;
  bool m_firstOpen = true;
  int32_t m_lastReported = kForceReport;
  // Kind, x, y, shift state, button of the last mouse event; none yet.
  std::array<int32_t, 5> m_lastMouse{0, kMouseFarAway, kMouseFarAway, 0, 0};
  TBarrier m_barrier;
  TActionPoint m_actionPoint;
  bool m_atBarrier = false;
  bool m_endReported = false;
  bool m_ended = false;
  std::atomic<float> m_volume{1.0f};
  std::atomic<bool> m_actionsEnabled{true};
  // A redraw that a step could not make because the pacer held it.
  bool m_drawOwed = false;
  int64_t m_lastSleepEnd = 0;

  mutable std::mutex m_stateLock;
  TVmoEngineState m_published;
};

} // namespace qx
