// The process-wide access through which every read of a sound file goes, by
// every converter on every thread: one lock serialises them all. It also
// gives plug-ins the same access as a table of C functions, and offers the
// offset-shifting stream through which an MPEG stream inside a WAVE file is
// read.
#pragma once

#include "Plugins/qxSoundDecoder.h"
#include "QxLib/qxStream.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace qx {

// Opens a named sound file (a device's open-stream callback); nullptr when
// there is no such file.
using TOpenStreamFunc = std::function<std::unique_ptr<TStream>(const std::string& name)>;
// Takes back a stream the open function gave (a device's free-stream
// callback).
using TFreeStreamFunc = std::function<void(std::unique_ptr<TStream> stream)>;

// How the files of a show are opened and given back; empty functions open
// disk files and simply close them.
struct TSoundFileAccess {
  TOpenStreamFunc Open;
  TFreeStreamFunc Free;
};

class TStreamWrapperClass {
public:
  // A 64-bit plug-in read of more than this is the assertion "Too many".
  static constexpr int64_t kMaxPluginRead = 104857600;

  static TStreamWrapperClass& Instance();

  // Opens `name` cut at its last "?" through `open` (a disk file when open is
  // empty). The stream returned reads the file under the one lock; nullptr
  // when it cannot be opened (failures of the open function are caught).
  std::unique_ptr<TStream> Open(const std::string& name, const TOpenStreamFunc& open = {});
  // As Open, seen through a TMp3ShiftStream that begins at `offset`.
  std::unique_ptr<TStream> OpenShifted(const std::string& name, const TOpenStreamFunc& open, int64_t offset);
  // Gives a stream from Open or OpenShifted back: the file's own stream goes
  // to `free` (destroyed when free is empty).
  void Free(std::unique_ptr<TStream> stream, const TFreeStreamFunc& free = {});

  // The operations, each under the lock. Origins: 0 start, 1 current, 2 end.
  int64_t Position(TStream& stream);
  int64_t Seek(TStream& stream, int64_t offset, int origin);
  int64_t Read(TStream& stream, void* buffer, int64_t count);
  int64_t Size(TStream& stream);

  // The eight-function table handed to plug-ins; the stream argument is a
  // TStream*.
  const QxSoundStreamFunctions& PluginFunctions() const;

  // The one lock (recursive: a locked stream may sit under another).
  std::recursive_mutex& Lock() { return m_lock; }

private:
  TStreamWrapperClass() = default;
  std::recursive_mutex m_lock;
};

// Cuts a sound file name at its last "?" (what follows selects a stream of a
// media file).
std::string StreamNameOf(const std::string& name);
// What follows the last "?", or "" when there is none.
std::string StreamSelectorOf(const std::string& name);

// A stream over another stream that seems to begin `offset` bytes into it:
// position, size and seeks are shifted; writing is an assertion failure.
class TMp3ShiftStream : public TStream {
public:
  // Borrows the source.
  TMp3ShiftStream(TStream& source, int64_t offset);
  // Owns the source.
  TMp3ShiftStream(std::unique_ptr<TStream> source, int64_t offset);

  int64_t GetPosition() override;
  void SetPosition(int64_t position) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;

  int64_t Offset() const { return m_offset; }
  TStream& Source() { return m_source; }
  // The owned source, handed over (nullptr when borrowed).
  std::unique_ptr<TStream> ReleaseSource() { return std::move(m_owned); }

private:
  std::unique_ptr<TStream> m_owned;
  TStream& m_source;
  int64_t m_offset;
};

} // namespace qx
