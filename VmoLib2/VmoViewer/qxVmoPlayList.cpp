#include "VmoLib2/VmoViewer/qxVmoPlayList.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <numeric>

namespace qx {

void TPlayList::Add(TMusicItemInfo item) {
  // Capacity grows 1, 8, then doubles: most lists hold one composite entry.
  if (m_items.size() == m_items.capacity())
    m_items.reserve(m_items.empty() ? 1 : m_items.size() < 8 ? 8 : m_items.size() * 2);
  m_totalLength = std::max(m_totalLength, item.Start + item.Duration);
  m_items.push_back(std::move(item));
}

void TPlayList::Append(const std::string& fileName, double duration) { Add({fileName, m_totalLength, 0, duration}); }

TMusicItemInfo TPlayList::Entry(int32_t n) const {
  QX_ASSERT(n >= 0, "Negative play list index");
  if (m_items.empty())
    return {};
  const int32_t count = Count();
  TMusicItemInfo entry = m_items[static_cast<size_t>(n % count)];
  entry.Start += static_cast<double>(n / count) * m_totalLength;
  return entry;
}

TPlayList TPlayList::ShuffledCopy(const TPlayList& source, int32_t passes, std::mt19937& random) {
  TPlayList copy;
  copy.m_isRepeat = source.m_isRepeat;
  std::uniform_int_distribution<int32_t> keys(0, kShuffleKeyMax);
  std::vector<size_t> order(source.m_items.size());
  std::vector<int32_t> key(order.size());
  for (int32_t pass = 0; pass < std::max(1, passes); ++pass) {
    std::iota(order.begin(), order.end(), size_t{0});
    for (int32_t& k : key)
      k = keys(random);
    std::stable_sort(order.begin(), order.end(), [&key](size_t a, size_t b) { return key[a] < key[b]; });
    for (const size_t index : order)
      copy.Append(source.m_items[index].FileName, source.m_items[index].Duration);
  }
  return copy;
}

} // namespace qx
