#include "VmoLib2/VmoClasses/VmoVideoObject.h"

#include "QxLib/Graphics/Video/qxFFMpegDll.h"
#include "Tests/TestSupport/qxTestClips.h"
#include "Tests/VmoLib2/VmoClasses/qxRecordingDrawer.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TestClip;

class VideoObject : public test::ProducerTest {
protected:
  static void SetUpTestSuite() { TFFMpegDll::SetLibraryPath(test::VideoLibraryPath()); }
  static void TearDownTestSuite() { TFFMpegDll::SetLibraryPath(""); }

  // A video object block for a clip on disk.
  static std::string VideoBlock(const std::string& name, const std::string& clip, const std::string& keys = "") {
    return "object " + name + ":video\nFileName=" + clip + "\nLoadFromDisk=1\n" + keys + "end\n";
  }

  std::unique_ptr<TVmoSlide> Slide(int index) {
    std::unique_ptr<TVmoSlide> slide = m_producer->MakeSlide(index, 0);
    slide->PrepareResources();
    return slide;
  }

  // Three slides ending at 10 s, 20 s and 30 s with cross-fades of 1 s.
  void MakeShow(const std::string& slide2, const std::string& slide3 = "", const std::string& main = "") {
    m_producer = MakeProducer("[Main]\nopt_slidescount=3\nopt_synchpos1=10000\nopt_synchpos2=20000\n"
                              "opt_synchpos3=30000\nopt_fx_enable=1\nopt_fx_time=1000\nopt_fx_eff3=1\n"
                              "opt_scr_width=800\nopt_scr_height=600\n" +
                              main + "[slide1]\n[slide2]\n" + slide2 + "[slide3]\n" + slide3);
  }

  static TVmoVideo& VideoOf(TVmoSlide& slide, int child = 0) { return dynamic_cast<TVmoVideo&>(slide.Child(child)); }

  std::unique_ptr<TSlideProducer> m_producer;
};

TEST_F(VideoObject, KeysAndTheirDefaults) {
  MakeShow("object v:video\nend\n" + VideoBlock("w", "x.mp4",
                                                "ClipGUID=none\nMute=1\nStartVMOTime=250\nAntialiasedBorder=0\n"
                                                "DeinterlaceType=BobOdd\nWaitForConvert=1\nDuration=900\n"
                                                "StartVideoTime=100\nEnableBorder=1\nBorderWidth=6\n"));
  const auto slide = Slide(1);
  const TVmoVideo& plain = VideoOf(*slide);
  EXPECT_TRUE(plain.AntialiasedBorder());
  EXPECT_EQ(plain.Deinterlace(), TDeinterlaceType::Auto);
  EXPECT_FALSE(plain.Mute());
  EXPECT_FALSE(plain.WaitForConvert());
  EXPECT_FALSE(plain.Playable());
  const TVmoVideo& set = VideoOf(*slide, 1);
  // An unknown clip GUID is cleared; the object's own keys count.
  EXPECT_EQ(set.ClipGuid(), "");
  EXPECT_EQ(set.FileName(), "x.mp4");
  EXPECT_TRUE(set.LoadFromDisk());
  EXPECT_TRUE(set.Mute());
  EXPECT_EQ(set.StartVmoTime(), 250);
  EXPECT_EQ(set.Duration(), 900);
  EXPECT_EQ(set.StartVideoTime(), 100);
  EXPECT_FALSE(set.AntialiasedBorder());
  EXPECT_EQ(set.Deinterlace(), TDeinterlaceType::BobOdd);
  EXPECT_TRUE(set.WaitForConvert());
  EXPECT_TRUE(set.Border().BorderOn);
  EXPECT_EQ(set.Border().BorderWidth, 6);
}

TEST_F(VideoObject, AClipStartingLateShowsItsFirstFrameThenPlaysThenHoldsItsLast) {
  // Slide 2 runs from 10 s; the 3 s clip starts 2 s into it.
  MakeShow(VideoBlock("v", TestClip("h264.mp4"), "StartVMOTime=2000\n"));
  const auto slide = Slide(1);
  const TVmoVideo& video = VideoOf(*slide);
  ASSERT_TRUE(video.Playable());
  EXPECT_EQ(video.ClipTime(10000), 0);
  EXPECT_EQ(video.ClipTime(11999), 0);
  EXPECT_EQ(video.ClipTime(12000), 0);
  EXPECT_EQ(video.ClipTime(12500), 500);
  EXPECT_EQ(video.ClipTime(15000), 3000);
  // The clip ends before its object: the last frame is held.
  EXPECT_EQ(video.ClipTime(19000), 3000);
  EXPECT_EQ(video.BaseSize(), (TSize{160, 120}));
}

TEST_F(VideoObject, DurationAndStartOutsideTheClipAreReplaced) {
  MakeShow(VideoBlock("v", TestClip("h264.mp4"), "Duration=99999\nStartVideoTime=5000\n") +
           VideoBlock("w", TestClip("h264.mp4"), "Duration=1000\nStartVideoTime=1500\n"));
  const auto slide = Slide(1);
  EXPECT_EQ(VideoOf(*slide).ClipTime(10000 + 2500), 2500);
  EXPECT_EQ(VideoOf(*slide).ClipTime(10000 + 8000), 3000);
  EXPECT_EQ(VideoOf(*slide, 1).ClipTime(10000 + 500), 2000);
  EXPECT_EQ(VideoOf(*slide, 1).ClipTime(10000 + 5000), 2500);
}

