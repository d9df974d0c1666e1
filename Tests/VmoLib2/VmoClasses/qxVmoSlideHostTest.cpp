#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/qxIniStorage.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "VmoLib2/qxShadowNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

// The stored form of "ExeGUID": a character count, then UTF-16LE text
// (ASCII here).
std::string ExeGuidBytes(const std::string& text) {
  std::string bytes;
  const auto count = static_cast<uint32_t>(text.size());
  for (int shift = 0; shift < 32; shift += 8)
    bytes += static_cast<char>((count >> shift) & 0xFF);
  for (const char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::string BmpOf(int width, int height, TPixelFormat format, TBgra color) {
  TBitmap bitmap(width, height, format);
  bitmap.Fill(color);
  return WriteBmp(bitmap);
}

class SlideHost : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_files = MakeRef<test::TTestFileSource>();
    m_files->Add("red.bmp", BmpOf(40, 20, TPixelFormat::Bgr24, TBgra{0, 0, 255, 255}));
    m_files->Add("half.bmp", BmpOf(8, 8, TPixelFormat::Bgra32, TBgra{10, 20, 30, 128}));
    m_files->Add("broken.bmp", "BM this is no picture");
    m_storage.LoadFromString("[main]\n[slide1]\nkey=1\n");
  }

  std::unique_ptr<TVmoSlideHost> MakeHost() {
    TSlideHostCallbacks callbacks;
    callbacks.FindSection = [this](const std::string& name) -> const TIniIdentList* {
      return m_storage.FindSection(name);
    };
    callbacks.OutputSize = [this] { return Output; };
    callbacks.SlideRect = [this] { return Rect; };
    return std::make_unique<TVmoSlideHost>(test::TestAccessor(m_files), std::move(callbacks));
  }

  TSize Output{1280, 720};
  TPixelRect Rect{160, 0, 1120, 720};
  TRefPtr<test::TTestFileSource> m_files;
  TIniStorage m_storage;
};

TEST_F(SlideHost, AnswersCameraSectionsAndSlideRect) {
  const auto host = MakeHost();
  const TVec3 camera = host->CameraPosition();
  EXPECT_FLOAT_EQ(camera.x, 640);
  EXPECT_FLOAT_EQ(camera.y, 360);
  EXPECT_FLOAT_EQ(camera.z, -720);
  Output = {100, 50};
  EXPECT_FLOAT_EQ(host->CameraPosition().z, -50) << "the camera follows the output";
  ASSERT_NE(host->FindSection("SLIDE1"), nullptr);
  EXPECT_EQ(host->FindSection("slide1")->ReadInteger("key", 0), 1);
  EXPECT_EQ(host->FindSection("slide9"), nullptr);
  EXPECT_EQ(host->SlideRect().Left, 160);
}

TEST_F(SlideHost, OpensPackagePicturesAndSurvivesDamagedOnes) {
  test::TCapturedLog log;
  const auto host = MakeHost();
  const TRefPtr<TBitmapStore> red = host->OpenPicture("red.bmp");
  ASSERT_TRUE(red);
  EXPECT_EQ(red->Width(), 40);
  EXPECT_EQ(red->Height(), 20);
  EXPECT_FALSE(host->OpenPicture("missing.bmp"));
  EXPECT_FALSE(host->OpenPicture("broken.bmp"));
  EXPECT_FALSE(host->OpenPicture(""));
}

TEST_F(SlideHost, PicturesInUseAreSharedByName) {
  const auto host = MakeHost();
  TRefPtr<TBitmapStore> first = host->OpenPicture("red.bmp");
  const TRefPtr<TBitmapStore> second = host->OpenPicture("red.bmp");
  EXPECT_EQ(first.Get(), second.Get());
  const TRefPtr<TBitmapStore> mask = host->OpenPicture("Mask: red.bmp");
  EXPECT_EQ(host->SharedPictureCount(), 2);

  const TBitmapStore* before = first.Get();
  first = {};
  EXPECT_EQ(host->OpenPicture("red.bmp").Get(), before) << "still held by `second`";
  const TRefPtr<TBitmapStore> buffer1 = host->OpenPicture("SlideEffectBuffer1");
  EXPECT_NE(host->OpenPicture("SlideEffectBuffer1").Get(), buffer1.Get()) << "buffers are never shared";
  EXPECT_EQ(host->SharedPictureCount(), 2);
}

