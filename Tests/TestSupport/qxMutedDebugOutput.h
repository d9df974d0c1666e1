// Mutes the debugger output for the life of the object, for tests that
// provoke assertions (whose messages would otherwise fill the test log).
#pragma once

#include "QxLib/qxDebugOutput.h"

namespace qx::test {

class TMutedDebugOutput {
public:
  TMutedDebugOutput() : m_previous(SetDebugOutputMuted(true)) {}
  ~TMutedDebugOutput() { SetDebugOutputMuted(m_previous); }
  TMutedDebugOutput(const TMutedDebugOutput&) = delete;
  TMutedDebugOutput& operator=(const TMutedDebugOutput&) = delete;

private:
  bool m_previous;
};

} // namespace qx::test
