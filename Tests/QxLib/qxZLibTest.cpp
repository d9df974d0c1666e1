#include "QxLib/qxZLib.h"

#include "QxLib/qxStreamUtils.h"
#include "Tests/QxLib/qxTestStreams.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

namespace qx {

using test::Pattern;
using test::TProbeStream;

namespace {

// Data that hardly compresses, so its deflated form spans several input blocks.
std::string Noise(size_t size) {
  std::mt19937 random(42);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

std::string ReadString(TStream& stream, int64_t count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  bytes.resize(static_cast<size_t>(stream.Read(bytes.data(), count)));
  return bytes;
}

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const EQxError& error) {
    return error.what();
  }
  return "no error";
}

// A fixed-code block whose first item copies from one byte back, before any
// output exists.
const std::string kDistanceTooFar("\x03\x02\x00", 3);
// A final block of the reserved type 3.
const std::string kInvalidBlockType("\x07\x00", 2);

} // namespace

TEST(InflateStream, PositionRules) {
  const std::string plain = Noise(300000);
  TProbeStream source(DeflateRaw(plain));
  TInflateStream inflate(source, static_cast<int64_t>(plain.size()));
  int blocks = 0;
  inflate.SetOnProgress([&](TCustomZStream&) { ++blocks; });
  EXPECT_EQ(inflate.GetSize(), 300000);

  EXPECT_EQ(ReadString(inflate, 100), plain.substr(0, 100));
  EXPECT_EQ(inflate.GetPosition(), 100);
  const int blocksRead = blocks;
  inflate.SetPosition(100);
  EXPECT_EQ(blocks, blocksRead) << "staying put must not restart";
  EXPECT_EQ(ReadString(inflate, 10), plain.substr(100, 10));

  inflate.SetPosition(0);
  EXPECT_EQ(ReadString(inflate, 10), plain.substr(0, 10));

  inflate.SetPosition(250000);
  EXPECT_EQ(ReadString(inflate, 10), plain.substr(250000, 10));
  inflate.Seek(20, TSeekOrigin::Current);
  EXPECT_EQ(ReadString(inflate, 10), plain.substr(250030, 10));

  EXPECT_EQ(ErrorText([&] { inflate.SetPosition(5); }), "Invalid ZStream operation!");
  EXPECT_EQ(ErrorText([&] { inflate.Seek(-1, TSeekOrigin::Current); }), "Invalid ZStream operation!");
  EXPECT_EQ(ErrorText([&] { inflate.SetSize(10); }), "Invalid ZStream operation!");
  EXPECT_EQ(ErrorText([&] { inflate.WriteByte(1); }), "Invalid ZStream operation!");
  EXPECT_THROW(inflate.SetPosition(300001), EStreamReadError);
}

TEST(InflateStream, ReadsInBlocksAndSurvivesAMovedSource) {
  const std::string plain = Noise(200000);
  TProbeStream source(DeflateRaw(plain));
  TInflateStream inflate(source);
  int blocks = 0;
  inflate.SetOnProgress([&](TCustomZStream&) { ++blocks; });
  EXPECT_EQ(inflate.GetSize(), -1);
  const std::string head = ReadString(inflate, 1000);
  source.SetPosition(0);
  const std::string rest = ReadString(inflate, 1000000);
  EXPECT_EQ(head + rest, plain);
  EXPECT_EQ(blocks, static_cast<int>((source.GetSize() + 65535) / 65536));
  for (size_t i = 0; i + 1 < source.reads.size(); ++i)
    EXPECT_EQ(source.reads[i], TZDecompressionStream::kInputBlockSize);
}

TEST(InflateStream, LoadFromAfterAPartialReadCopiesEverything) {
  const std::string plain = Pattern(50000);
  TProbeStream source(DeflateRaw(plain));
  TInflateStream inflate(source, 50000);
  ReadString(inflate, 777);
  TMemoryStream copy;
  copy.LoadFrom(inflate);
  EXPECT_EQ(copy.ReadAll(), plain);
}

