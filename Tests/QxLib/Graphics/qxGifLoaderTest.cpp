#include "QxLib/Graphics/qxGifLoader.h"

#include "QxLib/Graphics/qxImage.h"
#include "Tests/QxLib/Graphics/GifBuilder.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace qx {

namespace {

using test::TGifBuilder;
using test::TGifFrameData;

constexpr TBgra kRed{0, 0, 255, 255};
constexpr TBgra kGreen{0, 255, 0, 255};
constexpr TBgra kBlue{255, 0, 0, 255};
constexpr TBgra kWhite{255, 255, 255, 255};
constexpr TBgra kClear{0, 0, 0, 0};

// Index 0 red, 1 green, 2 blue, 3 white.
TGifBuilder Screen(int width, int height) {
  TGifBuilder gif;
  gif.Width = width;
  gif.Height = height;
  gif.GlobalPalette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  return gif;
}

TGifFrameData Solid(int left, int top, int width, int height, uint8_t index) {
  TGifFrameData frame;
  frame.Left = left;
  frame.Top = top;
  frame.Width = width;
  frame.Height = height;
  frame.Indexes.assign(static_cast<size_t>(width) * height, index);
  return frame;
}

TGifPicture Decode(const std::string& bytes, bool animate = true) {
  TGifPicture picture;
  EXPECT_TRUE(DecodeGif(bytes, animate, picture));
  return picture;
}

// Pixel (x, y) of frame `frame` in the strip.
TBgra Pixel(const TGifPicture& picture, int frame, int x, int y) {
  return picture.Bitmap->GetPixel(frame * picture.ScreenWidth + x, y);
}

class TAnimationSwitch {
public:
  explicit TAnimationSwitch(bool enabled) : m_previous(GifAnimationEnabled()) { SetGifAnimationEnabled(enabled); }
  ~TAnimationSwitch() { SetGifAnimationEnabled(m_previous); }

private:
  bool m_previous;
};

} // namespace

TEST(GifStill, DecodesPaletteColoursTransparencyAndLeavesUncoveredScreenClear) {
  TGifBuilder gif = Screen(5, 2);
  TGifFrameData frame = Solid(0, 0, 4, 2, 0);
  frame.Indexes = {0, 1, 2, 3, 3, 2, 1, 0};
  frame.Transparent = 2;
  gif.Frames.push_back(frame);
  const TGifPicture picture = Decode(gif.Build());
  ASSERT_EQ(picture.Bitmap->Width(), 5);
  ASSERT_EQ(picture.Bitmap->Height(), 2);
  EXPECT_EQ(picture.Bitmap->Format(), TPixelFormat::Bgra32);
  EXPECT_EQ(picture.FrameCount, 1);
  EXPECT_EQ(Pixel(picture, 0, 0, 0), kRed);
  EXPECT_EQ(Pixel(picture, 0, 1, 0), kGreen);
  EXPECT_EQ(Pixel(picture, 0, 2, 0), kClear) << "transparent index";
  EXPECT_EQ(Pixel(picture, 0, 3, 0), kWhite);
  EXPECT_EQ(Pixel(picture, 0, 2, 1), kGreen);
  EXPECT_EQ(Pixel(picture, 0, 4, 0), kClear) << "outside the frame";
}

