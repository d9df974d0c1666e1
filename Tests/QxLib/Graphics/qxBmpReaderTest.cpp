#include "QxLib/Graphics/qxBmpReader.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxImage.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

using test::TBmpBuilder;

std::unique_ptr<TBitmap> Read(const std::string& bytes) {
  auto stream = test::StreamOf(bytes);
  return ReadBmp(*stream);
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values)
    out.push_back(static_cast<char>(v));
  return out;
}

constexpr TBgra kRed{0, 0, 255, 255};
constexpr TBgra kBlue{255, 0, 0, 255};
constexpr TBgra kBlack{0, 0, 0, 255};

} // namespace

TEST(BmpReader, PalettedPicturesBecome24Bit) {
  TBmpBuilder one;
  one.Width = 10;
  one.BitCount = 1;
  one.Palette = {0xFF0000, 0x0000FF};
  one.Pixels = Bytes({0x80, 0x40, 0, 0, 0x01, 0x00, 0, 0}); // bottom row first
  auto bitmap = Read(one.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Format(), TPixelFormat::Bgr24);
  EXPECT_EQ(bitmap->GetPixel(0, 1), kBlue);
  EXPECT_EQ(bitmap->GetPixel(1, 1), kRed);
  EXPECT_EQ(bitmap->GetPixel(9, 1), kBlue);
  EXPECT_EQ(bitmap->GetPixel(9, 0), kRed);
  EXPECT_EQ(bitmap->GetPixel(7, 0), kBlue);

  // Colours used = 2: entries beyond are missing and shown black; the
  // palette is read as two entries even though four bytes more follow.
  TBmpBuilder four;
  four.Width = 3;
  four.Height = 1;
  four.BitCount = 4;
  four.ColoursUsed = 2;
  four.Palette = {0xFF0000, 0x0000FF};
  four.Pixels = Bytes({0x10, 0x50, 0, 0});
  bitmap = Read(four.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(0, 0), kBlue);
  EXPECT_EQ(bitmap->GetPixel(1, 0), kRed);
  EXPECT_EQ(bitmap->GetPixel(2, 0), kBlack);

  TBmpBuilder eight;
  eight.Width = 2;
  eight.Height = -2; // top-down
  eight.BitCount = 8;
  eight.Palette = std::vector<uint32_t>(256, 0x00FF00);
  eight.Palette[7] = 0xFF0000;
  eight.Pixels = Bytes({7, 0, 0, 0, 0, 7, 0, 0});
  bitmap = Read(eight.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(0, 0), kRed);
  EXPECT_EQ(bitmap->GetPixel(1, 1), kRed);
  EXPECT_EQ(bitmap->GetPixel(1, 0), (TBgra{0, 255, 0, 255}));
}

TEST(BmpReader, SixteenBitLayouts) {
  TBmpBuilder plain;
  plain.Width = 1;
  plain.Height = 1;
  plain.BitCount = 16;
  plain.Pixels = Bytes({0x1F, 0x7C, 0, 0}); // 0x7C1F: red and blue full
  auto bitmap = Read(plain.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Format(), TPixelFormat::X1R5G5B5);
  EXPECT_EQ(bitmap->GetPixel(0, 0), (TBgra{255, 0, 255, 255}));

  TBmpBuilder fields = plain;
  fields.Compression = 3;
  fields.Masks = {0x7C00, 0x3E0, 0x1F};
  bitmap = Read(fields.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Format(), TPixelFormat::X1R5G5B5);

  fields.Masks = {0xF800, 0x7E0, 0x1F};
  fields.Pixels = Bytes({0xE0, 0x07, 0, 0}); // green full
  bitmap = Read(fields.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->Format(), TPixelFormat::R5G6B5);
  EXPECT_EQ(bitmap->GetPixel(0, 0), (TBgra{0, 255, 0, 255}));

  for (const std::vector<uint32_t>& masks :
       {std::vector<uint32_t>{0xF00, 0xF0, 0xF}, {0x1F, 0x3E0, 0x7C00}, {0xF800, 0x3E0, 0x1F}}) {
    fields.Masks = masks;
    auto stream = test::StreamOf(fields.Build());
    stream->SetPosition(0);
    EXPECT_FALSE(ReadBmp(*stream));
    EXPECT_EQ(stream->GetPosition(), 0);
  }
}

