#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"

#include "QxLib/qxIniStorage.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TScratchFolder;
using test::TTestPackage;

const std::string kProject = "[Main]\r\nVmoVersion=5.6.1\r\nopt_slidescount=2\r\n";

std::string Package() {
  TTestPackage package;
  package.prefix = "player bytes";
  package.entries = {{"Project.vmo", kVmoDeflated, kProject}};
  return package.Build();
}

int SlideCount(const TVmoShowLocator& show) { return show.ProjectStorage()->ReadInteger("main", "opt_slidescount", 0); }

TEST(OpenShowToRender, OpensAnExecutableWithItsPackage) {
  TScratchFolder folder;
  std::string message = "stale";
  auto show = OpenShowToRender(folder.Write("show", Package()), false, message);
  ASSERT_NE(show, nullptr) << message;
  EXPECT_EQ(message, "");
  EXPECT_EQ(SlideCount(*show), 2);
}

TEST(OpenShowToRender, FallsBackToThePackageBesideTheExecutable) {
  TScratchFolder folder;
  folder.Write("show.VmShow", Package());
  std::string message;
  auto show = OpenShowToRender(folder.Write("show.exe", "an executable without a package"), false, message);
  ASSERT_NE(show, nullptr) << message;
  EXPECT_EQ(SlideCount(*show), 2);
  // Also when only the package's base name is given.
  show = OpenShowToRender(folder.Path() + "show", false, message);
  ASSERT_NE(show, nullptr) << message;
}

TEST(OpenShowToRender, OpensALooseProjectEitherWay) {
  TScratchFolder folder;
  const std::string project = folder.Write("Project.vmo", kProject);
  std::string message;
  auto show = OpenShowToRender(project, false, message);
  ASSERT_NE(show, nullptr) << message;
  EXPECT_EQ(SlideCount(*show), 2);
  show = OpenShowToRender(project, true, message);
  ASSERT_NE(show, nullptr) << message;
  EXPECT_EQ(SlideCount(*show), 2);
}

TEST(OpenShowToRender, AMissingShowNamesBothPlacesTried) {
  TScratchFolder folder;
  const std::string path = folder.Path() + "nothing.exe";
  std::string message;
  EXPECT_EQ(OpenShowToRender(path, false, message), nullptr);
  EXPECT_EQ(message, "Slideshow File not Found\r\"" + path + "\" or \"" + folder.Path() + "nothing.VmShow\"");
}

TEST(OpenShowToRender, ADamagedPackageSaysSo) {
  TScratchFolder folder;
  std::string bytes = Package();
  // A trailer that points outside the file.
  bytes[bytes.size() - 3] = '\x7F';
  const std::string path = folder.Write("broken.exe", bytes);
  std::string message;
  EXPECT_EQ(OpenShowToRender(path, false, message), nullptr);
  EXPECT_EQ(message, "Slide-show File Damaged\r\"" + path + "\" or \"" + folder.Path() + "broken.VmShow\"");
}

TEST(OpenShowToRender, AMissingProjectFileHasItsOwnText) {
  TScratchFolder folder;
  const std::string path = folder.Path() + "gone.vmo";
  std::string message;
  EXPECT_EQ(OpenShowToRender(path, true, message), nullptr);
  EXPECT_EQ(message, "Can`t Load .vmo File\r\"" + path + "\"");
}

} // namespace
} // namespace qx
