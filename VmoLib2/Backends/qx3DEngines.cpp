#include "VmoLib2/Backends/qx3DEngines.h"

#include "VmoLib2/3DBasics/Null/qx3DEngineNull.h"
#if VMO_HAVE_GL
#include "VmoLib2/3DBasics/GL/qx3DEngineGL.h"
#endif

namespace qx {

namespace {

constexpr const char* kLayer = "engine";

const T3DEngineDriver* const kDrivers[] = {
#if VMO_HAVE_GL
    &k3DEngineGLDriver,
#endif
    &k3DEngineNullDriver,
};

} // namespace

std::span<const T3DEngineDriver* const> EngineDrivers() { return kDrivers; }

std::string EngineNames() { return DriverNames(EngineDrivers()); }

std::unique_ptr<T3DEngine> Create3DEngine(std::string_view requested, const TDisplays* displays, std::string& error) {
  const T3DEngineDriver* driver = ChooseDriver(EngineDrivers(), requested, kLayer, error);
  return driver ? driver->create(displays) : nullptr;
}

std::unique_ptr<T3DEngine> CreateDrawingEngine(std::string_view requested, const TDisplays* displays,
                                               std::string& error) {
  std::vector<const T3DEngineDriver*> drawing;
  for (const T3DEngineDriver* driver : EngineDrivers()) {
    if (driver->draws) {
      drawing.push_back(driver);
    }
  }
  if (drawing.empty()) {
    error = "this build has no engine that draws (only " + EngineNames() + ")";
    return nullptr;
  }
  const T3DEngineDriver* driver = ChooseDriver<T3DEngineDriver>(drawing, requested, "drawing engine", error);
  return driver ? driver->create(displays) : nullptr;
}

} // namespace qx