TEST_F(VideoObject, ASharedClipContinuesOnTheNextSlide) {
  // The clip starts on the second slide (opt_synchpos1 = 10 s) 9 s in, and
  // the third slide (from 20 s) shows it too.
  const std::string clip = "object VideoBoss:VideoBoss\n"
                           "object c1:videoclip\nClipGUID=G\nFileName=" +
                           TestClip("h264.mp4") +
                           "\nLoadFromDisk=1\nStartVMOTime=9000\nStartSlideIdx=1\nDuration=3000\nend\nend\n";
  MakeShow("object a:video\nClipGUID=G\nend\nobject b:video\nClipGUID=G\nend\n", "object c:video\nClipGUID=G\nend\n",
           clip);
  const auto second = Slide(1);
  const auto third = Slide(2);
  const TVmoVideo& onSecond = VideoOf(*second);
  const TVmoVideo& onThird = VideoOf(*third);
  ASSERT_TRUE(onSecond.Clip());
  EXPECT_EQ(onSecond.Clip()->StartPosition, 10000);
  EXPECT_EQ(onSecond.ClipTime(19000), 0);
  EXPECT_EQ(onSecond.ClipTime(19500), 500);
  EXPECT_EQ(onThird.ClipTime(20500), 1500);
  EXPECT_EQ(onThird.ClipTime(21000), 2000);
  // Objects of one clip on one slide share its frame source; another slide
  // has its own.
  EXPECT_EQ(onSecond.Source(), VideoOf(*second, 1).Source());
  EXPECT_NE(onSecond.Source(), onThird.Source());
  EXPECT_TRUE(onThird.Playable());
}

TEST_F(VideoObject, DrawingLocksTheFrameOfTheClipTimeUntilTheFrameEnds) {
  MakeShow(VideoBlock("v", TestClip("h264.mp4"), "StartVMOTime=1000\n"));
  const auto slide = Slide(1);
  auto& video = VideoOf(*slide);
  auto& host = dynamic_cast<TVmoSlideHost&>(*slide->SlideHost());
  host.SetExactVideoFrames(true);
  test::TRecordingDrawer drawer;
  for (const double time : {10000.0, 11400.0, 11440.0, 10500.0}) {
    drawer.Calls.clear();
    slide->EvaluateAndUpdate(time);
    drawer.DrawItem(*slide);
    const auto calls = drawer.OfKind("video");
    ASSERT_EQ(calls.size(), 1u) << time;
    EXPECT_EQ(calls[0].VideoParams.FieldMode, 0);
    EXPECT_EQ(video.Source()->LockedFrames(), 0) << "released at the end of the frame";
  }
  host.SetExactVideoFrames(false);
}

TEST_F(VideoObject, MissingOrUndecodableFilesDrawThePlaceholder) {
  const std::string text = test::WriteTestFile("not-a-clip.mp4", std::string(3000, 'z'));
  MakeShow(VideoBlock("gone", "/nonexistent/clip.mp4") + VideoBlock("junk", text));
  const auto slide = Slide(1);
  EXPECT_EQ(VideoOf(*slide).Source()->Status(), TExtractorWrapper::kFileMissing);
  EXPECT_EQ(VideoOf(*slide, 1).Source()->Status(), TExtractorWrapper::kNoVideoSource);
  EXPECT_EQ(VideoOf(*slide).BaseSize(), TVmoVideo::kPlaceholderSize);
  test::TRecordingDrawer drawer;
  slide->EvaluateAndUpdate(12000);
  drawer.DrawItem(*slide);
  EXPECT_TRUE(drawer.OfKind("video").empty());
  // A panel in a frame for each.
  EXPECT_GE(drawer.OfKind("box").size(), 2u);
  EXPECT_EQ(drawer.OfKind("frame").size(), 2u);
}

TEST_F(VideoObject, InterlacedClipsShowTheFieldTheirTimeFallsOn) {
  MakeShow(VideoBlock("auto", TestClip("interlaced-tff.ts")) +
           VideoBlock("even", TestClip("interlaced-tff.ts"), "DeinterlaceType=BobEven\n") +
           VideoBlock("odd", TestClip("interlaced-tff.ts"), "DeinterlaceType=BobOdd\n") +
           VideoBlock("wave", TestClip("interlaced-tff.ts"), "DeinterlaceType=Wave\n") +
           VideoBlock("progressive", TestClip("h264.mp4"), "DeinterlaceType=BobEven\n"));
  const auto slide = Slide(1);
  // Frame 5 spans 180 ... 220 ms: 190 lies in its first half, 205 in its second.
  EXPECT_EQ(VideoOf(*slide, 0).FieldMode(190), 1); // top field first: the first field first
  EXPECT_EQ(VideoOf(*slide, 0).FieldMode(205), 2);
  EXPECT_EQ(VideoOf(*slide, 1).FieldMode(190), 1);
  EXPECT_EQ(VideoOf(*slide, 1).FieldMode(205), 2);
  EXPECT_EQ(VideoOf(*slide, 2).FieldMode(190), 2);
  EXPECT_EQ(VideoOf(*slide, 2).FieldMode(205), 1);
  EXPECT_EQ(VideoOf(*slide, 3).FieldMode(190), 0);
  EXPECT_EQ(VideoOf(*slide, 4).FieldMode(190), 0);
}

} // namespace
} // namespace qx
