#include "VmoLib2/VmoViewer/qxVmoLoader2.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxIniStorage.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TScratchFolder;
using test::TTestPackage;

const std::string kProject = "\xEF\xBB\xBF[Main]\r\nVmoVersion=5.6.1\r\nopt_slidescount=1\r\n"
                             "[FileMap]\r\n"
                             ";\"C:\\show\\logo.png\"=\"C:\\show\\logo.qxgfx\"\r\n"
                             ";\"C:\\show\\wide name.png\"=\r\n"
                             "[RotationState]\r\n"
                             ";\"C:\\show\\portrait.jpg\"=6\r\n"
                             ";\"C:\\show\\odd.jpg\"=5\r\n";

TTestPackage ShowPackage() {
  TTestPackage package;
  package.prefix = "player";
  package.entries = {{"Project.vmo", kVmoDeflated, kProject},
                     {"C:\\show\\logo.qxgfx", kVmoScrambled, "container bytes"}};
  return package;
}

TEST(OpenExecutableShow, ReadsProjectMappingsAndRotations) {
  TScratchFolder folder;
  std::string error;
  auto locator = OpenExecutableShow(folder.Write("show.exe", ShowPackage().Build()), error);
  ASSERT_NE(locator, nullptr) << error;
  EXPECT_EQ(error, "");
  ASSERT_NE(locator->ProjectStorage(), nullptr);
  EXPECT_EQ(locator->Version(), "5.6.1");
  EXPECT_EQ(locator->ProjectStorage()->ReadInteger("main", "opt_slidescount", 0), 1);
  EXPECT_EQ(locator->Accessor().BaseFolder(), folder.Path());

  TFileAccessor& accessor = locator->Accessor();
  auto logo = accessor.OpenStream("c:\\show\\LOGO.png");
  ASSERT_NE(logo, nullptr) << "FileMap maps the name to the converted entry";
  EXPECT_EQ(logo->ReadAll(), "container bytes");
  auto& mapped = dynamic_cast<TMappedFileSource&>(accessor.Source());
  EXPECT_EQ(mapped.MappedName("C:\\show\\wide name.png"), nullptr) << "a line ending after = adds nothing";
  EXPECT_EQ(accessor.Source().PictureOrientation("C:\\SHOW\\portrait.jpg"), kOrientationQuarterRight);
  EXPECT_EQ(accessor.Source().PictureOrientation("C:\\show\\odd.jpg"), kOrientationNone);
}

TEST(OpenExecutableShow, ReportsEachFailure) {
  TScratchFolder folder;
  std::string error;
  EXPECT_EQ(OpenExecutableShow(folder.Path() + "absent.exe", error), nullptr);
  EXPECT_EQ(error, kErrShowNotFound);

  EXPECT_EQ(OpenExecutableShow(folder.Write("plain.exe", "no package here"), error), nullptr);
  EXPECT_EQ(error, "");

  TTestPackage noProject;
  noProject.entries = {{"other", kVmoStored, "x"}};
  EXPECT_EQ(OpenExecutableShow(folder.Write("noproject.exe", noProject.Build()), error), nullptr);
  EXPECT_EQ(error, kErrExecutableOpen);

  TTestPackage badProject;
  badProject.entries = {{"Project.vmo", kVmoDeflated, "\xEF\xBB\xBF[Main]\r\nbad=\xC3\x28\r\n"}};
  EXPECT_EQ(OpenExecutableShow(folder.Write("badproject.exe", badProject.Build()), error), nullptr);
  EXPECT_EQ(error, kErrExecutableOpen) << "an undecodable project is unreadable";
}

TEST(OpenShow, FindsThePackageBesideTheExecutable) {
  TScratchFolder folder;
  const std::string host = folder.Write("Show.exe", "only the player");
  folder.Write("Show.VmShow", ShowPackage().Build());
  std::string error;
  auto locator = OpenShow(host, error);
  ASSERT_NE(locator, nullptr) << error;
  EXPECT_EQ(locator->Version(), "5.6.1");
}

TEST(OpenShow, OpensLooseProjectsAndReportsTheRest) {
  TScratchFolder folder;
  folder.Write("media/pic.bmp", "disk picture");
  const std::string project =
      folder.Write("media/Project.vmo", "[Main]\r\nVmoVersion=5.0\r\nopt_exefn=C:\\Nowhere\\show.exe\r\n[Slide1]\r\n");
  std::string error;
  auto locator = OpenShow(project, error);
  ASSERT_NE(locator, nullptr) << error;
  EXPECT_EQ(locator->Version(), "5.0");
  EXPECT_EQ(locator->Accessor().BaseFolder(), folder.Path() + "media/")
      << "the executable's folder is not on this machine, so the project's folder is used";
  auto picture = locator->Accessor().OpenStream("C:\\Authoring\\PIC.BMP");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->ReadAll(), "disk picture");

  EXPECT_EQ(OpenShow(folder.Write("binary", "\xEF\xBB\xBF\xC3\x28 undecodable"), error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(OpenShow(folder.Path() + "absent", error), nullptr);
  EXPECT_EQ(error, kErrShowNotFound);
}

TEST(OpenShow, TurnsTableFailuresIntoErrorTexts) {
  TScratchFolder folder;
  TTestPackage package = ShowPackage();
  std::string bytes = package.Build();
  // Garbage where the deflated table starts.
  int64_t tablePosition = 0;
  package.Build(&tablePosition);
  for (size_t i = 0; i < 6; ++i)
    bytes[static_cast<size_t>(tablePosition) + i] = '\xFF';
  std::string error;
  EXPECT_EQ(OpenShow(folder.Write("show.exe", bytes), error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(ReplacePair, OpensTheProjectInsteadOfTheExecutable) {
  TScratchFolder folder;
  const std::string host = folder.Write("show.exe", ShowPackage().Build());
  const std::string project = folder.Write("Project.vmo", "[Main]\r\nVmoVersion=replaced\r\n");
  SetReplacePair({folder.Path() + "SHOW.EXE", project});
  std::string error;
  auto locator = OpenExecutableShow(host, error);
  SetReplacePair({});
  ASSERT_NE(locator, nullptr);
  EXPECT_EQ(locator->Version(), "replaced");
  EXPECT_EQ(OpenExecutableShow(host, error)->Version(), "5.6.1");
}

TEST(OpenExecutableShow, StartupWindowGetsTheReducedProject) {
  TScratchFolder folder;
  TTestPackage package;
  package.entries = {{"Project.vmo", kVmoDeflated,
                      "[main]\r\nVmoVersion=5.6\r\nopt_slidescount=9\r\n[dialog_startup]\r\nobject B:button\r\nend\r\n"
                      "[FileMap]\r\n"}};
  const std::string host = folder.Write("show.exe", package.Build());
  CommandLine().Parse("player -startup 1234");
  std::string error;
  auto locator = OpenExecutableShow(host, error);
  CommandLine().Parse("");
  ASSERT_NE(locator, nullptr) << error;
  EXPECT_EQ(locator->ProjectStorage()->ReadInteger("main", "opt_slidescount", 0), 1);
  EXPECT_TRUE(locator->ProjectStorage()->SectionExists("slide1"));
}

} // namespace
} // namespace qx
