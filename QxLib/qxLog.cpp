#include "QxLib/qxLog.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxProcess.h"
#include "QxLib/qxTextReader.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <vector>

namespace qx {

namespace {

using TClock = std::chrono::steady_clock;

const TClock::time_point& ProgramStart() {
  static const TClock::time_point start = TClock::now();
  return start;
}

// Takes the start time while the program is being loaded.
[[maybe_unused]] const bool g_startTaken = (ProgramStart(), true);

int64_t MillisecondsSinceStart() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - ProgramStart()).count();
}

// Up to 15 significant digits, "." as decimal point whatever the locale.
std::string FormatFloat(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

std::string DateTimeText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  {
    // std::localtime hands out one shared record.
    static std::mutex lock;
    const std::lock_guard guard(lock);
    local = *std::localtime(&seconds);
  }
  char buffer[64];
  const size_t length = std::strftime(buffer, sizeof(buffer), "%Y-%m-%d %H:%M:%S", &local);
  char millis[8];
  std::snprintf(millis, sizeof(millis), ".%03d", static_cast<int>(ms));
  return std::string(buffer, length) + millis;
}

const std::string kStartRule(64, '=');
const std::string kStopRule(64, '-');

struct TLogRegistry {
  TLog discarding;
  std::atomic<TLog*> current{&discarding};
  std::mutex lock;
  std::vector<std::unique_ptr<TLog>> installed;
};

TLogRegistry& Registry() {
  static TLogRegistry registry;
  return registry;
}

} // namespace

void TLog::WriteLine(std::string_view text) { WriteFormatted(text, true); }

void TLog::WriteValue(std::string_view text, int64_t value, std::string_view suffix) {
  WriteLine(std::string(text) + std::to_string(value) + std::string(suffix));
}

void TLog::WriteFloat(std::string_view text, double value, std::string_view suffix) {
  WriteLine(std::string(text) + FormatFloat(value) + std::string(suffix));
}

void TLog::WriteBool(std::string_view text, bool value, std::string_view suffix) {
  WriteLine(std::string(text) + (value ? "True" : "False") + std::string(suffix));
}

void TLog::WriteList(std::string_view text, std::span<const int64_t> values, std::string_view suffix) {
  std::string line(text);
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0)
      line += ", ";
    line += std::to_string(values[i]);
  }
  line += suffix;
  WriteLine(line);
}

void TLog::WriteRect(std::string_view text, double left, double top, double right, double bottom,
                     std::string_view suffix) {
  WriteLine(std::string(text) + "(" + FormatFloat(left) + ", " + FormatFloat(top) + ", " + FormatFloat(right) + ", " +
            FormatFloat(bottom) + ")" + std::string(suffix));
}

void TLog::WritePoint(std::string_view text, double x, double y, std::string_view suffix) {
  WriteLine(std::string(text) + "(" + FormatFloat(x) + ", " + FormatFloat(y) + ")" + std::string(suffix));
}

int64_t TLog::Mark() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now().time_since_epoch()).count();
}

void TLog::WriteElapsed(std::string_view text, int64_t mark, std::string_view suffix) {
  WriteValue(text, Mark() - mark, suffix);
}

void TLog::StartBanner() {
  WriteFormatted("", false);
  WriteFormatted(kStartRule, false);
  WriteFormatted("Program : " + ProgramPath(), false);
  WriteFormatted("started : " + DateTimeText(), false);
  WriteFormatted(kStartRule, false);
}

void TLog::StopBanner() {
  WriteFormatted("", false);
  WriteFormatted(kStopRule, false);
  WriteFormatted("Program stoped : " + DateTimeText() + " (work time : " + std::to_string(MillisecondsSinceStart()) +
                     " ms)",
                 false);
  WriteFormatted(kStopRule, false);
}

void TLog::WriteText(std::string_view) {}

void TLog::WriteFormatted(std::string_view text, bool withTime) {
  std::string line = m_prefix;
  if (ShowThreadId())
    line += "#" + std::to_string(CurrentThreadId()) + " ";
  if (withTime && ShowTime())
    line += "[" + std::to_string(MillisecondsSinceStart()) + "] ";
  line += text;
  WriteText(line);
}

void TStdLog::WriteText(std::string_view line) { WriteDebugOutput(line); }

void TExclLog::WriteText(std::string_view line) {
  const std::lock_guard guard(m_lock);
  WriteLocked(line);
}

TStreamLog::TStreamLog(std::unique_ptr<TStream> stream) { AttachStream(std::move(stream)); }

TStreamLog::TStreamLog(TStream& stream) : m_stream(&stream) { WriteMarkWhenEmpty(); }

void TStreamLog::AttachStream(std::unique_ptr<TStream> stream) {
  m_ownedStream = std::move(stream);
  m_stream = m_ownedStream.get();
  WriteMarkWhenEmpty();
}

void TStreamLog::WriteMarkWhenEmpty() {
  if (m_stream == nullptr)
    return;
  try {
    if (m_stream->GetSize() == 0)
      m_stream->WriteBuffer(kUtf8ByteOrderMark.data(), static_cast<int64_t>(kUtf8ByteOrderMark.size()));
  } catch (const std::exception&) {
    // A log that cannot write loses its lines, never the program.
  }
}

void TStreamLog::WriteLocked(std::string_view line) {
  if (m_stream == nullptr)
    return;
  std::string bytes(line);
  bytes += "\r\n";
  try {
    m_stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  } catch (const std::exception&) {
    // As above: a full disk must not stop the player.
  }
}

TFileLog::TFileLog(const std::string& fileName, bool append)
    : m_fileName(fileName.empty() ? DefaultLogFileName() : fileName) {
  auto file = TFileStream::TryOpen(m_fileName, append ? TFileMode::OpenOrCreate : TFileMode::Create);
  if (!file)
    return;
  if (append)
    file->SetPosition(file->GetSize());
  AttachStream(std::move(file));
}

std::string DefaultLogFileName() {
  std::filesystem::path path(ProgramPath());
  path.replace_extension(".log");
  return path.string();
}

TLog& Log() { return *Registry().current.load(std::memory_order_acquire); }

void InstallLog(std::unique_ptr<TLog> log) {
  TLogRegistry& registry = Registry();
  const std::lock_guard guard(registry.lock);
  if (!log) {
    registry.current.store(&registry.discarding, std::memory_order_release);
    return;
  }
  registry.current.store(log.get(), std::memory_order_release);
  registry.installed.push_back(std::move(log));
}

bool InstallLogFromCommandLine() {
  const TCommandsStorage& commandLine = CommandLine();
  std::unique_ptr<TLog> log;
  if (commandLine.HasCommand("filelog"))
    log = std::make_unique<TFileLog>(commandLine.CommandItem("filelog", 0).value_or(""));
  else if (commandLine.HasCommand("log"))
    log = std::make_unique<TStdLog>();
  if (!log)
    return false;
  log->SetShowThreadId(true);
  log->SetShowTime(true);
  TLog& installed = *log;
  InstallLog(std::move(log));
  installed.StartBanner();
  return true;
}

} // namespace qx