TEST(InflateStream, NeverDeliversMoreThanDeclared) {
  TProbeStream source(DeflateRaw(std::string(100000, 'a')));
  TInflateStream inflate(source, 1000);
  EXPECT_EQ(inflate.ReadAll().size(), 1000u);
}

TEST(InflateStream, EndsWithTheDataAndWithinAWindow) {
  const std::string packed = DeflateRaw("hello, world");
  TProbeStream file("head" + packed + "tail");
  TPartialStream window(file, 4, static_cast<int64_t>(packed.size()));
  TInflateStream inflate(window, 12);
  EXPECT_EQ(inflate.ReadAll(), "hello, world");
  EXPECT_EQ(inflate.Seek(0, TSeekOrigin::End), 12);

  TProbeStream cut(packed.substr(0, packed.size() / 2));
  TInflateStream truncated(cut, 12);
  EXPECT_LT(truncated.ReadAll().size(), 12u);
}

TEST(InflateStream, DamagedDataRaisesZLibsMessage) {
  for (const auto& [data, message] : {std::pair{kDistanceTooFar, "invalid distance too far back"},
                                      std::pair{kInvalidBlockType, "invalid block type"}}) {
    TProbeStream source(data);
    TInflateStream inflate(source, 100);
    EXPECT_EQ(ErrorText([&] { inflate.ReadAll(); }), message);
    inflate.SetPosition(0);
    EXPECT_THROW(inflate.ReadAll(), EZDecompressionError) << "restart stays usable";
    EXPECT_EQ(ErrorText([&] { InflateRaw(data); }), message);
  }
}

TEST(ZDecompressionStream, ReadsZLibHeaderedData) {
  const std::string plain = Pattern(10000);
  std::string packed(compressBound(plain.size()), '\0');
  uLongf packedSize = packed.size();
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                      reinterpret_cast<const Bytef*>(plain.data()), plain.size(), 6),
            Z_OK);
  TProbeStream source(packed.substr(0, packedSize));
  TZDecompressionStream inflate(source);
  EXPECT_EQ(inflate.GetSize(), -1);
  EXPECT_EQ(inflate.ReadAll(), plain);

  TProbeStream raw(DeflateRaw(plain));
  TZDecompressionStream wrongFormat(raw);
  EXPECT_EQ(ErrorText([&] { wrongFormat.ReadAll(); }), "incorrect header check");
}

TEST(InflateRaw, RoundTripsAndBoundsItsOutput) {
  const std::string plain = Noise(100000) + std::string(100000, 'z');
  EXPECT_EQ(InflateRaw(DeflateRaw(plain, 1)), plain);
  EXPECT_EQ(InflateRaw(DeflateRaw("")), "");

  TProbeStream input(plain);
  TMemoryStream packed;
  const int64_t written = DeflateRawStream(input, packed);
  EXPECT_EQ(written, packed.GetSize());
  packed.SetPosition(0);
  EXPECT_EQ(InflateRaw(packed.ReadAll()), plain);

  const std::string bomb = DeflateRaw(std::string(10 << 20, '\0'));
  EXPECT_EQ(ErrorText([&] { InflateRaw(bomb, 1 << 20); }), "Inflated data too large");
  EXPECT_EQ(ErrorText([&] { InflateRaw(bomb.substr(0, bomb.size() / 2)); }), "Unexpected end of compressed data");
}

} // namespace qx

namespace qx {

// Repetitive data compresses so well that zlib still holds output after the
// source has given its last byte; that tail must not be lost.
TEST(InflateStream, DeliversOutputHeldAfterTheSourceIsDrained) {
  const std::string data(1048577, 'a');
  TMemoryStream packed;
  packed.WriteString(DeflateRaw(data));
  packed.SetPosition(0);
  TInflateStream inflater(packed);
  std::string out;
  char piece[TStream::kCopyPieceSize];
  for (int64_t got; (got = inflater.Read(piece, sizeof piece)) > 0;)
    out.append(piece, static_cast<size_t>(got));
  EXPECT_EQ(out.size(), data.size());
  EXPECT_EQ(out, data);
}

} // namespace qx