TEST(GifStill, LongRandomDataAndSmallCodeSizesDecodeExactly) {
  std::mt19937 random(7);
  for (const int minCodeSize : {2, 8}) {
    TGifBuilder gif = Screen(301, 203);
    gif.GlobalPalette.clear();
    for (uint32_t i = 0; i < 256; ++i)
      gif.GlobalPalette.push_back(i * 0x010203u & 0xFFFFFF);
    TGifFrameData frame = Solid(0, 0, 301, 203, 0);
    // Runs and noise: the code table fills, widens to 12 bits and is cleared.
    const int colours = 1 << minCodeSize;
    for (size_t i = 0; i < frame.Indexes.size(); ++i)
      frame.Indexes[i] = static_cast<uint8_t>((i / 97) % 3 == 0 ? (i / 500) % colours : random() % colours);
    frame.MinCodeSize = minCodeSize;
    gif.Frames.push_back(frame);
    const TGifPicture picture = Decode(gif.Build());
    int wrong = 0;
    for (int y = 0; y < 203; ++y) {
      for (int x = 0; x < 301; ++x) {
        const uint32_t rgb = gif.GlobalPalette[frame.Indexes[static_cast<size_t>(y) * 301 + x]];
        const TBgra want{static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16),
                         255};
        wrong += Pixel(picture, 0, x, y) == want ? 0 : 1;
      }
    }
    EXPECT_EQ(wrong, 0) << "min code size " << minCodeSize;
  }
}

TEST(GifStill, InterlacedRowsLandWhereTheyBelong) {
  for (const int height : {1, 2, 5, 11, 17}) {
    TGifBuilder gif = Screen(3, height);
    TGifFrameData frame = Solid(0, 0, 3, height, 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < 3; ++x)
        frame.Indexes[static_cast<size_t>(y) * 3 + x] = static_cast<uint8_t>(y % 4);
    frame.Interlaced = true;
    gif.Frames.push_back(frame);
    const TGifPicture picture = Decode(gif.Build());
    const TBgra colours[] = {kRed, kGreen, kBlue, kWhite};
    for (int y = 0; y < height; ++y)
      EXPECT_EQ(Pixel(picture, 0, 2, y), colours[y % 4]) << "row " << y << " of " << height;
  }
}

TEST(GifStill, OpensThroughTheRegistryAsAWrappedStore) {
  TGifBuilder gif = Screen(4, 3);
  gif.Frames.push_back(Solid(0, 0, 4, 3, 1));
  const auto image = OpenPicture(test::StreamOf(gif.Build()), "pictures/Logo.GIF");
  ASSERT_TRUE(image);
  EXPECT_STREQ(image->Store().ClassName(), "TWrapperBitmapStore");
  EXPECT_EQ(image->Params().Width, 4);
  EXPECT_EQ(image->Params().Format, TPixelFormat::Bgra32);
  EXPECT_EQ(image->Store().Tags().Find<TTilesTag>(), nullptr) << "a still picture has no animation tag";
  EXPECT_EQ(image->Store().GetMipLevel(0)->GetPixel(3, 2), kGreen);
}

TEST(GifAnimation, StripHoldsEveryFrameAndTheTagDescribesIt) {
  TGifBuilder gif = Screen(4, 2);
  gif.LoopCount = 7;
  gif.Frames.push_back(Solid(0, 0, 4, 2, 0));
  gif.Frames.back().DelayField = 10;
  gif.Frames.push_back(Solid(0, 0, 4, 2, 1));
  gif.Frames.back().DelayField = 0;
  gif.Frames.push_back(Solid(0, 0, 4, 2, 2));
  gif.Frames.back().DelayField = 3;
  const auto image = OpenPicture(test::StreamOf(gif.Build()), "a.gif");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Params().Width, 12);
  EXPECT_EQ(image->Params().Height, 2);
  const TTilesTag* tag = image->Store().Tags().Find<TTilesTag>();
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->TileWidth, 4);
  EXPECT_EQ(tag->TileHeight, 2);
  EXPECT_EQ(tag->FrameCount, 3);
  EXPECT_TRUE(tag->Tiled);
  EXPECT_EQ(tag->Delays, "100,50,30") << "a zero delay field plays for 50 ms";
  EXPECT_EQ(tag->TotalDuration, 180);
  EXPECT_DOUBLE_EQ(tag->AverageDelay, 60.0);
  EXPECT_EQ(tag->LoopCount, 7);
  const auto strip = image->Store().GetMipLevel(0);
  EXPECT_EQ(strip->GetPixel(3, 1), kRed);
  EXPECT_EQ(strip->GetPixel(4, 0), kGreen);
  EXPECT_EQ(strip->GetPixel(11, 1), kBlue);

  gif.LoopCount = -1;
  EXPECT_EQ(Decode(gif.Build()).LoopCount, 0) << "no loop extension: for ever";
}

