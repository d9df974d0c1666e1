#include "QxLib/qxFileStream.h"

#include "QxLib/qxExceptions.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx {

namespace {

int OpenFlags(TFileMode mode) {
  switch (mode) {
  case TFileMode::OpenRead:
    return O_RDONLY;
  case TFileMode::OpenReadWrite:
    return O_RDWR;
  case TFileMode::OpenOrCreate:
    return O_RDWR | O_CREAT;
  case TFileMode::Create:
    return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

int OpenFile(const std::string& path, TFileMode mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return -1;
  // Directories open read-only on Linux but are no files to read.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

} // namespace

TFileStream::TFileStream(const std::string& path, TFileMode mode, TNoThrow)
    : m_path(path), m_fd(OpenFile(path, mode)) {}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : TFileStream(path, mode, TNoThrow{}) {
  if (m_fd < 0)
    throw EStreamError("Cannot open file \"" + path + "\". " + std::strerror(errno));
}

std::unique_ptr<TFileStream> TFileStream::TryOpen(const std::string& path, TFileMode mode) {
  std::unique_ptr<TFileStream> stream(new TFileStream(path, mode, TNoThrow{}));
  if (stream->m_fd < 0)
    return nullptr;
  return stream;
}

TFileStream::~TFileStream() {
  if (m_fd >= 0)
    ::close(m_fd);
}

int64_t TFileStream::GetPosition() {
  return ::lseek(m_fd, 0, SEEK_CUR);
}

void TFileStream::SetPosition(int64_t position) {
  if (::lseek(m_fd, position, SEEK_SET) < 0)
    throw EStreamError("Stream seek error");
}

int64_t TFileStream::GetSize() {
  struct stat info {};
  if (::fstat(m_fd, &info) != 0)
    return 0;
  return info.st_size;
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(m_fd, size) != 0)
    throw EStreamError("Stream size change error");
  if (GetPosition() > size)
    SetPosition(size);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(m_fd, out + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    done += got;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(m_fd, in + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0)
      break;
    done += put;
  }
  return done;
}

void TFileStream::Flush() {
  ::fsync(m_fd);
}

} // namespace qx
