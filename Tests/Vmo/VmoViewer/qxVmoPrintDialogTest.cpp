// The print dialog's decisions without a window system: its texts, the
// picture printed and where it goes on the page, the file proposed by Save
// and the bytes written in each format.
#include "Vmo/VmoViewer/qxVmoPrintDialog.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qx {
namespace {

// The first bytes of a saved file, enough to tell its format.
std::string FileHead(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(8, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

std::unique_ptr<TBitmap> Frame(int width = 8, int height = 4) {
  auto frame = std::make_unique<TBitmap>(width, height, TPixelFormat::Bgra32);
  frame->Fill(TBgra{10, 20, 200, 255});
  return frame;
}

struct TDialogFixture {
  TDialogFixture(const std::string& main, std::unique_ptr<TBitmap> frame, int slide = 1)
      : Source(MakeRef<test::TTestFileSource>()), Accessor(test::TestAccessor(Source)),
        Project(test::Project("[Main]\n" + main + "[Slide2]\npicture=C:\\Show\\photo.bmp\n")),
        Provider(&Accessor, Project.get(), std::move(frame), slide), Dialog(Project->FindSection("main"), Provider) {}

  TRefPtr<test::TTestFileSource> Source;
  TFileAccessor Accessor;
  std::unique_ptr<TIniStorage> Project;
  TCallBackClass Provider;
  TVmoPrintDialog Dialog;
};

TEST(PrintDialog, TextsComeFromTheProjectAndSaveOnlyWhenAllowed) {
  const TPrintTexts defaults = ReadPrintTexts(nullptr);
  EXPECT_EQ(defaults.Caption, "Print");
  EXPECT_EQ(defaults.OnlyMainImage, "Only Main Image");
  EXPECT_EQ(defaults.ChangePrinter, "Change Printer");
  EXPECT_FALSE(defaults.CanSave);
  TDialogFixture f("opt_lng_print_caption=Drucken\nopt_lng_print_button6=Sichern\nCanRestore=1\n", Frame());
  EXPECT_EQ(f.Dialog.Texts().Caption, "Drucken");
  EXPECT_EQ(f.Dialog.Texts().SaveButton, "Sichern");
  EXPECT_EQ(f.Dialog.Texts().PrintButton, "Print");
  EXPECT_TRUE(f.Dialog.Texts().CanSave);
}

TEST(PrintDialog, PagePlacementKeepsProportionsAndCentres) {
  const TPagePlacement wide = PlaceOnPage(1920, 1080, 1000, 700);
  EXPECT_TRUE(wide.Landscape);
  EXPECT_EQ(wide.Width, 1000);
  EXPECT_EQ(wide.Height, 562);
  EXPECT_EQ(wide.Left, 0);
  EXPECT_EQ(wide.Top, 69);
  const TPagePlacement tall = PlaceOnPage(600, 800, 1000, 700);
  EXPECT_FALSE(tall.Landscape);
  EXPECT_EQ(tall.Width, 525);
  EXPECT_EQ(tall.Height, 700);
  EXPECT_EQ(tall.Left, 237);
  EXPECT_FALSE(PlaceOnPage(500, 500, 10, 10).Landscape) << "a square prints upright";
  EXPECT_EQ(PlaceOnPage(0, 10, 100, 100).Width, 0);
}

TEST(PrintDialog, TheMainPictureFallsBackToTheFrame) {
  TDialogFixture f("", Frame());
  // No main picture in the package: the frame is printed.
  std::unique_ptr<TBitmap> printed = f.Dialog.PictureToPrint(true);
  ASSERT_NE(printed, nullptr);
  EXPECT_EQ(printed->Width(), 8);
  f.Source->Add("C:\\Show\\photo.bmp", WriteBmp(*Frame(3, 5)));
  printed = f.Dialog.PictureToPrint(true);
  ASSERT_NE(printed, nullptr);
  EXPECT_EQ(printed->Width(), 3);
  EXPECT_EQ(f.Dialog.PictureToPrint(false)->Width(), 8);
  TDialogFixture empty("", nullptr);
  EXPECT_EQ(empty.Dialog.PictureToPrint(false), nullptr);
}

TEST(PrintDialog, SavingTheFrameProposesSlideNAndWritesTheChosenFormat) {
  TDialogFixture f("CanRestore=1\n", Frame());
  const std::optional<TSaveProposal> proposal = f.Dialog.SaveProposal(false);
  ASSERT_TRUE(proposal);
  EXPECT_EQ(proposal->FileName, "Slide2.bmp");
  EXPECT_EQ(proposal->Extensions, (std::vector<std::string>{"bmp", "png", "jpg"}));
  EXPECT_FALSE(proposal->Data);
  test::TScratchFolder folder;
  f.Dialog.Save(*proposal, SavePath(*proposal, folder.Path() + "a"));
  f.Dialog.Save(*proposal, folder.Path() + "b.PNG");
  f.Dialog.Save(*proposal, folder.Path() + "c.jpeg");
  EXPECT_EQ(FileHead(folder.Path() + "a.bmp").substr(0, 2), "BM");
  EXPECT_EQ(FileHead(folder.Path() + "b.PNG").substr(1, 3), "PNG");
  EXPECT_EQ(FileHead(folder.Path() + "c.jpeg").substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(SaveFormatOf("x.jfif"), TSaveFormat::Jpeg);
  EXPECT_EQ(SaveFormatOf("x.gif"), TSaveFormat::Bmp);
  EXPECT_EQ(SavePath(*proposal, "/tmp/x.jpg"), "/tmp/x.jpg");
}

TEST(PrintDialog, SavingTheMainPictureCopiesAJpegAndConvertsTheRestToBmp) {
  TDialogFixture f("", Frame());
  f.Source->Add("C:\\Show\\photo.bmp", WriteBmp(*Frame(3, 5)));
  std::optional<TSaveProposal> proposal = f.Dialog.SaveProposal(true);
  ASSERT_TRUE(proposal);
  EXPECT_EQ(proposal->FileName, "photo.bmp");
  EXPECT_EQ(proposal->Extensions, std::vector<std::string>{"bmp"});
  ASSERT_TRUE(proposal->Data);
  EXPECT_EQ(proposal->Data->substr(0, 2), "BM");

  TDialogFixture jpeg("", Frame());
  jpeg.Project->FindSection("slide2")->WriteString("picture", "C:\\Show\\photo.JPG");
  const std::string bytes = "\xFF\xD8 not decoded, copied as it is";
  jpeg.Source->Add("C:\\Show\\photo.JPG", bytes);
  proposal = jpeg.Dialog.SaveProposal(true);
  ASSERT_TRUE(proposal);
  EXPECT_EQ(proposal->FileName, "photo.JPG");
  EXPECT_EQ(proposal->Data, bytes);
  // A damaged main picture falls back to the frame.
  TDialogFixture damaged("", Frame());
  damaged.Source->Add("C:\\Show\\photo.bmp", "BM garbage");
  proposal = damaged.Dialog.SaveProposal(true);
  ASSERT_TRUE(proposal);
  EXPECT_EQ(proposal->FileName, "Slide2.bmp");
}

} // namespace
} // namespace qx
