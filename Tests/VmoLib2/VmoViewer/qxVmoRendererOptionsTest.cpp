#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qx {
namespace {

TRenderOptions Read(const std::string& line) {
  TCommandsStorage commands;
  commands.Parse(line);
  return ReadRenderOptions(commands);
}

std::string ReadError(const std::string& line) {
  try {
    Read(line);
  } catch (const EQxError& error) {
    return error.what();
  }
  return "no error";
}

TEST(RenderOptions, DefaultsOfASequence) {
  const TRenderOptions options = Read("vmoviewer -exename \"/shows/My Show\" -render /tmp/frames");
  EXPECT_EQ(options.ShowPath, "/shows/My Show");
  EXPECT_FALSE(options.ProjectMode);
  EXPECT_EQ(options.OutputFolder, "/tmp/frames");
  EXPECT_TRUE(options.Times.empty());
  EXPECT_EQ(options.Fps, 25);
  EXPECT_EQ(options.From, 0);
  EXPECT_FALSE(options.To.has_value());
  EXPECT_EQ(options.Width, 1920);
  EXPECT_EQ(options.Height, 1080);
  EXPECT_FALSE(options.Cover);
}

TEST(RenderOptions, EveryOptionIsRead) {
  const TRenderOptions options =
      Read("vmoviewer -filename p.vmo -render out -fps 10 -from 1500 -to 4000 -size 640x360 -cover");
  EXPECT_EQ(options.ShowPath, "p.vmo");
  EXPECT_TRUE(options.ProjectMode);
  EXPECT_EQ(options.Fps, 10);
  EXPECT_EQ(options.From, 1500);
  EXPECT_EQ(options.To, 4000);
  EXPECT_EQ(options.Width, 640);
  EXPECT_EQ(options.Height, 360);
  EXPECT_TRUE(options.Cover);
}

TEST(RenderOptions, SingleTimesTakeTheFolderAfterTheList) {
  const TRenderOptions options = Read("vmoviewer -exename s -render-at 0,2500,10000 shots");
  EXPECT_EQ(options.Times, (std::vector<int32_t>{0, 2500, 10000}));
  EXPECT_EQ(options.OutputFolder, "shots");
}

TEST(RenderOptions, WrongValuesNameTheOption) {
  EXPECT_NE(ReadError("v -render out").find("-exename"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s").find("-render"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render a -render-at 1 b").find("-render"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render out -fps 0").find("-fps"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render out -fps 2.5").find("-fps"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render out -from -5").find("-from"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render out -size 640").find("-size"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render out -size 0x100").find("-size"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render out -size 99999x100").find("-size"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render-at 10").find("folder"), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render-at 10,,20 out").find("\"\""), std::string::npos);
  EXPECT_NE(ReadError("v -exename s -render-at 10,x out").find("\"x\""), std::string::npos);
}

TEST(FrameSequence, FrameKIsAtFromPlusKFrameDurations) {
  EXPECT_DOUBLE_EQ(FrameTime(0, 25, 0), 0);
  EXPECT_DOUBLE_EQ(FrameTime(0, 25, 1), 40);
  EXPECT_DOUBLE_EQ(FrameTime(1000, 30, 3), 1100);
  // Not accumulated: frame 3000 at 30 fps is exactly 100 s in.
  EXPECT_DOUBLE_EQ(FrameTime(0, 30, 3000), 100000);
}

TEST(FrameSequence, TheEndIsExclusive) {
  EXPECT_EQ(FrameCount(0, 1000, 25), 25);
  EXPECT_EQ(FrameCount(1000, 2000, 10), 10);
  // 0, 333.3, 666.7 and 1000 are before 1001.
  EXPECT_EQ(FrameCount(0, 1001, 3), 4);
  EXPECT_EQ(FrameCount(0, 1000, 3), 3);
  EXPECT_EQ(FrameCount(0, 20000, 2), 40);
  EXPECT_EQ(FrameCount(500, 500, 25), 0);
  EXPECT_EQ(FrameCount(600, 500, 25), 0);
  // Long shows at a high rate do not overflow.
  EXPECT_EQ(FrameCount(0, INT32_MAX, 1000), static_cast<int64_t>(INT32_MAX));
}

TEST(FrameSequence, FileNames) {
  EXPECT_EQ(SequenceFrameName(0), "frame000000.png");
  EXPECT_EQ(SequenceFrameName(42), "frame000042.png");
  EXPECT_EQ(SequenceFrameName(1234567), "frame1234567.png");
  EXPECT_EQ(SingleFrameName(0), "t0.png");
  EXPECT_EQ(SingleFrameName(12500), "t12500.png");
}

TEST(RenderProgress, LineSaysFramesRateAndTimeLeft) {
  EXPECT_EQ(FormatRenderProgress(0, 500, 0), "frame 0/500  0.0 fps  -:-- left");
  EXPECT_EQ(FormatRenderProgress(100, 500, 4), "frame 100/500  25.0 fps  0:16 left");
  EXPECT_EQ(FormatRenderProgress(10, 3610, 10), "frame 10/3610  1.0 fps  60:00 left");
  EXPECT_EQ(FormatRenderProgress(500, 500, 20), "frame 500/500  25.0 fps  0:00 left");
}

TEST(RenderProgress, WritesNothingWhenOff) {
  char buffer[256] = {};
  std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
  ASSERT_NE(out, nullptr);
  {
    TRenderProgress progress(out, false, 3);
    progress.FrameDone(1);
    progress.FrameDone(3);
  }
  std::fclose(out);
  EXPECT_STREQ(buffer, "");
}

TEST(RenderProgress, RewritesOneLineAndEndsIt) {
  char buffer[512] = {};
  std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
  ASSERT_NE(out, nullptr);
  {
    TRenderProgress progress(out, true, 2);
    progress.FrameDone(1);
    progress.FrameDone(2);
  }
  std::fclose(out);
  const std::string text = buffer;
  EXPECT_EQ(text.rfind("\rframe 1/2", 0), 0u) << text;
  EXPECT_NE(text.find("\rframe 2/2"), std::string::npos) << text;
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

} // namespace
} // namespace qx

