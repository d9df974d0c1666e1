#include "VmoLib2/VmoViewer/qxVmoVideoExport.h"

#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace qx {
namespace {

using test::TScratchFolder;

// What a fake encoder was given, kept by the test.
struct TEncoderLog {
  std::vector<std::string> Calls;
  std::vector<int16_t> Sound;
  int FailAtPicture = -1;
  int Pictures = 0;
};

// Writes its file at creation, deletes it unless closed, as the contract of
// the real encoder says.
class TFakeEncoder final : public TVideoFileEncoder {
public:
  TFakeEncoder(const TVideoFileParams& params, TEncoderLog& log) : m_path(params.Path), m_log(log) {
    std::ofstream(m_path) << "header";
  }
  ~TFakeEncoder() override {
    if (!m_closed)
      std::filesystem::remove(m_path);
  }
  void WritePicture(const TBitmap& picture) override {
    if (m_log.Pictures++ == m_log.FailAtPicture)
      throw EQxError("disk full");
    m_log.Calls.push_back("picture " + std::to_string(picture.GetPixel(0, 0).r));
  }
  void WriteSound(const int16_t* samples, int64_t frames) override {
    m_log.Calls.push_back("sound " + std::to_string(frames));
    m_log.Sound.insert(m_log.Sound.end(), samples, samples + frames * 2);
  }
  void Close() override {
    m_closed = true;
    m_log.Calls.push_back("close");
  }

private:
  std::string m_path;
  TEncoderLog& m_log;
  bool m_closed = false;
};

// Sound whose left sample is the frame's index; `Mixed` frames exist.
class TRampTap final : public TMixedSoundTap {
public:
  int64_t Mixed = 0;
  int64_t Take(int64_t end, std::vector<int16_t>& into) override {
    const int64_t stop = std::min(end, Mixed);
    const int64_t from = m_taken;
    for (; m_taken < stop; ++m_taken) {
      into.push_back(static_cast<int16_t>(m_taken));
      into.push_back(0);
    }
    return std::max<int64_t>(0, stop - from);
  }

private:
  int64_t m_taken = 0;
};

TBitmap Screen(uint8_t red) {
  TBitmap screen(4, 2, TPixelFormat::Bgra32);
  screen.Fill(TBgra{0, 0, red, 255});
  return screen;
}

struct TFixture {
  TScratchFolder Folder;
  TEncoderLog Log;
  TRampTap Tap;
  TVideoFileParams Params;
  TVideoEncoderFactory Factory;
  TFixture() {
    Params.Path = Folder.Path() + "show.mp4";
    Params.Width = 4;
    Params.Height = 2;
    Params.Fps = 10;
    Factory = [this](const TVideoFileParams& params) { return std::make_unique<TFakeEncoder>(params, Log); };
  }
};

TEST(VideoExport, NamesOfVideoFiles) {
  EXPECT_TRUE(IsVideoFileName("/a/b.mp4"));
  EXPECT_TRUE(IsVideoFileName("B.WebM"));
  EXPECT_TRUE(IsVideoFileName("x.mkv"));
  EXPECT_TRUE(IsVideoFileName("x.mov"));
  EXPECT_FALSE(IsVideoFileName("frames"));
  EXPECT_FALSE(IsVideoFileName("mp4"));
  EXPECT_FALSE(IsVideoFileName("out.avi"));
  // The partial name keeps the extension that chooses the container.
  EXPECT_EQ(PartialVideoFileName("/out/My.Show.mp4"), "/out/My.Show.partial.mp4");
}

TEST(VideoExport, EachFrameGoesWithTheSoundBeforeItAndTheFileGetsItsNameAtTheEnd) {
  TFixture f;
  {
    TVideoExport video(f.Params, f.Factory, f.Tap);
    EXPECT_TRUE(std::filesystem::exists(PartialVideoFileName(f.Params.Path)));
    for (int k = 0; k < 3; ++k) {
      // The sound device runs a little ahead of the frames; what lies past
      // the frame's start waits for the next frame.
      f.Tap.Mixed = k * 4410 + 100;
      video.Write(Screen(static_cast<uint8_t>(10 + k)), k);
    }
    EXPECT_FALSE(std::filesystem::exists(f.Params.Path));
    f.Tap.Mixed = 3 * 4410 + 100;
    video.Finish(3);
  }
  EXPECT_EQ(f.Log.Calls, (std::vector<std::string>{"picture 10", "sound 4410", "picture 11", "sound 4410",
                                                   "picture 12", "sound 4410", "close"}));
  // The sound is continuous and ends where a fourth frame would begin.
  ASSERT_EQ(f.Log.Sound.size(), 2u * 3 * 4410);
  for (size_t i = 0; i < f.Log.Sound.size() / 2; ++i)
    ASSERT_EQ(f.Log.Sound[i * 2], static_cast<int16_t>(i));
  EXPECT_TRUE(std::filesystem::exists(f.Params.Path));
  EXPECT_FALSE(std::filesystem::exists(PartialVideoFileName(f.Params.Path)));
}

TEST(VideoExport, AFailingEncoderIsReportedAndLeavesNoFile) {
  TFixture f;
  f.Log.FailAtPicture = 1;
  {
    TVideoExport video(f.Params, f.Factory, f.Tap);
    video.Write(Screen(1), 0);
    video.Write(Screen(2), 1);
    // The failure of frame 1 comes out at the latest when the file is
    // finished, and then nothing more is encoded.
    bool raised = false;
    try {
      video.Write(Screen(3), 2);
      video.Write(Screen(4), 3);
      video.Finish(4);
    } catch (const EQxError& error) {
      raised = std::string(error.what()) == "disk full";
    }
    EXPECT_TRUE(raised);
  }
  EXPECT_EQ(std::count(f.Log.Calls.begin(), f.Log.Calls.end(), "close"), 0);
  EXPECT_FALSE(std::filesystem::exists(f.Params.Path));
  EXPECT_FALSE(std::filesystem::exists(PartialVideoFileName(f.Params.Path)));
}

TEST(VideoExport, AnExportLeftUnfinishedLeavesNoFile) {
  TFixture f;
  {
    TVideoExport video(f.Params, f.Factory, f.Tap);
    video.Write(Screen(1), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(f.Params.Path));
  EXPECT_FALSE(std::filesystem::exists(PartialVideoFileName(f.Params.Path)));
}

TEST(VideoExport, AFileThatCannotBeCreatedFailsAtOnce) {
  TFixture f;
  const TVideoEncoderFactory failing = [](const TVideoFileParams& params) -> std::unique_ptr<TVideoFileEncoder> {
    throw EQxError("cannot create " + params.Path + ": no room");
  };
  try {
    TVideoExport video(f.Params, failing, f.Tap);
    FAIL() << "no error";
  } catch (const EQxError& error) {
    EXPECT_EQ(std::string(error.what()), "cannot create " + PartialVideoFileName(f.Params.Path) + ": no room");
  }
}

} // namespace
} // namespace qx
