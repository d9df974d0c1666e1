// The tables of back ends: the null back ends are always there and last,
// names choose, and tools that need pictures refuse the null engine.
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/Backends/qxWindowSystems.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(EngineTable, TheNullEngineIsAlwaysThereAndLast) {
  ASSERT_FALSE(EngineDrivers().empty());
  EXPECT_STREQ(EngineDrivers().back()->info.name, "null");
  EXPECT_TRUE(EngineNames().ends_with("null"));
  std::string error;
  auto engine = Create3DEngine("null", nullptr, error);
  ASSERT_NE(engine, nullptr) << error;
  EXPECT_EQ(engine->ShaderLevel(0), 2);
  EXPECT_NE(Create3DEngine("", nullptr, error), nullptr) << error;
}

TEST(EngineTable, AnUnknownEngineIsAnErrorNamingTheChoices) {
  std::string error;
  EXPECT_EQ(Create3DEngine("d3d9", nullptr, error), nullptr);
  EXPECT_EQ(error, "unknown engine \"d3d9\" (choose " + EngineNames() + ")");
}

TEST(EngineTable, ToolsThatNeedPicturesRefuseTheNullEngine) {
  std::string error;
  EXPECT_EQ(CreateDrawingEngine("null", nullptr, error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(WindowSystemTable, TheNullSystemOpensOffScreenOutputsOnOneDisplay) {
  EXPECT_STREQ(WindowSystemDrivers().back()->info.name, "null");
  std::string error;
  auto windows = CreateWindowSystem("null", error);
  ASSERT_NE(windows, nullptr) << error;
  EXPECT_EQ(windows->Displays().Count(), 1);
  auto device = windows->OpenWindow("test", {0, 0, 10, 10}, true, error);
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->IsHeadless());
  EXPECT_TRUE(device->FullScreen());
  EXPECT_EQ(device->Bounds(), (T3DRect{0, 0, 10, 10}));
  EXPECT_TRUE(windows->PumpEvents());
}

} // namespace
} // namespace qx
