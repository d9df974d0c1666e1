#include "QxLib/Graphics/Video/qxWinVideoSource.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxFileStream.h"
#include "Tests/TestSupport/qxTestClips.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace qx {
namespace {

using test::TestClip;
using test::TMemoryYUVImage;

TRefPtr<TFFMpegDll> Library() {
  std::string error;
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Load(test::VideoLibraryPath(), &error);
  EXPECT_TRUE(dll) << error;
  return dll;
}

// A clip opened from its file through the library.
struct TOpenClip {
  explicit TOpenClip(const std::string& path)
      : Stream(TFileStream::TryOpen(path, TFileMode::OpenRead)),
        Source(Stream ? TWinVideoSource::OpenWith(Library(), *Stream, 0, path) : nullptr) {}
  std::unique_ptr<TFileStream> Stream;
  std::unique_ptr<TWinVideoSource> Source;
};

// The three planes of frame `index` as the source delivers them.
std::vector<uint8_t> Planes(TWinVideoSource& source, int64_t index) {
  TMemoryYUVImage image(source.Params().Width, source.Params().Height);
  if (!source.GetFrame(index, image))
    return {};
  std::vector<uint8_t> all = image.Plane(0);
  all.insert(all.end(), image.Plane(1).begin(), image.Plane(1).end());
  all.insert(all.end(), image.Plane(2).begin(), image.Plane(2).end());
  return all;
}

// Every frame the ffmpeg program decodes from `path`, as planar 4:2:0.
std::vector<std::vector<uint8_t>> FfmpegFrames(const std::string& path, int width, int height) {
  const std::string raw = path + ".yuv";
  EXPECT_TRUE(test::RunFfmpeg("-i '" + path + "' -vsync passthrough -f rawvideo -pix_fmt yuv420p '" + raw + "'"));
  const std::string bytes = test::ReadBinary(raw);
  const size_t frameSize = static_cast<size_t>(width) * height * 3 / 2;
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at + frameSize <= bytes.size(); at += frameSize)
    frames.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at),
                        bytes.begin() + static_cast<ptrdiff_t>(at + frameSize));
  return frames;
}

TEST(FFMpegDll, LoadsEveryFunctionOfTheLibrary) {
  TRefPtr<TFFMpegDll> dll = Library();
  ASSERT_TRUE(dll);
  EXPECT_NE(dll->OpenMediaFile, nullptr);
  EXPECT_NE(dll->CreateVideoAudioFile, nullptr);
  EXPECT_NE(dll->CloseOutputFile, nullptr);
}

TEST(FFMpegDll, RefusesALibraryLackingOneFunction) {
  std::string error;
  EXPECT_FALSE(TFFMpegDll::Load(INCOMPLETE_VIDEO_LIBRARY, &error));
  EXPECT_NE(error.find("GetCurrentPts"), std::string::npos) << error;
  EXPECT_FALSE(TFFMpegDll::Load("/nonexistent/libqxFFmpeg.so", &error));
}

TEST(FFMpegDll, OneSharedInstanceOfTheConfiguredLibrary) {
  const std::string before = TFFMpegDll::LibraryPath();
  TFFMpegDll::SetLibraryPath(INCOMPLETE_VIDEO_LIBRARY);
  EXPECT_FALSE(TFFMpegDll::Acquire());
  // No video source either: the show plays without video.
  auto stream = TFileStream::TryOpen(TestClip("h264.mp4"), TFileMode::OpenRead);
  EXPECT_FALSE(TWinVideoSource::Open(*stream, 0, "h264.mp4"));

  TFFMpegDll::SetLibraryPath(test::VideoLibraryPath());
  TRefPtr<TFFMpegDll> first = TFFMpegDll::Acquire();
  TRefPtr<TFFMpegDll> second = TFFMpegDll::Acquire();
  ASSERT_TRUE(first);
  EXPECT_EQ(first.Get(), second.Get());
  EXPECT_EQ(first->RefCount(), 2);
  TFFMpegDll::SetLibraryPath(before);
}

