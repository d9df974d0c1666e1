#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"

#include "VmoLib2/VmoViewer/qxVmoLoader2.h"

#include <exception>
#include <filesystem>

namespace qx {

namespace {

std::string ProjectMessage(const std::string& path) {
  return std::string(kCannotLoadProject) + "\r\"" + path + "\"";
}

std::unique_ptr<TVmoShowLocator> OpenProject(const std::string& path, std::string& message) {
  auto locator = OpenProjectFile(path);
  if (!locator)
    message = ProjectMessage(path);
  return locator;
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
    // A damaged package in the named file says more than a missing sibling.
    if (error.empty())
      error = siblingError;
    // A file without a package and without a package beside it may be a
    // loose project.
    if (noPackage) {
      if (auto locator = OpenProjectFile(path))
        return locator;
    }
    message = (error.empty() ? std::string(kErrCannotLoadShow) : error) + "\r\"" + path + "\" or \"" + sibling + "\"";
  } catch (const std::exception& failure) {
    message = std::string(failure.what()) + "\r\"" + path + "\"";
  }
  return nullptr;
}

} // namespace qx
