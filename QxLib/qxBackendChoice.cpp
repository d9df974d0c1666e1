#include "QxLib/qxBackendChoice.h"

#include "QxLib/qxUtf8.h"

#include <cstdlib>

namespace qx {

namespace {

bool Available(const TBackendInfo& info) { return info.available == nullptr || info.available(); }

} // namespace

int ChooseBackend(std::span<const TBackendInfo* const> table, std::string_view requested, std::string_view layer,
                  std::string& error) {
  if (!requested.empty()) {
    for (size_t i = 0; i < table.size(); ++i) {
      if (!SameText(table[i]->name, requested)) {
        continue;
      }
      if (Available(*table[i])) {
        return static_cast<int>(i);
      }
      error = std::string(layer) + " \"" + std::string(requested) + "\" is not available here";
      return -1;
    }
    error =
        "unknown " + std::string(layer) + " \"" + std::string(requested) + "\" (choose " + BackendNames(table) + ")";
    return -1;
  }
  for (size_t i = 0; i < table.size(); ++i) {
    if (Available(*table[i])) {
      return static_cast<int>(i);
    }
  }
  error = "no " + std::string(layer) + " is available here";
  return -1;
}

std::string BackendNames(std::span<const TBackendInfo* const> table) {
  std::string names;
  for (const TBackendInfo* info : table) {
    if (!names.empty()) {
      names += '|';
    }
    names += info->name;
  }
  return names;
}

std::string RequestedBackend(const std::optional<std::string>& commandLineChoice, const char* variable) {
  if (commandLineChoice) {
    return *commandLineChoice;
  }
  const char* value = variable ? std::getenv(variable) : nullptr;
  return value ? std::string(value) : std::string();
}

} // namespace qx
