// The draw device of the windowing framework: the output a renderer draws
// to (a window, or an off-screen surface when there is no display), its
// bounds and full-screen flag, the objects other layers attach to it, and
// the refresh callback the window raises when it must be drawn again.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TGLContext;

// Something another layer hangs on a draw device (a device store, a
// rectangle record); destroyed with the device or when detached.
class TAttachedObject {
public:
  virtual ~TAttachedObject() = default;
};

class TDrawDevice {
public:
  // A device without a window: renderers made for it draw off-screen into
  // a back buffer of the bounds' size.
  explicit TDrawDevice(const T3DRect& bounds);
  TDrawDevice(const TDrawDevice&) = delete;
  TDrawDevice& operator=(const TDrawDevice&) = delete;
  // Destroys the attached objects, newest first, before the output goes.
  virtual ~TDrawDevice();

  // The native window (the SDL window for the SDL output), or null for an
  // off-screen device.
  virtual void* WindowHandle() const { return nullptr; }
  bool IsHeadless() const { return WindowHandle() == nullptr; }
  // A GL ES 3.0 context that draws into the window, made by the window
  // system for the GL back end; null with `error` set when the window
  // system makes none (and for an off-screen device).
  virtual std::unique_ptr<TGLContext> CreateGLContext(std::string& error);
  // Counts re-creations of the native window; a renderer made for an
  // older window is lost.
  uint32_t WindowGeneration() const { return m_windowGeneration; }

  const T3DRect& Bounds() const { return m_bounds; }
  virtual void SetBounds(const T3DRect& bounds) { m_bounds = bounds; }
  bool FullScreen() const { return m_fullScreen; }
  void SetFullScreen(bool fullScreen) { m_fullScreen = fullScreen; }
  // False while the output is hidden or minimised; drawing may be skipped.
  bool Active() const { return m_active; }
  void SetActive(bool active) { m_active = active; }

  // Called when the output must be drawn again (exposed, resized).
  void SetRefreshCallback(std::function<void()> callback) { m_refresh = std::move(callback); }
  void Refresh() const;

  // Attached objects; the device owns them.
  TAttachedObject& Attach(std::unique_ptr<TAttachedObject> object);
  // Hands an attached object back to the caller (null when not attached).
  std::unique_ptr<TAttachedObject> Detach(const TAttachedObject* object);
  template <class T>
  T* FindAttached() const {
    for (const auto& object : m_attached) {
      if (auto* found = dynamic_cast<T*>(object.get())) {
        return found;
      }
    }
    return nullptr;
  }

protected:
  void WindowRecreated() { ++m_windowGeneration; }
  // Destroys the attached objects, newest first; a subclass calls it
  // before its window goes, since attached devices may still use it.
  void ReleaseAttached();

private:
  T3DRect m_bounds;
  bool m_fullScreen = false;
  bool m_active = true;
  uint32_t m_windowGeneration = 0;
  std::function<void()> m_refresh;
  std::vector<std::unique_ptr<TAttachedObject>> m_attached;
};

} // namespace qx
