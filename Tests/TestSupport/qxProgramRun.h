// Runs one of the project's programs from a test and captures what it says.
#pragma once

#include "QxLib/qxProcess.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qx::test {

// ExitCode, Out, Err (empty when joined to Out), Signalled.
using TProgramRun = TProgramResult;

inline std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs `program` with `args`, a command-line text quoted as the shell needs
// (it may redirect, as in "... 2>&1"), keeping standard output and error
// apart.
inline TProgramRun RunProgram(const std::string& program, const std::string& args) {
  return qx::RunProgram("sh", {"-c", "'" + program + "' " + args});
}

// Runs `program` with each of `args` as it is, its standard error joined to
// its output.
inline TProgramRun RunJoined(const std::string& program, const std::vector<std::string>& args) {
  return qx::RunProgram(program, args, TProgramOutput::Joined);
}

} // namespace qx::test
