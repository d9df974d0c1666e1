#include "QxLib/Graphics/qxExif.h"
#include "QxLib/Graphics/qxIptcData.h"

#include "QxLib/qxMemoryStream.h"
#include "Tests/TestSupport/qxMetadataPhoto.h"

#include <gtest/gtest.h>

#include <random>

namespace qx {
namespace {

std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteString(bytes);
  stream->SetPosition(0);
  return stream;
}

TEST(PictureMetadata, ReadsTheExifFieldsOfAPhoto) {
  const auto stream = StreamOf(test::MakeMetadataPhoto(32, 24, test::FullMetadata()));
  TExif exif;
  ASSERT_TRUE(exif.Read(*stream));
  EXPECT_EQ(exif.Text(TExif::kDateTime), "2009:10:21 14:05:33");
  EXPECT_EQ(exif.Text(TExif::kImageDescription), "Harbour at dusk");
  EXPECT_EQ(exif.Text(TExif::kUserComment), "Taken from the pier") << "without the character-set marker";
  EXPECT_EQ(exif.Text(1234), "");
}

TEST(PictureMetadata, ReadsTheIptcFieldsOfAPhotoAfterRewinding) {
  const auto stream = StreamOf(test::MakeMetadataPhoto(32, 24, test::FullMetadata()));
  TExif exif;
  exif.Read(*stream);
  stream->SetPosition(0);
  TIPTCData iptc;
  ASSERT_TRUE(iptc.Read(*stream));
  EXPECT_EQ(iptc.First(TIPTCData::kCity), "Lisbon");
  EXPECT_EQ(iptc.First(TIPTCData::kDocumentTitle), "Evening");
  EXPECT_EQ(iptc.Values(TIPTCData::kAuthorByline), (std::vector<std::string>{"  Ann Author  ", "Second Author"}));
  EXPECT_EQ(iptc.First(TIPTCData::kCaptionWriter), " Ed Itor ");
  EXPECT_TRUE(iptc.Values(7).empty());
}

TEST(PictureMetadata, APhotoWithoutMetadataHasNoFields) {
  const auto stream = StreamOf(test::EncodeTestJpeg(16, 16));
  TExif exif;
  exif.SetText(TExif::kDateTime, "left over");
  EXPECT_TRUE(exif.Read(*stream));
  EXPECT_EQ(exif.Text(TExif::kDateTime), "");
  stream->SetPosition(0);
  TIPTCData iptc;
  EXPECT_TRUE(iptc.Read(*stream));
  EXPECT_EQ(iptc.First(TIPTCData::kCity), "");
}

TEST(PictureMetadata, DamagedAndForeignDataNeverRaise) {
  const std::string photo = test::MakeMetadataPhoto(32, 24, test::FullMetadata());
  std::mt19937 random(7);
  for (size_t cut : {size_t{0}, size_t{3}, size_t{30}, size_t{200}, photo.size() / 2}) {
    const auto stream = StreamOf(photo.substr(0, cut));
    TExif exif;
    TIPTCData iptc;
    EXPECT_NO_THROW(exif.Read(*stream));
    stream->SetPosition(0);
    EXPECT_NO_THROW(iptc.Read(*stream));
  }
  for (int round = 0; round < 50; ++round) {
    std::string damaged = photo;
    for (int k = 0; k < 20; ++k)
      damaged[random() % 400] = static_cast<char>(random());
    const auto stream = StreamOf(damaged);
    TExif exif;
    EXPECT_NO_THROW(exif.Read(*stream));
  }
  const auto text = StreamOf("just some text, no picture");
  TExif exif;
  EXPECT_FALSE(exif.Read(*text));
}

} // namespace
} // namespace qx