TEST(GifAnimation, LocalPaletteServesOnlyItsOwnFrame) {
  TGifBuilder gif = Screen(2, 1);
  gif.Frames.push_back(Solid(0, 0, 2, 1, 0));
  gif.Frames.back().LocalPalette = {0x102030, 0x405060};
  gif.Frames.push_back(Solid(0, 0, 2, 1, 0));
  const TGifPicture picture = Decode(gif.Build());
  EXPECT_EQ(Pixel(picture, 0, 0, 0), (TBgra{0x30, 0x20, 0x10, 255}));
  EXPECT_EQ(Pixel(picture, 1, 0, 0), kRed);
}

TEST(GifAnimation, KeepDisposalsBuildOnThePreviousFrame) {
  for (const int disposal : {0, 1}) {
    TGifBuilder gif = Screen(4, 2);
    gif.Frames.push_back(Solid(0, 0, 4, 2, 0));
    gif.Frames.back().Disposal = disposal;
    gif.Frames.push_back(Solid(1, 1, 1, 1, 1));
    gif.Frames.back().Disposal = disposal;
    gif.Frames.push_back(Solid(2, 0, 2, 1, 2));
    gif.Frames.back().Indexes = {2, 3};
    gif.Frames.back().Transparent = 3;
    const TGifPicture picture = Decode(gif.Build());
    EXPECT_EQ(Pixel(picture, 2, 0, 0), kRed) << disposal;
    EXPECT_EQ(Pixel(picture, 2, 1, 1), kGreen) << disposal;
    EXPECT_EQ(Pixel(picture, 2, 2, 0), kBlue) << disposal;
    EXPECT_EQ(Pixel(picture, 2, 3, 0), kRed) << "transparent pixels show the picture beneath";
    EXPECT_EQ(Pixel(picture, 1, 1, 1), kGreen);
    EXPECT_EQ(Pixel(picture, 0, 1, 1), kRed) << "earlier cells are left alone";
  }
}

TEST(GifAnimation, RestoreBackgroundClearsOnlyThePreviousRectangle) {
  TGifBuilder gif = Screen(4, 2);
  gif.Frames.push_back(Solid(0, 0, 4, 2, 0));
  gif.Frames.push_back(Solid(0, 0, 2, 2, 1));
  gif.Frames.back().Disposal = 2;
  // Covers the cleared rectangle with a transparent pixel and an opaque one.
  gif.Frames.push_back(Solid(0, 0, 2, 1, 3));
  gif.Frames.back().Indexes = {3, 2};
  gif.Frames.back().Transparent = 3;
  const TGifPicture picture = Decode(gif.Build());
  EXPECT_EQ(Pixel(picture, 1, 0, 0), kGreen);
  EXPECT_EQ(Pixel(picture, 2, 0, 0), kClear) << "the new frame's transparent pixel shows background, not the old frame";
  EXPECT_EQ(Pixel(picture, 2, 1, 0), kBlue);
  EXPECT_EQ(Pixel(picture, 2, 0, 1), kClear);
  EXPECT_EQ(Pixel(picture, 2, 2, 0), kRed) << "outside the rectangle the previous cell stays";
  EXPECT_EQ(Pixel(picture, 2, 3, 1), kRed);
}

