// What the running process holds right now: resident memory and its peak,
// threads and open file descriptors. Long runs sample it to show that the
// player's use stays flat. One implementation per platform
// (QxLib/Posix/qxProcessUsage.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

struct TProcessUsage {
  // Resident memory now and the most held so far, in bytes.
  int64_t ResidentBytes = 0;
  int64_t PeakResidentBytes = 0;
  int32_t Threads = 0;
  // Open file handles (descriptors) of the process.
  int32_t OpenFiles = 0;
};

// A snapshot of the calling process; fields the system does not tell stay 0.
TProcessUsage CurrentProcessUsage();

// The names of the process's threads (as the system shows them), one per
// thread, in no particular order; empty where the system does not tell.
std::vector<std::string> ThreadNames();

} // namespace qx
