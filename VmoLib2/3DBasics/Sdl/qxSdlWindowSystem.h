// The SDL2 window system: SDL's video subsystem, its displays, windows made
// as TSdlDrawDevice and the event pump that hands each window its events.
#pragma once

#include "VmoLib2/3DBasics/qxWindowSystem.h"

#include <cstdint>

union SDL_Event;
struct SDL_Cursor;

namespace qx {

class TSdlDisplays final : public TDisplays {
public:
  int Count() const override;
  bool Bounds(int index, T3DRect& bounds) const override;
  // The format is SDL's pixel format code.
  bool Mode(int index, T3DDisplayMode& mode) const override;
};

class TSdlWindowSystem final : public TWindowSystem {
public:
  // Starts SDL's video subsystem; null with `error` set when it cannot
  // (no display).
  static std::unique_ptr<TSdlWindowSystem> Create(std::string& error);
  // Stops the video subsystem again (SDL counts starts and stops).
  ~TSdlWindowSystem() override;

  const TDisplays& Displays() const override { return m_displays; }
  std::unique_ptr<TDrawDevice> OpenWindow(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                          std::string& error) override;
  bool PumpEvents() override;
  bool WaitEvents(int timeoutMs) override;
  // Pushes an event of this system's own type (SDL's queue is thread-safe).
  void Wake() override;
  int BitsPerPixel(int display) const override;
  void SetWindowStyle(TDrawDevice& window, bool fullScreen, bool bordered, bool resizable) override;
  T3DRect WindowBorders(TDrawDevice& window) override;
  void SetWindowTitle(TDrawDevice& window, const std::string& title) override;
  void RaiseWindow(TDrawDevice& window) override;
  void SetCursor(TCursorShape shape) override;
  bool ShowMessage(const std::string& caption, const std::string& text, TDrawDevice* parent) override;

  // Handles one SDL event; false when it asks to quit. Public for the
  // tests, which push SDL's events themselves.
  bool HandleEvent(const SDL_Event& event);

private:
  TSdlWindowSystem();

  TSdlDisplays m_displays;
  uint32_t m_wakeEvent = 0;
  SDL_Cursor* m_arrow = nullptr;
  SDL_Cursor* m_hand = nullptr;
};

// The key code (qxKeyCodes.h) of an SDL key, by its SDL name; kNoKey for a
// key without one.
int32_t KeyCodeOfSdlKey(int32_t sdlKey);
// The shift state of SDL's modifier keys and mouse buttons.
uint8_t ShiftStateOfSdl(uint16_t keyModifiers, uint32_t mouseButtons);

// The table's record of this back end ("sdl", available when SDL's video
// subsystem starts).
extern const TWindowSystemDriver kSdlWindowSystemDriver;

} // namespace qx