TEST_F(SlideHost, PicturesNobodyHoldsAreForgotten) {
  const auto host = MakeHost();
  host->OpenPicture("red.bmp");
  EXPECT_EQ(host->SharedPictureCount(), 1);
  host->OpenPicture("half.bmp");
  EXPECT_EQ(host->SharedPictureCount(), 1) << "each open forgets what nobody holds";
  host->ReleaseUnusedPictures();
  EXPECT_EQ(host->SharedPictureCount(), 0);
}

TEST_F(SlideHost, MasksAreOneChannelPictures) {
  const auto host = MakeHost();
  const TRefPtr<TBitmapStore> mask = host->OpenPicture("Mask: red.bmp");
  ASSERT_TRUE(mask);
  EXPECT_EQ(mask->PixelFormat(), TPixelFormat::Gray8);
  EXPECT_EQ(mask->Width(), 40);
  const auto level0 = mask->GetMipLevel(0);
  ASSERT_EQ(level0->Format(), TPixelFormat::Gray8);
  EXPECT_EQ(level0->Scanline(3)[5], 76) << "the luminance of pure red";
  const auto level1 = mask->GetMipLevel(1);
  EXPECT_EQ(level1->Format(), TPixelFormat::Gray8) << "deeper levels stay masks";
  EXPECT_EQ(level1->Width(), 20);

  const TRefPtr<TBitmapStore> half = host->OpenPicture("Mask: half.bmp");
  ASSERT_TRUE(half);
  EXPECT_EQ(half->GetMipLevel(0)->Scanline(0)[0], 128) << "a transparent picture gives its alpha";
  EXPECT_FALSE(host->OpenPicture("Mask: missing.bmp"));
}

TEST(PictureMask, AlphaOnlyWhenThePictureHasTransparency) {
  TBitmap opaque(2, 1, TPixelFormat::Bgra32);
  opaque.Fill(TBgra{255, 255, 255, 255});
  EXPECT_EQ(PictureToMask(opaque).Scanline(0)[1], 255);
  opaque.SetPixel(0, 0, TBgra{0, 0, 0, 255});
  EXPECT_EQ(PictureToMask(opaque).Scanline(0)[0], 0) << "black, opaque: luminance";

  TBitmap grey(1, 1, TPixelFormat::Gray8);
  grey.Fill(TBgra{77, 77, 77, 255});
  EXPECT_EQ(PictureToMask(grey).Scanline(0)[0], grey.Scanline(0)[0]);
}

TEST_F(SlideHost, ShadowsAreMadeFromPackagePictures) {
  test::TCapturedLog log;
  const auto host = MakeHost();
  TShadowNameParams params;
  params.Width = 40;
  params.Height = 20;
  params.BorderX = 4;
  params.BorderY = 4;
  params.BlurSize = 2;
  params.Opacity = 50;
  params.Source = "red.bmp";
  const std::string name = ComposeShadowName(params);
  const TRefPtr<TBitmapStore> shadow = host->OpenPicture(name);
  ASSERT_TRUE(shadow);
  EXPECT_EQ(shadow->FileName(), name);
  EXPECT_GT(shadow->Width(), 48) << "the bordered picture and the blur's border";

  params.Source = "missing.bmp";
  EXPECT_FALSE(host->OpenPicture(ComposeShadowName(params)));
  EXPECT_FALSE(host->OpenPicture("Shadow: 1:2:3"));
}

TEST_F(SlideHost, NamesWithoutProducerAnswerNothing) {
  const auto host = MakeHost();
  EXPECT_FALSE(host->OpenPicture("Button: theme:1:100:40:OK"));
  EXPECT_FALSE(host->OpenPicture("Text: font:hello"));
  EXPECT_FALSE(host->OpenPicture("Unknown: x"));
}

TEST_F(SlideHost, PresetMasksAreGeneratedGreyPictures) {
  const auto host = MakeHost();
  const TRefPtr<TBitmapStore> mask = host->OpenPicture("PresetedMask: 40:20:1:50:0");
  ASSERT_TRUE(mask);
  EXPECT_EQ(mask->FileName(), "PresetedMask: 40:20:1:50:0");
  const std::shared_ptr<const TBitmap> level = mask->GetMipLevel(0);
  ASSERT_TRUE(level);
  EXPECT_EQ(level->Format(), TPixelFormat::Gray8);
  EXPECT_EQ(level->Width(), 40);
  EXPECT_EQ(level->Height(), 20);
  EXPECT_EQ(level->Scanline(10)[20], 255);
  EXPECT_EQ(level->Scanline(0)[0], 0);
  // A shape the generator does not know, and no size: nothing.
  EXPECT_FALSE(host->OpenPicture("PresetedMask: 40:20:7:0:0"));
  EXPECT_FALSE(host->OpenPicture("PresetedMask: 0:20:1:0:0"));
  EXPECT_FALSE(host->OpenPicture("PresetedMask: 100000:20:1:0:0"));
}

