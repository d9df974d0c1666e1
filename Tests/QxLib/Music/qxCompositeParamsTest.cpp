#include "QxLib/Music/qxCompositeParams.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {

namespace {

std::string Description(std::string_view ini) { return std::string(kCompositeMarker) + std::string(ini); }

// A description of `count` items, each in a section of its own.
std::string ManyItems(int count) {
  std::string text = Description("[Main]\nDuration=1000\n");
  text.reserve(text.size() + static_cast<size_t>(count) * 40);
  for (int i = 0; i < count; ++i) {
    text += '[';
    text += std::to_string(i);
    text += "]\nFileName=a.wav\nDuration=100\n";
  }
  return text;
}

// ManyItems with one master envelope of `points` points.
std::string ManyItemsUnderAMaster(int items, int points) {
  std::string text = ManyItems(items) + "[MainVolume]\nFadeCount=1\n";
  for (int k = 0; k < points; ++k)
    text += "[Vol_MainVolume_0_" + std::to_string(k) + "]\n0=" + std::to_string(k) + "\n1=500\n";
  return text;
}

} // namespace

TEST(CompositeParams, TheMarkerTellsDescriptionsFromFileNames) {
  EXPECT_TRUE(IsCompositeDescription(Description("[Main]")));
  EXPECT_FALSE(IsCompositeDescription("music/song.mp3"));
  EXPECT_FALSE(IsCompositeDescription(std::string(kCompositeMarker.substr(1))));
}

TEST(CompositeParams, WritesItemsEnvelopesAndMasterAndReadsThemBack) {
  TCompositeParams params;
  params.SetDuration(5000);
  TCompositeItem& a = params.AddItem();
  a.FileName = "LoadFromDisk:/tmp/a.wav";
  a.TimeLine = 100;
  a.BeginTime = 250;
  a.Duration = 3000;
  TVolumeParams& fade = a.Fades.Add();
  fade.AddPoint(0, 0);
  fade.AddPoint(500, 750);
  a.Fades.Add(true).AddPoint(0, 0); // generated: never written
  TCompositeItem& b = params.AddItem();
  b.FileName = "b.mp3";
  b.Duration = 2000;
  params.GetOrAddMainVolume().Add().AddPoint(4000, 300);

  const std::string text = params.Write(1000);
  EXPECT_EQ(text, Description("\r\n[Main]\r\nDuration=5000\r\n"
                              "\r\n[0]\r\nFileName=LoadFromDisk:/tmp/a.wav\r\nTimeLine=1100\r\nBeginTime=250\r\n"
                              "Duration=3000\r\nFadeCount=1\r\n"
                              "\r\n[Vol_0_0_0]\r\n0=0\r\n1=0\r\n"
                              "\r\n[Vol_0_0_1]\r\n0=500\r\n1=750\r\n"
                              "\r\n[1]\r\nFileName=b.mp3\r\nTimeLine=1000\r\nBeginTime=0\r\nDuration=2000\r\n"
                              "FadeCount=0\r\n"
                              "\r\n[MainVolume]\r\nFadeCount=1\r\n"
                              "\r\n[Vol_MainVolume_0_0]\r\n0=4000\r\n1=300\r\n"));

  TCompositeParams back;
  ASSERT_TRUE(back.Read(text)) << back.ErrorText();
  EXPECT_EQ(back.Duration(), 5000);
  ASSERT_EQ(back.ItemCount(), 2);
  EXPECT_EQ(back.Item(0).FileName, "LoadFromDisk:/tmp/a.wav");
  EXPECT_EQ(back.Item(0).TimeLine, 1100);
  EXPECT_EQ(back.Item(0).BeginTime, 250);
  EXPECT_EQ(back.Item(0).Duration, 3000);
  ASSERT_EQ(back.Item(0).Fades.Count(), 1);
  EXPECT_TRUE(back.Item(0).Fades.AutoFade());
  EXPECT_EQ(back.Item(0).Fades[0].Points()[1].Volume, 750);
  EXPECT_EQ(back.Item(1).Fades.Count(), 0);
  ASSERT_NE(back.MainVolume(), nullptr);
  EXPECT_FALSE(back.MainVolume()->AutoFade());
  EXPECT_EQ((*back.MainVolume())[0].Points()[0].Time, 4000);
  // Written again without offset, it is the same text shifted back.
  EXPECT_EQ(back.Write(-1000), params.Write(0));
}

TEST(CompositeParams, NoItemsWriteNothingAndAMasterWithoutEnvelopesIsLeftOut) {
  TCompositeParams params;
  params.SetDuration(1000);
  EXPECT_EQ(params.Write(), "");
  params.AddItem().FileName = "x.wav";
  params.GetOrAddMainVolume();
  EXPECT_EQ(params.Write().find("MainVolume"), std::string::npos);
}

TEST(CompositeParams, TheItemListEndsAtTheFirstEmptyFileNameAndKeysDefault) {
  TCompositeParams params;
  ASSERT_TRUE(params.Read(Description("[main]\nduration=900\n[0]\nfilename=a.wav\n[1]\nFileName=\n"
                                      "[2]\nFileName=c.wav\n")));
  ASSERT_EQ(params.ItemCount(), 1);
  EXPECT_EQ(params.Item(0).TimeLine, 0);
  EXPECT_EQ(params.Item(0).BeginTime, 0);
  EXPECT_EQ(params.Item(0).Duration, 0);
  EXPECT_EQ(params.MainVolume(), nullptr);
}

