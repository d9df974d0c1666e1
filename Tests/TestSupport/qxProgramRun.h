// Runs one of the project's programs from a test and captures what it says.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace qx::test {

struct TProgramRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err; // empty when joined to Out
};

inline std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Runs `program` with `args` (a command-line text, quoted as the shell needs)
// and keeps its standard output and error apart, in files of `folder` (a
// path ending in a separator).
inline TProgramRun RunProgram(const std::string& program, const std::string& args, const std::string& folder) {
  const std::string out = folder + "out.txt";
  const std::string err = folder + "err.txt";
  const std::string command = "'" + program + "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  return {ExitCodeOf(status), ReadText(out), ReadText(err)};
}

// Runs `program` with each of `args` quoted, its standard error joined to
// its output.
inline TProgramRun RunJoined(const std::string& program, const std::vector<std::string>& args) {
  std::string command = "'" + program + "'";
  for (const std::string& arg : args)
    command += " '" + arg + "'";
  command += " 2>&1";
  TProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return run;
  std::array<char, 4096> buffer;
  for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
    run.Out.append(buffer.data(), got);
  run.ExitCode = ExitCodeOf(pclose(pipe));
  return run;
}

} // namespace qx::test
