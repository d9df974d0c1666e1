#include "VmoLib2/3DBasics/Sdl/qxSdlDrawDevice.h"

#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/qx3DDevStore.h"
#include "VmoLib2/3DBasics/qxGLContext.h"

#include <SDL2/SDL.h>

#include <algorithm>

namespace qx {

namespace {

// The window data under which a window keeps its draw device.
constexpr const char* kDeviceKey = "qx.TSdlDrawDevice";

void AskForGLES3() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
}

class TSdlGLContext final : public TGLContext {
public:
  TSdlGLContext(SDL_Window* window, SDL_GLContext context) : m_window(window), m_context(context) {}
  ~TSdlGLContext() override { SDL_GL_DeleteContext(m_context); }

  bool MakeCurrent() override {
    if (SDL_GL_GetCurrentContext() == m_context) {
      return true;
    }
    return SDL_GL_MakeCurrent(m_window, m_context) == 0;
  }
  void Release() override {
    if (SDL_GL_GetCurrentContext() == m_context) {
      SDL_GL_MakeCurrent(m_window, nullptr);
    }
  }
  void Swap() override { SDL_GL_SwapWindow(m_window); }
  bool SetSwapInterval(int interval) override { return SDL_GL_SetSwapInterval(interval) == 0; }
  bool IsHeadless() const override { return false; }
  void DrawableSize(int& width, int& height) const override { SDL_GL_GetDrawableSize(m_window, &width, &height); }

private:
  SDL_Window* m_window;
  SDL_GLContext m_context;
};

} // namespace

TSdlDrawDevice::TSdlDrawDevice(const std::string& title, const T3DRect& bounds) : TDrawDevice(bounds), m_title(title) {}

TSdlDrawDevice::~TSdlDrawDevice() {
  ReleaseAttached();
  CloseWindow();
}

std::unique_ptr<TSdlDrawDevice> TSdlDrawDevice::Create(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                                       std::string& error) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = SDL_GetError();
    return nullptr;
  }
  std::unique_ptr<TSdlDrawDevice> device(new TSdlDrawDevice(title, bounds));
  device->SetFullScreen(fullScreen);
  if (!device->OpenWindow(error)) {
    return nullptr;
  }
  return device;
}

TSdlDrawDevice* TSdlDrawDevice::FromWindow(SDL_Window* window) {
  return window ? static_cast<TSdlDrawDevice*>(SDL_GetWindowData(window, kDeviceKey)) : nullptr;
}

bool TSdlDrawDevice::OpenWindow(std::string& error) {
  AskForGLES3();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  const T3DRect& r = Bounds();
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
  if (FullScreen()) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  }
  m_window = SDL_CreateWindow(m_title.c_str(), r.left, r.top, std::max(1, r.Width()), std::max(1, r.Height()), flags);
  if (!m_window) {
    error = SDL_GetError();
    return false;
  }
  SDL_SetWindowData(m_window, kDeviceKey, this);
  return true;
}

void TSdlDrawDevice::CloseWindow() {
  if (m_window) {
    SDL_SetWindowData(m_window, kDeviceKey, nullptr);
    SDL_DestroyWindow(m_window);
    m_window = nullptr;
  }
}

void TSdlDrawDevice::SetBounds(const T3DRect& bounds) {
  TDrawDevice::SetBounds(bounds);
  if (!m_window || FullScreen()) {
    return;
  }
  SDL_SetWindowPosition(m_window, bounds.left, bounds.top);
  SDL_SetWindowSize(m_window, std::max(1, bounds.Width()), std::max(1, bounds.Height()));
}

void TSdlDrawDevice::SetStyle(bool fullScreen, bool bordered, bool resizable) {
  SetFullScreen(fullScreen);
  if (!m_window) {
    return;
  }
  SDL_SetWindowBordered(m_window, bordered ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(m_window, resizable ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowFullscreen(m_window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

std::unique_ptr<TGLContext> TSdlDrawDevice::CreateGLContext(std::string& error) {
  if (!m_window) {
    error = "no window";
    return nullptr;
  }
  AskForGLES3();
  const SDL_GLContext context = SDL_GL_CreateContext(m_window);
  if (!context) {
    error = SDL_GetError();
    return nullptr;
  }
  return std::make_unique<TSdlGLContext>(m_window, context);
}

bool TSdlDrawDevice::RecreateWindow(std::string& error) {
  {
    const std::lock_guard lock(DeviceLock());
    if (auto* store = FindAttached<T3DDevStore>()) {
      Log().WriteLine("TSdlDrawDevice.RecreateWindow: dropping the device");
      T3DDevStore::DropFromDevice(*store);
    }
  }
  CloseWindow();
  WindowRecreated();
  return OpenWindow(error);
}

bool TSdlDrawDevice::HandleWindowEvent(const SDL_WindowEvent& event) {
  switch (event.event) {
  case SDL_WINDOWEVENT_CLOSE: return false;
  case SDL_WINDOWEVENT_MINIMIZED:
  case SDL_WINDOWEVENT_HIDDEN: SetActive(false); break;
  case SDL_WINDOWEVENT_RESTORED:
  case SDL_WINDOWEVENT_SHOWN:
    SetActive(true);
    Refresh();
    break;
  case SDL_WINDOWEVENT_EXPOSED:
  case SDL_WINDOWEVENT_SIZE_CHANGED: Refresh(); break;
  default: break;
  }
  return true;
}

} // namespace qx
