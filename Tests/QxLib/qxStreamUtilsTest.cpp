#include "QxLib/qxStreamUtils.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "Tests/QxLib/qxTestStreams.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"

#include <gtest/gtest.h>

namespace qx {

using test::Pattern;
using test::TProbeStream;

namespace {

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

} // namespace

TEST(PartialStream, WindowMustLieWithinItsSource) {
  TProbeStream source(Pattern(100));
  EXPECT_NO_THROW(TPartialStream(source, 60, 40));
  EXPECT_NO_THROW(TPartialStream(source, 100, 0));
  EXPECT_EQ(ErrorText([&] { TPartialStream(source, 60, 41); }), "Insufficient Source Size");
  EXPECT_EQ(ErrorText([&] { TPartialStream(source, -1, 10); }), "Insufficient Source Size");
  EXPECT_EQ(ErrorText([&] { TPartialStream(source, 10, -1); }), "Insufficient Source Size");
  EXPECT_EQ(ErrorText([&] { TPartialStream(source, 1, INT64_MAX); }), "Insufficient Source Size");
}

TEST(PartialStream, ReadsStopAtTheWindowsEnd) {
  TProbeStream source(Pattern(100));
  TPartialStream window(source, 10, 50);
  EXPECT_EQ(source.GetPosition(), 10);
  window.SetPosition(46);
  EXPECT_EQ(ReadString(window, 10), Pattern(100).substr(56, 4));
  EXPECT_EQ(window.GetPosition(), 50);
  EXPECT_EQ(ReadString(window, 10), "");
  window.SetPosition(80);
  EXPECT_EQ(ReadString(window, 10), "");

  TPartialStream empty(source, 30, 0);
  EXPECT_EQ(empty.GetSize(), 0);
  EXPECT_EQ(ReadString(empty, 10), "");
}

TEST(PartialStream, SourceMovedBeforeTheWindowLetsNothingThrough) {
  TProbeStream source(Pattern(100));
  TPartialStream later(source, 50, 20);
  TPartialStream earlier(source, 0, 20);
  EXPECT_EQ(later.GetPosition(), -50);
  EXPECT_EQ(ReadString(later, 10), "");
  later.SetPosition(-5);
  EXPECT_EQ(ReadString(later, 10), "");
  EXPECT_EQ(ReadString(earlier, 10), "") << "earlier sits at 45, past its end";
}

TEST(PartialStream, WritesNeverGrowTheWindow) {
  TProbeStream source(std::string(20, '.'));
  TPartialStream window(source, 5, 10);
  EXPECT_EQ(ErrorText([&] { window.SetSize(11); }), "Stream Cannot be resized");
  window.SetPosition(7);
  EXPECT_EQ(window.Write("abcdef", 6), 3);
  EXPECT_EQ(source.Bytes(), "............abc.....");
}

TEST(PartialStream, CopyFromRaisesWhenTheSourceTakesLess) {
  TProbeStream target(std::string(100, '.'));
  target.writeLimit = 50;
  TPartialStream window(target, 40, 60);
  TProbeStream input(Pattern(30));
  EXPECT_EQ(window.CopyFrom(input, 10), 10);
  EXPECT_THROW(window.CopyFrom(input, 20), EStreamWriteError);
}

TEST(PartialStream, ReadsInPiecesOfTheRequestedSizeWithACallbackAfterEach) {
  TProbeStream source(Pattern(200000));
  TPartialStream window(source, 0, 100000);
  int calls = 0;
  window.AttachCallback(32768, [&] { return ++calls, true; });
  EXPECT_EQ(window.Read(std::string(100000, '\0').data(), 100000), 100000);
  EXPECT_EQ(source.reads, (std::vector<int64_t>{32768, 32768, 32768, 1696}));
  EXPECT_EQ(calls, 4);

  window.AttachCallback(1000, nullptr);
  EXPECT_EQ(window.PieceSize(), TPartialStream::kDefaultPieceSize);
  window.AttachCallback(0, [] { return true; });
  EXPECT_EQ(window.PieceSize(), 1);
}

TEST(PartialStream, CallbackThatSaysStopDoesNotCutReads) {
  SetLoadCallbackMode(lcmCancel);
  TProbeStream source(Pattern(70000));
  TPartialStream window(source, 100, 69900);
  window.AttachLoadCallback(32768);
  const std::string bytes = ReadString(window, 70000);
  SetLoadCallbackMode(lcmNone);
  EXPECT_EQ(bytes, Pattern(70000).substr(100));
}

TEST(PartialStream, OwnsOrBorrowsItsSource) {
  bool destroyed = false;
  auto owned = std::make_unique<TProbeStream>(Pattern(10));
  owned->destroyed = &destroyed;
  {
    TPartialStream window(std::move(owned), 2, 3);
    EXPECT_EQ(ReadString(window, 5), Pattern(5).substr(2));
  }
  EXPECT_TRUE(destroyed);

  destroyed = false;
  TProbeStream borrowed(Pattern(10));
  borrowed.destroyed = &destroyed;
  { TPartialStream window(borrowed, 0, 10); }
  EXPECT_FALSE(destroyed);
  borrowed.destroyed = nullptr;
}

TEST(CryptStream, EqualKeyBytesOneKeyPeriodApart) {
  const std::string key = "K3y!";
  TProbeStream zeros(std::string(64, '\0'));
  TCryptStream crypt(zeros, key);
  for (int64_t p : {0, 3, 17}) {
    crypt.SetPosition(p);
    const uint8_t near = crypt.ReadByte();
    crypt.SetPosition(p + 4);
    EXPECT_EQ(crypt.ReadByte(), near);
    EXPECT_EQ(near, static_cast<uint8_t>(key[p % 4]));
  }
}

TEST(CryptStream, ReadingInPiecesEqualsReadingWhole) {
  const std::string plain = Pattern(1000);
  TProbeStream scrambled;
  {
    TCryptStream writer(scrambled, "secret");
    std::string caller = plain;
    writer.WriteString(caller);
    EXPECT_EQ(caller, plain);
  }
  EXPECT_NE(scrambled.Bytes(), plain);

  TCryptStream reader(scrambled, "secret");
  reader.SetPosition(0);
  const std::string whole = ReadString(reader, 1000);
  reader.SetPosition(0);
  const std::string first = ReadString(reader, 333);
  EXPECT_EQ(first + ReadString(reader, 1000), whole);
  EXPECT_EQ(whole, plain);
}

TEST(CryptStream, PositionsCountFromTheWindowStart) {
  TProbeStream source(std::string(5, 'x') + std::string(3, '\0'));
  TCryptStream crypt(std::make_unique<TPartialStream>(source, 5, 3), "abc");
  EXPECT_EQ(crypt.GetSize(), 3);
  EXPECT_EQ(ReadString(crypt, 3), "abc");
}

TEST(CryptStream, EmptyKeyIsRefused) {
  const test::TMutedDebugOutput muted;
  TProbeStream source;
  EXPECT_THROW(TCryptStream(source, ""), EAssertionFailed);
}

} // namespace qx
