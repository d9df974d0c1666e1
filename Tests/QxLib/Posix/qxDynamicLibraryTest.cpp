// Libraries loaded at run time: the picture library built with the tests,
// its functions found by name, and a missing file or name answered plainly.
#include "QxLib/qxDynamicLibrary.h"

#include "Plugins/qxPngLib/qxPngLib.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

const std::string kLibraryPath = std::string(VMO_BINARY_DIR) + "/Common/libqxPngLib.so";

TEST(DynamicLibrary, FindsTheFunctionsOfALoadedLibrary) {
  std::string error;
  const auto library = TDynamicLibrary::Load(kLibraryPath, error);
  ASSERT_NE(library, nullptr) << error;
  QxOpenImageFunc open = nullptr;
  EXPECT_TRUE(library->LookUp(QX_OPEN_IMAGE_NAME, open));
  EXPECT_NE(open, nullptr);
  EXPECT_EQ(library->Symbol("NoSuchFunction"), nullptr);
}

TEST(DynamicLibrary, AMissingFileGivesTheLoadersReason) {
  std::string error;
  EXPECT_EQ(TDynamicLibrary::Load(std::string(VMO_BINARY_DIR) + "/Common/missing.so", error), nullptr);
  EXPECT_NE(error.find("missing.so"), std::string::npos) << error;
}

} // namespace
} // namespace qx
