// The SDL2 window system: SDL's video subsystem, its displays, windows made
// as TSdlDrawDevice and the event pump that hands each window its events.
#pragma once

#include "VmoLib2/3DBasics/qxWindowSystem.h"

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

private:
  TSdlWindowSystem() = default;

  TSdlDisplays m_displays;
};

// The table's record of this back end ("sdl", available when SDL's video
// subsystem starts).
extern const TWindowSystemDriver kSdlWindowSystemDriver;

} // namespace qx
