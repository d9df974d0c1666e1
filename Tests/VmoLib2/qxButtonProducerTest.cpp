#include "VmoLib2/qxButtonProducer.h"

#include "QxLib/Graphics/qxImage.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "Tests/VmoLib2/qxTestButtonSkin.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

constexpr std::string_view kSkin = "C:\\Show\\Buttons\\plain";

using test::SkinBmp;
using test::SkinIni;
using test::SkinPixel;
using test::StateSection;

class ButtonSkins : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_files = MakeRef<test::TTestFileSource>();
    AddSkin(kSkin, SkinIni());
  }

  void AddSkin(std::string_view folder, const std::string& ini) {
    m_files->Add(JoinSkinPath(folder, "btn.ini"), ini);
    m_files->Add(JoinSkinPath(folder, "skin.bmp"), SkinBmp());
    m_files->Add(JoinSkinPath(folder, "hover.bmp"), SkinBmp(128));
  }

  std::unique_ptr<TVmoSlideHost> MakeHost() {
    return std::make_unique<TVmoSlideHost>(test::TestAccessor(m_files), TSlideHostCallbacks{});
  }

  // A producer host over the test files that counts the files it opens.
  std::unique_ptr<TButtonProducerHost> MakeProducerHost() {
    m_accessor = std::make_unique<TFileAccessor>(test::TestAccessor(m_files));
    return std::make_unique<TButtonProducerHost>(
        [this](const std::string& name) {
          ++Opened[name];
          return m_accessor->OpenStream(name);
        },
        [this](const std::string& name) -> TRefPtr<TBitmapStore> {
          ++Opened[name];
          std::unique_ptr<TStream> stream = m_accessor->OpenStream(name);
          if (!stream)
            return {};
          std::optional<TImage> image = OpenPicture(std::move(stream), name);
          return image ? image->StoreRef() : TRefPtr<TBitmapStore>();
        },
        nullptr);
  }

  // The composed picture of a width, checked pixel by pixel against the
  // skin: left pieces in place, the middle taking column 10, the right
  // pieces moved with the right edge, in the order the pieces are drawn.
  void ExpectComposed(const TBitmap& picture, int width) {
    ASSERT_EQ(picture.Width(), width);
    ASSERT_EQ(picture.Height(), 20);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < width; ++x) {
        // Where the left and right pieces overlap, the later piece wins:
        // Right over Left, RightTop over LeftTop, LeftBottom over
        // RightBottom.
        const bool inLeft = x < 10;
        const bool inRight = x >= width - 10;
        const int sx = inLeft && (!inRight || y >= 14) ? x : inRight ? x - width + 30 : 10;
        ASSERT_EQ(picture.GetPixel(x, y), SkinPixel(sx, y)) << "width " << width << " at " << x << "," << y;
      }
  }

  std::map<std::string, int> Opened;
  TRefPtr<test::TTestFileSource> m_files;
  std::unique_ptr<TFileAccessor> m_accessor;
};

TEST(ButtonNames, ComposeAndParseWithColonsInTheSkinPath) {
  const TButtonPictureRequest request{"C:\\Show\\Buttons\\aqua", 2, 317, {-40, 15, -7}};
  const std::string name = ComposeButtonName(request);
  EXPECT_EQ(name, "Button: C:\\Show\\Buttons\\aqua:2:317:-40:15:-7");
  EXPECT_EQ(ParseButtonName(name), request);
  const TButtonPictureRequest odd = ParseButtonName("Button: skin:x:12:1.5::9");
  EXPECT_EQ(odd.Skin, "skin");
  EXPECT_EQ(odd.State, 0) << "fields that are not integers read as 0";
  EXPECT_EQ(odd.Width, 12);
  EXPECT_EQ(odd.Shift, (THslShift{0, 0, 9}));
  EXPECT_EQ(ParseButtonName("Button: 7").Skin, "") << "too few fields: the skin is empty";
  EXPECT_THROW(ParseButtonName("Shadow: 1:2"), EQxError);
}

