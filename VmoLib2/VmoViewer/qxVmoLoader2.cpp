#include "VmoLib2/VmoViewer/qxVmoLoader2.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace qx {

namespace {

std::mutex g_replaceLock;
TReplacePair g_replacePair;

bool StartupRequested() { return CommandLine().HasToken("-startup"); }

std::string AbsoluteFolderOf(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return FolderOf(error ? path : absolute.string());
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

} // namespace

void SetReplacePair(TReplacePair pair) {
  const std::lock_guard lock(g_replaceLock);
  g_replacePair = std::move(pair);
}

TReplacePair ReplacePair() {
  const std::lock_guard lock(g_replaceLock);
  return g_replacePair;
}

std::unique_ptr<TVmoShowLocator> OpenExecutableShow(const std::string& hostFileName, std::string& error) {
  error.clear();
  if (const TReplacePair pair = ReplacePair();
      !pair.project.empty() && LowerCase(pair.executable) == LowerCase(hostFileName)) {
    return OpenProjectFile(pair.project);
  }

  auto unpack = std::make_unique<TVmoUnpack>(hostFileName);
  if (!unpack->IsOpen()) {
    error = unpack->ErrorText();
    return nullptr;
  }
  auto accessor = std::make_unique<TFileAccessor>(MakeRef<TPackedFileSource>(std::move(unpack)));
  accessor->SetBaseFolder(AbsoluteFolderOf(hostFileName));
  if (StartupRequested())
    InstallStartupRewrite(*accessor, std::string(kVmoProjectEntry));

  auto locator = std::make_unique<TVmoShowLocator>(std::move(accessor), std::string(kVmoProjectEntry));
  if (!locator->ProjectStorage()) {
    error = kErrExecutableOpen;
    return nullptr;
  }
  return locator;
}

std::unique_ptr<TVmoShowLocator> OpenProjectFile(const std::string& name) {
  auto accessor = std::make_unique<TFileAccessor>(MakeRef<TMappedFileSource>());
  if (StartupRequested())
    InstallStartupRewrite(*accessor, name);
  auto locator = std::make_unique<TVmoShowLocator>(std::move(accessor), name);
  if (!locator->ProjectStorage())
    return nullptr;
  // Files are looked up beside the executable the project would be built
  // into; when that folder is not on this machine, beside the project.
  const std::string exeFolder = FolderOf(locator->ProjectStorage()->ReadString("main", "opt_exefn", ""));
  locator->Accessor().SetBaseFolder(IsFolder(exeFolder) ? exeFolder : AbsoluteFolderOf(name));
  return locator;
}

std::string SiblingPackageName(const std::string& hostFileName) {
  std::filesystem::path path(hostFileName);
  path.replace_extension(kVmoShowExtension);
  return path.string();
}

std::unique_ptr<TVmoShowLocator> OpenShow(const std::string& path, std::string& error) {
  try {
    if (auto locator = OpenExecutableShow(path, error))
      return locator;
    if (!error.empty())
      return nullptr;
    const std::string sibling = SiblingPackageName(path);
    if (sibling != path && FileExists(sibling))
      return OpenShow(sibling, error);
    if (auto locator = OpenProjectFile(path))
      return locator;
    error = kErrCannotLoadShow;
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  return nullptr;
}

} // namespace qx
