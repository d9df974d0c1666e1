#include "VmoLib2/VmoViewer/qxVmoMusicSource2.h"

#include "QxLib/Music/qxCompositeParams.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::MakeSource;

class MusicSource : public test::TShowSourceTest {
protected:
  const TVmoMusicSource& Build(const std::string& project) {
    m_source = MakeSource(project);
    m_music = std::make_unique<TVmoMusicSource>(m_source.get(), 5);
    return *m_music;
  }
  std::string Failure(const std::string& project) {
    try {
      Build(project);
    } catch (const EAssertionFailed& e) {
      return e.what();
    }
    return "no failure";
  }

private:
  std::unique_ptr<TVmoSource> m_source;
  std::unique_ptr<TVmoMusicSource> m_music;
};

// Three slides ending at 10 s, 20 s and 30 s.
std::string Main(const std::string& lines) {
  return "[Main]\nopt_slidescount=3\nopt_synchpos1=10000\nopt_synchpos2=20000\nopt_synchpos3=30000\n" + lines;
}

std::string MusicObject(const std::string& body) { return "object M:music\n" + body + "end\n"; }

std::string Song(int duration, const std::string& options = "") {
  return MusicObject("object O:TMusicOptions\n" + options +
                     "end\nobject T:TMusicTrack\nobject A:TMusicItem\n"
                     "FileName=song.mp3\nDuration=" +
                     std::to_string(duration) + "\nend\nend\n");
}

std::string Comment(const std::string& file, int duration) {
  return MusicObject("object C:TSoundComment\nFileName=" + file + "\nDuration=" + std::to_string(duration) + "\nend\n");
}

TEST_F(MusicSource, ObjectFormatCompilesTheMainListAndTheFlags) {
  const TVmoMusicSource& music =
      Build(Main("opt_syncmode=0\n" + Song(25000, "IsRepeat=1\n")) + "[Slide1]\n[Slide2]\n[Slide3]\n");
  EXPECT_TRUE(music.ObjectFormat());
  EXPECT_TRUE(music.UseMusic());
  EXPECT_TRUE(music.RepeatMusic());
  EXPECT_TRUE(music.MainList().IsRepeat());
  EXPECT_TRUE(music.CutComments()) << "a project without opt_fullyplaysound cuts comments";
  ASSERT_EQ(music.MainList().Count(), 1);
  EXPECT_TRUE(IsCompositeDescription(music.MainList().Items()[0].FileName));
  EXPECT_EQ(music.MainList().TotalLength(), 25000);
  ASSERT_EQ(music.SlideCount(), 3);
  EXPECT_EQ(music.Slide(0).SlideNo, 1);
  EXPECT_EQ(music.Slide(1).Times.SlideStart, 10000);
  EXPECT_EQ(music.Slide(2).SlideNo, 0) << "the last slide is number 0";
  EXPECT_TRUE(music.Slide(1).Comment.empty());
}

TEST_F(MusicSource, SynchronisedMusicRepeatsOnlyWhenClearlyShorterThanTheShow) {
  const std::string slides = "[Slide1]\n[Slide2]\n[Slide3]\n";
  EXPECT_FALSE(Build(Main("opt_syncmode=1\n" + Song(30000, "IsRepeat=1\n")) + slides).RepeatMusic());
  EXPECT_TRUE(Build(Main("opt_syncmode=1\n" + Song(30000, "IsRepeat=1\n")) + slides).MainList().IsRepeat())
      << "the list keeps its own flag";
  EXPECT_FALSE(Build(Main("opt_syncmode=1\n" + Song(29801, "IsRepeat=1\n")) + slides).RepeatMusic());
  EXPECT_TRUE(Build(Main("opt_syncmode=1\n" + Song(29800, "IsRepeat=1\n")) + slides).RepeatMusic());
  EXPECT_TRUE(Build(Main("opt_syncmode=0\n" + Song(30000, "IsRepeat=1\n")) + slides).RepeatMusic());
  EXPECT_FALSE(Build(Main("opt_usemusic=1\nopt_syncmode=1\nopt_music_count=1\nopt_music1=a.mp3\n"
                          "opt_lengthlist1=30000\n") +
                     slides)
                   .RepeatMusic());
}