TEST(ButtonNames, PiecesReadMissingNumbersAsZero) {
  EXPECT_EQ(TBtnIniString::Parse("a.bmp, 1, 2, 3, 4"), (TBtnIniString{"a.bmp", 1, 2, 3, 4}));
  EXPECT_EQ(TBtnIniString::Parse("a.bmp,1,x"), (TBtnIniString{"a.bmp", 1, 0, 0, 0}));
  EXPECT_EQ(TBtnIniString::Parse(""), TBtnIniString{});
  EXPECT_EQ(JoinSkinPath("C:\\B\\aqua", "btn.ini"), "C:\\B\\aqua\\btn.ini");
  EXPECT_EQ(JoinSkinPath("C:\\B\\", "aqua"), "C:\\B\\aqua");
  EXPECT_EQ(JoinSkinPath("", "aqua"), "aqua");
}

TEST_F(ButtonSkins, DescriptionGivesSizesTextColourOffsetAndFiltering) {
  const auto host = MakeProducerHost();
  const TButtonProducer* producer = host->Producer(std::string(kSkin));
  ASSERT_NE(producer, nullptr);
  EXPECT_TRUE(producer->Loaded());
  EXPECT_EQ(producer->SkinWidth(), 30);
  EXPECT_EQ(producer->SkinHeight(), 20);
  EXPECT_EQ(producer->TextColor(), (TRgb{10, 20, 30}));
  EXPECT_EQ(producer->ButtonOffset(), 20);
  EXPECT_EQ(producer->MinWidth(), 150);
  EXPECT_EQ(producer->Filtering(), TFiltering::Nearest);
  EXPECT_EQ(producer->Piece(bsHover, TButtonPiece::Center), (TBtnIniString{"hover.bmp", 10, 6, 20, 14}));
}

TEST_F(ButtonSkins, SameSkinNameGivesTheSameProducerReadOnce) {
  const auto host = MakeProducerHost();
  const TButtonProducer* first = host->Producer(std::string(kSkin));
  EXPECT_EQ(host->Producer(std::string(kSkin)), first);
  EXPECT_EQ(Opened[JoinSkinPath(kSkin, "btn.ini")], 1);
  host->OpenPicture(ComposeButtonName({std::string(kSkin), 0, 40, {}}));
  host->OpenPicture(ComposeButtonName({std::string(kSkin), 2, 60, {}}));
  EXPECT_EQ(Opened[JoinSkinPath(kSkin, "skin.bmp")], 1) << "piece pictures are decoded once";
  EXPECT_EQ(Opened[JoinSkinPath(kSkin, "btn.ini")], 1);
}

TEST_F(ButtonSkins, NinePiecesComposeBelowAtAndAboveTheMinimumWidth) {
  const auto host = MakeProducerHost();
  const TButtonProducer& producer = *host->Producer(std::string(kSkin));
  // The minimum is the left and right pieces side by side: 20 pixels.
  ExpectComposed(producer.Compose(bsNormal, 20, {}), 20);
  ExpectComposed(producer.Compose(bsNormal, 57, {}), 57);
  // Narrower: no middle, and the right pieces overlap the left ones.
  const TBitmap narrow = producer.Compose(bsNormal, 16, {});
  ExpectComposed(narrow, 16);
  EXPECT_EQ(narrow.GetPixel(7, 10), SkinPixel(21, 10)) << "the right piece is drawn over the left";
  EXPECT_EQ(narrow.GetPixel(7, 16), SkinPixel(7, 16)) << "the left-bottom corner is drawn last";
  ExpectComposed(producer.Compose(bsNormal, 3, {}), 3);
  EXPECT_EQ(producer.Compose(bsNormal, 0, {}).Width(), 1) << "a button is never narrower than a pixel";
}

TEST_F(ButtonSkins, StatesTakeTheirOwnPiecesAndColoursShift) {
  const auto host = MakeProducerHost();
  const TButtonProducer& producer = *host->Producer(std::string(kSkin));
  EXPECT_EQ(producer.Compose(bsHover, 40, {}).GetPixel(0, 0).a, 128);
  EXPECT_EQ(producer.Compose(bsClick, 40, {}).GetPixel(0, 0).a, 255);
  EXPECT_EQ(producer.Compose(7, 40, {}).GetPixel(0, 0).a, 255) << "states beyond 2 are the pressed one";
  const TBitmap plain = producer.Compose(bsNormal, 40, {});
  const TBitmap shifted = producer.Compose(bsNormal, 40, {90, 0, 0});
  EXPECT_FALSE(shifted.SamePixels(plain));
  EXPECT_EQ(shifted.GetPixel(5, 5), AdjustPixel(plain.GetPixel(5, 5), {90, 0, 0}));
}

