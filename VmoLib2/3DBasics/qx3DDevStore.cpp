#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include "QxLib/qxLog.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace qx {

std::recursive_mutex& DeviceLock() {
  static std::recursive_mutex lock;
  return lock;
}

namespace {

std::atomic<int64_t> g_objectsOnStores{0};

} // namespace

T3DObject::~T3DObject() {
  if (m_store) {
    m_store->Remove(*this);
  }
}

bool T3DObject::Fail(T3DResult result) {
  m_result = result;
  if (result != T3DResult::Ok) {
    Log().WriteLine("Dx Error = " + std::to_string(static_cast<int>(result)));
  }
  return false;
}

bool T3DObject::CheckStore() {
  if (m_store) {
    return true;
  }
  return Fail(T3DResult::DeviceLost);
}

T3DDevStore::~T3DDevStore() { Drop(); }

int64_t T3DDevStore::LiveObjects() { return g_objectsOnStores.load(std::memory_order_relaxed); }

void T3DDevStore::Add(T3DObject& object, TList list) {
  object.m_store = this;
  Items(list).push_back(&object);
  g_objectsOnStores.fetch_add(1, std::memory_order_relaxed);
}

void T3DDevStore::Remove(T3DObject& object) {
  for (auto& items : m_lists) {
    const auto it = std::find(items.begin(), items.end(), &object);
    if (it != items.end()) {
      items.erase(it);
      object.m_store = nullptr;
      g_objectsOnStores.fetch_sub(1, std::memory_order_relaxed);
      return;
    }
  }
}

void T3DDevStore::Drop() {
  const std::lock_guard lock(DeviceLock());
  for (auto& items : m_lists) {
    while (!items.empty()) {
      T3DObject* object = items.back();
      items.pop_back();
      g_objectsOnStores.fetch_sub(1, std::memory_order_relaxed);
      object->ReleaseDeviceObjects();
      object->m_store = nullptr;
      // A copy: the callback may reset the owner's pointer to the object.
      const auto callback = object->m_killed;
      if (callback) {
        callback();
      }
    }
  }
}

void T3DDevStore::DropFromDevice(T3DDevStore& store) {
  const std::lock_guard lock(DeviceLock());
  auto owned = store.m_drawDevice.Detach(&store);
  owned.reset();
}

void SimulateDeviceLoss(TDrawDevice& device) {
  const std::lock_guard lock(DeviceLock());
  if (auto* store = device.FindAttached<T3DDevStore>()) {
    store->MarkLost();
  }
}

} // namespace qx
