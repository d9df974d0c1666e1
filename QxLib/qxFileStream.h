// A stream over a file of the local file system.
#pragma once

#include "QxLib/qxFileHandle.h"
#include "QxLib/qxStream.h"

#include <memory>
#include <string>

namespace qx {

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
  TFileStream(const std::string& path, TFileHandle file);

  std::string m_path;
  TFileHandle m_file;
};

} // namespace qx
