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
#include <utility>

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
bool MakePipe(int ends[2]) {
  return pipe2(ends, O_CLOEXEC) == 0;
}

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

} // namespace

int64_t CurrentProcessId() {
  return getpid();
}

int64_t CurrentThreadId() {
  return gettid();
}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

int64_t PeakResidentBytes() {
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

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
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
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
  rusage usage {};
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

} // namespace qx
