#include "QxLib/qxFileStream.h"

#include "QxLib/qxExceptions.h"

namespace qx {

TFileStream::TFileStream(const std::string& path, TFileHandle file) : m_path(path), m_file(std::move(file)) {}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : m_path(path) {
  std::string error;
  m_file = TFileHandle::Open(path, mode, error);
  if (!m_file.IsOpen())
    throw EStreamError("Cannot open file \"" + path + "\". " + error);
}

std::unique_ptr<TFileStream> TFileStream::TryOpen(const std::string& path, TFileMode mode) {
  std::string error;
  TFileHandle file = TFileHandle::Open(path, mode, error);
  if (!file.IsOpen())
    return nullptr;
  return std::unique_ptr<TFileStream>(new TFileStream(path, std::move(file)));
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::GetPosition() { return m_file.Position(); }

void TFileStream::SetPosition(int64_t position) {
  if (!m_file.Seek(position))
    throw EStreamError("Stream seek error");
}

int64_t TFileStream::GetSize() { return m_file.Size(); }

void TFileStream::SetSize(int64_t size) {
  if (!m_file.Resize(size))
    throw EStreamError("Stream size change error");
  if (GetPosition() > size)
    SetPosition(size);
}

int64_t TFileStream::Read(void* buffer, int64_t count) { return m_file.Read(buffer, count); }

int64_t TFileStream::Write(const void* buffer, int64_t count) { return m_file.Write(buffer, count); }

void TFileStream::Flush() { m_file.Flush(); }

} // namespace qx
