// The null window system: windows are off-screen draw devices of the asked
// size on the one off-screen display, and there are no events. For tools,
// tests and headless rendering.
#pragma once

#include "VmoLib2/3DBasics/qxWindowSystem.h"

#include <condition_variable>
#include <mutex>

namespace qx {

class TNullWindowSystem final : public TWindowSystem {
public:
  const TDisplays& Displays() const override { return TOffscreenDisplays::Instance(); }
  std::unique_ptr<TDrawDevice> OpenWindow(const std::string& title, const T3DRect& bounds, bool fullScreen,
                                          std::string& error) override;
  bool PumpEvents() override { return true; }
  // Waits for a Wake or the time-out.
  bool WaitEvents(int timeoutMs) override;
  void Wake() override;
  int BitsPerPixel(int) const override { return 32; }
  void SetWindowStyle(TDrawDevice& window, bool fullScreen, bool, bool) override { window.SetFullScreen(fullScreen); }
  T3DRect WindowBorders(TDrawDevice&) override { return {}; }
  void SetWindowTitle(TDrawDevice&, const std::string&) override {}
  void RaiseWindow(TDrawDevice&) override {}
  void SetCursor(TCursorShape) override {}
  // There is nothing to show a message on.
  bool ShowMessage(const std::string&, const std::string&, TDrawDevice*) override { return false; }

private:
  std::mutex m_lock;
  std::condition_variable m_woken;
  bool m_wake = false;
};

// The table's record of this back end ("null", always available).
extern const TWindowSystemDriver kNullWindowSystemDriver;

} // namespace qx
