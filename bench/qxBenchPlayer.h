// The main window's options for opening one show, as the player's command
// line "-exename SHOW" gives them; for the benchmarks that start the
// player's main window themselves.
#pragma once

#include "QxLib/qxCommandLine.h"
#include "Vmo/VmoViewer/MainUnit.h"

#include <string>

namespace qx::bench {

struct TShowCommandLine {
  explicit TShowCommandLine(const std::string& showPath) {
    Commands.Parse(JoinCommandLine({ProgramPath(), "-exename", showPath}));
    Options.Commands = &Commands;
    Options.ProgramPath = ProgramPath();
  }
  TShowCommandLine(const TShowCommandLine&) = delete;
  TShowCommandLine& operator=(const TShowCommandLine&) = delete;

  TCommandsStorage Commands;
  TMainFormOptions Options;
};

} // namespace qx::bench
