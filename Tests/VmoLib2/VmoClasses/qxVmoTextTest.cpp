#include "VmoLib2/VmoClasses/qxVmoText.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/VectorGraphics/qxVectorText.h"
#include "Tests/QxLib/VectorGraphics/qxTestFont.h"
#include "Tests/TestSupport/qxMetadataPhoto.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/qxTextNames.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

constexpr std::string_view kPhotoName = "D:\\Photos\\Trip\\img01.jpg";

std::string Show(std::string_view slide1, std::string_view slide2, std::string_view slide3) {
  return "[Main]\nopt_slidescount=3\nopt_synchpos1=5000\nopt_synchpos2=10000\nopt_synchpos3=15000\n"
         "opt_scr_width=800\nopt_scr_height=600\n[slide1]\n" +
         std::string(slide1) + "[slide2]\n" + std::string(slide2) + "[slide3]\n" + std::string(slide3);
}

std::string TextBlock(std::string_view name, std::string_view keys) {
  return "object " + std::string(name) + ":text\n" + std::string(keys) + "end\n";
}

class Texts : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_files = MakeRef<test::TTestFileSource>();
    m_files->Add(std::string(kPhotoName), test::MakeMetadataPhoto(64, 48, test::FullMetadata()));
    m_files->Add("plain.jpg", test::EncodeTestJpeg(40, 30));
  }

  // Slide `index` (0-based) of the show, prepared and placed.
  std::unique_ptr<TVmoSlide> Slide(const std::string& project, int index) {
    m_producer = std::make_unique<TSlideProducer>(
        std::make_unique<TVmoSource>(test::TestAccessor(m_files), test::Project(project), true));
    m_producer->SetGeometry({0, 0, 1600, 1200}, TSlideFitMode::FitInside);
    m_producer->SetTiming(MakeRef<TTiming>());
    return m_producer->MakeSlide(index, 0);
  }

  static TVmoText& Text(TVmoSlide& slide, const std::string& name) {
    TVmoText* found = nullptr;
    slide.ForEach([&](TVmoObject& object) {
      if (object.Name() == name)
        found = dynamic_cast<TVmoText*>(&object);
    });
    if (!found)
      throw EQxError("no text " + name);
    return *found;
  }

  TRefPtr<test::TTestFileSource> m_files;
  std::unique_ptr<TSlideProducer> m_producer;
};

TEST_F(Texts, BlockWithoutKeysTakesTheDefaults) {
  auto slide = Slide(Show(TextBlock("t", ""), "", ""), 0);
  ASSERT_TRUE(slide);
  const TVmoText& text = Text(*slide, "t");
  EXPECT_TRUE(text.Empty());
  EXPECT_EQ(text.DisplayLines(), std::vector<std::string>{" "});
  EXPECT_EQ(text.FontName(), "");
  EXPECT_EQ(text.Align(), TTextAlign::Center);
  EXPECT_EQ(text.LineSpacing(), 0);
  for (const TRgb& color : text.Colors())
    EXPECT_EQ(color, (TRgb{255, 255, 255}));
  EXPECT_FALSE(text.Antialiased());
  EXPECT_TRUE(text.Shadow().Enabled);
}

