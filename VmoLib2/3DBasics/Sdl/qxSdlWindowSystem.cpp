#include "VmoLib2/3DBasics/Sdl/qxSdlWindowSystem.h"

#include "VmoLib2/3DBasics/Sdl/qxSdlDrawDevice.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/qxKeyCodes.h"

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

std::unique_ptr<TWindowSystem> CreateSdlWindowSystem(std::string& error) { return TSdlWindowSystem::Create(error); }

TDrawDevice* DeviceOf(uint32_t windowId) { return TSdlDrawDevice::FromWindow(SDL_GetWindowFromID(windowId)); }

TSdlDrawDevice* SdlDevice(TDrawDevice& window) {
  return TSdlDrawDevice::FromWindow(static_cast<SDL_Window*>(window.WindowHandle()));
}

int32_t ButtonOf(uint8_t sdlButton) {
  switch (sdlButton) {
  case SDL_BUTTON_LEFT: return 1;
  case SDL_BUTTON_MIDDLE: return 2;
  case SDL_BUTTON_RIGHT: return 4;
  default: return 0;
  }
}

uint32_t MouseButtons() { return SDL_GetMouseState(nullptr, nullptr); }

} // namespace

const TWindowSystemDriver kSdlWindowSystemDriver{{"sdl", "SDL2 windows", SdlVideoAvailable}, CreateSdlWindowSystem};

int TSdlDisplays::Count() const { return std::max(0, SDL_GetNumVideoDisplays()); }

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

int32_t KeyCodeOfSdlKey(int32_t sdlKey) {
  const char* name = SDL_GetKeyName(static_cast<SDL_Keycode>(sdlKey));
  return name ? KeyCodeFromName(name) : kNoKey;
}

uint8_t ShiftStateOfSdl(uint16_t keyModifiers, uint32_t mouseButtons) {
  uint8_t shift = 0;
  if (keyModifiers & KMOD_GUI)
    shift |= ssWindows;
  if (keyModifiers & KMOD_SHIFT)
    shift |= ssShift;
  if (keyModifiers & KMOD_ALT)
    shift |= ssAlt;
  if (keyModifiers & KMOD_CTRL)
    shift |= ssCtrl;
  if (mouseButtons & SDL_BUTTON(SDL_BUTTON_LEFT))
    shift |= ssLeft;
  if (mouseButtons & SDL_BUTTON(SDL_BUTTON_RIGHT))
    shift |= ssRight;
  if (mouseButtons & SDL_BUTTON(SDL_BUTTON_MIDDLE))
    shift |= ssMiddle;
  return shift;
}

TSdlWindowSystem::TSdlWindowSystem() : m_wakeEvent(SDL_RegisterEvents(1)) {}

std::unique_ptr<TSdlWindowSystem> TSdlWindowSystem::Create(std::string& error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = SDL_GetError();
    return nullptr;
  }
  return std::unique_ptr<TSdlWindowSystem>(new TSdlWindowSystem());
}

TSdlWindowSystem::~TSdlWindowSystem() {
  if (m_arrow) {
    SDL_FreeCursor(m_arrow);
  }
  if (m_hand) {
    SDL_FreeCursor(m_hand);
  }
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
    open = HandleEvent(event) && open;
  }
  return open;
}

bool TSdlWindowSystem::WaitEvents(int timeoutMs) {
  SDL_Event event;
  if (SDL_WaitEventTimeout(&event, std::max(timeoutMs, 0)) == 0) {
    return true;
  }
  const bool open = HandleEvent(event);
  return PumpEvents() && open;
}

void TSdlWindowSystem::Wake() {
  if (m_wakeEvent == static_cast<uint32_t>(-1)) {
    return;
  }
  SDL_Event event{};
  event.type = m_wakeEvent;
  SDL_PushEvent(&event);
}

