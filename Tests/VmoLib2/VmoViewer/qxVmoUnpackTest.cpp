#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <zlib.h>

namespace qx {
namespace {

using test::TScratchFolder;
using test::TTestEntry;
using test::TTestPackage;

const std::string kPicture = std::string("picture bytes \0\x01\x02\xFF", 18) + std::string(100, 'p');

TTestPackage ThreeMethods() {
  TTestPackage package;
  package.prefix = "MZ-executable-stand-in";
  package.entries = {{"Project.vmo", kVmoDeflated, "[Main]\r\nVmoVersion=5.6\r\n"},
                     {"C:\\show\\pic.bmp", kVmoScrambled, kPicture},
                     {"ExeGUID", kVmoStored, "guid-bytes"}};
  return package;
}

std::string ReadEntry(const TVmoUnpack& unpack, const std::string& name) {
  std::unique_ptr<TStream> stream = unpack.OpenEntryByName(name);
  if (!stream)
    return "<none>";
  return stream->ReadAll();
}

TEST(VmoUnpack, ReadsEveryMethodInBothTrailerForms) {
  for (const bool older : {false, true}) {
    TScratchFolder folder;
    TTestPackage package = ThreeMethods();
    package.older = older;
    TVmoUnpack unpack(folder.Write("show", package.Build()));
    ASSERT_TRUE(unpack.IsOpen()) << unpack.ErrorText();
    EXPECT_EQ(unpack.OlderTrailer(), older);
    EXPECT_EQ(unpack.Version(), "5.6");
    EXPECT_EQ(ReadEntry(unpack, "Project.vmo"), "[Main]\r\nVmoVersion=5.6\r\n");
    EXPECT_EQ(ReadEntry(unpack, "c:\\SHOW\\PIC.bmp"), kPicture) << "names ignore case";
    EXPECT_EQ(ReadEntry(unpack, "ExeGUID"), "guid-bytes");
    EXPECT_EQ(unpack.OpenEntryByName("missing"), nullptr);
  }
}

TEST(VmoUnpack, DeflatedEntriesInflateWhole) {
  // Sizes around the points where the inflater's output pieces and its
  // input blocks end together.
  TScratchFolder folder;
  TTestPackage package;
  for (const size_t size : {size_t(0), size_t(1), size_t(65536), size_t(1048575), size_t(1048576), size_t(1048577)})
    package.entries.push_back({"entry" + std::to_string(size), kVmoDeflated, std::string(size, ';')});
  TVmoUnpack unpack(folder.Write("show", package.Build()));
  ASSERT_TRUE(unpack.IsOpen());
  for (const TTestEntry& entry : package.entries) {
    std::unique_ptr<TStream> stream = unpack.OpenEntryByName(entry.name);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetSize(), static_cast<int64_t>(entry.bytes.size())) << entry.name;
  }
}

TEST(VmoUnpack, ScrambledEntryReadsTheSameInPiecesAsWhole) {
  TScratchFolder folder;
  TVmoUnpack unpack(folder.Write("show", ThreeMethods().Build()));
  std::unique_ptr<TStream> stream = unpack.OpenEntryByName("C:\\show\\pic.bmp");
  ASSERT_NE(stream, nullptr);
  std::string pieces;
  char buffer[7];
  for (int64_t got; (got = stream->Read(buffer, sizeof buffer)) > 0;)
    pieces.append(buffer, static_cast<size_t>(got));
  EXPECT_EQ(pieces, kPicture);
  stream->SetPosition(40);
  EXPECT_EQ(stream->ReadAll(), kPicture.substr(40));
}

TEST(VmoUnpack, MovedTailShiftsEveryEntry) {
  for (const int64_t k : {1, 7, 4096}) {
    TScratchFolder folder;
    int64_t tablePosition = 0;
    const std::string original = ThreeMethods().Build(&tablePosition);
    const std::string moved = std::string(static_cast<size_t>(k), 'x') + original;
    TVmoUnpack reference(folder.Write("original", original));
    TVmoUnpack unpack(folder.Write("moved", moved));
    ASSERT_TRUE(unpack.IsOpen()) << unpack.ErrorText();
    EXPECT_EQ(unpack.Displacement(), k);
    EXPECT_EQ(unpack.TablePosition(), tablePosition + k);
    EXPECT_EQ(unpack.BaseShift(), k);
    for (const char* name : {"Project.vmo", "C:\\show\\pic.bmp", "ExeGUID"}) {
      TVmoEntryInfo before;
      TVmoEntryInfo after;
      ASSERT_TRUE(reference.FindEntry(name, before));
      ASSERT_TRUE(unpack.FindEntry(name, after));
      EXPECT_EQ(after.position, before.position + k) << name;
      EXPECT_EQ(ReadEntry(unpack, name), ReadEntry(reference, name)) << name;
    }
  }
}

TEST(VmoUnpack, RecordedTablePositionDecidesTheBaseShift) {
  struct TCase {
    std::optional<std::string> strucpos;
    bool omit;
    bool opens;
    int64_t shift;
  };
  TScratchFolder folder;
  int64_t position = 0;
  ThreeMethods().Build(&position);
  const TCase cases[] = {
      {std::nullopt, false, true, 0},                  // equal to the table position
      {std::nullopt, true, true, 0},                   // absent
      {std::to_string(position - 5), false, true, 5},  // recorded earlier: entries moved
      {"abc", false, false, 0},                        // unparsable
      {std::to_string(position + 1), false, false, 0}, // beyond the table
      {"-9223372036854775808", false, false, 0},       // the shift would overflow
  };
  for (const TCase& c : cases) {
    TTestPackage package = ThreeMethods();
    package.strucpos = c.strucpos;
    package.omitStrucpos = c.omit;
    TVmoUnpack unpack(folder.Write("show", package.Build()));
    EXPECT_EQ(unpack.IsOpen(), c.opens) << c.strucpos.value_or("-");
    if (c.opens) {
      EXPECT_EQ(unpack.BaseShift(), c.shift);
    } else {
      EXPECT_EQ(unpack.ErrorText(), kErrShowDamaged);
    }
  }
}

TEST(VmoUnpack, EntriesABaseShiftCannotMoveCountAsMissing) {
  // A recorded position far below zero still leaves a shift that fits (here
  // INT64_MAX - 10), but moving the entries, which lie beyond the 22-byte
  // prefix, by it would not.
  TScratchFolder folder;
  TTestPackage package = ThreeMethods();
  int64_t position = 0;
  package.Build(&position);
  package.strucpos = std::to_string(position - INT64_MAX + 10);
  TVmoUnpack unpack(folder.Write("show", package.Build()));
  ASSERT_TRUE(unpack.IsOpen());
  EXPECT_EQ(unpack.BaseShift(), INT64_MAX - 10);
  TVmoEntryInfo info;
  for (const TTestEntry& entry : package.entries)
    EXPECT_FALSE(unpack.FindEntry(entry.name, info)) << entry.name;
  EXPECT_EQ(unpack.OpenEntryByName(package.entries.front().name), nullptr);
}

TEST(VmoUnpack, BracketsInNamesAreLookedUpAsAngleBrackets) {
  TScratchFolder folder;
  TTestPackage package;
  package.entries = {{"C:\\pics<1>\\a<b>.bmp", kVmoStored, "angled"}};
  TVmoUnpack unpack(folder.Write("show", package.Build()));
  ASSERT_TRUE(unpack.IsOpen());
  EXPECT_EQ(ReadEntry(unpack, "C:\\pics[1]\\a[b].bmp"), "angled");
  EXPECT_EQ(ReadEntry(unpack, "C:\\pics<1>\\a<b>.bmp"), "angled");
}

TEST(VmoUnpack, PositionsAndSizesOutside32BitsCountAsMissing) {
  TScratchFolder folder;
  TTestPackage package = ThreeMethods();
  package.extraTable = "[big]\r\n_ps=2147483648\r\n_sz=1\r\n"
                       "[negative]\r\n_ps=-5\r\n_sz=1\r\n"
                       "[nosize]\r\n_ps=0\r\n"
                       "[hexa]\r\n_ps=$10\r\n_sz=1\r\n"
                       "[hugesize]\r\n_ps=0\r\n_sz=99999999999\r\n"
                       "[edge]\r\n_ps=2147483647\r\n_sz=0\r\n"
                       "[methodbyte]\r\n_ps=0\r\n_sz=2\r\n_pm=256\r\n";
  TVmoUnpack unpack(folder.Write("show", package.Build()));
  ASSERT_TRUE(unpack.IsOpen());
  TVmoEntryInfo info;
  for (const char* name : {"big", "negative", "nosize", "hexa", "hugesize"})
    EXPECT_FALSE(unpack.FindEntry(name, info)) << name;
  ASSERT_TRUE(unpack.FindEntry("edge", info));
  EXPECT_EQ(info.position, 2147483647);
  ASSERT_TRUE(unpack.FindEntry("methodbyte", info));
  EXPECT_EQ(info.method, kVmoStored) << "the method is kept in one byte";
  // An entry whose bytes lie beyond the host cannot be opened.
  EXPECT_THROW(unpack.OpenEntryByName("edge"), EStreamError);
}

TEST(VmoUnpack, OpenFailuresCarryTheirTexts) {
  TScratchFolder folder;
  TVmoUnpack missing(folder.Path() + "no-such-file");
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(missing.ErrorText(), kErrShowNotFound);

  TVmoUnpack empty(folder.Write("empty", ""));
  EXPECT_FALSE(empty.IsOpen());
  EXPECT_EQ(empty.ErrorText(), "") << "no marker: the caller words the error";

  TVmoUnpack plain(folder.Write("plain", std::string(5000, 'a')));
  EXPECT_FALSE(plain.IsOpen());
  EXPECT_EQ(plain.ErrorText(), "");

  // A bare marker with no room for the table position.
  TVmoUnpack bare(folder.Write("bare", "ab.dne"));
  EXPECT_EQ(bare.ErrorText(), kErrShowDamaged);

  // A table position beyond the file, and one before its start.
  for (const int64_t position : {int64_t(1) << 40, int64_t(-3), INT64_MIN}) {
    std::string bytes = "entries";
    test::AppendInt64(bytes, position);
    bytes += kVmoTrailerMarker;
    TVmoUnpack beyond(folder.Write("beyond", bytes));
    EXPECT_EQ(beyond.ErrorText(), kErrShowDamaged) << position;
  }

  // A self position that makes the displacement overflow.
  std::string bytes = ThreeMethods().Build();
  bytes.resize(bytes.size() - 8);
  test::AppendInt64(bytes, INT64_MIN);
  TVmoUnpack overflow(folder.Write("overflow", bytes));
  EXPECT_EQ(overflow.ErrorText(), kErrShowDamaged);
}

// Raw deflate of `total` semicolons, made a mebibyte at a time.
std::string DeflatedSemicolons(int64_t total) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string input(1 << 20, ';');
  std::string out;
  std::string buffer(1 << 16, '\0');
  for (int64_t left = total; left >= 0; left -= static_cast<int64_t>(input.size())) {
    const int flush = left <= static_cast<int64_t>(input.size()) ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = reinterpret_cast<Bytef*>(input.data());
    z.avail_in = static_cast<uInt>(std::min<int64_t>(left, static_cast<int64_t>(input.size())));
    do {
      z.next_out = reinterpret_cast<Bytef*>(buffer.data());
      z.avail_out = static_cast<uInt>(buffer.size());
      deflate(&z, flush);
      out.append(buffer.data(), buffer.size() - z.avail_out);
    } while (z.avail_out == 0);
    if (flush == Z_FINISH)
      break;
  }
  deflateEnd(&z);
  return out;
}

