#include "QxLib/qxTempManager.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxGuid.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace qx {

namespace {

namespace fs = std::filesystem;

// Folders nested deeper than this are left behind rather than risking the
// stack of a signal handler.
constexpr int kMaxRemoveDepth = 32;
// Fresh GUIDs practically never collide; repeated failures mean the base
// folder refuses new entries.
constexpr int kMaxCreateAttempts = 16;

// Offsets inside a record returned by getdents64.
constexpr size_t kDirentRecordLength = 16;
constexpr size_t kDirentType = 18;
constexpr size_t kDirentName = 19;
constexpr unsigned char kTypeDirectory = 4;

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Empties the folder open as dirFd. Entries are removed while reading, so
// the folder is read again from the start until a pass removes nothing.
void RemoveContents(int dirFd, int depth) {
  alignas(8) char buffer[1024];
  bool removedAny = true;
  while (removedAny) {
    removedAny = false;
    if (lseek(dirFd, 0, SEEK_SET) != 0)
      return;
    for (;;) {
      const long size = syscall(SYS_getdents64, dirFd, buffer, sizeof(buffer));
      if (size <= 0)
        break;
      for (long offset = 0; offset < size;) {
        const char* record = buffer + offset;
        uint16_t length = 0;
        std::memcpy(&length, record + kDirentRecordLength, sizeof(length));
        if (length == 0)
          return;
        offset += length;
        const char* name = record + kDirentName;
        if (IsDotEntry(name))
          continue;
        const auto type = static_cast<unsigned char>(record[kDirentType]);
        if (type != kTypeDirectory && unlinkat(dirFd, name, 0) == 0) {
          removedAny = true;
          continue;
        }
        if (depth >= kMaxRemoveDepth)
          continue;
        const int childFd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (childFd < 0)
          continue;
        RemoveContents(childFd, depth + 1);
        close(childFd);
        if (unlinkat(dirFd, name, AT_REMOVEDIR) == 0)
          removedAny = true;
      }
    }
  }
}

struct TTempFolder {
  std::string path;
  pid_t owner = 0;
  const TTempFolder* next = nullptr;
};

// The folders made by this process. The signal handler walks the list from
// `head` without locking: nodes are only ever prepended and stay alive until
// the registry itself goes at exit.
struct TTempRegistry {
  std::mutex lock;
  std::string base;
  std::vector<std::unique_ptr<TTempFolder>> folders;
  std::atomic<const TTempFolder*> head{nullptr};

  ~TTempRegistry() {
    const TTempFolder* folder = head.exchange(nullptr);
    for (; folder != nullptr; folder = folder->next)
      if (folder->owner == getpid())
        RemoveFolderTree(folder->path.c_str());
  }
};

TTempRegistry& Registry() {
  static TTempRegistry registry;
  return registry;
}

// Read by the signal handler, so a plain pointer set before the handlers.
TTempRegistry* g_registry = nullptr;

constexpr int kHandledSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[std::size(kHandledSignals)];

void RemoveFoldersOfThisProcess() {
  if (g_registry == nullptr)
    return;
  const pid_t self = getpid();
  for (const TTempFolder* folder = g_registry->head.load(); folder != nullptr; folder = folder->next)
    if (folder->owner == self)
      RemoveFolderTree(folder->path.c_str());
}

void OnTerminationSignal(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  RemoveFoldersOfThisProcess();
  for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
    if (kHandledSignals[i] != signal)
      continue;
    const struct sigaction& previous = g_previous[i];
    if (previous.sa_flags & SA_SIGINFO) {
      errno = savedErrno;
      previous.sa_sigaction(signal, info, context);
      return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      errno = savedErrno;
      previous.sa_handler(signal);
      return;
    }
  }
  // Ends the process as the signal would have without us; the signal stays
  // blocked until this handler returns.
  struct sigaction defaultAction{};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  raise(signal);
  errno = savedErrno;
}

// A signal the process ignores stays ignored; another handler is called
// after the folders are gone.
void InstallSignalHandlers(TTempRegistry& registry) {
  g_registry = &registry;
  for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
    struct sigaction current{};
    if (sigaction(kHandledSignals[i], nullptr, &current) != 0)
      continue;
    if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN)
      continue;
    g_previous[i] = current;
    struct sigaction action{};
    action.sa_sigaction = OnTerminationSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(kHandledSignals[i], &action, nullptr);
  }
}

void Register(std::string path) {
  static std::once_flag handlersInstalled;
  TTempRegistry& registry = Registry();
  std::call_once(handlersInstalled, [&registry] { InstallSignalHandlers(registry); });
  const std::lock_guard guard(registry.lock);
  auto folder = std::make_unique<TTempFolder>();
  folder->path = std::move(path);
  folder->owner = getpid();
  folder->next = registry.head.load();
  registry.head.store(folder.get());
  registry.folders.push_back(std::move(folder));
}

} // namespace

bool RemoveFolderTree(const char* path) {
  const int dirFd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd >= 0) {
    RemoveContents(dirFd, 1);
    close(dirFd);
  }
  if (rmdir(path) == 0)
    return true;
  struct stat info{};
  return lstat(path, &info) != 0 && errno == ENOENT;
}

std::string ChooseTempBase() {
  for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && IsFolder(value))
      return value;
  }
  if (IsFolder("/tmp"))
    return "/tmp";
  const fs::path programFolder = fs::path(ProgramPath()).parent_path();
  if (programFolder.empty())
    return {};
  const std::string local = (programFolder / "TEMP").string();
  std::error_code error;
  fs::create_directory(local, error);
  return IsFolder(local) ? local : std::string();
}

const std::string& TempBaseFolder() {
  TTempRegistry& registry = Registry();
  const std::lock_guard guard(registry.lock);
  if (registry.base.empty()) {
    std::string base = ChooseTempBase();
    while (base.size() > 1 && base.back() == '/')
      base.pop_back();
    QX_ASSERT(IsFolder(base), "Temp Path not Found");
    registry.base = std::move(base);
  }
  return registry.base;
}

std::string NewTempFolderName() {
  std::string name = NewGuidText();
  name.front() = '[';
  name.back() = ']';
  return name;
}

std::string NewTempFolder(bool trailingSeparator) {
  const std::string& base = TempBaseFolder();
  const std::string separator = base == "/" ? "" : "/";
  int lastError = 0;
  for (int attempt = 0; attempt < kMaxCreateAttempts; ++attempt) {
    std::string path = base + separator + NewTempFolderName();
    if (mkdir(path.c_str(), 0700) != 0) {
      lastError = errno;
      continue;
    }
    Register(path);
    if (trailingSeparator)
      path += '/';
    return path;
  }
  throw EQxError("Cannot create a temporary folder in \"" + base + "\": " + std::strerror(lastError));
}

} // namespace qx
