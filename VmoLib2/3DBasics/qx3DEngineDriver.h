// What a back end of the device layer gives the table of back ends
// (VmoLib2/Backends/qx3DEngines.h): its name, whether it can run here,
// whether it draws, and how to make its engine. Each back end defines one
// const record in its own folder; only the table names them.
#pragma once

#include "QxLib/qxBackendChoice.h"

#include <memory>

namespace qx {

class T3DEngine;
class TDisplays;

struct T3DEngineDriver {
  TBackendInfo info;
  // False for a back end that accepts every call and draws nothing (its
  // frames read back black): tools whose output is the picture refuse it.
  bool draws;
  // Makes an engine whose renderers go on `displays` (borrowed, it must
  // outlive the engine); null for off-screen drawing only.
  std::unique_ptr<T3DEngine> (*create)(const TDisplays* displays);
};

} // namespace qx
