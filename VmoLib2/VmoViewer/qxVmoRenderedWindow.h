// What a rendered session drives besides the engine: the player's main
// window run headless, and the scripted input it replays.
//
// The headless renderer (TRenderSession, qxVmoRenderSession.h) runs the same
// main-window logic that a real window runs, on a headless window back end:
// the window opens its show through a TVmoShowViewer made from the session's
// ViewerSetup() (an off-screen draw device of the output's size, the
// session's application queue, frame pacer and virtual sound device). At
// each output frame k, at wall time t = k x 1000 / fps (whole milliseconds,
// rounded down), the session:
//   1. calls TRenderInput::DeliverDue(t): every scripted event due at or
//      before t goes to the main-window logic, which handles it exactly as a
//      real window's key, mouse or wheel event (and so calls the viewer);
//   2. runs the engine, the slide loader and the music on the virtual clock
//      up to t; the application's queue is handled as part of those steps,
//      so the engine's reports reach the window at the instant they are
//      posted;
//   3. writes the frame the engine drew at t (or the last one drawn);
//   4. ends when the window has closed, a non-repeating show has ended, the
//      show reached "-to", the wall time reached "-duration", or the engine
//      waits for the user (paused, or at a "pause" barrier) and
//      NextEventTime() has no later event.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qx {

class TVmoShowLocator;
class TVmoShowViewer;
struct TVmoViewerSetup;

// Scripted user input, replayed at wall times.
class TRenderInput {
public:
  virtual ~TRenderInput() = default;
  // Delivers every event due at or before `wallMs` that was not delivered
  // yet, in script order. Main thread.
  virtual void DeliverDue(int64_t wallMs) = 0;
  // The wall time of the first event not delivered yet; none at the end.
  virtual std::optional<int64_t> NextEventTime() const = 0;
};

// The main window as the session sees it.
class TRenderedWindow {
public:
  virtual ~TRenderedWindow() = default;
  // The viewer through which the window plays; null when it has none.
  virtual TVmoShowViewer* Viewer() = 0;
  // The window has closed (an exit action, the end of a "close" show, a
  // show that could not be opened).
  virtual bool Closed() const = 0;
};

// A window without the main-window logic: it plays one show from a start
// position and performs no actions (the engine's action reports are
// dropped). For tests of the engine and the renderer, and for rendering
// without input.
class TVmoPlainWindow : public TRenderedWindow {
public:
  // Opens the show at `start` ms and starts playing. A show whose project
  // cannot be played closes the window with `Message()` set.
  TVmoPlainWindow(const TVmoViewerSetup& setup, std::unique_ptr<TVmoShowLocator> show, int32_t start);
  ~TVmoPlainWindow() override;

  TVmoShowViewer* Viewer() override;
  bool Closed() const override { return m_closed; }
  const std::string& Message() const { return m_message; }

private:
  std::unique_ptr<TVmoShowLocator> m_show;
  std::unique_ptr<TVmoShowViewer> m_viewer;
  bool m_closed = false;
  std::string m_message;
};

} // namespace qx