TEST_F(MusicSource, CommentsSoundUntilTheNextCommentOrAreCutAtTheirSlide) {
  const std::string slides =
      "[Slide1]\n" + Comment("one.wav", 60000) + "[Slide2]\n[Slide3]\n" + Comment("three.wav", 60000);
  const TVmoMusicSource& full = Build(Main("opt_fullyplaysound=1\n" + Song(1000)) + slides);
  EXPECT_EQ(full.Slide(0).CommentLength, 20000) << "up to the end of the slide before the next comment";
  EXPECT_EQ(full.Slide(2).CommentLength, 10000);
  TCompositeParams params;
  ASSERT_TRUE(params.Read(full.Slide(0).Comment));
  EXPECT_EQ(params.Item(0).FileName, "one.wav");

  const TVmoMusicSource& cut = Build(Main(Song(1000)) + slides);
  EXPECT_EQ(cut.Slide(0).CommentLength, 10000);
  EXPECT_EQ(cut.Slide(1).CommentLength, 0);
  EXPECT_TRUE(cut.Slide(1).Comment.empty());
}

TEST_F(MusicSource, SlidesOfNoLengthGetNoComment) {
  const TVmoMusicSource& music = Build("[Main]\nopt_slidescount=2\nopt_synchpos1=5000\nopt_synchpos2=5000\n" +
                                       Song(1000) + "[Slide1]\n" + "[Slide2]\n" + Comment("two.wav", 4000));
  EXPECT_TRUE(music.Slide(1).Comment.empty());
}

TEST_F(MusicSource, PersonalListsOnlyWithoutSynchronisation) {
  const std::string slide2 = "[Slide2]\nUsePersonal=1\nMusicAction=2\n" + Song(7000, "IsRepeat=1\n");
  const std::string project = "[Slide1]\n" + slide2 + "[Slide3]\nUsePersonal=1\nMusicAction=1\n" + Song(7000);
  const TVmoMusicSource& free = Build(Main(Song(1000)) + project);
  ASSERT_NE(free.Slide(1).PlayList, nullptr);
  EXPECT_TRUE(free.Slide(1).PlayList->IsRepeat());
  EXPECT_EQ(free.Slide(1).PlayList->TotalLength(), 7000);
  EXPECT_EQ(free.Slide(2).PlayList, nullptr);
  EXPECT_EQ(Build(Main("opt_syncmode=1\n" + Song(1000)) + project).Slide(1).PlayList, nullptr);
  const TVmoMusicSource& empty =
      Build(Main(Song(1000)) + "[Slide1]\n[Slide2]\nUsePersonal=1\nMusicAction=2\n[Slide3]\n");
  ASSERT_NE(empty.Slide(1).PlayList, nullptr);
  EXPECT_TRUE(empty.Slide(1).PlayList->IsEmpty());
}

TEST_F(MusicSource, KeyFormatReadsListsCommentsAndPersonalMusic) {
  const std::string keys = "opt_usemusic=1\nopt_repeatmusic=0\nopt_rndmusic=1\nopt_music_count=2\n"
                           "opt_music1=a.mp3\nopt_lengthlist1=4000\nopt_music2=LoadFromDisk:C:\\b.mp3\n"
                           "opt_lengthlist2=5000\n";
  const TVmoMusicSource& music =
      Build(Main(keys) + "[Slide1]\nSound=voice.wav\nSoundLength=15000\n[Slide2]\nSound=@\nSoundLength=100\n"
                         "[Slide3]\nUsePersonal=1\nMusicAction=2\nMusicCount=2\nSubMusic1=x.mp3\nSubMusicLength1=100\n"
                         "SubMusic2=y.mp3\nSubMusicLength2=200\n");
  EXPECT_FALSE(music.ObjectFormat());
  EXPECT_FALSE(music.RepeatMusic());
  EXPECT_TRUE(music.RandomMusic());
  ASSERT_EQ(music.MainList().Count(), 2);
  EXPECT_EQ(music.MainList().Items()[1].FileName, "LoadFromDisk:C:\\b.mp3");
  EXPECT_EQ(music.MainList().Items()[1].Start, 4000);
  EXPECT_EQ(music.Slide(0).Comment, "voice.wav");
  EXPECT_EQ(music.Slide(0).CommentLength, 10000) << "cut at the slide's end";
  EXPECT_TRUE(music.Slide(1).Comment.empty()) << "\"@\" is no comment";
  ASSERT_NE(music.Slide(2).PlayList, nullptr);
  EXPECT_EQ(music.Slide(2).PlayList->TotalLength(), 300);
  EXPECT_FALSE(music.Slide(2).PlayList->IsRepeat());
}