TEST_F(Texts, KeysAreRead) {
  auto slide = Slide(Show(TextBlock("t", "Text=\"One^&Two\"\nTextColor=255,0,0\nTextColorHover=0,255,0\n"
                                         "FontName=DejaVu Serif\nFontStyle=BiU\nTextAlign=Right\n"
                                         "LineSpacing=50\nBlackBoxSize=300,100\nShiftX=4\nShiftY=-2\n"
                                         "Action=7,3,\nFitMode=None\n"),
                          "", ""),
                     0);
  TVmoText& text = Text(*slide, "t");
  EXPECT_EQ(text.RawLines(), (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(text.Colors()[0], (TRgb{255, 0, 0}));
  EXPECT_EQ(text.Colors()[1], (TRgb{0, 255, 0}));
  EXPECT_EQ(text.Colors()[2], (TRgb{255, 0, 0})) << "pressed defaults to the text colour";
  EXPECT_EQ(text.FontName(), "DejaVu Serif");
  EXPECT_EQ(text.Style(), kStyleBold | kStyleItalic | kStyleUnderline);
  EXPECT_EQ(text.Align(), TTextAlign::Right);
  EXPECT_EQ(text.LineSpacing(), 50);
  EXPECT_EQ(text.BlackBoxSize(), (TSize{300, 100}));
  EXPECT_FLOAT_EQ(text.ShiftX(), 4);
  // Not fitted into the slide, the text takes its box's height; the width
  // follows the laid-out text.
  EXPECT_EQ(text.Height(), 100);
  EXPECT_NEAR(text.Width(), 100 * text.LayoutRatio(), 1);

  // The picture is drawn in white; the state's colour comes with drawing.
  EXPECT_EQ(text.DrawParams().Modulation, (TRgba{255, 0, 0, 255}));
  text.SetMouseState(TMouseState::Hover);
  EXPECT_EQ(text.DrawParams().Modulation, (TRgba{0, 255, 0, 255}));
}

TEST_F(Texts, TextIsDrawnThroughItsPictureName) {
  auto slide = Slide(Show(TextBlock("t", "Text=Hello^&World\nFontName=DejaVu Sans\n"), "", ""), 0);
  TVmoText& text = Text(*slide, "t");
  ASSERT_TRUE(text.Picture());
  EXPECT_EQ(text.PictureName().rfind("Text: DejaVu Sans:", 0), 0U);
  EXPECT_NE(text.PictureName().find(":\"Hello\"^&\"World\""), std::string::npos);
  const std::shared_ptr<const TBitmap> bitmap = text.Picture()->GetMipLevel(0);
  int inked = 0;
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x)
      inked += bitmap->GetPixel(x, y).a > 0;
  EXPECT_GT(inked, bitmap->Width() * bitmap->Height() / 20);
  EXPECT_EQ(bitmap->GetPixel(bitmap->Width() / 2, bitmap->Height() / 2).r, 255);
  // Drawn at the size the slide shows it at (the text fills the 1600 x
  // 1200 slide's width): the picture is about that size, not the design
  // size.
  EXPECT_GT(bitmap->Width(), 1000);
}

TEST_F(Texts, EveryMacroIsExpandedFromTheSlideAndItsMainPhoto) {
  const std::string slide2 = "object Photo:mainimage\nImageName=" + std::string(kPhotoName) + "\nend\n" +
                             TextBlock("t", "Text=Slide <%SlideIndex%> of <%slidescount%>^&<%MainImg.PathNameExt%>^&"
                                            "<%MainImg.FileName%>|<%MainImg.FileNameExt%>|<%MainImg.PathName%>^&"
                                            "<%MainImg.FolderPath%>|<%MainImg.FolderName%>^&"
                                            "<%MainImg.Width%>x<%MainImg.Height%>^&"
                                            "<%MainImg.Exif.Date%> <%MainImg.Exif.Time%>^&"
                                            "<%MainImg.Exif.Comment%>|<%MainImg.Exif.Description%>^&"
                                            "<%MainImg.IPTC.DocumentTitle%>|<%MainImg.IPTC.SpecialInstructions%>|"
                                            "<%MainImg.IPTC.AuthorByline%>|<%MainImg.IPTC.AuthorTitle%>^&"
                                            "<%MainImg.IPTC.City%>|<%MainImg.IPTC.Sublocation%>|"
                                            "<%MainImg.IPTC.ProvinceState%>|<%MainImg.IPTC.Country%>^&"
                                            "<%MainImg.IPTC.OTR%>|<%MainImg.IPTC.Headline%>|<%MainImg.IPTC.Credits%>|"
                                            "<%MainImg.IPTC.Source%>^&<%MainImg.IPTC.Copyright%>|"
                                            "<%MainImg.IPTC.CaptionDescription%>|<%MainImg.IPTC.CaptionWriter%>\n");
  auto slide = Slide(Show("", slide2, ""), 1);
  const TVmoText& text = Text(*slide, "t");
  EXPECT_EQ(text.DisplayLines(),
            (std::vector<std::string>{"Slide 2 of 3", std::string(kPhotoName),
                                      "img01|img01.jpg|D:\\Photos\\Trip\\img01", "D:\\Photos\\Trip\\|Trip", "64x48",
                                      "2009:10:21 14:05:33", "Taken from the pier|Harbour at dusk",
                                      "Evening|Do not crop|Ann Author|Photographer", "Lisbon|Alfama|Lisboa|Portugal",
                                      "OTR-42|Boats|Studio|Archive", "(c) Ann|Boats in the harbour|Ed Itor"}));
}

TEST_F(Texts, MacrosWithoutTheirDataExpandToNothing) {
  const std::string macros = "Text=<%MainImg.Exif.Date%>^&[<%MainImg.IPTC.City%>]^&[<%MainImg.FileName%>]"
                             "^&<%MainImg.Width%>\n";
  // A photo without metadata: no EXIF or IPTC values, but a name and size.
  auto plain = Slide(Show("object p:mainimage\nImageName=plain.jpg\nend\n" + TextBlock("t", macros), "", ""), 0);
  EXPECT_EQ(Text(*plain, "t").DisplayLines(), (std::vector<std::string>{" ", "[]", "[plain]", "40"}));
  // No main picture (a plain picture does not count): every MainImg macro
  // is empty.
  auto none = Slide(Show("object p:image\nImageName=plain.jpg\nend\n" + TextBlock("t", macros), "", ""), 0);
  EXPECT_EQ(Text(*none, "t").DisplayLines(), (std::vector<std::string>{" ", "[]", "[]", " "}));
  // A main picture missing from the package: its name, but no size or data.
  auto missing = Slide(Show("object p:mainimage\nImageName=C:\\gone.jpg\nend\n" + TextBlock("t", macros), "", ""), 0);
  EXPECT_EQ(Text(*missing, "t").DisplayLines(), (std::vector<std::string>{" ", "[]", "[gone]", "0"}));
}

TEST_F(Texts, PackedLayoutIsUsedWithItsPackedFont) {
  // The package carries the layout of "Hi" in a font no machine has.
  auto fonts = test::TestFonts("Packed Font");
  const TCachedVectorText layout(fonts, test::TestMetrics(), {test::TestLine({2, 1}, "Packed Font")});
  m_files->Add(TextLayoutName("Packed Font", 0, {"Hi"}), layout.Write());
  m_files->Add(std::string(kGlyphCachePrefix) + "Packed Font", fonts->Find("Packed Font")->Write());
  auto slide = Slide(Show(TextBlock("t", "Text=Hi\nFontName=Packed Font\n"), "", ""), 0);
  TVmoText& text = Text(*slide, "t");
  ASSERT_TRUE(text.Layout());
  EXPECT_EQ(text.Layout()->GlyphCount(0), 2);
  EXPECT_EQ(text.Layout()->GlyphMetrics(0, 1).X, 600);
  ASSERT_TRUE(text.Picture());
  EXPECT_NO_THROW(text.Picture()->GetMipLevel(0));
}

TEST_F(Texts, PackedLayoutWithoutItsFontFailsInsteadOfSubstituting) {
  auto fonts = test::TestFonts("Lost Font");
  const TCachedVectorText layout(fonts, test::TestMetrics(), {test::TestLine({2}, "Lost Font")});
  m_files->Add(TextLayoutName("Lost Font", 0, {"A"}), layout.Write());
  test::TCapturedLog log;
  auto slide = Slide(Show(TextBlock("t", "Text=A\nFontName=Lost Font\n"), "", ""), 0);
  ASSERT_TRUE(slide) << "the slide itself still loads";
  EXPECT_FALSE(Text(*slide, "t").Picture());
  EXPECT_TRUE(log.Contains("Font Lost Font not found"));
}

TEST_F(Texts, HostileTextsFailClearly) {
  test::TCapturedLog log;
  // A megabyte of text: refused with a message, the slide still loads.
  const std::string huge(1 << 20, 'x');
  auto slide = Slide(Show(TextBlock("big", "Text=" + huge + "\n") + TextBlock("ok", "Text=fine\n"), "", ""), 0);
  ASSERT_TRUE(slide);
  EXPECT_FALSE(Text(*slide, "big").Picture());
  EXPECT_TRUE(log.Contains("Text too long to lay out"));
  EXPECT_TRUE(Text(*slide, "ok").Picture());

  // A font that does not exist: an installed one stands in.
  auto other = Slide(Show(TextBlock("t", "Text=Hello\nFontName=No Such Font 123\n"), "", ""), 0);
  EXPECT_TRUE(Text(*other, "t").Picture());
}

TEST_F(Texts, DamagedPackedLayoutIsLoggedNotDrawn) {
  m_files->Add(TextLayoutName("", 0, {"Oops"}), std::string("\xFF\xFF\xFF\x7F", 4));
  test::TCapturedLog log;
  auto slide = Slide(Show(TextBlock("t", "Text=Oops\n"), "", ""), 0);
  ASSERT_TRUE(slide);
  EXPECT_FALSE(Text(*slide, "t").Picture());
  EXPECT_TRUE(log.Contains("VectTxt2: line count"));
}

} // namespace
} // namespace qx
