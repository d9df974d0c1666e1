// Opening a show: an executable with its package appended, a separate
// ".VmShow" package, or a loose project file for preview.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoFileSources.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoStartupRewrite.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include <memory>
#include <string>
#include <string_view>

namespace qx {

// The project entry of every package.
inline constexpr std::string_view kVmoProjectEntry = "Project.vmo";
// The extension of a package kept beside its executable.
inline constexpr std::string_view kVmoShowExtension = ".VmShow";

inline constexpr std::string_view kErrExecutableOpen = "Executable SlideShow Open Error";
inline constexpr std::string_view kErrCannotLoadShow = "Can`t Load Show";

// The show packed into `hostFileName`, or nullptr with `error` set:
// "Slideshow File not Found", "Slide-show File Damaged", "Executable
// SlideShow Open Error", or empty when the file holds no package. When the
// replace pair names this executable, the pair's project file is opened
// instead. A file table that does not inflate raises the decompressor's
// error.
std::unique_ptr<TVmoShowLocator> OpenExecutableShow(const std::string& hostFileName, std::string& error);

// A loose project file on disk, or nullptr when it cannot be read.
std::unique_ptr<TVmoShowLocator> OpenProjectFile(const std::string& name);

// Whatever `path` is: an executable with a package appended, a package
// file, an executable with its "<name>.VmShow" package beside it, or a loose
// project file. Never raises; on failure returns nullptr with `error` set
// (never empty).
std::unique_ptr<TVmoShowLocator> OpenShow(const std::string& path, std::string& error);

// The package file kept beside an executable: the same name with the
// extension ".VmShow".
std::string SiblingPackageName(const std::string& hostFileName);

// The process-wide replace pair: set when a loose project is opened whose
// [main] "opt_exefn" names the executable it would be built into; opening
// that executable then opens the project instead. Empty at start.
struct TReplacePair {
  std::string executable;
  std::string project;
};
void SetReplacePair(TReplacePair pair);
TReplacePair ReplacePair();

} // namespace qx