TEST(GifAnimation, RestorePreviousReturnsToTheLastKeptFrame) {
  TGifBuilder gif = Screen(4, 2);
  gif.Frames.push_back(Solid(0, 0, 4, 2, 0));
  gif.Frames.back().Disposal = 1;
  gif.Frames.push_back(Solid(0, 0, 2, 2, 1));
  gif.Frames.back().Disposal = 3;
  gif.Frames.push_back(Solid(3, 1, 1, 1, 2));
  gif.Frames.back().Disposal = 3;
  gif.Frames.push_back(Solid(3, 0, 1, 1, 3));
  const TGifPicture picture = Decode(gif.Build());
  EXPECT_EQ(Pixel(picture, 1, 0, 0), kGreen);
  EXPECT_EQ(Pixel(picture, 2, 0, 0), kRed) << "the green rectangle is gone";
  EXPECT_EQ(Pixel(picture, 2, 3, 1), kBlue);
  EXPECT_EQ(Pixel(picture, 3, 3, 1), kRed) << "two restores in a row both go back to the first frame";
  EXPECT_EQ(Pixel(picture, 3, 3, 0), kWhite);
  EXPECT_EQ(Pixel(picture, 3, 0, 0), kRed);
}

TEST(GifAnimation, FramesReachingOutsideTheScreenAreClipped) {
  TGifBuilder gif = Screen(4, 2);
  gif.Frames.push_back(Solid(3, 1, 4, 4, 1));
  gif.Frames.push_back(Solid(100, 100, 3, 3, 2));
  gif.Frames.push_back(Solid(0, 0, 0, 0, 2));
  const TGifPicture picture = Decode(gif.Build());
  ASSERT_EQ(picture.FrameCount, 3);
  EXPECT_EQ(Pixel(picture, 0, 3, 1), kGreen);
  EXPECT_EQ(Pixel(picture, 0, 2, 1), kClear);
  EXPECT_EQ(Pixel(picture, 2, 3, 1), kGreen) << "empty and off-screen frames change nothing";
}

TEST(GifAnimation, SwitchedOffGivesTheFirstFrameOnly) {
  TGifBuilder gif = Screen(4, 2);
  gif.Frames.push_back(Solid(0, 0, 4, 2, 0));
  gif.Frames.push_back(Solid(0, 0, 4, 2, 1));
  const TAnimationSwitch off(false);
  const auto image = OpenPicture(test::StreamOf(gif.Build()), "a.gif");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Params().Width, 4);
  EXPECT_EQ(image->Store().Tags().Find<TTilesTag>(), nullptr);
  EXPECT_EQ(image->Store().GetMipLevel(0)->GetPixel(0, 0), kRed);
}

TEST(GifHostile, DamagedCodeStreamsKeepWhatCameBefore) {
  TGifBuilder gif = Screen(3, 1);
  gif.Frames.push_back(Solid(0, 0, 3, 1, 0));
  std::string bytes = gif.Build();
  // Header, 4-colour palette, graphic control, then the image descriptor.
  const size_t codeSize = 13 + 12 + 8 + 10;
  ASSERT_EQ(bytes[codeSize - 10], '\x2C');
  // Code size 2, then clear (4), 1, and 7, which is beyond the table (next
  // free code 6).
  bytes.replace(codeSize, std::string::npos, std::string("\x02\x02\xCC\x01\x00\x3B", 6));
  const TGifPicture picture = Decode(bytes);
  EXPECT_EQ(Pixel(picture, 0, 0, 0), kGreen);
  EXPECT_EQ(Pixel(picture, 0, 1, 0), kClear);

  for (const char code : {'\x00', '\x0C', '\xFF'}) {
    bytes[codeSize] = code;
    EXPECT_EQ(Pixel(Decode(bytes), 0, 0, 0), kClear) << "code size " << int(code);
  }
}

