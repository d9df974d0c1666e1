#include "QxLib/Graphics/Video/VmoVideoExtractor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace qx {

namespace {

int64_t Distance(int64_t a, int64_t b) {
  if (a == TVmoVideoExtractor::kNoIndex || b == TVmoVideoExtractor::kNoIndex)
    return std::numeric_limits<int64_t>::max();
  return a > b ? a - b : b - a;
}

} // namespace

TVmoVideoExtractor::TVmoVideoExtractor(TFrameSource* source, bool ownsSource, const TVideoParams& params, bool loops)
    : m_source(source), m_params(params), m_loops(loops) {
  if (ownsSource)
    m_ownedSource.reset(source);
  m_thread = std::thread([this] { Run(); });
}

TVmoVideoExtractor::~TVmoVideoExtractor() {
  {
    const std::lock_guard lock(m_lock);
    m_stopping = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void TVmoVideoExtractor::AddFrame(TRefPtr<TYUVImage> image) {
  if (!image)
    return;
  {
    const std::lock_guard lock(m_lock);
    m_pool.push_back({std::move(image), kNoIndex});
  }
  m_changed.notify_all();
}

int64_t TVmoVideoExtractor::FrameIndex(double timeMs) const {
  if (!(m_params.FrameRate > 0) || !(timeMs > 0))
    return 0;
  const auto index = static_cast<int64_t>(std::llround(timeMs * m_params.FrameRate / 1000.0));
  if (m_params.FrameCount <= 0 || index < m_params.FrameCount)
    return index;
  return m_loops ? index % m_params.FrameCount : m_params.FrameCount - 1;
}

std::pair<double, double> TVmoVideoExtractor::FrameWindow(int64_t index) const {
  if (!(m_params.FrameRate > 0))
    return {0, 0};
  const double step = 1000.0 / m_params.FrameRate;
  return {(static_cast<double>(index) - 0.5) * step, (static_cast<double>(index) + 0.5) * step};
}

bool TVmoVideoExtractor::PoolHolds(int64_t index) const {
  return std::any_of(m_pool.begin(), m_pool.end(), [index](const TSlot& slot) { return slot.Index == index; });
}

void TVmoVideoExtractor::MarkInvalidSlots() {
  for (TSlot& slot : m_pool)
    if (slot.Image->NeedsRefill())
      slot.Index = kNoIndex;
}

bool TVmoVideoExtractor::Request(double timeMs, bool wait) {
  const int64_t index = FrameIndex(timeMs);
  std::unique_lock lock(m_lock);
  MarkInvalidSlots();
  if (PoolHolds(index))
    return true;
  m_request = index;
  if (m_failed == index)
    m_failed = kNoIndex;
  m_changed.notify_all();
  if (!wait)
    return false;
  m_changed.wait_for(lock, std::chrono::milliseconds(kMaxWaitMs), [this, index] {
    return m_stopping || PoolHolds(index) || m_failed == index || m_request != index;
  });
  return PoolHolds(index);
}

TVmoVideoExtractor::TTaken TVmoVideoExtractor::Take(double timeMs, double displayRate) {
  const int64_t index = FrameIndex(timeMs);
  TTaken taken;
  std::unique_lock lock(m_lock);
  MarkInvalidSlots();
  if (m_pool.empty())
    return taken;
  auto nearest = std::min_element(m_pool.begin(), m_pool.end(), [index](const TSlot& a, const TSlot& b) {
    return Distance(a.Index, index) < Distance(b.Index, index);
  });
  taken.Image = nearest->Image;
  taken.Index = nearest->Index;
  taken.Exact = nearest->Index == index;
  m_pool.erase(nearest);

  // A frame taken in place of the wanted one asks for the wanted one: else
  // a clip standing still (before its start, or after a seek) would keep
  // showing a neighbour, since the frame ahead is all that is asked for.
  int64_t next = index;
  if (taken.Exact) {
    next = displayRate > 0 ? FrameIndex(timeMs + 1000.0 / displayRate) : index + 1;
    if (next == index)
      next = index + 1;
    if (m_params.FrameCount > 0 && next >= m_params.FrameCount)
      next = m_loops ? next % m_params.FrameCount : m_params.FrameCount - 1;
  }
  if (!PoolHolds(next) && next != taken.Index) {
    m_request = next;
    m_changed.notify_all();
  }
  return taken;
}

void TVmoVideoExtractor::GiveBack(const TTaken& taken) {
  if (!taken.Image)
    return;
  {
    const std::lock_guard lock(m_lock);
    m_pool.push_back({taken.Image, taken.Index});
  }
  m_changed.notify_all();
}

int TVmoVideoExtractor::PoolSize() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_pool.size());
}

int64_t TVmoVideoExtractor::FramesServed() const {
  const std::lock_guard lock(m_lock);
  return m_served;
}

void TVmoVideoExtractor::Run() {
  std::unique_lock lock(m_lock);
  for (;;) {
    m_changed.wait(lock, [this] { return m_stopping || (m_request != kNoIndex && !m_pool.empty()); });
    if (m_stopping)
      return;
    const int64_t request = m_request;
    if (PoolHolds(request)) {
      m_request = kNoIndex;
      m_changed.notify_all();
      continue;
    }
    auto farthest = std::max_element(m_pool.begin(), m_pool.end(), [request](const TSlot& a, const TSlot& b) {
      return Distance(a.Index, request) < Distance(b.Index, request);
    });
    TSlot slot = std::move(*farthest);
    m_pool.erase(farthest);
    lock.unlock();
    bool decoded = false;
    try {
      decoded = m_source->GetFrame(request, *slot.Image);
    } catch (const std::exception&) {
      decoded = false;
    }
    lock.lock();
    slot.Index = decoded ? request : kNoIndex;
    m_pool.push_back(std::move(slot));
    if (decoded)
      ++m_served;
    else
      m_failed = request;
    if (m_request == request)
      m_request = kNoIndex;
    m_changed.notify_all();
  }
}

} // namespace qx
