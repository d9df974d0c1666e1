#include "VmoLib2/VmoClasses/qxVmoSlideRandom.h"

#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <random>

namespace qx {

namespace {

// Keys of the shuffle are drawn from 0 ... kShuffleKeyLimit - 1.
constexpr uint32_t kShuffleKeyLimit = 1000000;
// How far one request may extend a list.
constexpr int kMaxExtension = 65536;

struct TOrderCache {
  std::mutex Lock;
  std::map<std::string, std::unique_ptr<TSlideRandomList>> Lists;
};

TOrderCache& OrderCache() {
  static TOrderCache cache;
  return cache;
}

} // namespace

TSlideRandomList::TSlideRandomList(int count, bool random) {
  const int size = std::max(count, 0);
  m_entries.resize(size);
  for (int i = 0; i < size; ++i)
    m_entries[i] = i;
  if (!random || size < 2)
    return;

  std::mt19937 generator(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<uint32_t> keyOf(0, kShuffleKeyLimit - 1);
  std::vector<std::pair<uint32_t, int32_t>> keyed;
  keyed.reserve(size);
  for (const int32_t entry : m_entries)
    keyed.emplace_back(keyOf(generator), entry);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (int i = 0; i < size; ++i)
    m_entries[i] = keyed[i].second;
}

int TSlideRandomList::Entry(int n) {
  // Entries past the list map to themselves; a wild position is answered
  // without growing the list to it.
  if (n < 0 || n >= Count() + kMaxExtension)
    return n;
  for (int i = Count(); i <= n; ++i)
    m_entries.push_back(i);
  return m_entries[n];
}

int SlideOrderEntry(const std::string& projectPath, int count, bool random, int n) {
  TOrderCache& cache = OrderCache();
  const std::lock_guard<std::mutex> guard(cache.Lock);
  // Project paths name files of a case-insensitive file system.
  auto& list = cache.Lists[LowerCase(projectPath)];
  if (!list)
    list = std::make_unique<TSlideRandomList>(count, random);
  return list->Entry(n);
}

} // namespace qx
