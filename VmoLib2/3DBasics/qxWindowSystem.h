// The window system: the displays, the windows a show is drawn into (each a
// draw device the engine makes renderers for) and their events. Back ends
// live beside this file (Sdl/: SDL2 windows; Null/: off-screen outputs and
// no events); the table in VmoLib2/Backends/qxWindowSystems.h chooses one.
#pragma once

#include "QxLib/qxBackendChoice.h"
#include "VmoLib2/3DBasics/qxDisplays.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qx {

// An input event of a window. Key codes and shift states are those of
// qxKeyCodes.h (the back end translates its own), coordinates are client
// pixels, buttons 1 left, 2 middle, 4 right.
struct TWindowEvent {
  enum class TKind {
    KeyDown, // also each repeat of a held key
    KeyUp,
    MouseMove,
    MouseDown,
    MouseUp,
    DoubleClick, // the second press of a double click (instead of MouseDown)
    Wheel,
    MouseEnter,
    MouseLeave,
    FocusGained,
    FocusLost,
  };

  TKind Kind = TKind::MouseMove;
  // The window's draw device.
  TDrawDevice* Window = nullptr;
  int32_t Key = 0;
  uint8_t Shift = 0;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Button = 0;
  // Wheel notches; away from the user is positive.
  int32_t Notches = 0;
};

// Receives the input events of a window system's windows, on the thread
// that pumps them.
class TWindowEventHandler {
public:
  virtual ~TWindowEventHandler() = default;
  virtual void OnWindowEvent(const TWindowEvent& event) = 0;
};

// The mouse cursor over a window system's windows.
enum class TCursorShape { Arrow, Hand, None };

// One per process; every call comes from the thread that made it (the main
// thread), which also owns the windows.
class TWindowSystem {
public:
  TWindowSystem() = default;
  TWindowSystem(const TWindowSystem&) = delete;
  TWindowSystem& operator=(const TWindowSystem&) = delete;
  // Windows made by the system must be gone first.
  virtual ~TWindowSystem() = default;

  // The displays windows go on; engines that draw into this system's
  // windows are made with them.
  virtual const TDisplays& Displays() const = 0;

  // Opens a window of `bounds` (desktop pixels), full screen on the display
  // under it with `fullScreen`, as a draw device. Null with `error` set
  // when it cannot be made.
  virtual std::unique_ptr<TDrawDevice> OpenWindow(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                                  std::string& error) = 0;

  // Handles the pending events of every window of this system: exposure
  // and resizing raise the window's refresh callback, minimising and
  // restoring set its active flag, input goes to the event handler. Answers
  // false once the user asked to quit (a window's close button, the end of
  // the session).
  virtual bool PumpEvents() = 0;
  // As PumpEvents, after waiting up to `timeoutMs` for an event or a Wake.
  virtual bool WaitEvents(int timeoutMs) = 0;
  // Ends a WaitEvents early; any thread.
  virtual void Wake() = 0;

  // Where input events go; none: they are dropped.
  void SetEventHandler(TWindowEventHandler* handler) { m_handler = handler; }

  // The colour depth of a display's current mode in bits per pixel; 0 when
  // unknown.
  virtual int BitsPerPixel(int display) const = 0;

  // The look of a window made by this system: full screen on its display,
  // with or without a frame, resizable or not. Its bounds stay the client
  // area (TDrawDevice::SetBounds places it).
  virtual void SetWindowStyle(TDrawDevice& window, bool fullScreen, bool bordered, bool resizable) = 0;
  // How far a framed window's frame reaches beyond its client area (left,
  // top, right, bottom); zeros when unknown.
  virtual T3DRect WindowBorders(TDrawDevice& window) = 0;
  virtual void SetWindowTitle(TDrawDevice& window, const std::string& title) = 0;
  // Shows the window and brings it to the front.
  virtual void RaiseWindow(TDrawDevice& window) = 0;
  virtual void SetCursor(TCursorShape shape) = 0;
  // A modal message box with a warning sign over `parent` (none: over no
  // window); false when the system could not show it.
  virtual bool ShowMessage(const std::string& caption, const std::string& text, TDrawDevice* parent) = 0;

protected:
  void Deliver(const TWindowEvent& event) const {
    if (m_handler)
      m_handler->OnWindowEvent(event);
  }

private:
  TWindowEventHandler* m_handler = nullptr;
};

// What a window-system back end gives the table of back ends.
struct TWindowSystemDriver {
  TBackendInfo info;
  // Null with `error` set when the system cannot start.
  std::unique_ptr<TWindowSystem> (*create)(std::string& error);
};

} // namespace qx
