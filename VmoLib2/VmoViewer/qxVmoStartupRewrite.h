// The project seen by the startup window: when the player runs with
// "-startup", the project entry is replaced by a reduced project whose one
// slide is the show's "dialog_startup" section.
#pragma once

#include "QxLib/qxStream.h"

#include <memory>
#include <string>

namespace qx {

class TFileAccessor;

// The reduced startup project made from a packed project, or the project
// itself (positioned at 0) when it lacks "dialog_startup", "main" or
// "FileMap" or cannot be parsed.
std::unique_ptr<TStream> RewriteStartupProject(std::unique_ptr<TStream> project);

// Makes the accessor's "loaded" hook apply RewriteStartupProject to the
// stream of `projectName` (compared without regard to case) and to no
// other name.
void InstallStartupRewrite(TFileAccessor& accessor, std::string projectName);

} // namespace qx
