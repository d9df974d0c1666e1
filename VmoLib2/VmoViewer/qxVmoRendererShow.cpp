#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoViewer/qxVmoLoader2.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include <exception>
#include <filesystem>

namespace qx {

namespace {

std::string ProjectMessage(const std::string& path) { return std::string(kCannotLoadProject) + "\r\"" + path + "\""; }

std::unique_ptr<TVmoShowLocator> OpenProject(const std::string& path, std::string& message) {
  auto locator = OpenProjectFile(path);
  if (!locator)
    message = ProjectMessage(path);
  return locator;
}

// A file without a package is taken for a loose project only when its text
// reads as one: a main section that counts at least one slide. A picture or any
// other file gets the message of a show that cannot be loaded instead of
// an assertion about the show it is not.
bool IsLooseProject(const TVmoShowLocator& locator) {
  const TIniStorage* storage = locator.ProjectStorage();
  const TIniSection* main = storage ? storage->FindSection("main") : nullptr;
  return main && main->ReadInteger("opt_slidescount", 0) > 0;
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

} // namespace

std::unique_ptr<TVmoShowLocator> OpenShowToRender(const std::string& path, bool projectMode, std::string& message) {
  message.clear();
  try {
    if (projectMode)
      return OpenProject(path, message);

    std::string error;
    if (auto locator = OpenExecutableShow(path, error))
      return locator;
    const bool noPackage = error.empty() && IsRegularFile(path);
    const std::string sibling = SiblingPackageName(path);
    std::string siblingError;
    if (auto locator = OpenExecutableShow(sibling, siblingError))
      return locator;
    // A damaged package in the named file says more than a missing sibling;
    // a file that exists but holds no package is no missing show.
    if (error.empty() && !(noPackage && siblingError == kErrShowNotFound))
      error = siblingError;
    // A file without a package and without a package beside it may be a
    // loose project.
    if (noPackage) {
      auto locator = OpenProjectFile(path);
      if (locator && IsLooseProject(*locator))
        return locator;
    }
    message = (error.empty() ? std::string(kErrCannotLoadShow) : error) + "\r\"" + path + "\" or \"" + sibling + "\"";
  } catch (const std::exception& failure) {
    message = std::string(failure.what()) + "\r\"" + path + "\"";
  }
  return nullptr;
}

} // namespace qx