struct TContainerCase {
  const char* Clip;
  TContainerKind Kind;
  const char* Codec;
};

class FrameExactSeeking : public testing::TestWithParam<TContainerCase> {};

// Frame N reached by any path (forward, backward, far jumps) is the picture
// the ffmpeg program decodes as frame N.
TEST_P(FrameExactSeeking, AnyOrderGivesFfmpegsFrames) {
  const std::string path = TestClip(GetParam().Clip);
  TOpenClip clip(path);
  ASSERT_TRUE(clip.Source);
  TWinVideoSource& source = *clip.Source;
  EXPECT_EQ(source.ContainerKind(), GetParam().Kind);
  EXPECT_EQ(source.Params().CodecName, GetParam().Codec);
  EXPECT_EQ(source.Params().Width, 160);
  EXPECT_EQ(source.Params().Height, 120);
  EXPECT_DOUBLE_EQ(source.Params().FrameRate, 25.0);
  EXPECT_EQ(source.Params().FrameCount, 75);

  const auto reference = FfmpegFrames(path, 160, 120);
  ASSERT_EQ(reference.size(), 75u);
  std::vector<int64_t> order(75);
  std::iota(order.begin(), order.end(), 0);
  for (const int64_t index : order)
    ASSERT_EQ(Planes(source, index), reference[static_cast<size_t>(index)]) << "frame " << index << " in order";
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  order.insert(order.begin(), {74, 0, 73, 12, 11, 60, 13, 40, 39});
  for (const int64_t index : order)
    ASSERT_EQ(Planes(source, index), reference[static_cast<size_t>(index)]) << "frame " << index << " after seeking";
}