TEST(BmpReader, RejectedMasksLetTheNextLoaderTry) {
  TBmpBuilder fields;
  fields.Width = 1;
  fields.Height = 1;
  fields.BitCount = 16;
  fields.Compression = 3;
  fields.Masks = {0xF00, 0xF0, 0xF};
  fields.Pixels = Bytes({1, 2, 0, 0});
  TImageLoaderRegistry registry;
  registry.Register(LoadBmpPicture, {"bmp"});
  int64_t seenAt = -1;
  registry.Register(
      [&](TStream& stream, const std::string& name, std::unique_ptr<TStream>&, const TProgressCallback&) {
        seenAt = stream.GetPosition();
        return TRefPtr<TBitmapStore>(
            MakeRef<TWrapperBitmapStore>(name, std::make_unique<TBitmap>(1, 1, TPixelFormat::Bgr24)));
      },
      {"*.bmp"});
  auto stream = test::StreamOf("xyz" + fields.Build());
  stream->SetPosition(3);
  const auto image = registry.Open(*stream, "pic.BMP");
  ASSERT_TRUE(image);
  EXPECT_EQ(seenAt, 3);
}

TEST(BmpReader, TrueColourRowsAndDirections) {
  const TBitmap pattern = test::MakePattern(3, 2, TPixelFormat::Bgr24);
  TBmpBuilder up;
  up.Width = 3;
  up.Height = 2;
  for (int y = 1; y >= 0; --y)
    up.Pixels += std::string(reinterpret_cast<const char*>(pattern.Scanline(y)), 9) + std::string(3, '\0');
  auto bitmap = Read(up.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_TRUE(bitmap->SamePixels(pattern));

  TBmpBuilder down = up;
  down.Height = -2;
  bitmap = Read(down.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(0, 0), pattern.GetPixel(0, 1));

  TBmpBuilder alpha;
  alpha.Width = 2;
  alpha.Height = 1;
  alpha.BitCount = 32;
  alpha.Pixels = Bytes({1, 2, 3, 0, 4, 5, 6, 128});
  bitmap = Read(alpha.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(0, 0), (TBgra{1, 2, 3, 0}));
  EXPECT_EQ(bitmap->GetPixel(1, 0), (TBgra{4, 5, 6, 128}));
  alpha.Pixels = Bytes({1, 2, 3, 0, 4, 5, 6, 0});
  bitmap = Read(alpha.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(1, 0), (TBgra{4, 5, 6, 255})); // unused alpha means opaque
}

TEST(BmpReader, RunLengthEncodings) {
  TBmpBuilder rle8;
  rle8.Width = 4;
  rle8.Height = 3;
  rle8.BitCount = 8;
  rle8.Compression = 1;
  rle8.Palette = {0x000000, 0xFF0000, 0x0000FF, 0x00FF00};
  rle8.Pixels = Bytes({3, 1, 0,   0,        // bottom row: 1 1 1 0
                       0, 3, 2,   3,  2, 0, // middle: absolute 2 3 2, padded
                       0, 2, 1,   0,        // delta: x 3 -> 4 on the middle row, leaving (3, 1)
                       0, 0, 200, 3,        // next row: a run far past the width
                       0, 2, 0,   50,       // delta beyond the picture
                       1, 1});
  auto bitmap = Read(rle8.Build());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(2, 2), kRed);
  EXPECT_EQ(bitmap->GetPixel(3, 2), kBlack);
  EXPECT_EQ(bitmap->GetPixel(0, 1), kBlue);
  EXPECT_EQ(bitmap->GetPixel(1, 1), (TBgra{0, 255, 0, 255}));
  EXPECT_EQ(bitmap->GetPixel(3, 1), kBlack);
  EXPECT_EQ(bitmap->GetPixel(3, 0), (TBgra{0, 255, 0, 255}));

  TBmpBuilder rle4;
  rle4.Width = 8;
  rle4.Height = 1;
  rle4.BitCount = 4;
  rle4.Compression = 2;
  rle4.Palette = {0x000000, 0xFF0000, 0x0000FF, 0x00FF00};
  rle4.Pixels = Bytes({5, 0x12, 0, 3, 0x30, 0x10, 0, 1});
  bitmap = Read(rle4.Build());
  ASSERT_TRUE(bitmap);
  const TBgra expected[] = {kRed, kBlue, kRed, kBlue, kRed, TBgra{0, 255, 0, 255}, kBlack, kRed};
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(bitmap->GetPixel(x, 0), expected[x]) << x;

  // Compression and bit count must match.
  rle4.BitCount = 8;
  EXPECT_FALSE(Read(rle4.Build()));
  rle8.BitCount = 4;
  EXPECT_FALSE(Read(rle8.Build()));
}

