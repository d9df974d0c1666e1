// Programs and addresses that actions open: the program texts of slides and
// buttons (several programs separated by commas), the check that refuses
// texts naming system commands, and web and mail addresses.
#pragma once

#include "QxLib/qxProcess.h"

#include <string>
#include <string_view>
#include <vector>

namespace qx {

inline constexpr std::string_view kProhibitedCommandMessage =
    "Command line contains prohibited command and will not be performed.";

// The text split at commas outside double quotes, each part trimmed of
// blanks; empty parts are dropped. A text without commas is one part.
std::vector<std::string> SplitProgramList(std::string_view text);

// One program with its parameters: a quoted first word (without its
// quotes), or the text up to the first blank; the rest, trimmed.
struct TProgramCall {
  std::string Program;
  std::string Parameters;
};
TProgramCall SplitProgramCall(std::string_view part);

// Whether the program word of a call names a command that shows may not
// run ("cmd", "del", "format", ...), compared in lower case; the word's
// file name without folder and extension counts too, so that
// "C:\Windows\cmd.exe" is refused like "cmd".
bool IsProhibitedProgram(std::string_view program);
// Whether any part of a program list names one.
bool ContainsProhibitedCommand(const std::vector<std::string>& parts);

// "http://" put in front unless the text begins with "http://" or
// "https://" (any case).
std::string WebAddress(std::string_view text);
// "mailto:" put in front unless present (any case).
std::string MailAddress(std::string_view text);

// Starts a call the way the desktop's shell opens a file: a program is
// started with its parameters (split as a command line), a document is
// handed to the desktop's opener. A program that is not found is tried
// again by its file name in `fallbackFolder` (the player's folder).
TStartResult StartProgramCall(const TProgramCall& call, const std::string& fallbackFolder, std::string& error);

} // namespace qx
