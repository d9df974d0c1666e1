#include "VmoLib2/3DBasics/Sdl/qxSdlDrawDevice.h"

#include "VmoLib2/3DBasics/qx3DDevStore.h"
#include "QxLib/qxLog.h"

#include <SDL2/SDL.h>

namespace qx {

TSdlDrawDevice::TSdlDrawDevice(const std::string& title, const T3DRect& bounds)
    : TDrawDevice(bounds), m_title(title) {}

TSdlDrawDevice::~TSdlDrawDevice() {
  ReleaseAttached();
  CloseWindow();
}

std::unique_ptr<TSdlDrawDevice> TSdlDrawDevice::Create(const std::string& title, const T3DRect& bounds,
                                                       bool fullScreen, std::string& error) {
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

bool TSdlDrawDevice::OpenWindow(std::string& error) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
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
  return true;
}

void TSdlDrawDevice::CloseWindow() {
  if (m_window) {
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

bool TSdlDrawDevice::PumpEvents() {
  bool open = true;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) {
      open = false;
      continue;
    }
    if (event.type != SDL_WINDOWEVENT || SDL_GetWindowFromID(event.window.windowID) != m_window) {
      continue;
    }
    switch (event.window.event) {
    case SDL_WINDOWEVENT_CLOSE: open = false; break;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN: SetActive(false); break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN: SetActive(true); Refresh(); break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: Refresh(); break;
    default: break;
    }
  }
  return open;
}

std::unique_ptr<TDrawDevice> CreateDrawDevice(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                              bool forceHeadless) {
  if (!forceHeadless) {
    std::string error;
    if (auto window = TSdlDrawDevice::Create(title, bounds, fullScreen, error)) {
      return window;
    }
    Log().WriteLine("CreateDrawDevice: no window (" + error + "), drawing off-screen");
  }
  auto device = std::make_unique<TDrawDevice>(bounds);
  device->SetFullScreen(fullScreen);
  return device;
}

} // namespace qx
