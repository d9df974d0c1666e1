// The draw controller: owns (or borrows) the window's draw device and the
// drawer made for it, and reports device events as state flags.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace qx {

class TDeviceDrawer;
class TDrawDevice;
class TDrawItem;

// Owns (or borrows) the window's draw device and the drawer made for it.
// The drawer comes from a factory, so that this library does not depend on
// the device implementation.
class TVmoDrawController {
public:
  using TDrawerFactory = std::function<std::unique_ptr<TDeviceDrawer>()>;

  // State flags of GetState.
  static constexpr int kDeviceActive = 8;
  static constexpr int kRefreshPending = 4;
  static constexpr int kResetPending = 2;
  static constexpr int kDrawerReady = 1;

  // Hooks the device's refresh callback.
  TVmoDrawController(std::unique_ptr<TDrawDevice> device, TDrawerFactory factory);
  TVmoDrawController(TDrawDevice& device, TDrawerFactory factory);
  TVmoDrawController(const TVmoDrawController&) = delete;
  TVmoDrawController& operator=(const TVmoDrawController&) = delete;
  ~TVmoDrawController();

  // Makes the drawer on first use (its device-lost callback sets
  // ResetPending) and attaches it to the device. False when the factory
  // gives none.
  bool InitDrawer();
  TDeviceDrawer* Drawer() const { return m_drawer.get(); }
  TDrawDevice& Device() const { return *m_device; }

  // The device's client size.
  std::pair<int, int> DeviceSize() const;
  // 8 device active; 4 refresh pending (then cleared); 2 reset pending;
  // 1 a drawer exists and is ready again (then reset pending is cleared).
  int GetState();
  bool ResetPending() const { return m_resetPending.load(); }
  bool RefreshPending() const { return m_refreshPending.load(); }

  // The drawer paints `root`; nothing without a drawer.
  void Draw(TDrawItem& root);

private:
  void HookDevice();

  std::unique_ptr<TDrawDevice> m_ownedDevice;
  TDrawDevice* m_device;
  TDrawerFactory m_factory;
  std::unique_ptr<TDeviceDrawer> m_drawer;
  std::atomic<bool> m_resetPending{false};
  std::atomic<bool> m_refreshPending{false};
};

} // namespace qx
