#include "QxLib/qxTempManager.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxGuid.h"
#include "QxLib/qxProcess.h"
#include "QxLib/qxTerminationSignals.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace qx {

namespace {

namespace fs = std::filesystem;

// Fresh GUIDs practically never collide; repeated failures mean the base
// folder refuses new entries.
constexpr int kMaxCreateAttempts = 16;

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

struct TTempFolder {
  std::string path;
  int64_t owner = 0;
  const TTempFolder* next = nullptr;
};

// The folders made by this process. The termination clean-up walks the list
// from `head` without locking: nodes are only ever prepended and stay alive
// until the registry itself goes at exit.
struct TTempRegistry {
  std::mutex lock;
  std::string base;
  std::vector<std::unique_ptr<TTempFolder>> folders;
  std::atomic<const TTempFolder*> head{nullptr};

  ~TTempRegistry() {
    const TTempFolder* folder = head.exchange(nullptr);
    for (; folder != nullptr; folder = folder->next)
      if (folder->owner == CurrentProcessId())
        RemoveFolderTree(folder->path.c_str());
  }
};

TTempRegistry& Registry() {
  static TTempRegistry registry;
  return registry;
}

// Read by the termination clean-up, so a plain pointer set before it is
// installed.
TTempRegistry* g_registry = nullptr;

// Runs inside a signal handler: only calls that are safe there.
void RemoveFoldersOfThisProcess() {
  if (g_registry == nullptr)
    return;
  const int64_t self = CurrentProcessId();
  for (const TTempFolder* folder = g_registry->head.load(); folder != nullptr; folder = folder->next)
    if (folder->owner == self)
      RemoveFolderTree(folder->path.c_str());
}

void Register(std::string path) {
  static std::once_flag cleanUpInstalled;
  TTempRegistry& registry = Registry();
  std::call_once(cleanUpInstalled, [&registry] {
    g_registry = &registry;
    CallOnTermination(RemoveFoldersOfThisProcess);
  });
  const std::lock_guard guard(registry.lock);
  auto folder = std::make_unique<TTempFolder>();
  folder->path = std::move(path);
  folder->owner = CurrentProcessId();
  folder->next = registry.head.load();
  registry.head.store(folder.get());
  registry.folders.push_back(std::move(folder));
}

} // namespace

std::string ChooseTempBase() {
  for (const std::string& folder : SystemTempFolders()) {
    if (IsFolder(folder))
      return folder;
  }
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
  std::string lastError;
  for (int attempt = 0; attempt < kMaxCreateAttempts; ++attempt) {
    std::string path = base + separator + NewTempFolderName();
    if (!MakePrivateFolder(path, lastError))
      continue;
    Register(path);
    if (trailingSeparator)
      path += '/';
    return path;
  }
  throw EQxError("Cannot create a temporary folder in \"" + base + "\": " + lastError);
}

} // namespace qx
