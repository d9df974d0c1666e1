#include "VmoLib2/VmoViewer/qxVmoStartupRewrite.h"

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxMemoryStream.h"
#include "VmoLib2/VmoViewer/qxVmoFileSources.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

std::unique_ptr<TStream> TextStream(const std::string& text) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteString(text);
  stream->SetPosition(0);
  return stream;
}

const std::string kPacked = "[main]\r\n"
                            "VmoVersion=5.6\r\n"
                            "opt_slidescount=12\r\n"
                            "opt_repeat=repeat\r\n"
                            "opt_scr_full=1\r\n"
                            "opt_startupwidth=320\r\n"
                            "opt_lockf1=0\r\n"
                            "opt_customdialogscount=2\r\n"
                            "custom_dialog0=First\r\n"
                            "opt_fx_enable=1\r\n"
                            "opt_keep=kept\r\n"
                            "object Music:Music\r\n"
                            "  Track=a.mp3\r\n"
                            "end\r\n"
                            "object Second:music\r\n"
                            "end\r\n"
                            "[Slide1]\r\nslideid=One\r\n"
                            "[dialog_startup]\r\nobject Go:button\r\n  Action=close\r\nend\r\n"
                            "[FileMap]\r\n;\"a.png\"=\"a.qxgfx\"\r\n"
                            "[dialog_help]\r\nhelp=1\r\n"
                            "[dialog_2_]\r\nsecond=1\r\n"
                            "[dialog_3_]\r\nthird=1\r\n";

std::unique_ptr<TIniStorage> Rewritten(const std::string& text) {
  std::unique_ptr<TStream> result = RewriteStartupProject(TextStream(text));
  auto storage = std::make_unique<TIniStorage>();
  EXPECT_TRUE(storage->LoadFromStream(*result));
  return storage;
}

TEST(StartupRewrite, ReducesTheProjectToTheStartupDialog) {
  const std::unique_ptr<TIniStorage> rewritten = Rewritten(kPacked);
  const TIniStorage& reduced = *rewritten;
  EXPECT_EQ(reduced.ReadInteger("main", "opt_slidescount", 0), 1);
  EXPECT_EQ(reduced.ReadString("main", "opt_repeat", ""), "stop");
  EXPECT_EQ(reduced.ReadString("main", "opt_scr_full", ""), "0");
  EXPECT_EQ(reduced.ReadString("main", "opt_scr_width", ""), "320");
  EXPECT_EQ(reduced.ReadString("main", "opt_scr_height", ""), "480") << "default height";
  EXPECT_EQ(reduced.ReadString("main", "opt_scr_caption", ""), "Startup Window");
  EXPECT_EQ(reduced.ReadString("main", "opt_lockf1", ""), "0");
  EXPECT_EQ(reduced.ReadString("main", "opt_runapponexitfn", "x"), "");
  EXPECT_EQ(reduced.ReadString("main", "opt_keep", ""), "kept") << "other main keys are copied";
  EXPECT_EQ(reduced.ReadString("main", "custom_dialog0", ""), "First");
  EXPECT_EQ(reduced.ReadString("main", "custom_dialog1", ""), "NotFound");
  EXPECT_EQ(reduced.ReadInteger("main", "opt_customdialogscount", 0), 2);

  const TIniSection* main = reduced.FindSection("main");
  ASSERT_NE(main, nullptr);
  const TIniObject* object = main->FirstObject();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->Name(), "Second") << "only the first music object goes";
  EXPECT_EQ(main->NextObject(object), nullptr);

  const TIniSection* slide = reduced.FindSection("slide1");
  ASSERT_NE(slide, nullptr);
  ASSERT_NE(slide->FirstObject(), nullptr);
  EXPECT_EQ(slide->FirstObject()->Name(), "Go");
  EXPECT_TRUE(reduced.SectionExists("FileMap"));
  EXPECT_TRUE(reduced.SectionExists("dialog_help"));
  EXPECT_TRUE(reduced.SectionExists("dialog_2_"));
  EXPECT_FALSE(reduced.SectionExists("dialog_3_")) << "beyond the dialog count";
  EXPECT_FALSE(reduced.SectionExists("dialog_1_"));
  EXPECT_EQ(reduced.ReadString("slide1", "slideid", "none"), "none");
}

TEST(StartupRewrite, LeavesProjectsWithoutTheStartupSectionsAlone) {
  for (const std::string& text :
       {std::string("[main]\r\nopt_slidescount=5\r\n[FileMap]\r\n"), std::string("[main]\r\n[dialog_startup]\r\n"),
        std::string("[dialog_startup]\r\n[FileMap]\r\n"), std::string("\xC3\x28")}) {
    std::unique_ptr<TStream> original = TextStream(text);
    TStream* address = original.get();
    original->SetPosition(3);
    std::unique_ptr<TStream> result = RewriteStartupProject(std::move(original));
    EXPECT_EQ(result.get(), address);
    EXPECT_EQ(result->GetPosition(), 0);
  }
}

TEST(StartupRewrite, AppliesToTheProjectNameOnly) {
  test::TScratchFolder folder;
  folder.Write("Project.vmo", kPacked);
  folder.Write("other.ini", kPacked);
  TFileAccessor accessor(MakeRef<TMappedFileSource>());
  accessor.SetBaseFolder(folder.Path());
  InstallStartupRewrite(accessor, "project.VMO");

  TIniStorage rewritten;
  ASSERT_TRUE(rewritten.LoadFromStream(*accessor.OpenStream("Project.vmo")));
  EXPECT_EQ(rewritten.ReadInteger("main", "opt_slidescount", 0), 1);
  TIniStorage other;
  ASSERT_TRUE(other.LoadFromStream(*accessor.OpenStream("other.ini")));
  EXPECT_EQ(other.ReadInteger("main", "opt_slidescount", 0), 12);
}

TEST(StartupRewrite, CapsAHugeDialogCount) {
  std::string text = kPacked;
  text.replace(text.find("opt_customdialogscount=2"), 24, "opt_customdialogscount=2000000000");
  const std::unique_ptr<TIniStorage> rewritten = Rewritten(text);
  const TIniStorage& reduced = *rewritten;
  EXPECT_EQ(reduced.ReadInteger("main", "opt_customdialogscount", 0), 2000000000);
  EXPECT_TRUE(reduced.SectionExists("dialog_2_"));
}

} // namespace
} // namespace qx
