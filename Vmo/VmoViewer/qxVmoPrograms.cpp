#include "Vmo/VmoViewer/qxVmoPrograms.h"

#include "QxLib/qxCommandLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

namespace qx {

namespace {

// System commands a show may not run.
constexpr std::array<std::string_view, 37> kProhibited{
    ">",       "at",     "attrib",   "call",     "cmd",     "command", "copy",   "del",   "deltree", "erase",
    "for",     "format", "fdisk",    "runonce",  "move",    "net",     "runas",  "net1",  "ren",     "rename",
    "replace", "rmdir",  "rd",       "recover",  "regedit", "rundll",  "qstart", "start", "sys",     "type",
    "xcopy",   "regsrv", "regedt32", "regsvr32", "rcp",     "ftp",     "tftp"};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

bool Listed(const std::string& word) {
  return std::find(kProhibited.begin(), kProhibited.end(), word) != kProhibited.end();
}

// The file name of a program word without its folder (either separator).
std::string FileNameOf(const std::string& word) {
  const size_t slash = word.find_last_of("/\\");
  return slash == std::string::npos ? word : word.substr(slash + 1);
}

// The same without its extension.
std::string BareName(const std::string& word) {
  std::string name = FileNameOf(word);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0)
    name.erase(dot);
  return name;
}

TStartResult StartOne(const std::string& program, const std::vector<std::string>& args, std::string& error) {
  std::error_code failure;
  if (std::filesystem::is_regular_file(program, failure) && !IsExecutableFile(program))
    return OpenWithDesktop(program, error);
  return StartProgram(program, args, error);
}

} // namespace

std::vector<std::string> SplitProgramList(std::string_view text) {
  std::vector<std::string> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '"')
      quoted = !quoted;
    if (i < text.size() && (text[i] != ',' || quoted))
      continue;
    const std::string_view part = Trim(text.substr(start, i - start));
    if (!part.empty())
      parts.emplace_back(part);
    start = i + 1;
  }
  return parts;
}

TProgramCall SplitProgramCall(std::string_view part) {
  part = Trim(part);
  TProgramCall call;
  if (!part.empty() && part.front() == '"') {
    const size_t close = part.find('"', 1);
    if (close == std::string_view::npos) {
      call.Program = std::string(part.substr(1));
      return call;
    }
    call.Program = std::string(part.substr(1, close - 1));
    call.Parameters = std::string(Trim(part.substr(close + 1)));
    return call;
  }
  const size_t blank = part.find_first_of(" \t");
  call.Program = std::string(part.substr(0, blank));
  if (blank != std::string_view::npos)
    call.Parameters = std::string(Trim(part.substr(blank)));
  return call;
}

bool IsProhibitedProgram(std::string_view program) {
  const std::string word = Lower(Trim(program));
  return Listed(word) || Listed(BareName(word));
}

bool ContainsProhibitedCommand(const std::vector<std::string>& parts) {
  return std::any_of(parts.begin(), parts.end(),
                     [](const std::string& part) { return IsProhibitedProgram(SplitProgramCall(part).Program); });
}

std::string WebAddress(std::string_view text) {
  if (StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://"))
    return std::string(text);
  return "http://" + std::string(text);
}

std::string MailAddress(std::string_view text) {
  if (StartsWithNoCase(text, "mailto:"))
    return std::string(text);
  return "mailto:" + std::string(text);
}

TStartResult StartProgramCall(const TProgramCall& call, const std::string& fallbackFolder, std::string& error) {
  const std::vector<std::string> args = TokenizeCommandLine(call.Parameters);
  const TStartResult result = StartOne(call.Program, args, error);
  if (result != TStartResult::NotFound || fallbackFolder.empty())
    return result;
  const std::string local = (std::filesystem::path(fallbackFolder) / FileNameOf(call.Program)).string();
  return StartOne(local, args, error);
}

} // namespace qx
