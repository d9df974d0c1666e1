// The opening of every device call of the GL objects: the process-wide
// device lock, held for the whole call, then the object's device entered
// (checked for loss and its context made current on the calling thread).
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"

#include <mutex>

namespace qx {

// TObject has a private `bool Enter()` that answers false, with the
// failure's result kind kept, when its device cannot be used, and makes
// this class a friend.
template <class TObject>
class TGLDeviceCall {
public:
  explicit TGLDeviceCall(TObject& object) : m_lock(DeviceLock()), m_entered(object.Enter()) {}
  TGLDeviceCall(const TGLDeviceCall&) = delete;
  TGLDeviceCall& operator=(const TGLDeviceCall&) = delete;

  // False when the device could not be entered; the call then answers
  // its failure without touching GL.
  explicit operator bool() const { return m_entered; }

private:
  std::lock_guard<std::recursive_mutex> m_lock;
  const bool m_entered;
};

} // namespace qx
