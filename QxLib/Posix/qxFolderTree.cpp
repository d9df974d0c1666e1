#include "QxLib/qxFolderTree.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qx {

namespace {

// Folders nested deeper than this are left behind rather than risking the
// stack of a signal handler.
constexpr int kMaxRemoveDepth = 32;

// Offsets inside a record returned by getdents64.
constexpr size_t kDirentRecordLength = 16;
constexpr size_t kDirentType = 18;
constexpr size_t kDirentName = 19;
constexpr unsigned char kTypeDirectory = 4;

bool IsDotEntry(const char* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

// Empties the folder open as dirFd. Entries are removed while reading, so
// the folder is read again from the start until a pass removes nothing.
void RemoveContents(int dirFd, int depth) {
  alignas(8) char buffer[1024];
  bool removedAny = true;
  while (removedAny) {
    removedAny = false;
    if (lseek(dirFd, 0, SEEK_SET) != 0) {
      return;
    }
    for (;;) {
      const long size = syscall(SYS_getdents64, dirFd, buffer, sizeof(buffer));
      if (size <= 0) {
        break;
      }
      for (long offset = 0; offset < size;) {
        const char* record = buffer + offset;
        uint16_t length = 0;
        std::memcpy(&length, record + kDirentRecordLength, sizeof(length));
        if (length == 0) {
          return;
        }
        offset += length;
        const char* name = record + kDirentName;
        if (IsDotEntry(name)) {
          continue;
        }
        const auto type = static_cast<unsigned char>(record[kDirentType]);
        if (type != kTypeDirectory && unlinkat(dirFd, name, 0) == 0) {
          removedAny = true;
          continue;
        }
        if (depth >= kMaxRemoveDepth) {
          continue;
        }
        const int childFd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (childFd < 0) {
          continue;
        }
        RemoveContents(childFd, depth + 1);
        close(childFd);
        if (unlinkat(dirFd, name, AT_REMOVEDIR) == 0) {
          removedAny = true;
        }
      }
    }
  }
}

} // namespace

std::vector<std::string> SystemTempFolders() {
  std::vector<std::string> folders;
  for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
    if (const char* value = std::getenv(variable)) {
      folders.emplace_back(value);
    }
  }
  folders.emplace_back("/tmp");
  return folders;
}

bool MakePrivateFolder(const std::string& path, std::string& error) {
  if (mkdir(path.c_str(), 0700) == 0) {
    return true;
  }
  error = std::strerror(errno);
  return false;
}

bool RemoveFolderTree(const char* path) {
  const int dirFd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd >= 0) {
    RemoveContents(dirFd, 1);
    close(dirFd);
  }
  if (rmdir(path) == 0) {
    return true;
  }
  struct stat info {};
  return lstat(path, &info) != 0 && errno == ENOENT;
}

} // namespace qx
