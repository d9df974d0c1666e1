// The debugger output: the sink for diagnostics that have no log (standard
// error here; QxLib/Posix/qxDebugOutput.cpp).
#pragma once

#include <string_view>

namespace qx {

// Writes one line; safe to call from any thread. Does nothing while muted.
void WriteDebugOutput(std::string_view line);

// Mutes or unmutes the debugger output (tests that provoke assertions mute
// it); returns the previous state.
bool SetDebugOutputMuted(bool muted);

} // namespace qx