TEST_F(SlideHost, EffectBufferPicturesHaveTheSlideRectangleSize) {
  const auto host = MakeHost();
  std::vector<int> asked;
  host->SetEffectBufferSource([&asked](int number, TBitmap& picture) {
    asked.push_back(number);
    picture.Fill(TBgra{1, 2, 3, 255});
  });
  const TRefPtr<TBitmapStore> buffer = host->OpenPicture("SlideEffectBuffer2");
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->FileName(), "zaglushka for slide-effect buffer");
  EXPECT_EQ(buffer->Width(), 960);
  EXPECT_EQ(buffer->Height(), 720);
  EXPECT_EQ(asked, (std::vector<int>{2}));
  EXPECT_EQ(buffer->GetMipLevel(0)->GetPixel(10, 10).r, 3);

  EXPECT_FALSE(host->OpenPicture("SlideEffectBuffer"));
  EXPECT_FALSE(host->OpenPicture("SlideEffectBufferX"));
  EXPECT_FALSE(host->OpenPicture("SlideEffectBuffer99999999999"));
  Rect = {};
  EXPECT_FALSE(host->OpenPicture("SlideEffectBuffer1")) << "no slide rectangle, no buffer";
}

TEST_F(SlideHost, SyntheticPicturesAreProvidedThroughTheSource) {
  {
    const auto host = MakeHost();
    const TProvidedPicture provided = m_files->GetPicture("Mask: red.bmp");
    ASSERT_TRUE(provided);
    EXPECT_FALSE(m_files->GetPicture("red.bmp")) << "package pictures are the source's own";
  }
  EXPECT_FALSE(m_files->GetPicture("Mask: red.bmp")) << "the host unregisters when it goes";
}

TEST_F(SlideHost, ReadsTheExeGuid) {
  EXPECT_EQ(MakeHost()->ExeGuid(), "");
  m_files->Add("ExeGUID", ExeGuidBytes("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"));
  EXPECT_EQ(MakeHost()->ExeGuid(), "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
}

TEST(ExeGuid, ShortOrImplausibleBytesGiveNothing) {
  const std::string good = ExeGuidBytes("{AB}");
  EXPECT_EQ(DecodeExeGuid(good), "{AB}");
  EXPECT_EQ(DecodeExeGuid(good.substr(0, good.size() - 1)), "");
  EXPECT_EQ(DecodeExeGuid("\x01\x00"), "");
  EXPECT_EQ(DecodeExeGuid(std::string("\xFF\xFF\xFF\x7F", 4) + "ab"), "");
}

TEST_F(SlideHost, VideoSourcesAreSharedByExactKey) {
  const auto host = MakeHost();
  const std::string key = TExtractorWrapper::MakeKey(3, "{CLIP}", "video1");
  EXPECT_EQ(key, "3:{CLIP}");
  EXPECT_EQ(TExtractorWrapper::MakeKey(3, "", "video1"), "3:video1");

  TRefPtr<TExtractorWrapper> first = host->SharedVideoSource(key);
  TRefPtr<TExtractorWrapper> second = host->SharedVideoSource(key);
  EXPECT_EQ(first.Get(), second.Get());
  EXPECT_EQ(first->RefCount(), 2);
  EXPECT_EQ(first->ClipId(), "{CLIP}");
  TRefPtr<TExtractorWrapper> other = host->SharedVideoSource("3:{clip}");
  EXPECT_NE(other.Get(), first.Get()) << "keys compare with case";
  EXPECT_EQ(host->VideoSources().Count(), 2);

  first.Reset();
  second.Reset();
  EXPECT_EQ(host->VideoSources().Count(), 1) << "the last release unlists the wrapper";
  EXPECT_NE(host->SharedVideoSource(key).Get(), nullptr);
  EXPECT_EQ(TExtractorWrapper::ClipIdOf("no colon"), "");
  EXPECT_EQ(TExtractorWrapper::ClipIdOf("1:a:b"), "a:b");
}

TEST_F(SlideHost, WrappersMayOutliveTheHost) {
  auto host = MakeHost();
  TRefPtr<TExtractorWrapper> kept = host->SharedVideoSource("0:x");
  host.reset();
  EXPECT_EQ(kept->Key(), "0:x");
}

} // namespace
} // namespace qx
