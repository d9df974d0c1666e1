#include "QxLib/qxFileHandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx {

namespace {

int OpenFlags(TFileMode mode) {
  switch (mode) {
  case TFileMode::OpenRead: return O_RDONLY;
  case TFileMode::OpenReadWrite: return O_RDWR;
  case TFileMode::OpenOrCreate: return O_RDWR | O_CREAT;
  case TFileMode::Create: return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}

int Descriptor(int64_t native) { return static_cast<int>(native); }

} // namespace

TFileHandle::TFileHandle(TFileHandle&& other) noexcept : m_native(other.m_native) { other.m_native = -1; }

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    m_native = other.m_native;
    other.m_native = -1;
  }
  return *this;
}

TFileHandle::~TFileHandle() { Close(); }

void TFileHandle::Close() {
  if (m_native >= 0) {
    ::close(Descriptor(m_native));
    m_native = -1;
  }
}

TFileHandle TFileHandle::Open(const std::string& path, TFileMode mode, std::string& error) {
  int fd;
  do {
    fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = std::strerror(errno);
    return {};
  }
  // Directories open read-only on Linux but are no files to read.
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    error = std::strerror(EISDIR);
    return {};
  }
  return TFileHandle(fd);
}

int64_t TFileHandle::Position() const { return ::lseek(Descriptor(m_native), 0, SEEK_CUR); }

bool TFileHandle::Seek(int64_t position) { return ::lseek(Descriptor(m_native), position, SEEK_SET) >= 0; }

int64_t TFileHandle::Size() const {
  struct stat info {};
  if (::fstat(Descriptor(m_native), &info) != 0) {
    return 0;
  }
  return info.st_size;
}

bool TFileHandle::Resize(int64_t size) { return ::ftruncate(Descriptor(m_native), size) == 0; }

int64_t TFileHandle::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(Descriptor(m_native), out + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      break;
    }
    done += got;
  }
  return done;
}

int64_t TFileHandle::Write(const void* buffer, int64_t count) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(Descriptor(m_native), in + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      break;
    }
    done += put;
  }
  return done;
}

void TFileHandle::Flush() { ::fsync(Descriptor(m_native)); }

} // namespace qx
