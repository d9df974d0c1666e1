#include "VmoLib2/3DBasics/GL/qxEglContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

namespace qx {

namespace {

using TResetStatusProc = GLenum (*)();

TResetStatusProc ResetStatusProc() {
  static const TResetStatusProc proc = [] {
    auto p = reinterpret_cast<TResetStatusProc>(eglGetProcAddress("glGetGraphicsResetStatus"));
    if (!p) {
      p = reinterpret_cast<TResetStatusProc>(eglGetProcAddress("glGetGraphicsResetStatusEXT"));
    }
    return p;
  }();
  return proc;
}

class TEglContext final : public TGLContext {
public:
  TEglContext(EGLDisplay display, EGLContext context, EGLSurface surface)
      : m_display(display), m_context(context), m_surface(surface) {}
  ~TEglContext() override {
    if (eglGetCurrentContext() == m_context) {
      eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (m_surface != EGL_NO_SURFACE) {
      eglDestroySurface(m_display, m_surface);
    }
    eglDestroyContext(m_display, m_context);
  }

  bool MakeCurrent() override {
    if (eglGetCurrentContext() == m_context) {
      return true;
    }
    return eglMakeCurrent(m_display, m_surface, m_surface, m_context) == EGL_TRUE;
  }
  void Release() override {
    if (eglGetCurrentContext() == m_context) {
      eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
  }
  void Swap() override { glFlush(); }
  bool SetSwapInterval(int) override { return false; }
  bool IsHeadless() const override { return true; }
  void DrawableSize(int& width, int& height) const override { width = height = 0; }

private:
  EGLDisplay m_display;
  EGLContext m_context;
  EGLSurface m_surface;
};

// The display is initialised once and kept: terminating it while another
// context of the process uses it would pull the driver away.
EGLDisplay HeadlessDisplay() {
  static const EGLDisplay display = [] {
    EGLDisplay d = EGL_NO_DISPLAY;
    const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (extensions && getPlatformDisplay &&
        std::string(extensions).find("EGL_MESA_platform_surfaceless") != std::string::npos) {
      d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    }
    if (d == EGL_NO_DISPLAY) {
      d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    }
    if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr) != EGL_TRUE) {
      d = EGL_NO_DISPLAY;
    }
    return d;
  }();
  return display;
}

} // namespace

bool CurrentContextReset() {
  const auto proc = ResetStatusProc();
  return proc && proc() != GL_NO_ERROR;
}

std::unique_ptr<TGLContext> CreateHeadlessContext(std::string& error) {
  const EGLDisplay display = HeadlessDisplay();
  if (display == EGL_NO_DISPLAY) {
    error = "no EGL display";
    return nullptr;
  }
  eglBindAPI(EGL_OPENGL_ES_API);
  const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE,
                                     EGL_OPENGL_ES3_BIT,
                                     EGL_SURFACE_TYPE,
                                     EGL_PBUFFER_BIT,
                                     EGL_RED_SIZE,
                                     8,
                                     EGL_GREEN_SIZE,
                                     8,
                                     EGL_BLUE_SIZE,
                                     8,
                                     EGL_ALPHA_SIZE,
                                     8,
                                     EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (eglChooseConfig(display, configAttributes, &config, 1, &count) != EGL_TRUE || count < 1) {
    error = "no EGL configuration for GL ES 3";
    return nullptr;
  }
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
  const EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (context == EGL_NO_CONTEXT) {
    error = "eglCreateContext failed";
    return nullptr;
  }
  EGLSurface surface = EGL_NO_SURFACE;
  if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) != EGL_TRUE) {
    const EGLint pbufferAttributes[] = {EGL_WIDTH, 16, EGL_HEIGHT, 16, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
    if (surface == EGL_NO_SURFACE || eglMakeCurrent(display, surface, surface, context) != EGL_TRUE) {
      if (surface != EGL_NO_SURFACE) {
        eglDestroySurface(display, surface);
      }
      eglDestroyContext(display, context);
      error = "eglMakeCurrent failed";
      return nullptr;
    }
  }
  return std::make_unique<TEglContext>(display, context, surface);
}

} // namespace qx
