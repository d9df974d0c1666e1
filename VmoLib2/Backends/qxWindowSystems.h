// The table of the window system's back ends: the one place that lists
// them, in preference order (SDL2 when this build has it, then the null
// window system), and starts the one chosen by name or by availability.
#pragma once

#include "VmoLib2/3DBasics/qxWindowSystem.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qx {

// The command-line option ("-windows sdl") and the environment variable
// that name the back end; see RequestedBackend.
constexpr const char* kWindowSystemCommand = "windows";
constexpr const char* kWindowSystemVariable = "VMO_WINDOWS";

// The back ends of this build, in preference order.
std::span<const TWindowSystemDriver* const> WindowSystemDrivers();

// "sdl|null": the names of WindowSystemDrivers(), for usage texts.
std::string WindowSystemNames();

// The window system named `requested`, or the first available one when it
// is empty. Null with `error` set.
std::unique_ptr<TWindowSystem> CreateWindowSystem(std::string_view requested, std::string& error);

} // namespace qx