bool TSdlWindowSystem::HandleEvent(const SDL_Event& event) {
  TWindowEvent out;
  switch (event.type) {
  case SDL_QUIT: return false;
  case SDL_WINDOWEVENT: {
    TSdlDrawDevice* device = TSdlDrawDevice::FromWindow(SDL_GetWindowFromID(event.window.windowID));
    if (!device) {
      return true;
    }
    out.Window = device;
    switch (event.window.event) {
    case SDL_WINDOWEVENT_ENTER:
      out.Kind = TWindowEvent::TKind::MouseEnter;
      Deliver(out);
      break;
    case SDL_WINDOWEVENT_LEAVE:
      out.Kind = TWindowEvent::TKind::MouseLeave;
      Deliver(out);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      out.Kind = TWindowEvent::TKind::FocusGained;
      Deliver(out);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      out.Kind = TWindowEvent::TKind::FocusLost;
      Deliver(out);
      break;
    default: break;
    }
    return device->HandleWindowEvent(event.window);
  }
  case SDL_KEYDOWN:
  case SDL_KEYUP:
    out.Kind = event.type == SDL_KEYDOWN ? TWindowEvent::TKind::KeyDown : TWindowEvent::TKind::KeyUp;
    out.Window = DeviceOf(event.key.windowID);
    out.Key = KeyCodeOfSdlKey(event.key.keysym.sym);
    out.Shift = ShiftStateOfSdl(event.key.keysym.mod, MouseButtons());
    if (out.Key != kNoKey) {
      Deliver(out);
    }
    return true;
  case SDL_MOUSEMOTION:
    out.Kind = TWindowEvent::TKind::MouseMove;
    out.Window = DeviceOf(event.motion.windowID);
    out.X = event.motion.x;
    out.Y = event.motion.y;
    out.Shift = ShiftStateOfSdl(static_cast<uint16_t>(SDL_GetModState()), event.motion.state);
    Deliver(out);
    return true;
  case SDL_MOUSEBUTTONDOWN:
  case SDL_MOUSEBUTTONUP:
    if (event.type == SDL_MOUSEBUTTONUP) {
      out.Kind = TWindowEvent::TKind::MouseUp;
    } else {
      // The second press of a double click is reported as the double
      // click, as the bindings expect.
      out.Kind = event.button.clicks == 2 ? TWindowEvent::TKind::DoubleClick : TWindowEvent::TKind::MouseDown;
    }
    out.Window = DeviceOf(event.button.windowID);
    out.Button = ButtonOf(event.button.button);
    out.X = event.button.x;
    out.Y = event.button.y;
    out.Shift = ShiftStateOfSdl(static_cast<uint16_t>(SDL_GetModState()), MouseButtons());
    if (out.Button != 0) {
      Deliver(out);
    }
    return true;
  case SDL_MOUSEWHEEL:
    out.Kind = TWindowEvent::TKind::Wheel;
    out.Window = DeviceOf(event.wheel.windowID);
    out.Notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
    SDL_GetMouseState(&out.X, &out.Y);
    out.Shift = ShiftStateOfSdl(static_cast<uint16_t>(SDL_GetModState()), MouseButtons());
    if (out.Notches != 0) {
      Deliver(out);
    }
    return true;
  default: return true;
  }
}

int TSdlWindowSystem::BitsPerPixel(int display) const {
  SDL_DisplayMode mode;
  if (SDL_GetCurrentDisplayMode(display, &mode) != 0) {
    return 0;
  }
  return static_cast<int>(SDL_BITSPERPIXEL(mode.format));
}

void TSdlWindowSystem::SetWindowStyle(TDrawDevice& window, bool fullScreen, bool bordered, bool resizable) {
  if (TSdlDrawDevice* device = SdlDevice(window)) {
    device->SetStyle(fullScreen, bordered, resizable);
  }
}

T3DRect TSdlWindowSystem::WindowBorders(TDrawDevice& window) {
  SDL_Window* handle = static_cast<SDL_Window*>(window.WindowHandle());
  int top = 0;
  int left = 0;
  int bottom = 0;
  int right = 0;
  if (!handle || SDL_GetWindowBordersSize(handle, &top, &left, &bottom, &right) != 0) {
    return {};
  }
  return {left, top, right, bottom};
}

void TSdlWindowSystem::SetWindowTitle(TDrawDevice& window, const std::string& title) {
  if (SDL_Window* handle = static_cast<SDL_Window*>(window.WindowHandle())) {
    SDL_SetWindowTitle(handle, title.c_str());
  }
}

void TSdlWindowSystem::RaiseWindow(TDrawDevice& window) {
  if (SDL_Window* handle = static_cast<SDL_Window*>(window.WindowHandle())) {
    SDL_ShowWindow(handle);
    SDL_RaiseWindow(handle);
  }
}

void TSdlWindowSystem::SetCursor(TCursorShape shape) {
  if (shape == TCursorShape::None) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  SDL_Cursor*& cursor = shape == TCursorShape::Hand ? m_hand : m_arrow;
  if (!cursor) {
    cursor = SDL_CreateSystemCursor(shape == TCursorShape::Hand ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW);
  }
  if (cursor) {
    SDL_SetCursor(cursor);
  }
  SDL_ShowCursor(SDL_ENABLE);
}

bool TSdlWindowSystem::ShowMessage(const std::string& caption, const std::string& text, TDrawDevice* parent) {
  std::string lines = text;
  std::replace(lines.begin(), lines.end(), '\r', '\n');
  SDL_Window* handle = parent ? static_cast<SDL_Window*>(parent->WindowHandle()) : nullptr;
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption.c_str(), lines.c_str(), handle) == 0) {
    return true;
  }
  Log().WriteLine(std::string("TSdlWindowSystem.ShowMessage: ") + SDL_GetError());
  return false;
}

} // namespace qx