TEST(GifHostile, CutRandomAndOversizedFilesNeverCrash) {
  const test::TMutedDebugOutput muted;
  TGifBuilder gif = Screen(40, 30);
  gif.LoopCount = 0;
  std::mt19937 random(3);
  for (int i = 0; i < 4; ++i) {
    TGifFrameData frame = Solid(i * 3, i * 2, 30, 20, 0);
    for (auto& index : frame.Indexes)
      index = static_cast<uint8_t>(random() % 4);
    frame.Interlaced = i % 2 == 1;
    frame.Disposal = i;
    gif.Frames.push_back(frame);
  }
  const std::string whole = gif.Build();
  for (int eighth = 0; eighth < 8; ++eighth) {
    const auto image = OpenPicture(test::StreamOf(whole.substr(0, whole.size() * eighth / 8)), "a.gif");
    if (image) {
      EXPECT_EQ(image->Store().GetMipLevel(0)->Height(), 30);
    }
  }
  for (int round = 0; round < 300; ++round) {
    std::string bytes = whole.substr(0, 13 + random() % 40);
    const size_t tail = random() % 2000;
    for (size_t i = 0; i < tail; ++i)
      bytes.push_back(static_cast<char>(random()));
    if (round % 2 == 0)
      for (int flips = 0; flips < 20; ++flips)
        bytes[13 + random() % (bytes.size() - 13)] = static_cast<char>(random());
    TGifPicture picture;
    try {
      if (DecodeGif(bytes, true, picture)) {
        EXPECT_LE(picture.Bitmap->Width() * int64_t{picture.Bitmap->Height()} * 4, kMaxPictureBytes);
      }
    } catch (const EPictureTooLarge&) {
    }
  }
}

TEST(GifHostile, ScreensWithoutAreaAreNoPicture) {
  // Frames on a screen of zero width or height have nowhere to go; the
  // decoder refuses the file as it refuses bytes that are no GIF, instead of
  // failing on the size of an empty strip.
  for (const auto& [width, height] : {std::pair{0, 5}, std::pair{6, 0}}) {
    TGifBuilder gif = Screen(width, height);
    gif.Frames = {Solid(0, 0, 2, 2, 1), Solid(0, 0, 1, 1, 2)};
    TGifPicture picture;
    EXPECT_FALSE(DecodeGif(gif.Build(), true, picture)) << width << " x " << height;
    EXPECT_FALSE(DecodeGif(gif.Build(), false, picture)) << width << " x " << height;
  }
}

TEST(GifHostile, HugeScreensAndEndlessFrameListsAreRefused) {
  const test::TMutedDebugOutput muted;
  TGifBuilder huge = Screen(65535, 65535);
  huge.Frames.push_back(Solid(0, 0, 1, 1, 0));
  TGifPicture picture;
  EXPECT_THROW(DecodeGif(huge.Build(), true, picture), EPictureTooLarge);
  EXPECT_FALSE(OpenPicture(test::StreamOf(huge.Build()), "huge.gif"));

  // The first frame of `gif` repeated `count` times.
  auto repeated = [](TGifBuilder gif, int count) {
    gif.Frames = {Solid(0, 0, 1, 1, 0)};
    const std::string one = gif.Build();
    const size_t frameStart = one.find("\x21\xF9");
    const std::string frame = one.substr(frameStart, one.size() - 1 - frameStart);
    std::string bytes = one.substr(0, frameStart);
    for (int i = 0; i < count; ++i)
      bytes += frame;
    return bytes + '\x3B';
  };
  const std::string many = repeated(Screen(64, 64), 100000);
  EXPECT_THROW(DecodeGif(many, true, picture), EPictureTooLarge);
  EXPECT_TRUE(DecodeGif(many, false, picture)) << "the first frame alone fits";
  EXPECT_EQ(picture.FrameCount, 1);
  // Tiny frames fit in memory, but the frame count has a limit of its own.
  EXPECT_THROW(DecodeGif(repeated(Screen(1, 1), 20000), true, picture), EPictureTooLarge);
  EXPECT_TRUE(DecodeGif(repeated(Screen(1, 1), 300), true, picture));
  EXPECT_EQ(picture.FrameCount, 300);

  // A frame rectangle far larger than its screen is skipped, not decoded.
  TGifBuilder wide = Screen(2, 2);
  wide.Frames.push_back(Solid(0, 0, 2, 2, 1));
  wide.Frames.back().Width = wide.Frames.back().Height = 65535;
  EXPECT_EQ(Pixel(Decode(wide.Build()), 0, 0, 0), kClear);
}

} // namespace qx
