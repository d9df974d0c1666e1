// The few prepared slides around the show position: the cache adds the
// earliest missing slide of the wanted range, one per call, and drops the
// slides that left it.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"

#include <functional>
#include <memory>
#include <vector>

namespace qx {

class TSlideCache {
public:
  static constexpr int kMinCapacity = 1;
  static constexpr int kMaxCapacity = 3;

  using TContainerCreated = std::function<void(TDrawContainer& container)>;
  using TListChanged = std::function<void()>;

  // Keeps up to `capacity` slides (brought into 1 ... 3). The first form
  // borrows the producer, the second owns it.
  TSlideCache(TSlideProducer& producer, int capacity);
  TSlideCache(std::unique_ptr<TSlideProducer> producer, int capacity);
  ~TSlideCache();
  TSlideCache(const TSlideCache&) = delete;
  TSlideCache& operator=(const TSlideCache&) = delete;

  TSlideProducer& Producer() const { return *m_producer; }
  int Capacity() const { return m_capacity; }

  // Called with each new container before it is listed.
  void SetOnContainerCreated(TContainerCreated callback) { m_onCreated = std::move(callback); }
  // Called after each change of the list.
  void SetOnListChanged(TListChanged callback) { m_onListChanged = std::move(callback); }

  // Drops the containers outside the range wanted at `time` (the first
  // visible slide and the next capacity - 1; one container is always kept),
  // then makes the earliest missing one. True when a slide was added.
  bool Prepare(double time);
  // Frees every container (a jump to another position).
  void Clear();

  // The current containers in index order; the pointers stay valid until
  // the next Prepare or Clear.
  std::vector<TDrawContainer*> Containers() const;
  int Count() const { return static_cast<int>(m_containers.size()); }

private:
  void ListChanged() const;

  std::unique_ptr<TSlideProducer> m_ownedProducer;
  TSlideProducer* m_producer;
  int m_capacity;
  std::vector<std::unique_ptr<TDrawContainer>> m_containers;
  TContainerCreated m_onCreated;
  TListChanged m_onListChanged;
};

} // namespace qx
