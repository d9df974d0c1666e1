// The null window system: windows are off-screen draw devices of the asked
// size on the one off-screen display, and there are no events. For tools,
// tests and headless rendering.
#pragma once

#include "VmoLib2/3DBasics/qxWindowSystem.h"

namespace qx {

class TNullWindowSystem final : public TWindowSystem {
public:
  const TDisplays& Displays() const override { return TOffscreenDisplays::Instance(); }
  std::unique_ptr<TDrawDevice> OpenWindow(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                          std::string& error) override;
  bool PumpEvents() override { return true; }
};

// The table's record of this back end ("null", always available).
extern const TWindowSystemDriver kNullWindowSystemDriver;

} // namespace qx
