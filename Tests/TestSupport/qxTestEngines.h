// The engine drawing tests run on, made through the table of engines like
// the player's: the GL ES engine, since the tests look at pixels. A null
// result fails the calling test with the table's reason.
#pragma once

#include "VmoLib2/Backends/qx3DEngines.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qx::test {

inline std::unique_ptr<T3DEngine> MakeGLEngine(const TDisplays* displays = nullptr) {
  std::string error;
  auto engine = Create3DEngine("gl", displays, error);
  EXPECT_NE(engine, nullptr) << error;
  return engine;
}

// One GL ES engine shared by the tests of a binary, made on first use;
// null when there is none (the first test to ask fails with the reason).
inline T3DEngine* SharedGLEngine() {
  static const std::unique_ptr<T3DEngine> engine = MakeGLEngine();
  return engine.get();
}

} // namespace qx::test
