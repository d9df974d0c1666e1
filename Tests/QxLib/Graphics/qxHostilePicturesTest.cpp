// Damaged and hostile pictures must give a rejection, a clear error or a
// picture of bounded size: never a crash, a hang or a huge allocation.
#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxGfxWriter.h"
#include "QxLib/Graphics/qxImage.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace qx {

namespace {

// Opens the bytes under `name` and decodes a few levels; errors raised by a
// decode are fine, anything else is for the sanitizers to catch.
void OpenAndDecode(const std::string& bytes, const std::string& name) {
  const auto image = ImageLoaders().Open(test::StreamOf(bytes), name);
  if (!image)
    return;
  EXPECT_LE(int64_t{image->Params().Width} * image->Params().Height, kMaxPictureBytes);
  for (int level = 0; level < 3; ++level) {
    try {
      const auto bitmap = image->Store().GetMipLevel(level);
      EXPECT_EQ(bitmap->Width(), image->Store().LevelWidth(level));
    } catch (const EQxError&) {
    }
  }
}

struct TSample {
  std::string Name;
  std::string Bytes;
};

std::vector<TSample> Samples() {
  const TBitmap colour = test::MakePattern(37, 23, TPixelFormat::Bgr24);
  std::vector<TSample> samples;
  samples.push_back({"a.bmp", WriteBmp(colour)});
  samples.push_back({"b.bmp", WriteBmp(test::MakePattern(9, 7, TPixelFormat::Bgra32))});
  samples.push_back({"c.jpg", test::EncodeJpeg(colour)});
  samples.push_back({"d.qxgfx", WriteQxGfx("d.png", 37, 23, 0, WriteBmp(colour))});
  test::TBmpBuilder rle;
  rle.Width = 16;
  rle.Height = 4;
  rle.BitCount = 8;
  rle.Compression = 1;
  rle.Palette = {0xFF0000, 0x00FF00};
  rle.Pixels = std::string("\x10\x01\x00\x00\x00\x05\x01\x00\x01\x00\x01\x00\x00\x01", 14);
  samples.push_back({"e.bmp", rle.Build()});
  return samples;
}

} // namespace

TEST(HostilePictures, CutAtEveryEighth) {
  test::TMutedDebugOutput muted;
  for (const TSample& sample : Samples())
    for (int eighth = 0; eighth < 8; ++eighth) {
      SCOPED_TRACE(sample.Name + " cut at " + std::to_string(eighth) + "/8");
      const std::string cut = sample.Bytes.substr(0, sample.Bytes.size() * eighth / 8);
      OpenAndDecode(cut, sample.Name);
      OpenAndDecode(cut, "");
    }
}

TEST(HostilePictures, RandomBytesAndFlippedBytes) {
  test::TMutedDebugOutput muted;
  std::mt19937 random(1234);
  for (int round = 0; round < 40; ++round) {
    std::string noise(static_cast<size_t>(random() % 4096), '\0');
    for (char& c : noise)
      c = static_cast<char>(random());
    OpenAndDecode(noise, "");
    OpenAndDecode("BM" + noise, "x.bmp");
    OpenAndDecode(std::string("\xFF\xD8\xFF", 3) + noise, "x.jpg");
    OpenAndDecode("QXGF" + noise, "x.qxgfx");
  }
  for (const TSample& sample : Samples())
    for (int round = 0; round < 30; ++round) {
      std::string damaged = sample.Bytes;
      for (int flips = 0; flips < 4; ++flips)
        damaged[random() % damaged.size()] = static_cast<char>(random());
      OpenAndDecode(damaged, sample.Name);
    }
}

TEST(HostilePictures, HeadersPromisingHugePicturesAreRefused) {
  test::TMutedDebugOutput muted;
  test::TBmpBuilder bmp;
  bmp.Width = 100000;
  bmp.Height = 100000;
  bmp.Pixels = std::string(100, '\x11');
  EXPECT_FALSE(ImageLoaders().Open(test::StreamOf(bmp.Build()), "huge.bmp"));
  bmp.BitCount = 8;
  bmp.Compression = 1;
  EXPECT_FALSE(ImageLoaders().Open(test::StreamOf(bmp.Build()), "huge.bmp"));

  std::string jpeg = test::EncodeJpeg(test::MakePattern(16, 16, TPixelFormat::Bgr24));
  const size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  jpeg[sof + 5] = jpeg[sof + 7] = static_cast<char>(0xFF);
  jpeg[sof + 6] = jpeg[sof + 8] = static_cast<char>(0xF0);
  EXPECT_FALSE(ImageLoaders().Open(test::StreamOf(jpeg), "huge.jpg"));

  // The container declares its size in text; the payload is tiny.
  const std::string gfx = WriteQxGfx("x.png", 100000, 100000, 0, "tiny");
  EXPECT_FALSE(ImageLoaders().Open(test::StreamOf(gfx), "huge.qxgfx"));

  // A container whose payload inflates far beyond its declared size is cut
  // off at the expected size and shown green, not inflated without bound.
  const std::string bomb = WriteQxGfx("x.png", 2, 2, 0, std::string(8 << 20, '\0'));
  const auto image = ImageLoaders().Open(test::StreamOf(bomb), "bomb.qxgfx");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Store().GetMipLevel(0)->GetPixel(1, 1), (TBgra{0, 255, 0, 255}));
}

} // namespace qx
