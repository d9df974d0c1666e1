#include "QxLib/qxProcess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <mutex>
#include <utility>
#include <vector>

namespace qx {

namespace {

// The nice value of a high-priority process.
constexpr int kRaisedNice = -10;

// Every thread of the process: on Linux the nice value belongs to each thread,
// so a process-wide change has to visit them all.
std::vector<id_t> ProcessThreads() {
  std::vector<id_t> threads;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    char* end = nullptr;
    const std::string name = entry.path().filename().string();
    const long id = std::strtol(name.c_str(), &end, 10);
    if (end != name.c_str() && *end == '\0' && id > 0) {
      threads.push_back(static_cast<id_t>(id));
    }
  }
  return threads;
}

struct TPriorityState {
  bool raised = false;
  int normal = 0;
  std::vector<std::pair<id_t, int>> saved;
};

TPriorityState g_priority;

// Both ends close on exec, so that a child started meanwhile by another
// thread keeps no end open.
bool MakePipe(int ends[2]) { return pipe2(ends, O_CLOEXEC) == 0; }

void CloseEnd(int& fd) {
  if (fd >= 0) {
    close(fd);
    fd = -1;
  }
}

// Reads both pipes until both are at their end, so that neither child
// stream fills up while the other is read.
void ReadUntilEnd(int outFd, int errFd, std::string& out, std::string& err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* texts[2] = {&out, &err};
  char buffer[4096];
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      const ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
      if (got > 0) {
        texts[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
      }
    }
  }
}

// Programs started without waiting, reaped when they have ended.
std::mutex g_startedLock;
std::vector<pid_t> g_started;

void ReapStarted() {
  const std::lock_guard lock(g_startedLock);
  std::erase_if(g_started, [](pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) != 0;
  });
}

void RememberStarted(pid_t pid) {
  const std::lock_guard lock(g_startedLock);
  g_started.push_back(pid);
}

std::vector<char*> ArgumentVector(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  return argv;
}

// Starts the program with its standard input from /dev/null, in a process
// group of its own so that a terminal's signals to the player leave it
// alone.
int Spawn(const std::string& program, const std::vector<std::string>& args, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<char*> argv = ArgumentVector(program, args);
  const int started = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return started;
}

TStartResult StartResultOf(int started, std::string& error) {
  if (started == 0) {
    return TStartResult::Started;
  }
  error = std::strerror(started);
  return started == ENOENT || started == ENOTDIR ? TStartResult::NotFound : TStartResult::Failed;
}

} // namespace

int64_t CurrentProcessId() { return getpid(); }

int64_t CurrentThreadId() { return gettid(); }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

int64_t PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

namespace {

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

double ProcessCpuSeconds() { return CpuSeconds(RUSAGE_SELF); }

double ChildrenCpuSeconds() { return CpuSeconds(RUSAGE_CHILDREN); }

void RaiseProcessPriority() {
  TPriorityState& state = g_priority;
  if (state.raised) {
    return;
  }
  state.raised = true;
  state.normal = getpriority(PRIO_PROCESS, 0);
  for (const id_t thread : ProcessThreads()) {
    errno = 0;
    const int previous = getpriority(PRIO_PROCESS, thread);
    if ((previous == -1 && errno != 0) || previous <= kRaisedNice) {
      continue;
    }
    // Raising needs privileges the process may lack; then it keeps running
    // at its normal priority.
    if (setpriority(PRIO_PROCESS, thread, kRaisedNice) == 0) {
      state.saved.emplace_back(thread, previous);
    }
  }
}

void RestoreProcessPriority() {
  TPriorityState& state = g_priority;
  if (!state.raised) {
    return;
  }
  state.raised = false;
  if (state.saved.empty()) {
    return;
  }
  // Threads started meanwhile inherited the raised priority from their
  // creator; they go back to the process's normal one. A thread that has
  // ended makes its call fail harmlessly.
  for (const id_t thread : ProcessThreads()) {
    int target = state.normal;
    for (const auto& [saved, previous] : state.saved) {
      if (saved == thread) {
        target = previous;
      }
    }
    if (getpriority(PRIO_PROCESS, thread) == kRaisedNice) {
      setpriority(PRIO_PROCESS, thread, target);
    }
  }
  state.saved.clear();
}

TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args, TProgramOutput output) {
  TProgramResult result;
  int outPipe[2] = {-1, -1};
  int errPipe[2] = {-1, -1};
  const bool joined = output == TProgramOutput::Joined;
  if (!MakePipe(outPipe) || (!joined && !MakePipe(errPipe))) {
    result.StartError = std::strerror(errno);
    CloseEnd(outPipe[0]);
    CloseEnd(outPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, joined ? outPipe[1] : errPipe[1], STDERR_FILENO);
  std::vector<char*> argv = ArgumentVector(program, args);
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  CloseEnd(outPipe[1]);
  CloseEnd(errPipe[1]);
  if (started != 0) {
    result.StartError = std::strerror(started);
    CloseEnd(outPipe[0]);
    CloseEnd(errPipe[0]);
    return result;
  }
  ReadUntilEnd(outPipe[0], errPipe[0], result.Out, result.Err);
  CloseEnd(outPipe[0]);
  CloseEnd(errPipe[0]);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  result.CpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  if (WIFEXITED(status)) {
    result.ExitCode = WEXITSTATUS(status);
  } else {
    result.Signalled = WIFSIGNALED(status);
  }
  return result;
}

TStartResult StartProgram(const std::string& program, const std::vector<std::string>& args, std::string& error) {
  ReapStarted();
  pid_t pid = 0;
  const TStartResult result = StartResultOf(Spawn(program, args, pid), error);
  if (result == TStartResult::Started) {
    RememberStarted(pid);
  }
  return result;
}

TStartResult OpenWithDesktop(const std::string& target, std::string& error) {
  // The freedesktop.org opener hands the address or file to the program
  // the desktop associates with it.
  const TStartResult result = StartProgram("xdg-open", {target}, error);
  if (result == TStartResult::NotFound) {
    error = "xdg-open: " + error;
    return TStartResult::Failed;
  }
  return result;
}

bool IsExecutableFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

TChildProcess::~TChildProcess() {
  if (Running()) {
    RememberStarted(static_cast<pid_t>(m_id));
  }
}

bool TChildProcess::Start(const std::string& program, const std::vector<std::string>& args, std::string& error) {
  pid_t pid = 0;
  if (StartResultOf(Spawn(program, args, pid), error) != TStartResult::Started) {
    return false;
  }
  m_id = pid;
  m_ended = false;
  m_exitCode = -1;
  return true;
}

bool TChildProcess::Wait(int ms) {
  if (m_id <= 0 || m_ended) {
    return m_ended;
  }
  // A child is polled in small steps: waitpid has no time-out.
  constexpr int kStepMs = 2;
  for (int waited = 0;; waited += kStepMs) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(m_id), &status, WNOHANG);
    if (done == static_cast<pid_t>(m_id)) {
      m_ended = true;
      m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return true;
    }
    if (done < 0 && errno != EINTR) {
      m_ended = true;
      return true;
    }
    if (waited >= ms) {
      return false;
    }
    usleep(kStepMs * 1000);
  }
}

} // namespace qx
