// Runs a piece of a test in a forked child process, for behaviour that
// concerns the whole process (exit handlers, signals, process-wide state),
// and sets environment variables for a while.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace qx::test {

struct TChildResult {
  int status = 0;      // as returned by waitpid
  std::string output;  // what the child wrote to its standard error
  std::string message; // what the child wrote to the message pipe

  bool Exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
  bool KilledBy(int signal) const { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }
};

// Reads everything from fd until end of file.
inline std::string ReadAllFrom(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = read(fd, buffer, sizeof(buffer))) != 0) {
    if (got < 0)
      break;
    text.append(buffer, static_cast<size_t>(got));
  }
  return text;
}

// Forks; the child runs body(messageFd) with its standard error captured and
// then exit()s with the returned code, so that exit handlers run. While the
// child runs, `parent` is called with the child's pid and the read end of
// the message pipe (it may read from it, e.g. to learn a path, then signal
// the child).
inline TChildResult RunInChild(const std::function<int(int messageFd)>& body,
                               const std::function<void(pid_t, int messageFd)>& parent = {}) {
  int errorPipe[2];
  int messagePipe[2];
  if (pipe(errorPipe) != 0 || pipe(messagePipe) != 0)
    return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(errorPipe[0]);
    close(messagePipe[0]);
    dup2(errorPipe[1], STDERR_FILENO);
    close(errorPipe[1]);
    const int code = body(messagePipe[1]);
    close(messagePipe[1]);
    std::exit(code);
  }
  close(errorPipe[1]);
  close(messagePipe[1]);
  TChildResult result;
  if (parent)
    parent(pid, messagePipe[0]);
  result.message = ReadAllFrom(messagePipe[0]);
  result.output = ReadAllFrom(errorPipe[0]);
  close(errorPipe[0]);
  close(messagePipe[0]);
  waitpid(pid, &result.status, 0);
  return result;
}

// Writes a line to the message pipe.
inline void SendMessage(int fd, const std::string& text) {
  const std::string line = text + "\n";
  [[maybe_unused]] const ssize_t put = write(fd, line.data(), line.size());
}

// Reads one line from the message pipe (without the line end).
inline std::string ReceiveLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n')
    line += c;
  return line;
}

// Sends `signal` to a child made by RunInChild.
inline void SignalChild(pid_t pid, int signal) { kill(pid, signal); }

// Sets or clears an environment variable for the life of the object.
class TScopedEnv {
public:
  TScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name))
      m_old = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;
  ~TScopedEnv() {
    if (m_old)
      setenv(m_name, m_old->c_str(), 1);
    else
      unsetenv(m_name);
  }

private:
  const char* m_name;
  std::optional<std::string> m_old;
};

} // namespace qx::test