INSTANTIATE_TEST_SUITE_P(Containers, FrameExactSeeking,
                         testing::Values(TContainerCase{"h264.mp4", TContainerKind::Mp4, "H264"},
                                         TContainerCase{"h264.mkv", TContainerKind::Matroska, "H264"},
                                         TContainerCase{"mpeg4.avi", TContainerKind::Avi, "MPEG4"},
                                         TContainerCase{"h264.ts", TContainerKind::MpegTs, "H264"}),
                         [](const auto& test) {
                           std::string name = test.param.Clip;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

TEST(WinVideoSource, DecodeWindowDecidesBetweenDecodingForwardAndSeeking) {
  TOpenClip clip(TestClip("h264.mp4"));
  ASSERT_TRUE(clip.Source);
  TWinVideoSource& source = *clip.Source;
  TMemoryYUVImage image(160, 120);
  ASSERT_TRUE(source.GetFrame(40, image));
  const int64_t seeks = source.Seeks();
  EXPECT_EQ(source.WindowStart(), 40);
  EXPECT_EQ(source.WindowEnd(), 41);

  // The frame already decoded: nothing is decoded.
  int64_t decoded = source.FramesDecoded();
  ASSERT_TRUE(source.GetFrame(40, image));
  EXPECT_EQ(source.FramesDecoded(), decoded);
  // The window's end: exactly one picture.
  ASSERT_TRUE(source.GetFrame(41, image));
  EXPECT_EQ(source.FramesDecoded(), decoded + 1);
  // 29 ahead: decoded forward without a seek.
  decoded = source.FramesDecoded();
  ASSERT_TRUE(source.GetFrame(41 + 29, image));
  EXPECT_EQ(source.Seeks(), seeks);
  EXPECT_EQ(source.FramesDecoded(), decoded + 29);
  // Before the window: a seek.
  ASSERT_TRUE(source.GetFrame(10, image));
  EXPECT_EQ(source.Seeks(), seeks + 1);
  // 30 or more past the window's end: a seek, not 30 decodes.
  ASSERT_TRUE(source.GetFrame(41, image));
  EXPECT_EQ(source.Seeks(), seeks + 2);
}

TEST(WinVideoSource, VariableFrameRateClipCountsItsRealFrames) {
  TOpenClip clip(TestClip("vfr.mp4"));
  ASSERT_TRUE(clip.Source);
  // 50 pictures over 3.84 s: the mean rate, and every picture counted once.
  EXPECT_EQ(clip.Source->Params().FrameCount, 50);
  EXPECT_NEAR(clip.Source->Params().FrameRate, 50 / 3.84, 1e-9);
  // Indices count in the mean rate; an index shows the picture on screen
  // at its time: index 5 (0.384 s) the picture of 0.36 s (the 10th),
  // index 30 (2.304 s) the one of 2.28 s (the 36th).
  const auto reference = FfmpegFrames(TestClip("vfr.mp4"), 160, 120);
  ASSERT_EQ(reference.size(), 50u);
  EXPECT_EQ(Planes(*clip.Source, 30), reference[35]);
  EXPECT_EQ(Planes(*clip.Source, 0), reference[0]);
  EXPECT_EQ(Planes(*clip.Source, 5), reference[9]);
}

TEST(WinVideoSource, InterlacedClipsReportFieldOrderAndFrameRate) {
  TOpenClip top(TestClip("interlaced-tff.ts"));
  ASSERT_TRUE(top.Source);
  EXPECT_TRUE(top.Source->Params().Interlaced);
  EXPECT_FALSE(top.Source->Params().BottomFieldFirst);
  EXPECT_DOUBLE_EQ(top.Source->Params().FrameRate, 25.0);
  EXPECT_EQ(top.Source->Params().FrameCount, 25);
  EXPECT_EQ(top.Source->Params().CodecName, "MPEG2");

  TOpenClip bottom(TestClip("interlaced-bff.mpg"));
  ASSERT_TRUE(bottom.Source);
  EXPECT_TRUE(bottom.Source->Params().Interlaced);
  EXPECT_TRUE(bottom.Source->Params().BottomFieldFirst);
  EXPECT_DOUBLE_EQ(bottom.Source->Params().FrameRate, 25.0);
  EXPECT_EQ(bottom.Source->Params().FrameCount, 25);
  EXPECT_EQ(bottom.Source->ContainerKind(), TContainerKind::Mpeg);

  // Probing the interlacing left the decoder at the start.
  const auto reference = FfmpegFrames(TestClip("interlaced-tff.ts"), 320, 240);
  ASSERT_FALSE(reference.empty());
  EXPECT_EQ(Planes(*top.Source, 0), reference[0]);
  // A progressive clip.
  TOpenClip progressive(TestClip("h264.mp4"));
  EXPECT_FALSE(progressive.Source->Params().Interlaced);
  EXPECT_EQ(progressive.Source->Params().AspectClass, 1);
}

TEST(WinVideoSource, A1088LineStreamShows1080Lines) {
  TOpenClip clip(TestClip("padded-1088.h264"));
  ASSERT_TRUE(clip.Source);
  EXPECT_EQ(clip.Source->Params().Width, 1920);
  EXPECT_EQ(clip.Source->Params().Height, 1080);
  EXPECT_EQ(clip.Source->Params().AspectClass, 2);
  TMemoryYUVImage image(1920, 1080);
  EXPECT_TRUE(clip.Source->GetFrame(0, image));
}

TEST(WinVideoSource, GreyImagesGetTheGreyOfTheLuma) {
  TOpenClip clip(TestClip("h264.mkv"));
  ASSERT_TRUE(clip.Source);
  TMemoryYUVImage colour(160, 120);
  TMemoryYUVImage grey(160, 120, TYUVImage::kGrey);
  ASSERT_TRUE(clip.Source->GetFrame(5, colour));
  ASSERT_TRUE(clip.Source->GetFrame(5, grey));
  const auto* words = reinterpret_cast<const uint16_t*>(grey.Plane(0).data());
  for (size_t i = 0; i < colour.Plane(0).size(); i += 97)
    EXPECT_EQ(words[i], TWinVideoSource::GreyOf(colour.Plane(0)[i]));
  EXPECT_EQ(TWinVideoSource::GreyOf(0), ((16 >> 3) << 11) | ((16 >> 2) << 5) | (16 >> 3));
  EXPECT_EQ(TWinVideoSource::GreyOf(255), ((235 >> 3) << 11) | ((235 >> 2) << 5) | (235 >> 3));
}

TEST(WinVideoSource, SuspendedImageRefusesTheFrameWithoutHarm) {
  TOpenClip clip(TestClip("h264.mp4"));
  TMemoryYUVImage image(160, 120);
  image.SetRefuse(true);
  EXPECT_FALSE(clip.Source->GetFrame(3, image));
  image.SetRefuse(false);
  EXPECT_TRUE(clip.Source->GetFrame(3, image));
  EXPECT_EQ(image.Locks(), image.Unlocks());
}

TEST(WinVideoSource, RgbFramesAreTheYuvFramesInColour) {
  TOpenClip clip(TestClip("h264.mp4"));
  TBitmap rgb;
  ASSERT_TRUE(clip.Source->GetFrame24(20, rgb));
  EXPECT_EQ(rgb.Width(), 160);
  EXPECT_EQ(rgb.Height(), 120);
  EXPECT_EQ(rgb.Format(), TPixelFormat::Bgr24);
}

// --- Hostile input ---------------------------------------------------------

std::unique_ptr<TWinVideoSource> OpenBytes(const std::string& name, const std::string& bytes) {
  static std::vector<std::unique_ptr<TFileStream>> keep;
  const std::string path = test::WriteTestFile(name, bytes);
  keep.push_back(TFileStream::TryOpen(path, TFileMode::OpenRead));
  return TWinVideoSource::OpenWith(Library(), *keep.back(), 0, name);
}

TEST(WinVideoSourceHostile, FilesThatAreNoClipGiveNoSource) {
  EXPECT_FALSE(OpenBytes("empty.mp4", ""));
  std::string noise(100000, '\0');
  std::mt19937 random(3);
  for (char& c : noise)
    c = static_cast<char>(random());
  EXPECT_FALSE(OpenBytes("noise.mkv", noise));
  // Only sound: no frames to give.
  EXPECT_FALSE(OpenBytes("tone.flac", test::ReadBinary(TestClip("tone.flac"))));
  // A header claiming a picture of 100000 x 100000 pixels.
  EXPECT_FALSE(
      OpenBytes("huge.y4m", "YUV4MPEG2 W100000 H100000 F25:1 Ip A1:1 C420jpeg\nFRAME\n" + std::string(4096, '\x80')));
  // An MP4 without its index (cut before the end).
  const std::string mp4 = test::ReadBinary(TestClip("h264.mp4"));
  EXPECT_FALSE(OpenBytes("cut.mp4", mp4.substr(0, mp4.size() / 2)));
}

TEST(WinVideoSourceHostile, TruncatedAndDamagedClipsDecodeWhatIsThere) {
  const std::string mkv = test::ReadBinary(TestClip("h264.mkv"));
  auto truncated = OpenBytes("cut.mkv", mkv.substr(0, mkv.size() / 2));
  ASSERT_TRUE(truncated);
  TMemoryYUVImage image(160, 120);
  EXPECT_TRUE(truncated->GetFrame(5, image));
  // Frames past the cut: the last one there is held, or none; never a hang.
  for (const int64_t index : {74, 60, 0, 74})
    truncated->GetFrame(index, image);

  std::string damaged = test::ReadBinary(TestClip("h264.ts"));
  std::mt19937 random(11);
  for (size_t at = damaged.size() / 4; at < damaged.size(); at += 1000)
    damaged[at] = static_cast<char>(random());
  auto broken = OpenBytes("damaged.ts", damaged);
  ASSERT_TRUE(broken);
  for (int64_t index = 0; index < 75; index += 7)
    broken->GetFrame(index, image);
  for (int64_t index = 74; index >= 0; index -= 9)
    broken->GetFrame(index, image);
}

} // namespace
} // namespace qx
