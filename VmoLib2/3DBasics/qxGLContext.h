// A GL ES 3.0 context and the surface it shows on, as the GL back end of
// the device layer uses it. The GL back end makes off-screen contexts
// itself; a window's context comes from the window system's draw device
// (TDrawDevice::CreateGLContext), since making it is the window system's
// business.
#pragma once

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
};

} // namespace qx
