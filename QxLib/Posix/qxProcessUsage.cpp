#include "QxLib/qxProcessUsage.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace qx {

namespace {

// The number after `key` ("VmRSS:   1234 kB"), times 1024 when the line
// gives kilobytes.
bool ReadStatusField(const std::string& line, const char* key, int64_t& value) {
  const size_t length = std::strlen(key);
  if (line.compare(0, length, key) != 0)
    return false;
  char* end = nullptr;
  const long long number = std::strtoll(line.c_str() + length, &end, 10);
  value = number;
  if (end && std::strstr(end, "kB"))
    value *= 1024;
  return true;
}

int32_t CountEntries(const char* folder) {
  int32_t count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    ++count;
  return count;
}

} // namespace

TProcessUsage CurrentProcessUsage() {
  TProcessUsage usage;
  std::ifstream status("/proc/self/status");
  std::string line;
  int64_t threads = 0;
  while (std::getline(status, line)) {
    if (!ReadStatusField(line, "VmRSS:", usage.ResidentBytes) &&
        !ReadStatusField(line, "VmHWM:", usage.PeakResidentBytes) && ReadStatusField(line, "Threads:", threads))
      usage.Threads = static_cast<int32_t>(threads);
  }
  status.close();
  // The listing's own descriptor is open while the folder is read.
  usage.OpenFiles = CountEntries("/proc/self/fd") - 1;
  return usage;
}

std::vector<std::string> ThreadNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error)) {
    std::ifstream comm(it->path() / "comm");
    std::string name;
    if (std::getline(comm, name))
      names.push_back(name);
  }
  return names;
}

} // namespace qx
