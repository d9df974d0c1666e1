#include "VmoLib2/3DBasics/Null/qxNullWindowSystem.h"

#include <chrono>

namespace qx {

namespace {

std::unique_ptr<TWindowSystem> CreateNullWindowSystem(std::string&) { return std::make_unique<TNullWindowSystem>(); }

} // namespace

const TWindowSystemDriver kNullWindowSystemDriver{{"null", "off-screen outputs, no events", nullptr},
                                                  CreateNullWindowSystem};

std::unique_ptr<TDrawDevice> TNullWindowSystem::OpenWindow(const std::string&, const T3DRect& bounds, bool fullScreen,
                                                           std::string&) {
  auto device = std::make_unique<TDrawDevice>(bounds);
  device->SetFullScreen(fullScreen);
  return device;
}

bool TNullWindowSystem::WaitEvents(int timeoutMs) {
  std::unique_lock lock(m_lock);
  m_woken.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_wake; });
  m_wake = false;
  return true;
}

void TNullWindowSystem::Wake() {
  {
    const std::lock_guard lock(m_lock);
    m_wake = true;
  }
  m_woken.notify_all();
}

} // namespace qx
