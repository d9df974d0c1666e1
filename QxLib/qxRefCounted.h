// The intrusive reference count shared by the objects that several threads
// hold at once (file sources, bitmap stores, timing records, message items),
// and the smart pointer that holds one reference.
#pragma once

#include <atomic>
#include <cassert>
#include <cstdint>
#include <utility>

namespace qx {

class TRefCounted {
public:
  TRefCounted() = default;
  TRefCounted(const TRefCounted&) = delete;
  TRefCounted& operator=(const TRefCounted&) = delete;

  void AddRef() const noexcept { m_refCount.fetch_add(1, std::memory_order_relaxed); }

  // Drops one reference; the object deletes itself when the last one goes.
  void Release() const noexcept {
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      m_refCount.store(0, std::memory_order_relaxed);
      delete this;
    }
  }

  int32_t RefCount() const noexcept { return m_refCount.load(std::memory_order_relaxed); }

protected:
  // Objects are created with no reference; the first TRefPtr takes one.
  virtual ~TRefCounted() { assert(m_refCount.load() == 0 && "deleted while referenced"); }

private:
  mutable std::atomic<int32_t> m_refCount{0};
};

// Holds one reference to a TRefCounted object.
template <class T>
class TRefPtr {
public:
  TRefPtr() noexcept = default;
  TRefPtr(std::nullptr_t) noexcept {}
  explicit TRefPtr(T* object) noexcept : m_object(object) {
    if (m_object)
      m_object->AddRef();
  }
  TRefPtr(const TRefPtr& other) noexcept : TRefPtr(other.m_object) {}
  TRefPtr(TRefPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  template <class U>
  TRefPtr(const TRefPtr<U>& other) noexcept : TRefPtr(other.Get()) {}
  ~TRefPtr() { Reset(); }

  TRefPtr& operator=(TRefPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }

  void Reset() noexcept {
    if (T* object = std::exchange(m_object, nullptr))
      object->Release();
  }

  T* Get() const noexcept { return m_object; }
  T* operator->() const noexcept { return m_object; }
  T& operator*() const noexcept { return *m_object; }
  explicit operator bool() const noexcept { return m_object != nullptr; }
  bool operator==(const TRefPtr& other) const noexcept { return m_object == other.m_object; }

private:
  T* m_object = nullptr;
};

// Creates a reference-counted object held by its first reference.
template <class T, class... Args>
TRefPtr<T> MakeRef(Args&&... args) {
  return TRefPtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace qx
