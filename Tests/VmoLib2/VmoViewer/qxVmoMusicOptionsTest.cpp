#include "VmoLib2/VmoViewer/qxVmoMusicOptions.h"

#include "QxLib/Music/qxCompositeParams.h"
#include "QxLib/qxIniStorage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

using TPoints = std::vector<std::pair<int32_t, int32_t>>;

// A "music" object in the main section of a project text.
class MusicObject {
public:
  explicit MusicObject(const std::string& body) {
    m_ini.LoadFromString("[Main]\nobject Music:Music\n" + body + "end\n");
    m_music = FindChildOfClass(*m_ini.FindSection("Main"), kMusicClass);
  }
  const TIniObject* Get() const { return m_music; }

private:
  TIniStorage m_ini;
  const TIniObject* m_music = nullptr;
};

std::string Item(const std::string& file, const std::string& keys) {
  return "object " + file + ":TMusicItem\nFileName=" + file + "\n" + keys + "end\n";
}

std::string Track(const std::string& keys, const std::string& items) {
  return "object T:TMusicTrack\n" + keys + items + "end\n";
}

// Parsed again as the mixer reads it.
std::unique_ptr<TCompositeParams> Parse(const std::string& description) {
  auto params = std::make_unique<TCompositeParams>();
  EXPECT_TRUE(params->Read(description)) << params->ErrorText() << "\n" << description;
  return params;
}

TPoints Points(const TCompositeItem& item, int envelope) {
  TPoints points;
  for (const TVolumeItem& p : item.Fades[envelope].Points())
    points.emplace_back(p.Time, p.Volume);
  return points;
}

TMusicOptionsReader ReadMusic(const std::string& body, int32_t limit = 0) {
  MusicObject music(body);
  TMusicOptionsReader reader(1);
  reader.SetCommentLimit(limit);
  reader.Read(music.Get(), {}, false);
  return reader;
}

// A project without a byte-order mark is in the ANSI code page; its names
// reach the mixer as the same characters.
TEST(MusicOptions, FileNamesOutsideAsciiReachTheMixerUnchanged) {
  const TMusicOptionsReader reader =
      ReadMusic(Track("", "object A:TMusicItem\nFileName=\xC9t\xE9.mp3\nDuration=1000\nend\n"));
  EXPECT_EQ(Parse(reader.MusicDescription())->Item(0).FileName, "\u00C9t\u00E9.mp3");
}

// A negative level would end an envelope (and the ones after it) when the
// mixer reads the description: a negative volume is silence.
TEST(MusicOptions, NegativeVolumesAreSilence) {
  const TMusicOptionsReader reader = ReadMusic(
      Track("", Item("a.mp3", "Duration=1000\nVolume=-5\n") + Item("b.mp3", "Duration=1000\nVolume=-1\nCross=200\n") +
                    Item("c.mp3", "Duration=1000\nCross=300\n")) +
      "object C:TSoundComment\nFileName=talk.wav\nDuration=500\nVolume=-20\nend\n");
  const auto music = Parse(reader.MusicDescription());
  ASSERT_EQ(music->ItemCount(), 1) << "only c sounds";
  EXPECT_EQ(music->Item(0).FileName, "c.mp3");
  EXPECT_EQ(music->Item(0).TimeLine, 1500) << "the silent items keep their time and cross-fades";
  EXPECT_EQ(music->Write(), reader.MusicDescription());
  const auto comment = Parse(reader.CommentDescription());
  ASSERT_EQ(comment->ItemCount(), 1);
  EXPECT_EQ(Points(comment->Item(0), 0), (TPoints{{0, 0}, {500, 0}}));
}

