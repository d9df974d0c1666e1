// The table of the device layer's back ends: the one place that lists them,
// in preference order (GL ES when this build has it, then the null engine),
// and makes the engine chosen by name or by availability.
#pragma once

#include "VmoLib2/3DBasics/qx3DEngine.h"
#include "VmoLib2/3DBasics/qx3DEngineDriver.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qx {

class TDisplays;

// The command-line option ("-engine gl") and the environment variable that
// name the back end; see RequestedBackend.
constexpr const char* kEngineCommand = "engine";
constexpr const char* kEngineVariable = "VMO_ENGINE";

// The back ends of this build, in preference order.
std::span<const T3DEngineDriver* const> EngineDrivers();

// "gl|null": the names of EngineDrivers(), for usage texts.
std::string EngineNames();

// The engine named `requested`, or the first available one when it is
// empty; its renderers go on `displays` (borrowed; null for off-screen
// drawing only). Null with `error` set (an unknown or unavailable name).
std::unique_ptr<T3DEngine> Create3DEngine(std::string_view requested, const TDisplays* displays, std::string& error);

// As Create3DEngine, for tools whose output is the drawn picture: a back end
// that draws nothing is refused, also when it is the only one available.
std::unique_ptr<T3DEngine> CreateDrawingEngine(std::string_view requested, const TDisplays* displays,
                                               std::string& error);

} // namespace qx
