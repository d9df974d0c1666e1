#include "QxLib/qxExceptions.h"

#include "QxLib/qxDebugOutput.h"

#include <atomic>
#include <string_view>

namespace qx {

namespace {

std::atomic<TAssertionHook> g_assertionHook{nullptr};

std::string UnitName(const char* path) {
  std::string_view name(path);
  if (const auto slash = name.find_last_of("/\\"); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  if (const auto dot = name.rfind('.'); dot != std::string_view::npos)
    name = name.substr(0, dot);
  return std::string(name);
}

} // namespace

TAssertionHook SetAssertionHook(TAssertionHook hook) { return g_assertionHook.exchange(hook); }

void AssertionFailed(const std::string& message, const char* unit, int line) {
  const std::string report =
      "Asseertion with message: '" + message + "' (" + UnitName(unit) + ", line: " + std::to_string(line) + ")";
  WriteDebugOutput(report);
  if (const TAssertionHook hook = g_assertionHook.load())
    hook(report);
  throw EAssertionFailed(report);
}

} // namespace qx