TEST_F(MusicSource, KeyFormatWithoutUseMusicReadsNothingMore) {
  const TVmoMusicSource& music =
      Build(Main("opt_usemusic=0\nopt_music_count=1\nopt_music1=a.mp3\nopt_lengthlist1=1000\n") +
            "[Slide1]\nSound=voice.wav\nSoundLength=5000\n[Slide2]\nUsePersonal=1\nMusicAction=2\nMusicCount=1\n"
            "SubMusic1=x.mp3\nSubMusicLength1=1\n");
  EXPECT_FALSE(music.UseMusic());
  EXPECT_TRUE(music.MainList().IsEmpty());
  ASSERT_EQ(music.SlideCount(), 3) << "slides keep their times without a slide section";
  EXPECT_TRUE(music.Slide(0).Comment.empty());
  EXPECT_EQ(music.Slide(1).PlayList, nullptr);
}

TEST_F(MusicSource, DamagedProjectsRaiseTheirAssertions) {
  const std::string use = "opt_usemusic=1\n";
  EXPECT_NE(Failure(Main(use) + "[Slide1]\n[Slide2]\n").find("Slide not Found"), std::string::npos);
  EXPECT_NE(Failure(Main(use) + "[Slide1]\nSound=a.wav\n[Slide2]\n[Slide3]\n").find("'Incorrect music time'"),
            std::string::npos);
  const std::string personal = "[Slide1]\n[Slide2]\n[Slide3]\nUsePersonal=1\nMusicAction=2\nMusicCount=1\n";
  EXPECT_NE(Failure(Main(use) + personal + "SubMusicLength1=5\n").find("'unknown name'"), std::string::npos);
  EXPECT_NE(Failure(Main(use) + personal + "SubMusic1=a.mp3\n").find("'incorrect music time'"), std::string::npos);
  EXPECT_NE(Failure(Main(Song(1000)) + "[Slide1]\n" + Comment("a.wav", -5000) + "[Slide2]\n[Slide3]\n")
                .find("'Incorrect music time'"),
            std::string::npos);
  EXPECT_THROW(TVmoMusicSource(nullptr), EAssertionFailed);
}

TEST_F(MusicSource, VideoSoundsComeFromTheFirstSlideThatShowsASharedClip) {
  const std::string boss = "object Videos:VideoBoss\nobject V1:videoclip\nClipGUID={A}\nFileName=clip.mp4\n"
                           "Duration=12000\nStartVideoTime=500\nStartVMOTime=1000\nLoadFromDisk=1\nend\n"
                           "object V2:videoclip\nClipGUID={M}\nFileName=mute.mp4\nDuration=1000\nMute=1\nend\nend\n";
  const std::string video = "object V:video\nClipGUID={A}\nend\n";
  const std::string own = "object W:mainvideo\nFileName=own.mp4\nDuration=60000\nStartVMOTime=2500.4\n"
                          "object K:keypoint\nobject X:video\nFileName=hidden.mp4\nDuration=100\nend\nend\nend\n";
  const TVmoMusicSource& music =
      Build(Main("opt_fx_enable=1\nopt_fx_eff1=1\nopt_fx_time=1500\n" + boss + Song(1000)) + "[Slide1]\n[Slide2]\n" +
            video + video + "object Q:video\nClipGUID={M}\nend\n" + own + "[Slide3]\n" + video);
  TCompositeParams comment;
  ASSERT_TRUE(comment.Read(music.Slide(1).Comment)) << music.Slide(1).Comment;
  ASSERT_EQ(comment.ItemCount(), 2) << "the clip once, the muted clip and the key point's child not at all";
  EXPECT_EQ(comment.Item(0).FileName, "LoadFromDisk:clip.mp4");
  EXPECT_EQ(comment.Item(0).TimeLine, 1000);
  EXPECT_EQ(comment.Item(0).BeginTime, 500);
  EXPECT_EQ(comment.Item(1).FileName, "own.mp4");
  EXPECT_EQ(comment.Item(1).TimeLine, 2500);
  // The slide's 10 s, plus the 1.5 s default transition into slide 3,
  // minus the clip's start.
  EXPECT_EQ(comment.Item(1).Duration, 10000 + 1500 - 2500);
  EXPECT_TRUE(music.Slide(2).Comment.empty()) << "the shared clip began on an earlier slide";
}

} // namespace
} // namespace qx
