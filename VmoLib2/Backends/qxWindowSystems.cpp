#include "VmoLib2/Backends/qxWindowSystems.h"

#include "VmoLib2/3DBasics/Null/qxNullWindowSystem.h"
#if VMO_HAVE_SDL
#include "VmoLib2/3DBasics/Sdl/qxSdlWindowSystem.h"
#endif

namespace qx {

namespace {

const TWindowSystemDriver* const kDrivers[] = {
#if VMO_HAVE_SDL
    &kSdlWindowSystemDriver,
#endif
    &kNullWindowSystemDriver,
};

} // namespace

std::span<const TWindowSystemDriver* const> WindowSystemDrivers() { return kDrivers; }

std::string WindowSystemNames() { return DriverNames(WindowSystemDrivers()); }

std::unique_ptr<TWindowSystem> CreateWindowSystem(std::string_view requested, std::string& error) {
  const TWindowSystemDriver* driver = ChooseDriver(WindowSystemDrivers(), requested, "window system", error);
  return driver ? driver->create(error) : nullptr;
}

} // namespace qx
