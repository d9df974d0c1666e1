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
// Processor time (user and system) of this process, and of its children
// that have ended and been waited for, in seconds.
double ProcessCpuSeconds();
double ChildrenCpuSeconds();

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

enum class TStartResult {
  Started,
  NotFound, // no such program or file
  Failed,   // it exists but could not be started
};

// Starts `program` (a path, or a name looked up on the search path) with
// `args` and does not wait for it; `error` says why it did not start.
// Programs started this way are reaped when they end.
TStartResult StartProgram(const std::string& program, const std::vector<std::string>& args, std::string& error);

// Opens a web or mail address, or a document, with the desktop's opener
// (the program the desktop associates with it), without waiting.
TStartResult OpenWithDesktop(const std::string& target, std::string& error);

// Whether `path` names a file that may be run as a program.
bool IsExecutableFile(const std::string& path);

// A program started to be waited for (the startup window of a show).
class TChildProcess {
public:
  TChildProcess() = default;
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  // A child still running is left running (and reaped when it ends).
  ~TChildProcess();

  // False with `error` set when it could not start.
  bool Start(const std::string& program, const std::vector<std::string>& args, std::string& error);
  // Waits up to `ms` for the child to end; true once it has ended.
  bool Wait(int ms);
  bool Running() const { return m_id > 0 && !m_ended; }
  // The exit code once ended; -1 for a child ended by a signal.
  int ExitCode() const { return m_exitCode; }

private:
  int64_t m_id = 0;
  bool m_ended = false;
  int m_exitCode = -1;
};

} // namespace qx
