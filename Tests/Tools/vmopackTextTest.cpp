// Packs texts with the manifest method "text", then reads them back through
// vmopack's "cat", "picture" and "macros" commands.
#include "QxLib/VectorGraphics/qxVectorText.h"
#include "Tests/TestSupport/qxMetadataPhoto.h"
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <png.h>

namespace qx {
namespace {

using test::RunProgram;
using test::TProgramRun;
using test::TScratchFolder;

const std::string kProject = "[Main]\nopt_slidescount=2\nopt_synchpos1=4000\nopt_synchpos2=8000\n"
                             "opt_scr_width=800\nopt_scr_height=600\n"
                             "[Slide1]\nobject P:mainimage\nImageName=C:\\Trip\\harbour.jpg\nend\n"
                             "[Slide2]\nobject T:text\nText=Hi\nend\n";

class VmopackText : public testing::Test {
protected:
  void SetUp() override {
    m_folder.Write("Project.vmo", kProject);
    m_folder.Write("harbour.jpg", test::MakeMetadataPhoto(48, 32, test::FullMetadata()));
    m_folder.Write("show.manifest", "deflate | Project.vmo | Project.vmo\n"
                                    "stored | C:\\Trip\\harbour.jpg | harbour.jpg\n"
                                    "text | DejaVu Sans:Bold | Hello^&World | with a bar\n"
                                    "text | DejaVu Serif: | Hi\n");
    const TProgramRun pack = Run("pack '" + m_folder.Path() + "show.manifest' -o " + Show());
    ASSERT_EQ(pack.ExitCode, 0) << pack.Err << pack.Out;
  }

  TProgramRun Run(const std::string& args) { return RunProgram(VMOPACK_PATH, args); }
  std::string Show() const { return "'" + m_folder.Path() + "show.VmShow'"; }

  TScratchFolder m_folder;
};

TEST_F(VmopackText, PacksLayoutsAndTheGlyphsTheyUse) {
  const TProgramRun list = Run("list " + Show());
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_NE(list.Out.find("VectTxt2: DejaVu Sans:Bold:\"Hello\"^&\"World | with a bar\""), std::string::npos)
      << list.Out;
  EXPECT_NE(list.Out.find("VectTxt2: DejaVu Serif::\"Hi\""), std::string::npos);
  EXPECT_NE(list.Out.find("VectTextCache: DejaVu Sans Bold"), std::string::npos);
  EXPECT_NE(list.Out.find("VectTextCache: DejaVu Serif Book"), std::string::npos);

  // What the packer wrote reads back, and every glyph the layout points to
  // is in the packed glyph cache.
  const TProgramRun layout = Run("cat " + Show() + " 'VectTxt2: DejaVu Sans:Bold:\"Hello\"^&\"World | with a bar\"'");
  const TProgramRun cache = Run("cat " + Show() + " 'VectTextCache: DejaVu Sans Bold'");
  ASSERT_EQ(layout.ExitCode, 0) << layout.Err;
  ASSERT_EQ(cache.ExitCode, 0) << cache.Err;
  auto fonts = std::make_shared<TFontCache>();
  fonts->AddPacked("DejaVu Sans Bold", *TGlyphCache::Read(cache.Out));
  const auto text = TCachedVectorText::Read(layout.Out, fonts);
  ASSERT_EQ(text->LineCount(), 2);
  EXPECT_EQ(text->GlyphCount(0), 5);
  for (int line = 0; line < text->LineCount(); ++line)
    for (int glyph = 0; glyph < text->GlyphCount(line); ++glyph)
      EXPECT_NO_THROW(text->GlyphOutline(line, glyph));
  EXPECT_EQ(text->Write(), layout.Out);
}

TEST_F(VmopackText, PictureMakesTextPicturesThroughTheSlideHost) {
  const std::string png = m_folder.Path() + "text.png";
  const TProgramRun run = Run("picture " + Show() +
                              " 'Text: DejaVu Sans:40.0:1:1:Bold:1:0:255:255:255:255:"
                              "\"Hello\"^&\"World | with a bar\"' -o '" +
                              png + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("TTextBitmapStore"), std::string::npos) << run.Out;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
  EXPECT_GT(image.height, 80U) << "two lines of 40 pixels";
  EXPECT_GT(image.width, image.height);
  png_image_free(&image);

  const TProgramRun bad = Run("picture " + Show() + " 'Text: nonsense' -o '" + png + "'");
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_NE(bad.Err.find("Picture \"Text: nonsense\" not found"), std::string::npos) << bad.Err;
}

TEST_F(VmopackText, MacrosExpandForASlideInPlayOrder) {
  const TProgramRun first = Run("macros " + Show() +
                                " 1 '<%MainImg.FileName%> <%MainImg.Exif.Date%>^&"
                                "<%MainImg.IPTC.City%>, <%MainImg.IPTC.Country%> (<%SlideIndex%>/<%SlidesCount%>)'");
  ASSERT_EQ(first.ExitCode, 0) << first.Err;
  EXPECT_EQ(first.Out, "harbour 2009:10:21\nLisbon, Portugal (1/2)\n");
  // Slide 2 has no main picture: its macros give nothing. Position 3 is the
  // first slide of the second repetition.
  EXPECT_EQ(Run("macros " + Show() + " 2 '<%MainImg.FileName%>'").Out, " \n");
  EXPECT_EQ(Run("macros " + Show() + " 3 '<%SlideIndex%>'").Out, "1\n");
  EXPECT_EQ(Run("macros " + Show() + " 0 'x'").ExitCode, 1);
}

} // namespace
} // namespace qx
