#include "VmoLib2/VmoViewer/qxVmoDrawController.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"

namespace qx {

TVmoDrawController::TVmoDrawController(std::unique_ptr<TDrawDevice> device, TDrawerFactory factory)
    : m_ownedDevice(std::move(device)), m_device(m_ownedDevice.get()), m_factory(std::move(factory)) {
  QX_ASSERT(m_device != nullptr, "Draw controller without a device");
  HookDevice();
}

TVmoDrawController::TVmoDrawController(TDrawDevice& device, TDrawerFactory factory)
    : m_device(&device), m_factory(std::move(factory)) {
  HookDevice();
}

TVmoDrawController::~TVmoDrawController() {
  m_device->SetRefreshCallback({});
  if (m_drawer)
    m_drawer->Close();
  m_drawer.reset();
}

void TVmoDrawController::HookDevice() {
  m_device->SetRefreshCallback([this] {
    Log().WriteLine("TVmoDrawController.DeviceRefresh: DrawDevice Refresh!");
    m_refreshPending = true;
  });
}

bool TVmoDrawController::InitDrawer() {
  if (!m_drawer) {
    if (!m_factory)
      return false;
    m_drawer = m_factory();
    if (!m_drawer)
      return false;
    m_drawer->SetLostCallback([this] { m_resetPending = true; });
    m_drawer->SetDrawCallback([](TDrawPhase, TDrawItem&) {});
  }
  m_drawer->Init(*m_device);
  return true;
}

std::pair<int, int> TVmoDrawController::DeviceSize() const {
  const T3DRect& bounds = m_device->Bounds();
  return {bounds.Width(), bounds.Height()};
}

int TVmoDrawController::GetState() {
  int state = 0;
  if (m_device->Active())
    state |= kDeviceActive;
  if (m_refreshPending.exchange(false))
    state |= kRefreshPending;
  if (m_resetPending)
    state |= kResetPending;
  if (m_drawer && m_drawer->Ready()) {
    state |= kDrawerReady;
    m_resetPending = false;
  }
  return state;
}

void TVmoDrawController::Draw(TDrawItem& root) {
  if (m_drawer)
    m_drawer->DrawItem(root);
}

} // namespace qx
