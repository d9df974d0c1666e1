// Opening the show the renderer was given, with the player's own error
// texts: an executable (or package) is tried as it is and then as the
// ".VmShow" package beside it; a loose project is opened as a project file.
#pragma once

#include <memory>
#include <string>

namespace qx {

class TVmoShowLocator;

inline constexpr const char* kSlideshowErrorCaption = "Slideshow Error";
inline constexpr const char* kCannotLoadProject = "Can`t Load .vmo File";

// The show at `path`, or nullptr with `message` set to the text the player
// shows under "Slideshow Error". An executable path that holds no package
// and has no ".VmShow" beside it is finally tried as a loose project, so a
// project file may be named either way. Never raises.
std::unique_ptr<TVmoShowLocator> OpenShowToRender(const std::string& path, bool projectMode, std::string& message);

} // namespace qx
