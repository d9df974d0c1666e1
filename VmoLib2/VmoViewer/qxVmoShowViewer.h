// The main window's front to the engine: every request becomes an event on
// the engine's queue (the first open excepted, which opens the show on the
// calling thread before the engine's thread starts), and the engine's
// reports come back on the main thread as calls of the form's callbacks.
// Everything here runs on the main thread.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"
#include "VmoLib2/VmoViewer/qxVmoDrawController.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace qx {

class TApplication;
class TBitmap;
class TDrawDevice;
class TFileAccessor;
class TIniStorage;

// What the viewer needs from the program around it to make its engine: a
// window's back end fills it for the screen, the headless renderer for its
// off-screen output.
struct TVmoViewerSetup {
  // The main thread's message queue; must outlive the viewer.
  TApplication* Application = nullptr;
  // The window's draw device, made once at the first open (the engine owns
  // it), and the drawer for it.
  std::function<std::unique_ptr<TDrawDevice>()> MakeDrawDevice;
  TVmoDrawController::TDrawerFactory MakeDrawer;
  // Music players for the chosen sound device.
  TVmoMusicFactory MakeMusic;
  // How frames reach the output; none for a window.
  TVmoFramePacer* Pacer = nullptr;
  // "-cover": slides cover the output instead of fitting inside it.
  bool Cover = false;
  // The show's random choices follow fixed orders (the headless renderer).
  bool Deterministic = false;
  // Pictures preloaded on the drawing thread are decoded on a thread of
  // their own first (T3DDrawer::SetDecodeAhead).
  bool DecodeAhead = false;
};

class TVmoShowViewer {
public:
  // Window placement modes.
  static constexpr int kFullScreen = 0;
  static constexpr int kFramedWindow = 1;
  static constexpr int kBorderlessWindow = 2;

  // The form's handlers, called on the main thread.
  struct TCallbacks {
    // The first frame of an open or after a device reset was drawn: show the
    // window if it is not shown yet.
    std::function<void()> FirstFrame;
    // A position report of the current open or seek.
    std::function<void(int32_t position, bool ended)> Position;
    // An action for the main window to perform.
    std::function<void(const TVmoActionInfo& action)> Action;
    // The picture asked for by Capture.
    std::function<void(std::unique_ptr<TBitmap> picture)> Picture;
    // Place the window: the show's frame size and the mode (kFullScreen,
    // kFramedWindow, kBorderlessWindow). At the first open from the project
    // at once, then after every open as the engine reports it.
    std::function<void(int32_t width, int32_t height, int mode)> Placement;
  };

  explicit TVmoShowViewer(TVmoViewerSetup setup);
  TVmoShowViewer(const TVmoShowViewer&) = delete;
  TVmoShowViewer& operator=(const TVmoShowViewer&) = delete;
  // Stops the engine.
  ~TVmoShowViewer();

  void SetCallbacks(TCallbacks callbacks) { m_callbacks = std::move(callbacks); }
  // No callback is called after this (the window is closing).
  void ClearCallbacks() { m_callbacks = {}; }

  // Opens a show from a copy of the accessor and of the project at
  // `position` ms. The first open makes the engine (paused, with the actions
  // setting) and places the window from the project. Raises the show
  // source's error when the first project cannot be a show; later opens
  // that fail leave the engine's show as it was.
  void Open(const TFileAccessor& accessor, const TIniStorage& project, int32_t position);

  bool Paused() const { return m_paused; }
  // Posts the change only when it is one.
  void SetPaused(bool paused);
  // Ignored when negative; remembered as the last requested position.
  void Seek(int32_t position);
  void SeekAndPause(int32_t position, bool paused);
  int32_t LastRequestedPosition() const { return m_lastRequested; }

  // A mouse event at output pixel (x, y) (kinds and buttons of TMouseData);
  // `action` is performed when no object on the slides has one there.
  void Mouse(uint8_t kind, int32_t x, int32_t y, int32_t shift, int32_t button, const TVmoActionInfo* action);
  void Help();
  void CloseDialog();
  // The picture comes back through the Picture callback.
  void Capture();
  void SetActionsEnabled(bool enabled);
  bool ActionsEnabled() const { return m_actionsEnabled; }

  // The last position report of the current open or seek, and whether it
  // said the show has ended.
  int32_t Position() const { return m_position; }
  bool Ended() const { return m_ended; }

  // None before the first open.
  TVmoEngine* Engine() const { return m_engine.get(); }
  TVmoEngineState EngineState() const;
  // Stops the engine's thread and frees the engine (the window closes).
  void Stop();

private:
  void MakeEngine();
  void OnEngineEvent(TVmoEngineEvent& event);

  TVmoViewerSetup m_setup;
  std::unique_ptr<TVmoEngine> m_engine;
  bool m_paused = true;
  int32_t m_lastRequested = 0;
  bool m_actionsEnabled = true;
  int32_t m_position = 0;
  bool m_ended = false;
  TCallbacks m_callbacks;
};

} // namespace qx