namespace qx {
namespace {

TEST(RenderOptions, AVideoFileNameExportsIntoThatFile) {
  const TRenderOptions options = Read("vmoviewer -exename show -render /out/My.Show.MP4 -crf 28 -preset fast");
  EXPECT_EQ(options.VideoFile, "/out/My.Show.MP4");
  EXPECT_EQ(options.OutputFolder, "/out");
  EXPECT_EQ(options.Crf, 28);
  EXPECT_EQ(options.Preset, "fast");
  // A bare file name is written in the current folder.
  EXPECT_EQ(Read("vmoviewer -exename show -render show.webm").OutputFolder, ".");
  // Other names stay folders of frames, even with a dot.
  const TRenderOptions folder = Read("vmoviewer -exename show -render /out/frames.v2");
  EXPECT_TRUE(folder.VideoFile.empty());
  EXPECT_EQ(folder.OutputFolder, "/out/frames.v2");
  EXPECT_FALSE(folder.Crf.has_value());
}

TEST(RenderOptions, EncoderOptionsNeedAVideoFileAndSaneValues) {
  EXPECT_NE(ReadError("vmoviewer -exename show -render frames -crf 20").find("-crf and -preset need"),
            std::string::npos);
  EXPECT_NE(ReadError("vmoviewer -exename show -render out.mkv -crf 64").find("-crf wants"), std::string::npos);
  EXPECT_NE(ReadError("vmoviewer -exename show -render out.mkv -crf x").find("-crf wants"), std::string::npos);
  EXPECT_NE(ReadError("vmoviewer -exename show -render out.mkv -preset").find("-preset wants"), std::string::npos);
}

} // namespace
} // namespace qx
