// The window system: the displays, the windows a show is drawn into (each a
// draw device the engine makes renderers for) and their events. Back ends
// live beside this file (Sdl/: SDL2 windows; Null/: off-screen outputs and
// no events); the table in VmoLib2/Backends/qxWindowSystems.h chooses one.
#pragma once

#include "QxLib/qxBackendChoice.h"
#include "VmoLib2/3DBasics/qxDisplays.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <memory>
#include <string>

namespace qx {

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
  // restoring set its active flag. Answers false once the user asked to
  // quit (a window's close button, the end of the session).
  virtual bool PumpEvents() = 0;
};

// What a window-system back end gives the table of back ends.
struct TWindowSystemDriver {
  TBackendInfo info;
  // Null with `error` set when the system cannot start.
  std::unique_ptr<TWindowSystem> (*create)(std::string& error);
};

} // namespace qx
