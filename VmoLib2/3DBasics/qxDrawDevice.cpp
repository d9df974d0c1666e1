#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include "VmoLib2/3DBasics/qxGLContext.h"

#include <algorithm>

namespace qx {

TDrawDevice::TDrawDevice(const T3DRect& bounds) : m_bounds(bounds) {}

TDrawDevice::~TDrawDevice() { ReleaseAttached(); }

void TDrawDevice::ReleaseAttached() {
  while (!m_attached.empty()) {
    // Pop first: an object's destructor may look for its neighbours.
    auto last = std::move(m_attached.back());
    m_attached.pop_back();
    last.reset();
  }
}

std::unique_ptr<TGLContext> TDrawDevice::CreateGLContext(std::string& error) {
  error = IsHeadless() ? "an off-screen device has no window" : "this window system makes no GL contexts";
  return nullptr;
}

void TDrawDevice::Refresh() const {
  if (m_refresh) {
    m_refresh();
  }
}

TAttachedObject& TDrawDevice::Attach(std::unique_ptr<TAttachedObject> object) {
  m_attached.push_back(std::move(object));
  return *m_attached.back();
}

std::unique_ptr<TAttachedObject> TDrawDevice::Detach(const TAttachedObject* object) {
  const auto it =
      std::find_if(m_attached.begin(), m_attached.end(), [object](const auto& item) { return item.get() == object; });
  if (it == m_attached.end()) {
    return nullptr;
  }
  auto detached = std::move(*it);
  m_attached.erase(it);
  return detached;
}

} // namespace qx