TEST(BmpReader, RefusesOddHeadersAndShortData) {
  TBmpBuilder good;
  good.Pixels = std::string(16, '\x40');
  ASSERT_TRUE(Read(good.Build()));
  const auto refused = [&](auto change) {
    TBmpBuilder b = good;
    change(b);
    auto stream = test::StreamOf(b.Build());
    const bool rejected = ReadBmp(*stream) == nullptr;
    return rejected && stream->GetPosition() == 0;
  };
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.Width = 0; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.Width = -3; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.Height = 0; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.Planes = 2; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.Compression = 6; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.BitCount = 0; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.BitCount = 2; }));
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.FileSizeDelta = 1; }));         // file longer than the stream
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.Pixels.resize(12); }));         // rows missing
  EXPECT_TRUE(refused([](TBmpBuilder& b) { b.DataOffsetDelta = 1 << 30; })); // offset far beyond the end
  EXPECT_FALSE(refused([](TBmpBuilder& b) { b.FileSizeDelta = -40; }));      // a short file size is harmless
  for (size_t cut = 0; cut < 54; cut += 7)
    EXPECT_FALSE(Read(good.Build().substr(0, cut)));
}

TEST(BmpReader, OversizedHeadersAreRefusedBeforeAllocating) {
  TBmpBuilder huge;
  huge.Width = 100000;
  huge.Height = 100000;
  huge.Pixels = std::string(64, '\0');
  auto stream = test::StreamOf(huge.Build());
  EXPECT_THROW(ReadBmp(*stream), EPictureTooLarge);
  EXPECT_EQ(stream->GetPosition(), 0);
  huge.Width = 16000;
  huge.Height = -16000;
  huge.BitCount = 8;
  EXPECT_THROW(Read(huge.Build()), EPictureTooLarge);

  test::TMutedDebugOutput muted;
  TImageLoaderRegistry registry;
  registry.Register(LoadBmpPicture, {".bmp"});
  EXPECT_FALSE(registry.Open(test::StreamOf(huge.Build()), "huge.bmp"));
}

TEST(BmpReader, WriterRoundTripsEveryFormat) {
  for (TPixelFormat f : {TPixelFormat::Bgr24, TPixelFormat::Bgra32, TPixelFormat::X1R5G5B5, TPixelFormat::R5G6B5}) {
    const TBitmap pattern = ConvertBitmap(test::MakePattern(5, 3, TPixelFormat::Bgra32), f);
    auto bitmap = Read(WriteBmp(pattern));
    ASSERT_TRUE(bitmap) << PixelFormatName(f);
    EXPECT_TRUE(bitmap->SamePixels(pattern)) << PixelFormatName(f);
  }
  TBitmap grey(3, 2, TPixelFormat::Gray8);
  grey.Scanline(1)[2] = 99;
  auto bitmap = Read(WriteBmp(grey));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->GetPixel(2, 1), (TBgra{99, 99, 99, 255}));
}

} // namespace qx