TEST_F(ButtonSkins, SlideHostAnswersButtonNames) {
  const auto host = MakeHost();
  const std::string name = ComposeButtonName({std::string(kSkin), 1, 44, {0, 0, 10}});
  const TRefPtr<TBitmapStore> picture = host->OpenPicture(name);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 44);
  EXPECT_EQ(picture->Height(), 20);
  EXPECT_EQ(picture->FileName(), name);
  EXPECT_EQ(host->OpenPicture(name).Get(), picture.Get()) << "held pictures are shared";
  EXPECT_FALSE(host->OpenPicture("Button: C:\\Show\\Buttons\\none:0:40:0:0:0")) << "a skin without description";
  EXPECT_EQ(host->ButtonTheme("nothing"), nullptr);
  host->SetButtonPath("C:\\Show\\Buttons");
  ASSERT_NE(host->ButtonTheme("plain"), nullptr);
  EXPECT_EQ(host->ButtonTheme("plain")->SkinName(), std::string(kSkin));
}

TEST_F(ButtonSkins, MissingPiecePictureGivesTheIncorrectImageText) {
  AddSkin("C:\\Other", SkinIni("absent.bmp"));
  const auto host = MakeHost();
  const TRefPtr<TBitmapStore> hover = host->OpenPicture("Button: C:\\Other:1:40:0:0:0");
  ASSERT_TRUE(hover);
  const std::shared_ptr<const TVectorText> layout = host->TextProducer().Layout("", 0, {"Incorrect Image: LeftTop"});
  const TBitmap expected = ProduceTextBitmap(*layout, TTextParams{});
  EXPECT_EQ(hover->Width(), expected.Width());
  EXPECT_EQ(hover->Height(), expected.Height());
  EXPECT_TRUE(hover->GetMipLevel(0, TPixelFormat::Bgra32)->SamePixels(expected));
  const TRefPtr<TBitmapStore> normal = host->OpenPicture("Button: C:\\Other:0:40:0:0:0");
  ASSERT_TRUE(normal);
  EXPECT_EQ(normal->Width(), 40) << "the other states are whole";
}

TEST_F(ButtonSkins, HostileSkinsGiveNoPictureOrClippedPieces) {
  test::TCapturedLog log;
  // Pieces far outside their picture, negative and huge coordinates.
  AddSkin("Far", "[NormalState]\nLeftTop=skin.bmp,100,100,200,200\nTop=skin.bmp,-5,-5,2000000000,3\n"
                 "RightTop=skin.bmp,2147483647,0,-2147483648,6\nRight=skin.bmp,20,6,30,14\n"
                 "RightBottom=skin.bmp,20,14,30,20\nBottom=skin.bmp,10,14,20,20\nLeftBottom=skin.bmp,0,14,10,20\n"
                 "Left=skin.bmp,-100,6,10,14\nCenter=skin.bmp,900,6,20,14\n");
  AddSkin("Tall", "[NormalState]\n" + StateSection("NormalState", "skin.bmp").substr(13) +
                      "Bottom=skin.bmp,10,14,20,2000000000\n");
  AddSkin("Flat", "[NormalState]\nBottom=skin.bmp,0,0,0,0\n");
  AddSkin("Garbage", std::string("\x01\x02[[[=\n\xff\xfe", 10));
  const auto host = MakeHost();
  const TRefPtr<TBitmapStore> far = host->OpenPicture("Button: Far:0:64:0:0:0");
  ASSERT_TRUE(far);
  EXPECT_EQ(far->Width(), 64);
  EXPECT_TRUE(far->GetMipLevel(0));
  EXPECT_FALSE(host->OpenPicture("Button: Tall:0:64:0:0:0")) << "a height beyond the picture limits";
  EXPECT_FALSE(host->OpenPicture("Button: Far:0:2000000000:0:0:0")) << "a width beyond the picture limits";
  EXPECT_FALSE(host->OpenPicture("Button: Flat:0:64:0:0:0")) << "a skin without height";
  EXPECT_FALSE(host->OpenPicture("Button: Garbage:0:64:0:0:0"));
  EXPECT_FALSE(host->OpenPicture("Button: Missing:0:64:0:0:0"));
  EXPECT_TRUE(log.Contains("Picture too large"));
}

} // namespace
} // namespace qx
