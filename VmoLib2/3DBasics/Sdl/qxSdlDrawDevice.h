// The draw device on an SDL2 window, made for GL ES 3.0 drawing: the GL
// back end draws into it through the context the window makes.
#pragma once

#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <memory>
#include <string>

struct SDL_Window;
struct SDL_WindowEvent;

namespace qx {

class TSdlDrawDevice final : public TDrawDevice {
public:
  // Opens a window (starting SDL's video when nobody has); null with
  // `error` set when SDL has no display or the window cannot be made.
  static std::unique_ptr<TSdlDrawDevice> Create(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                                std::string& error);
  ~TSdlDrawDevice() override;

  void* WindowHandle() const override { return m_window; }
  void SetBounds(const T3DRect& bounds) override;
  // Full screen on the window's display (the desktop's mode), or a window
  // with or without a frame, resizable or not.
  void SetStyle(bool fullScreen, bool bordered, bool resizable);
  std::unique_ptr<TGLContext> CreateGLContext(std::string& error) override;
  // Makes a new window in place of the old one. The devices made for the
  // old window are dropped (their owners are called back) before it goes.
  bool RecreateWindow(std::string& error);
  // Handles one event of this window: exposure and resizing raise the
  // refresh callback, minimising and restoring set the active flag.
  // Answers false when the window was asked to close.
  bool HandleWindowEvent(const SDL_WindowEvent& event);
  // The device of an SDL window made by this class, else null.
  static TSdlDrawDevice* FromWindow(SDL_Window* window);

private:
  TSdlDrawDevice(const std::string& title, const T3DRect& bounds);
  bool OpenWindow(std::string& error);
  void CloseWindow();

  std::string m_title;
  SDL_Window* m_window = nullptr;
};

} // namespace qx
