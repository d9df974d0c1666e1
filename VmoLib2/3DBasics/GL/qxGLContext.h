// A GL ES 3.0 context and the surface it shows on: an SDL2 window, or no
// surface at all for off-screen drawing through EGL on the Mesa driver.
#pragma once

#include <memory>
#include <string>

namespace qx {

class TGLContext {
public:
  virtual ~TGLContext() = default;
  // Makes the context current on the calling thread (no-op when it is).
  virtual bool MakeCurrent() = 0;
  // Leaves the context current on no thread, when it is current on the
  // calling one.
  virtual void Release() = 0;
  // Shows the window's default framebuffer; nothing when off-screen.
  virtual void Swap() = 0;
  // Asks for presents synchronised to the display; false when the driver
  // cannot, so that presentation is paced by sleeping.
  virtual bool SetSwapInterval(int interval) = 0;
  virtual bool IsHeadless() const = 0;
  // Pixel size of the window's framebuffer (0 x 0 off-screen).
  virtual void DrawableSize(int& width, int& height) const = 0;
  // True when the driver reports the context as reset (lost).
  bool IsReset();
};

// An off-screen context: EGL with the surfaceless platform, or a 16x16
// pbuffer when the driver has no surfaceless contexts. Null with `error`
// set on failure.
std::unique_ptr<TGLContext> CreateHeadlessContext(std::string& error);

// A context for an SDL_Window made with SDL_WINDOW_OPENGL.
std::unique_ptr<TGLContext> CreateWindowContext(void* sdlWindow, std::string& error);

// True when SDL's video subsystem can open windows (a display exists).
bool WindowSystemAvailable();

} // namespace qx
