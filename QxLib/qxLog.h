// The diagnostic log: a process-wide text sink into which the engine, the
// loaders and the music player write a running account of their work. It
// discards everything until a log kind is installed (see
// InstallLogFromCommandLine).
#pragma once

#include "QxLib/qxStream.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace qx {

// The base log formats lines and hands them to WriteText, which discards
// them. Writers may be called from any thread once the log is installed;
// the prefix is set before installing.
class TLog {
public:
  TLog() = default;
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;
  virtual ~TLog() = default;

  const std::string& Prefix() const { return m_prefix; }
  void SetPrefix(std::string prefix) { m_prefix = std::move(prefix); }
  bool ShowThreadId() const { return m_showThreadId.load(std::memory_order_relaxed); }
  void SetShowThreadId(bool show) { m_showThreadId.store(show, std::memory_order_relaxed); }
  bool ShowTime() const { return m_showTime.load(std::memory_order_relaxed); }
  void SetShowTime(bool show) { m_showTime.store(show, std::memory_order_relaxed); }

  // prefix + ["#" thread id " "] + ["[" ms since program start "] "] + text
  void WriteLine(std::string_view text);
  void WriteValue(std::string_view text, int64_t value, std::string_view suffix = {});
  void WriteFloat(std::string_view text, double value, std::string_view suffix = {});
  // The value as "True" or "False".
  void WriteBool(std::string_view text, bool value, std::string_view suffix = {});
  // The values joined by ", ".
  void WriteList(std::string_view text, std::span<const int64_t> values, std::string_view suffix = {});
  // text + "(left, top, right, bottom)" + suffix
  void WriteRect(std::string_view text, double left, double top, double right, double bottom,
                 std::string_view suffix = {});
  // text + "(x, y)" + suffix
  void WritePoint(std::string_view text, double x, double y, std::string_view suffix = {});
  // The current millisecond counter, for WriteElapsed.
  static int64_t Mark();
  // text + milliseconds since the mark + suffix
  void WriteElapsed(std::string_view text, int64_t mark, std::string_view suffix = {});

  // Blocks of lines naming the program and the date and time; written
  // without the time prefix.
  void StartBanner();
  void StopBanner();

protected:
  // Receives each formatted line (without line end). May be called from
  // several threads at once unless the kind serialises; must not raise.
  virtual void WriteText(std::string_view line);

private:
  void WriteFormatted(std::string_view text, bool withTime);

  std::string m_prefix;
  std::atomic<bool> m_showThreadId{false};
  std::atomic<bool> m_showTime{false};
};

// Writes each line to the debugger output (standard error).
class TStdLog : public TLog {
protected:
  void WriteText(std::string_view line) override;
};

// Serialises writers with a lock so that lines of several threads stay whole
// and in one order.
class TExclLog : public TLog {
protected:
  void WriteText(std::string_view line) final;
  // Writes one line; called with the log's lock held. Must not raise.
  virtual void WriteLocked(std::string_view line) = 0;

private:
  std::mutex m_lock;
};

// Writes UTF-8 lines ended by CR LF to a stream it owns or borrows. An empty
// stream gets the UTF-8 byte-order mark first. Write failures are ignored.
class TStreamLog : public TExclLog {
public:
  explicit TStreamLog(std::unique_ptr<TStream> stream);
  explicit TStreamLog(TStream& stream);
  TStreamLog() = default;

  bool HasStream() const { return m_stream != nullptr; }

protected:
  void AttachStream(std::unique_ptr<TStream> stream);
  void WriteLocked(std::string_view line) override;

private:
  void WriteMarkWhenEmpty();

  std::unique_ptr<TStream> m_ownedStream;
  TStream* m_stream = nullptr;
};

// The log file of the player. An empty name means the program path with its
// extension changed to ".log". Without append the file is created anew;
// with it, lines go to its end. When the file cannot be opened the log
// discards its lines.
class TFileLog : public TStreamLog {
public:
  explicit TFileLog(const std::string& fileName = {}, bool append = false);

  const std::string& FileName() const { return m_fileName; }

private:
  std::string m_fileName;
};

// The program path with its extension replaced by ".log".
std::string DefaultLogFileName();

// The process-wide log; a discarding log until one is installed.
TLog& Log();
// Makes the log the process-wide one (nullptr restores the discarding log).
// A replaced log stays alive until the process ends, so that threads still
// writing to it are safe.
void InstallLog(std::unique_ptr<TLog> log);

// Installs the file log for "-filelog [name]" or else the debugger-output
// log for "-log", with thread ids and times shown, and writes the start
// banner. Returns false (and installs nothing) when neither is asked for.
bool InstallLogFromCommandLine();

} // namespace qx