TEST(MusicOptions, CrossFadeOverlapsTheNextItemButDoesNotMoveTheFirst) {
  const TMusicOptionsReader reader =
      ReadMusic(Track("", Item("a.mp3", "Duration=8000\nCross=1500\n") + Item("b.mp3", "Duration=6000\nCross=2000\n") +
                              Item("c.mp3", "Duration=1000\n")));
  const auto musicParsed = Parse(reader.MusicDescription());
  const TCompositeParams& music = *musicParsed;
  ASSERT_EQ(music.ItemCount(), 3);
  const TCompositeItem& a = music.Item(0);
  const TCompositeItem& b = music.Item(1);
  EXPECT_EQ(a.TimeLine, 0); // first of its track: faded in, not moved
  ASSERT_EQ(a.Fades.Count(), 1);
  EXPECT_EQ(Points(a, 0), (TPoints{{0, 0}, {1500, 1000}, {6000, 1000}, {8000, 0}}));
  EXPECT_EQ(b.TimeLine, 6000); // 2000 ms before a ends
  EXPECT_EQ(Points(b, 0), (TPoints{{0, 0}, {2000, 1000}}));
  EXPECT_EQ(music.Item(2).TimeLine, 12000);
  EXPECT_EQ(reader.MusicLength(), 13000);
  EXPECT_EQ(music.Duration(), 13000);
}

TEST(MusicOptions, PausesFadesVolumesAndCurvesMakeTheirEnvelopes) {
  const TMusicOptionsReader reader = ReadMusic(
      Track("", Item("a.mp3", "Duration=4000\nFadeIn=500\nFadeOut=1000\nVolume=80\n") +
                    Item("b.mp3", "Duration=3000\nCrossMode=1\nPause=3000\nVolume=75\n") +
                    Item("c.mp3", "Duration=2000\nVolume=0\n") +
                    Item("d.mp3", "Duration=5000\nStartTime=1000\nVolumeParams=88200:65536, 132300:32768,bad\n")));
  const auto musicParsed = Parse(reader.MusicDescription());
  const TCompositeParams& music = *musicParsed;
  ASSERT_EQ(music.ItemCount(), 3) << "the silent item is left out";
  EXPECT_EQ(Points(music.Item(0), 0), (TPoints{{0, 0}, {500, 800}, {3000, 800}, {4000, 0}}));
  EXPECT_EQ(music.Item(1).TimeLine, 7000) << "3000 ms of silence before b";
  EXPECT_EQ(Points(music.Item(1), 0), (TPoints{{0, 750}, {3000, 750}}));
  const TCompositeItem& d = music.Item(2);
  EXPECT_EQ(d.TimeLine, 12000) << "the silent item's time still counts";
  EXPECT_EQ(d.BeginTime, 1000);
  EXPECT_EQ(Points(d, 0), (TPoints{{1000, 1000}, {2000, 500}})); // from the start of the file
  EXPECT_EQ(reader.MusicLength(), 17000);
}

TEST(MusicOptions, TracksPlayFromZeroAndMuteTracksCountForNothing) {
  const TMusicOptionsReader reader =
      ReadMusic(Track("", Item("a.mp3", "Duration=4000\n")) + Track("IsMute=1\n", Item("m.mp3", "Duration=90000\n")) +
                Track("", Item("b.mp3", "Duration=3000\n") + Item("c.mp3", "Duration=3000\n")) +
                "object O:TMusicOptions\nIsRepeat=1\nend\n");
  const auto musicParsed = Parse(reader.MusicDescription());
  const TCompositeParams& music = *musicParsed;
  ASSERT_EQ(music.ItemCount(), 3);
  EXPECT_EQ(music.Item(0).TimeLine, 0);
  EXPECT_EQ(music.Item(1).FileName, "b.mp3");
  EXPECT_EQ(music.Item(1).TimeLine, 0);
  EXPECT_EQ(music.Item(2).TimeLine, 3000);
  EXPECT_EQ(reader.MusicLength(), 6000);
  EXPECT_TRUE(reader.IsRepeat());
}

