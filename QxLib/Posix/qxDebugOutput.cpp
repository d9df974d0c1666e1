#include "QxLib/qxDebugOutput.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace qx {

namespace {
std::atomic<bool> g_muted{false};
}

void WriteDebugOutput(std::string_view line) {
  if (g_muted.load(std::memory_order_relaxed))
    return;
  // One fwrite per line keeps lines of concurrent writers whole.
  std::string text(line);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), stderr);
}

bool SetDebugOutputMuted(bool muted) { return g_muted.exchange(muted); }

} // namespace qx