TEST(CompositeParams, UnreadableDescriptionsFailWithAReason) {
  TCompositeParams params;
  EXPECT_FALSE(params.Read("[Main]\nDuration=100\n[0]\nFileName=a.wav\n"));
  EXPECT_FALSE(params.Read(Description("[Main]\nDuration=0\n[0]\nFileName=a.wav\n")));
  EXPECT_FALSE(params.Read(Description("[Main]\nDuration=100\n")));
  EXPECT_FALSE(params.Read(Description("[Main]\nDuration=100\n[0]\nFileName=a.wav\nFadeCount=-3\n")));
  EXPECT_FALSE(params.Read(Description("[Main]\nDuration=100\n[0]\nFileName=a.wav\n"
                                       "[MainVolume]\nFadeCount=2000000\n")));
  EXPECT_FALSE(params.ErrorText().empty());
  EXPECT_EQ(params.ItemCount(), 0);
}

TEST(CompositeParams, AMillionItemsAreRefusedBeforeParsing) {
  TCompositeParams params;
  EXPECT_TRUE(params.Read(ManyItems(1000)));
  EXPECT_EQ(params.ItemCount(), 1000);
  EXPECT_FALSE(params.Read(ManyItems(1000000)));
  EXPECT_EQ(params.ErrorText(), "Composite description too large");
  EXPECT_EQ(params.ItemCount(), 0);
}

TEST(CompositeParams, ConcatenatedDescriptionsPlayOneAfterAnother) {
  const std::string text = Description("[Main]\nDuration=1000\n[0]\nFileName=a.wav\nTimeLine=200\n"
                                       "[MainVolume]\nFadeCount=1\n[Vol_MainVolume_0_0]\n0=500\n1=400\n") +
                           Description("[Main]\nDuration=3000\n[0]\nFileName=b.wav\nTimeLine=50\n");
  TCompositeParams params;
  ASSERT_TRUE(params.Read(text)) << params.ErrorText();
  EXPECT_EQ(params.Duration(), 4000);
  ASSERT_EQ(params.ItemCount(), 2);
  EXPECT_EQ(params.Item(0).TimeLine, 200);
  EXPECT_EQ(params.Item(1).TimeLine, 1050);
  // The first part's master envelope shapes only its own item, at the same
  // moment of the time line (500 ms = 300 ms into the item).
  EXPECT_EQ(params.MainVolume(), nullptr);
  ASSERT_EQ(params.Item(0).Fades.Count(), 1);
  EXPECT_EQ(params.Item(0).Fades[0].Points()[0].Time, 300);
  EXPECT_EQ(params.Item(1).Fades.Count(), 0);
}

TEST(CompositeParams, ADurationBeyondThirtyTwoBitsIsRefused) {
  const std::string text = Description("[Main]\nDuration=2000000000\n[0]\nFileName=a.wav\n") +
                           Description("[Main]\nDuration=2000000000\n[0]\nFileName=b.wav\n");
  TCompositeParams params;
  EXPECT_FALSE(params.Read(text));
}

// A master envelope is copied into every item of a later part: with a few
// thousand sections the copies would reach hundreds of millions of points.
TEST(CompositeParams, MasterCopiesBeyondThePointLimitAreRefused) {
  TCompositeParams params;
  const std::string first = Description("[Main]\nDuration=1000\n[0]\nFileName=a.wav\n");
  ASSERT_TRUE(params.Read(first + ManyItemsUnderAMaster(100, 100))) << params.ErrorText();
  EXPECT_EQ(params.Item(100).Fades[0].PointCount(), 100);
  EXPECT_FALSE(params.Read(first + ManyItemsUnderAMaster(600, 600)));
  EXPECT_EQ(params.ErrorText(), "Composite description too large");
  EXPECT_EQ(params.ItemCount(), 0);
  // The only part keeps its master envelope once, whatever its items.
  ASSERT_TRUE(params.Read(ManyItemsUnderAMaster(600, 600))) << params.ErrorText();
  EXPECT_EQ(params.MainVolume()->operator[](0).PointCount(), 600);
}

// Descriptions hold the names of decoded projects, in UTF-8: a name outside
// ASCII must not be read as the ANSI code page (and change on every pass).
TEST(CompositeParams, NamesOutsideAsciiReadBackAsWritten) {
  const std::string name = "Chanson d\u2019\u00E9t\u00E9 \u266B.mp3";
  TCompositeParams params;
  ASSERT_TRUE(params.Read(Description("[Main]\nDuration=100\n[0]\nFileName=" + name + "\n")));
  EXPECT_EQ(params.Item(0).FileName, name);
  TCompositeParams again;
  ASSERT_TRUE(again.Read(params.Write()));
  EXPECT_EQ(again.Item(0).FileName, name);
  // Bytes that are no UTF-8 make the description unreadable.
  EXPECT_FALSE(params.Read(Description("[Main]\nDuration=100\n[0]\nFileName=\xE9t\xE9.mp3\n")));
  EXPECT_NE(params.ErrorText().find("unreadable"), std::string::npos) << params.ErrorText();
}

} // namespace qx
