#include "VmoLib2/VmoClasses/qxVmoSlideCache.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>

namespace qx {

TSlideCache::TSlideCache(TSlideProducer& producer, int capacity)
    : m_producer(&producer), m_capacity(std::clamp(capacity, kMinCapacity, kMaxCapacity)) {}

TSlideCache::TSlideCache(std::unique_ptr<TSlideProducer> producer, int capacity)
    : m_ownedProducer(std::move(producer)), m_producer(m_ownedProducer.get()),
      m_capacity(std::clamp(capacity, kMinCapacity, kMaxCapacity)) {
  QX_ASSERT(m_producer != nullptr, "TSlideCache: no producer");
}

TSlideCache::~TSlideCache() = default;

void TSlideCache::ListChanged() const {
  if (m_onListChanged)
    m_onListChanged();
}

bool TSlideCache::Prepare(double time) {
  const int first = m_producer->VisibleRange(time).First;
  // Computed wide so that the last index of a long repetition cannot wrap.
  int64_t last = static_cast<int64_t>(first) + m_capacity - 1;
  // A show without slides has nothing but its lead-in to prepare.
  if (m_producer->Source().SlideCount() <= 0)
    last = std::min<int64_t>(last, -1);
  const auto outside = [first, last](const std::unique_ptr<TDrawContainer>& container) {
    return container->Index() < first || container->Index() > last;
  };

  bool dropped = false;
  while (m_containers.size() >= 2) {
    const auto drop = std::find_if(m_containers.begin(), m_containers.end(), outside);
    if (drop == m_containers.end())
      break;
    // The owner learns of the shorter list before the slide is freed, so a
    // list it still draws never holds a freed slide.
    std::unique_ptr<TDrawContainer> dropping = std::move(*drop);
    m_containers.erase(drop);
    dropped = true;
    ListChanged();
  }
  if (dropped)
    m_producer->Host().ReleaseUnusedPictures();

  for (int64_t index = first; index <= last; ++index) {
    const auto place = std::find_if(m_containers.begin(), m_containers.end(),
                                    [index](const auto& container) { return container->Index() >= index; });
    if (place != m_containers.end() && (*place)->Index() == index)
      continue;
    std::unique_ptr<TDrawContainer> made = m_producer->MakeContainer(static_cast<int>(index));
    if (m_onCreated)
      m_onCreated(*made);
    // The callback may not change the list, so `place` is still where the
    // new container belongs.
    m_containers.insert(place, std::move(made));
    ListChanged();
    return true;
  }
  return false;
}

void TSlideCache::Clear() {
  if (m_containers.empty())
    return;
  std::vector<std::unique_ptr<TDrawContainer>> dropping = std::move(m_containers);
  m_containers.clear();
  ListChanged();
  dropping.clear();
  m_producer->Host().ReleaseUnusedPictures();
}

std::vector<TDrawContainer*> TSlideCache::Containers() const {
  std::vector<TDrawContainer*> containers;
  containers.reserve(m_containers.size());
  for (const auto& container : m_containers)
    containers.push_back(container.get());
  return containers;
}

} // namespace qx
