#include "VmoLib2/3DBasics/Sdl/qxSdlWindowSystem.h"

#include "VmoLib2/3DBasics/Sdl/qxSdlDrawDevice.h"

#include <SDL2/SDL.h>

#include <algorithm>

namespace qx {

namespace {

bool SdlVideoAvailable() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    return true;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    return false;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return true;
}

std::unique_ptr<TWindowSystem> CreateSdlWindowSystem(std::string& error) {
  return TSdlWindowSystem::Create(error);
}

} // namespace

const TWindowSystemDriver kSdlWindowSystemDriver{{"sdl", "SDL2 windows", SdlVideoAvailable},
                                                 CreateSdlWindowSystem};

int TSdlDisplays::Count() const {
  return std::max(0, SDL_GetNumVideoDisplays());
}

bool TSdlDisplays::Bounds(int index, T3DRect& bounds) const {
  SDL_Rect rect;
  if (SDL_GetDisplayBounds(index, &rect) != 0) {
    return false;
  }
  bounds = {rect.x, rect.y, rect.x + rect.w, rect.y + rect.h};
  return true;
}

bool TSdlDisplays::Mode(int index, T3DDisplayMode& mode) const {
  SDL_DisplayMode sdlMode;
  if (SDL_GetCurrentDisplayMode(index, &sdlMode) != 0) {
    return false;
  }
  mode = {sdlMode.w, sdlMode.h, sdlMode.refresh_rate, static_cast<int>(sdlMode.format)};
  return true;
}

std::unique_ptr<TSdlWindowSystem> TSdlWindowSystem::Create(std::string& error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = SDL_GetError();
    return nullptr;
  }
  return std::unique_ptr<TSdlWindowSystem>(new TSdlWindowSystem());
}

TSdlWindowSystem::~TSdlWindowSystem() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::unique_ptr<TDrawDevice> TSdlWindowSystem::OpenWindow(const std::string& title, const T3DRect& bounds,
                                                          bool fullScreen, std::string& error) {
  return TSdlDrawDevice::Create(title, bounds, fullScreen, error);
}

bool TSdlWindowSystem::PumpEvents() {
  bool open = true;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) {
      open = false;
      continue;
    }
    if (event.type != SDL_WINDOWEVENT) {
      continue;
    }
    TSdlDrawDevice* device = TSdlDrawDevice::FromWindow(SDL_GetWindowFromID(event.window.windowID));
    if (device && !device->HandleWindowEvent(event.window)) {
      open = false;
    }
  }
  return open;
}

} // namespace qx
