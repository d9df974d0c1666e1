// The play order of a project's slides, shared process-wide by every source,
// slide producer and music loader of the same project path so that all of
// them agree on which project slide plays at each position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

// Maps play positions to project slide numbers (both 0-based).
class TSlideRandomList {
public:
  // Holds `count` entries, entry i = i; shuffled when `random` is set.
  TSlideRandomList(int count, bool random);

  int Count() const { return static_cast<int>(m_entries.size()); }
  // The project slide at play position n. Positions beyond the list extend
  // it with entries mapping to themselves. Not locked: use SlideOrderEntry
  // for lists held in the process-wide cache.
  int Entry(int n);

private:
  std::vector<int32_t> m_entries;
};

// The project slide (0-based) at play position n of the project known by
// `projectPath`. The order list of that path is made on first request from
// `count` and `random` and reused by every later caller until the process
// ends; lookup, creation and extension happen under one process-wide lock.
int SlideOrderEntry(const std::string& projectPath, int count, bool random, int n);

} // namespace qx
