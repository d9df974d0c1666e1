// The running process and the programs it starts. One implementation per
// platform (QxLib/Posix/qxProcess.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

int64_t CurrentProcessId();
// The system's id of the calling thread (log lines show it).
int64_t CurrentThreadId();
// Whether standard error goes to a terminal (progress lines are shown only
// there).
bool StandardErrorIsTerminal();
// The most memory the process has held resident so far, in bytes.
int64_t PeakResidentBytes();

// Raises the scheduling priority of every thread of the process, as far as
// the process may (pictures loading in the foreground), and restores it.
// Callers serialise the two; threads started in between are restored too.
void RaiseProcessPriority();
void RestoreProcessPriority();

enum class TProgramOutput {
  Separate, // standard output and error apart
  Joined,   // standard error joined to the output
};

struct TProgramResult {
  // The program's exit code; -1 when it could not start or did not exit.
  int ExitCode = -1;
  // Ended by a signal (a crash) instead of exiting.
  bool Signalled = false;
  std::string Out;
  // Empty when joined to Out.
  std::string Err;
  // Why the program could not start; empty when it ran.
  std::string StartError;
  // Processor time the program used (user and system), in seconds.
  double CpuSeconds = 0;
};

// Runs `program` (a path, or a name looked up on the search path) with
// `args`, without a shell, waits for it and returns what it wrote.
TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                          TProgramOutput output = TProgramOutput::Separate);

} // namespace qx
