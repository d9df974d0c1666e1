// The draw device on an SDL2 window, and the choice between a window and
// an off-screen device.
#pragma once

#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <memory>
#include <string>

struct SDL_Window;

namespace qx {

class TSdlDrawDevice final : public TDrawDevice {
public:
  // Opens a window for GL ES 3.0 drawing; null with `error` set when SDL
  // has no display or the window cannot be made.
  static std::unique_ptr<TSdlDrawDevice> Create(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                                std::string& error);
  ~TSdlDrawDevice() override;

  void* WindowHandle() const override { return m_window; }
  void SetBounds(const T3DRect& bounds) override;
  // Makes a new window in place of the old one. The devices made for the
  // old window are dropped (their owners are called back) before it goes.
  bool RecreateWindow(std::string& error);
  // Handles the window's pending events: exposure and resizing raise the
  // refresh callback, minimising and restoring set the active flag.
  // Answers false once the window was asked to close.
  bool PumpEvents();

private:
  TSdlDrawDevice(const std::string& title, const T3DRect& bounds);
  bool OpenWindow(std::string& error);
  void CloseWindow();

  std::string m_title;
  SDL_Window* m_window = nullptr;
};

// An SDL window when a display exists and `forceHeadless` is off,
// otherwise an off-screen device of the bounds' size.
std::unique_ptr<TDrawDevice> CreateDrawDevice(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                              bool forceHeadless);

} // namespace qx
