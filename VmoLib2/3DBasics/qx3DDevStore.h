// The per-device store: one per draw device, attached to it, holding the
// device of an implementation and the lists of every renderer, texture and
// vertex list made on that device, so that all of them are dropped
// together when the device is lost.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <cstdint>
#include <vector>

namespace qx {

class T3DDevStore : public TAttachedObject {
public:
  enum class TList : uint8_t { Renderers, Textures, VertexLists };

  explicit T3DDevStore(TDrawDevice& device) : m_drawDevice(device) {}
  // Drops every object still listed (see Drop); an implementation calls
  // Drop in its own destructor while its device still exists.
  ~T3DDevStore() override;

  TDrawDevice& DrawDevice() const { return m_drawDevice; }
  void Add(T3DObject& object, TList list);
  void Remove(T3DObject& object);
  size_t Count(TList list) const { return Items(list).size(); }
  // Objects on the stores of every device in the process: those that hold
  // objects of the graphics API. What a long run checks for leaks once
  // everything it made is gone.
  static int64_t LiveObjects();

  // Detaches every object (frees its device objects and clears its store),
  // newest first, renderers, then textures, then vertex lists, calling
  // each one's device-killed callback right after it is detached.
  // Callbacks may release other objects of the store meanwhile.
  void Drop();

  // Removes `store` from its draw device and frees it: the ending of a
  // lost device. Under the device lock.
  static void DropFromDevice(T3DDevStore& store);

  // Whether the device is lost (a driver reset, a re-created window, a
  // test); a renderer that finds its store lost drops it with everything
  // on it at its next call. Back ends add the losses they detect.
  virtual bool IsLost() { return m_lost; }
  void MarkLost() { m_lost = true; }

private:
  const std::vector<T3DObject*>& Items(TList list) const { return m_lists[static_cast<int>(list)]; }
  std::vector<T3DObject*>& Items(TList list) { return m_lists[static_cast<int>(list)]; }

  TDrawDevice& m_drawDevice;
  std::vector<T3DObject*> m_lists[3];
  bool m_lost = false;
};

// Marks the device of `device` as lost, as a driver reset would: the next
// renderer call on it drops the store and everything on it. For tests.
void SimulateDeviceLoss(TDrawDevice& device);

} // namespace qx
