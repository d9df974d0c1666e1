// An open file of the local file system as the operating system hands it
// out; the file stream reads and writes through it. One implementation per
// platform (QxLib/Posix/qxFileHandle.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace qx {

enum class TFileMode {
  OpenRead,      // existing file, read only
  OpenReadWrite, // existing file, read and write
  OpenOrCreate,  // read and write, created when missing, contents kept
  Create,        // read and write, created anew (truncated when it exists)
};

class TFileHandle {
public:
  TFileHandle() = default;
  TFileHandle(TFileHandle&& other) noexcept;
  TFileHandle& operator=(TFileHandle&& other) noexcept;
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  // Closes the file.
  ~TFileHandle();

  // Opens `path` (a native path). A closed handle with `error` set to the
  // system's reason on failure; a folder is no file.
  static TFileHandle Open(const std::string& path, TFileMode mode, std::string& error);

  bool IsOpen() const { return m_native >= 0; }
  // -1 on failure.
  int64_t Position() const;
  bool Seek(int64_t position);
  // 0 on failure.
  int64_t Size() const;
  bool Resize(int64_t size);
  // Moves up to `count` bytes, going on after interrupted calls; fewer at
  // the end of the file or on an error.
  int64_t Read(void* buffer, int64_t count);
  int64_t Write(const void* buffer, int64_t count);
  // Pushes written bytes to the storage device.
  void Flush();

private:
  explicit TFileHandle(int64_t native) : m_native(native) {}
  void Close();

  // The system's descriptor; -1 when closed.
  int64_t m_native = -1;
};

} // namespace qx