TEST(MusicOptions, ARandomTrackKeepsItsOrderForTheSameReader) {
  std::string items;
  for (int i = 0; i < 12; ++i)
    items += Item("s" + std::to_string(i) + ".mp3", "Duration=1000\n");
  const MusicObject music(Track("IsRandom=1\n", items));
  const auto order = [&music](TMusicOptionsReader& reader, bool disable) {
    reader.Read(music.Get(), {}, disable);
    const auto paramsParsed = Parse(reader.MusicDescription());
    const TCompositeParams& params = *paramsParsed;
    std::vector<std::string> names;
    for (int i = 0; i < params.ItemCount(); ++i) {
      names.push_back(params.Item(i).FileName);
      EXPECT_EQ(params.Item(i).TimeLine, i * 1000);
    }
    return names;
  };
  TMusicOptionsReader reader(42);
  const std::vector<std::string> first = order(reader, false);
  EXPECT_TRUE(reader.IsRandom());
  EXPECT_EQ(order(reader, false), first);
  std::vector<std::string> plain;
  for (int i = 0; i < 12; ++i)
    plain.push_back("s" + std::to_string(i) + ".mp3");
  EXPECT_NE(first, plain);
  EXPECT_EQ(order(reader, true), plain);
  std::vector<std::string> sorted = first;
  std::sort(sorted.begin(), sorted.end());
  std::sort(plain.begin(), plain.end());
  EXPECT_EQ(sorted, plain);
}

TEST(MusicOptions, ACommentIsCutToItsLimitAndFadesOutAtItsEnd) {
  const std::string comment =
      "object C:TSoundComment\nFileName=voice.wav\nDuration=20000\nPause=1000\nFadeOut=500\nVolume=75\nend\n";
  const TMusicOptionsReader full = ReadMusic(comment);
  EXPECT_EQ(full.CommentLength(), 21000);
  const auto wholeParsed = Parse(full.CommentDescription());
  const TCompositeParams& whole = *wholeParsed;
  ASSERT_EQ(whole.ItemCount(), 1);
  EXPECT_EQ(whole.Item(0).TimeLine, 1000);
  EXPECT_EQ(whole.Item(0).Duration, 20000);
  EXPECT_EQ(Points(whole.Item(0), 0), (TPoints{{19500, 750}, {20000, 0}}));

  const TMusicOptionsReader cut = ReadMusic(comment, 8000);
  EXPECT_EQ(cut.CommentLength(), 8000);
  const auto paramsParsed = Parse(cut.CommentDescription());
  const TCompositeParams& params = *paramsParsed;
  EXPECT_EQ(params.Duration(), 8000);
  EXPECT_EQ(params.Item(0).TimeLine + params.Item(0).Duration, 8000) << "the sound ends with the comment";
  EXPECT_EQ(Points(params.Item(0), 0), (TPoints{{6500, 750}, {7000, 0}}));

  const TMusicOptionsReader flat = ReadMusic("object C:TSoundComment\nFileName=v.wav\nDuration=3000\nVolume=75\nend\n");
  EXPECT_EQ(Points(Parse(flat.CommentDescription())->Item(0), 0), (TPoints{{0, 750}, {3000, 750}}));
  EXPECT_TRUE(ReadMusic("object C:TSoundComment\nFileName=error\nDuration=3000\nend\n").CommentDescription().empty());
}

TEST(MusicOptions, VideoSoundsJoinTheCommentWithTheirVolumes) {
  const MusicObject music("object C:TSoundComment\nFileName=voice.wav\nDuration=2000\nend\n");
  TExtraMusicItems extra = {
      {"clip.mp4", 500, 250, 4000, 1.0f}, {"quiet.mp4", 1000, 0, 1000, 0.5f}, {"none.mp4", 0, 0, 0, 1.0f}};
  TMusicOptionsReader reader(1);
  reader.Read(music.Get(), extra, false);
  EXPECT_EQ(reader.CommentLength(), 4500);
  const auto paramsParsed = Parse(reader.CommentDescription());
  const TCompositeParams& params = *paramsParsed;
  ASSERT_EQ(params.ItemCount(), 3) << "an item of no duration is left out";
  EXPECT_EQ(params.Item(1).FileName, "clip.mp4");
  EXPECT_EQ(params.Item(1).BeginTime, 250);
  EXPECT_EQ(params.Item(1).Fades.Count(), 0);
  EXPECT_EQ(Points(params.Item(2), 0), (TPoints{{0, 500}, {1000, 500}}));

  reader.Read(nullptr, {extra[0]}, false);
  EXPECT_EQ(reader.CommentLength(), 4500) << "video sounds alone make a comment";
  EXPECT_TRUE(reader.MusicDescription().empty());
}

} // namespace
} // namespace qx
