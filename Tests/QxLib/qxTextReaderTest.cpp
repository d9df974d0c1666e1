#include "QxLib/qxTextReader.h"

#include "QxLib/qxMemoryStream.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

std::unique_ptr<TMemoryStream> StreamOf(std::string_view bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream->SetPosition(0);
  return stream;
}

std::string Decode(std::string_view bytes) { return ReadText(*StreamOf(bytes)); }

std::vector<std::string> Lines(std::string_view bytes) { return ReadTextLines(*StreamOf(bytes)); }

TTextEncoding EncodingOf(std::string_view bytes) { return CreateTextDecoder(*StreamOf(bytes))->Encoding(); }

// UTF-16 bytes of a text given as UTF-16 units.
std::string Utf16Bytes(std::u16string_view units, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t u : units) {
    const char hi = static_cast<char>(u >> 8);
    const char lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return bytes;
}

// Reads through a stream that cannot move backwards.
class TForwardOnlyStream : public TMemoryStream {
public:
  void SetPosition(int64_t position) override {
    if (position < GetPosition())
      throw EStreamError("cannot seek back");
    TMemoryStream::SetPosition(position);
  }
};

} // namespace

TEST(TextReader, ByteOrderMarksChooseTheDecoder) {
  EXPECT_EQ(EncodingOf("\xFF\xFE"), TTextEncoding::Utf16LE);
  EXPECT_EQ(EncodingOf("\xFE\xFF"), TTextEncoding::Utf16BE);
  EXPECT_EQ(EncodingOf("\xEF\xBB\xBF"), TTextEncoding::Utf8);
  EXPECT_EQ(EncodingOf("\xEF\xBB"), TTextEncoding::Ansi); // too short for the UTF-8 mark
  EXPECT_EQ(EncodingOf(""), TTextEncoding::Ansi);
  // A failed check leaves the bytes to the ANSI decoder.
  EXPECT_EQ(Decode("\xEF\xBB"), "\xC3\xAF\xC2\xBB");
  EXPECT_EQ(Decode("A"), "A");
  EXPECT_EQ(Decode("\xEF\xBB\xBF"
                   "abc"),
            "abc");
}

TEST(TextReader, ReadingStartsAtTheStreamPositionAndNeverSeeksBack) {
  TForwardOnlyStream stream;
  stream.WriteString(std::string("junk\xFF\xFEh\0i\0", 10));
  stream.TMemoryStream::SetPosition(4);
  EXPECT_EQ(ReadText(stream), "hi");
}

TEST(TextReader, Utf16BothByteOrdersWithSurrogatePairs) {
  const std::u16string units = u"A\u00E9\u20AC\U0001F600z";
  const std::string utf8 = "A\u00E9\u20AC\U0001F600z";
  EXPECT_EQ(Decode(Utf16Bytes(units, false)), utf8);
  EXPECT_EQ(Decode(Utf16Bytes(units, true)), utf8);
  // Unpaired surrogates and an odd last byte become U+FFFD.
  EXPECT_EQ(Decode(Utf16Bytes(u"\xD800"
                              u"a\xDC00",
                              false)),
            "\uFFFD"
            "a\uFFFD");
  EXPECT_EQ(Decode(Utf16Bytes(u"a\xD83D", false)), "a\uFFFD");
  EXPECT_EQ(Decode(Utf16Bytes(u"a", false) + "b"), "a\uFFFD");
}

TEST(TextReader, SurrogatePairSplitAcrossBlocks) {
  std::u16string units(TTextDecoder::kBlockChars - 1, u'x');
  units += u"\U0001F600";
  EXPECT_EQ(Decode(Utf16Bytes(units, true)), std::string(TTextDecoder::kBlockChars - 1, 'x') + "\U0001F600");
}

TEST(TextReader, Utf8SequencesOfOneToSixBytes) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(Decode(bom + "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), "a\u00E9\u20AC\U0001F600");
  // Five- and six-byte forms are accepted; within the Unicode range they
  // give the character, beyond it U+FFFD.
  EXPECT_EQ(Decode(bom + "\xF8\x80\x80\x81\x81"), "A");
  EXPECT_EQ(Decode(bom + "\xFC\x84\x80\x80\x80\x80"), "\uFFFD");
  // UTF-16 surrogates encoded one by one pair up.
  EXPECT_EQ(Decode(bom + "\xED\xA0\xBD\xED\xB8\x80"), "\U0001F600");
}

TEST(TextReader, BadUtf8RaisesTheInvalidCharacterError) {
  const std::string bom = "\xEF\xBB\xBF";
  for (const std::string bad :
       {"\x80", "ab\xBF", "\xC3\x41", "\xE2\x82", "\xF0\x9F\x98", "\xFE", "\xFF", "\xE2\x82\xC0"})
    EXPECT_THROW(Decode(bom + bad), EIniInvalidCharacter) << bad;
  try {
    Decode(bom + "abc\xC3(");
    FAIL() << "no error";
  } catch (const EIniInvalidCharacter& e) {
    EXPECT_NE(std::string(e.what()).find("byte 4"), std::string::npos) << e.what();
  }
}

TEST(TextReader, AnsiIsWindows1252) {
  EXPECT_EQ(Windows1252ToUnicode(0x80), 0x20AC);
  EXPECT_EQ(Windows1252ToUnicode(0x81), 0x0081);
  EXPECT_EQ(Windows1252ToUnicode(0x8D), 0x008D);
  EXPECT_EQ(Windows1252ToUnicode(0x8F), 0x008F);
  EXPECT_EQ(Windows1252ToUnicode(0x90), 0x0090);
  EXPECT_EQ(Windows1252ToUnicode(0x9D), 0x009D);
  EXPECT_EQ(Windows1252ToUnicode(0x9F), 0x0178);
  EXPECT_EQ(Windows1252ToUnicode(0x96), 0x2013);
  EXPECT_EQ(Windows1252ToUnicode(0xA0), 0x00A0);
  EXPECT_EQ(Windows1252ToUnicode(0xFF), 0x00FF);
  EXPECT_EQ(Decode("5\x80 caf\xE9 \x93q\x94"), "5\u20AC caf\u00E9 \u201Cq\u201D");
}

TEST(TextReader, LinesEndAtCrLfCrLfAndLfCr) {
  EXPECT_EQ(Lines("a\r\nb\n\rc\rd\ne\r\rf\n\ng"),
            (std::vector<std::string>{"a", "b", "c", "d", "e", "", "f", "", "g"}));
  EXPECT_EQ(Lines("a\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(Lines("a\n\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(Lines("\n"), (std::vector<std::string>{""}));
  EXPECT_TRUE(Lines("").empty());
  EXPECT_TRUE(Lines("\xEF\xBB\xBF").empty());
}

TEST(TextReader, LineEndPairsAcrossBlockBoundaries) {
  const std::string first(TTextDecoder::kBlockChars - 1, 'a');
  // CR is the last character of the first block, LF the first of the next.
  EXPECT_EQ(Lines(first + "\r\nb"), (std::vector<std::string>{first, "b"}));
  EXPECT_EQ(Lines(first + "\r\rb"), (std::vector<std::string>{first, "", "b"}));
  // A line longer than several blocks stays whole.
  const std::string longLine(3 * TTextDecoder::kBlockChars + 5, 'z');
  EXPECT_EQ(Lines("x\n" + longLine + "\ny"), (std::vector<std::string>{"x", longLine, "y"}));
}

} // namespace qx
