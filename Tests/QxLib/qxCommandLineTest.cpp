#include "QxLib/qxCommandLine.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

std::vector<std::string> Items(const TCommandsStorage& storage, std::string_view name) {
  std::vector<std::string> texts;
  if (const TCommand* command = storage.Command(name))
    for (const TCommandItem& item : command->Items())
      texts.push_back(item.Text());
  return texts;
}

} // namespace

TEST(CommandLineTokens, QuotedPathsKeepTheirBlanks) {
  TCommandsStorage storage;
  storage.Parse(R"("C:\Program Files\Show\show.exe" -exename "D:\My Shows\trip.exe" -slide 3)");
  EXPECT_EQ(Items(storage, ""), std::vector<std::string>{R"(C:\Program Files\Show\show.exe)"});
  EXPECT_EQ(Items(storage, "exename"), std::vector<std::string>{R"(D:\My Shows\trip.exe)"});
  EXPECT_EQ(Items(storage, "slide"), std::vector<std::string>{"3"});
  EXPECT_EQ(storage.CommandItemAsInteger("slide", 0, -1), 3);
}

TEST(CommandLineTokens, QuotesInsideATokenAreDroppedAndTheLettersJoined) {
  EXPECT_EQ(TokenizeCommandLine(R"(ab"cd"ef)"), std::vector<std::string>{"abcdef"});
  EXPECT_EQ(TokenizeCommandLine(R"(-name="a b"c)"), std::vector<std::string>{"-name=a bc"});
  EXPECT_EQ(TokenizeCommandLine(R"("a b"c)"), std::vector<std::string>{"a bc"});
  // An unterminated quote runs to the end of the text.
  EXPECT_EQ(TokenizeCommandLine(R"(x "y z)"), (std::vector<std::string>{"x", "y z"}));
  EXPECT_EQ(TokenizeCommandLine(R"(x "" y)"), (std::vector<std::string>{"x", "", "y"}));
}

TEST(CommandLineTokens, EveryControlCharacterSeparates) {
  EXPECT_EQ(TokenizeCommandLine("  a\tb\r\nc\x01"
                                "d  "),
            (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_TRUE(TokenizeCommandLine(" \t ").empty());
  // Bytes above 127 (UTF-8) belong to tokens.
  EXPECT_EQ(TokenizeCommandLine("\xC3\xA9t\xC3\xA9 x"), (std::vector<std::string>{"\xC3\xA9t\xC3\xA9", "x"}));
}

TEST(CommandLineCommands, NamesAreFoundInAnyCase) {
  TCommandsStorage storage;
  storage.Parse("prog -FileLog out.log -Display 2");
  EXPECT_TRUE(storage.HasCommand("filelog"));
  EXPECT_TRUE(storage.HasCommand("FILELOG"));
  EXPECT_EQ(storage.CommandItem("filelog", 0), "out.log");
  EXPECT_EQ(storage.CommandItemAsInteger("display", 0, 0), 2);
  EXPECT_FALSE(storage.HasCommand("log"));
  EXPECT_EQ(storage.CommandItem("display", 1), std::nullopt);
  EXPECT_EQ(storage.CommandItem("resize", 0), std::nullopt);
}

TEST(CommandLineCommands, TokensAreCaseSensitiveAndSlashWordsAreItems) {
  TCommandsStorage storage;
  storage.Parse("saver.scr /S -startup");
  EXPECT_TRUE(storage.HasToken("/S"));
  EXPECT_FALSE(storage.HasToken("/s"));
  EXPECT_TRUE(storage.HasToken("-startup"));
  EXPECT_FALSE(storage.HasToken("-Startup"));
  EXPECT_EQ(Items(storage, ""), (std::vector<std::string>{"saver.scr", "/S"}));
  EXPECT_TRUE(storage.HasCommand("startup"));
  EXPECT_EQ(storage.Command("startup")->Count(), 0);
}

TEST(CommandLineCommands, RepeatedCommandCollectsAllItemsAndEmptyTokensAreSkipped) {
  TCommandsStorage storage;
  storage.Parse(R"(-a 1 -b 2 -A "" 3)");
  EXPECT_EQ(Items(storage, "a"), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Items(storage, "b"), std::vector<std::string>{"2"});
  // The unnamed command exists even when nothing comes before the first name.
  EXPECT_TRUE(storage.HasCommand(""));
  EXPECT_TRUE(Items(storage, "").empty());
}

TEST(CommandLineCommands, ReparsingForgetsThePreviousLine) {
  TCommandsStorage storage;
  storage.Parse("-log x");
  storage.Parse("-cover");
  EXPECT_FALSE(storage.HasCommand("log"));
  EXPECT_FALSE(storage.HasToken("x"));
  EXPECT_TRUE(storage.HasCommand("cover"));
}

TEST(CommandLineCommands, ManyCommandsShareTheBuckets) {
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += " -cmd" + std::to_string(i) + " " + std::to_string(i * 7);
  TCommandsStorage storage;
  storage.Parse(text);
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(storage.CommandItemAsInteger("CMD" + std::to_string(i), 0, -1), i * 7) << i;
}

TEST(CommandLineItems, IntegersParseOrFallBackToTheDefault) {
  EXPECT_EQ(TCommandItem("42").AsInteger(-1), 42);
  EXPECT_EQ(TCommandItem("-17").AsInteger(0), -17);
  EXPECT_EQ(TCommandItem("+5").AsInteger(0), 5);
  EXPECT_EQ(TCommandItem("$1F").AsInteger(0), 31);
  EXPECT_EQ(TCommandItem("0x10").AsInteger(0), 16);
  EXPECT_EQ(TCommandItem("2147483647").AsInteger(0), 2147483647);
  EXPECT_EQ(TCommandItem("-2147483648").AsInteger(0), INT32_MIN);
  EXPECT_EQ(TCommandItem("2147483648").AsInteger(9), 9);
  EXPECT_EQ(TCommandItem("99999999999999999999999").AsInteger(9), 9);
  EXPECT_EQ(TCommandItem("12abc").AsInteger(9), 9);
  EXPECT_EQ(TCommandItem("").AsInteger(9), 9);
  EXPECT_EQ(TCommandItem("--3").AsInteger(9), 9);
  EXPECT_EQ(TCommandItem("-").AsInteger(9), 9);
  EXPECT_EQ(TCommandItem("$").AsInteger(9), 9);
}

TEST(CommandLineJoin, ArgumentsSurviveJoiningAndTokenising) {
  const std::vector<std::string> arguments{"/opt/show player/vmo", "-filename", "", "My Show.vmo", "-slide", "4"};
  const std::string text = JoinCommandLine(arguments);
  EXPECT_EQ(text, R"("/opt/show player/vmo" -filename "" "My Show.vmo" -slide 4)");
  EXPECT_EQ(TokenizeCommandLine(text), arguments);
}

TEST(CommandLineProcess, InitParsesArgumentsAndFindsTheProgram) {
  std::string program = "/usr/bin/show player";
  std::string name = "-Slide";
  std::string item = "12";
  char* argv[] = {program.data(), name.data(), item.data()};
  InitCommandLine(3, argv);
  EXPECT_EQ(CommandLineText(), R"("/usr/bin/show player" -Slide 12)");
  EXPECT_EQ(CommandLine().CommandItemAsInteger("slide", 0, 0), 12);
  EXPECT_EQ(CommandLine().CommandItem("", 0), "/usr/bin/show player");
  // The path of the running test program, not argv[0].
  EXPECT_NE(ProgramPath().find("qxlib_tests"), std::string::npos);
  InitCommandLine(0, nullptr);
  EXPECT_FALSE(CommandLine().HasCommand("slide"));
}

} // namespace qx