TEST(VmoUnpack, TableThatInflatesBeyondTheLimitIsDamaged) {
  TScratchFolder folder;
  // About a mebibyte of deflate that expands past the limit.
  TTestPackage package;
  package.deflatedTable = DeflatedSemicolons(TVmoUnpack::kMaxTableSize + 12345);
  TVmoUnpack unpack(folder.Write("bomb", package.Build()));
  EXPECT_FALSE(unpack.IsOpen());
  EXPECT_EQ(unpack.ErrorText(), kErrShowDamaged);
}

// Opens a damaged package and reads every entry; the only acceptable
// outcomes are an error text, an exception of the system, or success.
void OpenAndReadEverything(const std::string& path) {
  try {
    TVmoUnpack unpack(path);
    if (!unpack.IsOpen())
      return;
    for (const char* name : {"Project.vmo", "C:\\show\\pic.bmp", "ExeGUID"}) {
      try {
        if (auto stream = unpack.OpenEntryByName(name))
          stream->ReadAll();
      } catch (const EQxError&) {
      }
    }
  } catch (const EQxError&) {
  }
}

TEST(VmoUnpack, DamagedPackagesNeverCrash) {
  TScratchFolder folder;
  int64_t tablePosition = 0;
  const std::string bytes = ThreeMethods().Build(&tablePosition);
  for (size_t cut = bytes.size() - 64; cut < bytes.size(); ++cut)
    OpenAndReadEverything(folder.Write("cut", bytes.substr(0, cut)));

  std::mt19937 random(20261209);
  for (int i = 0; i < 200; ++i) {
    const size_t cut = random() % bytes.size();
    OpenAndReadEverything(folder.Write("cut", bytes.substr(0, cut)));
  }
  // Flipped bytes in the deflated table.
  for (int i = 0; i < 300; ++i) {
    std::string damaged = bytes;
    const size_t tableSize = bytes.size() - 20 - static_cast<size_t>(tablePosition);
    const size_t at = static_cast<size_t>(tablePosition) + random() % tableSize;
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
    OpenAndReadEverything(folder.Write("flipped", damaged));
  }
}

TEST(VmoUnpack, ParseDecimalAcceptsOnlyWholeNumbersInRange) {
  int64_t value = 0;
  EXPECT_TRUE(ParseDecimal("2147483647", 0, INT32_MAX, value));
  EXPECT_EQ(value, 2147483647);
  EXPECT_TRUE(ParseDecimal("+12", 0, 100, value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(ParseDecimal("-7", -10, 10, value));
  EXPECT_EQ(value, -7);
  for (const char* bad : {"", "+", "-", "2147483648", "12a", " 12", "1e3", "0x10", "99999999999999999999"})
    EXPECT_FALSE(ParseDecimal(bad, 0, INT32_MAX, value)) << bad;
}

} // namespace
} // namespace qx
