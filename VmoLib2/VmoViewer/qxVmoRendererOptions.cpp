#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"

#include <charconv>
#include <cstdio>

namespace qx {

namespace {

bool ParseWhole(std::string_view text, int32_t& value) {
  if (text.empty())
    return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size();
}

int32_t ReadInteger(const TCommandsStorage& commands, std::string_view name, int32_t def, int32_t low, int32_t high) {
  const std::optional<std::string> text = commands.CommandItem(name, 0);
  if (!commands.HasCommand(name))
    return def;
  int32_t value = 0;
  if (!text || !ParseWhole(*text, value) || value < low || value > high)
    throw EQxError("-" + std::string(name) + " wants a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high));
  return value;
}

std::string RequiredItem(const TCommandsStorage& commands, std::string_view name, int index, const char* what) {
  std::optional<std::string> text = commands.CommandItem(name, index);
  if (!text || text->empty())
    throw EQxError("-" + std::string(name) + " wants " + what);
  return *text;
}

} // namespace

bool ParseFrameSize(const std::string& text, int32_t& width, int32_t& height, int32_t maxSide) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos)
    return false;
  int32_t w = 0;
  int32_t h = 0;
  if (!ParseWhole(std::string_view(text).substr(0, x), w) || !ParseWhole(std::string_view(text).substr(x + 1), h))
    return false;
  if (w <= 0 || h <= 0 || w > maxSide || h > maxSide)
    return false;
  width = w;
  height = h;
  return true;
}

std::vector<int32_t> ParseTimeList(const std::string& text) {
  std::vector<int32_t> times;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos)
      comma = text.size();
    const std::string entry = text.substr(start, comma - start);
    int32_t value = 0;
    if (!ParseWhole(entry, value) || value < 0)
      throw EQxError("-render-at: \"" + entry + "\" is not a time in ms");
    times.push_back(value);
    start = comma + 1;
  }
  return times;
}

TRenderOptions ReadRenderOptions(const TCommandsStorage& commands) {
  TRenderOptions options;
  if (commands.HasCommand("filename")) {
    options.ShowPath = RequiredItem(commands, "filename", 0, "a project file");
    options.ProjectMode = true;
  } else {
    options.ShowPath = RequiredItem(commands, "exename", 0, "a show file");
  }

  const bool sequence = commands.HasCommand("render");
  const bool single = commands.HasCommand("render-at");
  if (sequence == single)
    throw EQxError("give either -render DIR or -render-at T1,T2,... DIR");
  if (sequence) {
    options.OutputFolder = RequiredItem(commands, "render", 0, "an output folder");
  } else {
    options.Times = ParseTimeList(RequiredItem(commands, "render-at", 0, "a list of times"));
    options.OutputFolder = RequiredItem(commands, "render-at", 1, "an output folder after the times");
  }

  options.Fps = ReadInteger(commands, "fps", options.Fps, 1, kMaxRenderFps);
  options.From = ReadInteger(commands, "from", 0, 0, INT32_MAX);
  if (commands.HasCommand("time"))
    options.From = ReadInteger(commands, "time", 1, 1, INT32_MAX) - 1;
  if (commands.HasCommand("to"))
    options.To = ReadInteger(commands, "to", 0, 0, INT32_MAX);
  if (commands.HasCommand("duration"))
    options.Duration = ReadInteger(commands, "duration", 0, 0, INT32_MAX);
  if (commands.HasCommand("input"))
    options.InputScript = RequiredItem(commands, "input", 0, "a script file");
  if (commands.HasCommand("size")) {
    const std::optional<std::string> size = commands.CommandItem("size", 0);
    if (!size || !ParseFrameSize(*size, options.Width, options.Height))
      throw EQxError("-size wants WIDTHxHEIGHT, each side from 1 to " + std::to_string(kMaxRenderSide));
  }
  options.Cover = commands.HasCommand("cover");
  return options;
}

double FrameTime(int32_t from, int32_t fps, int64_t k) { return from + static_cast<double>(k) * 1000.0 / fps; }

int64_t FrameCount(int32_t from, int32_t to, int32_t fps) {
  if (to <= from || fps <= 0)
    return 0;
  // The smallest k with from + k x 1000 / fps >= to, in whole numbers.
  const int64_t span = static_cast<int64_t>(to) - from;
  return (span * fps + 999) / 1000;
}

std::string SequenceFrameName(int64_t k) {
  char name[40];
  std::snprintf(name, sizeof name, "frame%06lld.png", static_cast<long long>(k));
  return name;
}

std::string SingleFrameName(int32_t ms) { return "t" + std::to_string(ms) + ".png"; }

} // namespace qx
