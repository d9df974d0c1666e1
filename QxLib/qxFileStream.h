// A stream over a file of the local file system.
#pragma once

#include "QxLib/qxStream.h"

#include <memory>
#include <string>

namespace qx {

enum class TFileMode {
  OpenRead,      // existing file, read only
  OpenReadWrite, // existing file, read and write
  OpenOrCreate,  // read and write, created when missing, contents kept
  Create,        // read and write, created anew (truncated when it exists)
};

class TFileStream : public TStream {
public:
  // Opens `path` (a native path); raises EStreamError "Cannot open file
  // \"<path>\". <reason>" on failure.
  TFileStream(const std::string& path, TFileMode mode);
  ~TFileStream() override;

  // Opens without raising; returns nullptr on any failure.
  static std::unique_ptr<TFileStream> TryOpen(const std::string& path, TFileMode mode);

  int64_t GetPosition() override;
  void SetPosition(int64_t position) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;

  const std::string& FileName() const { return m_path; }
  // Pushes written bytes to the file system.
  void Flush();

private:
  struct TNoThrow {};
  TFileStream(const std::string& path, TFileMode mode, TNoThrow);

  std::string m_path;
  int m_fd = -1;
};

} // namespace qx
