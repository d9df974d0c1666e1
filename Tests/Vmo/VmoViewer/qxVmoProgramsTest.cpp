// Program texts of actions: the split at commas outside quotes, program and
// parameters, the prohibited commands, addresses, and starting programs.
#include "Vmo/VmoViewer/qxVmoPrograms.h"

#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace qx {
namespace {

TEST(Programs, CommasInsideQuotesStayInTheirPart) {
  EXPECT_EQ(SplitProgramList(" a.exe x ,  \"b, c.exe\" \"y,z\" ,, "),
            (std::vector<std::string>{"a.exe x", "\"b, c.exe\" \"y,z\""}));
  EXPECT_EQ(SplitProgramList("one"), std::vector<std::string>{"one"});
  EXPECT_TRUE(SplitProgramList("  ").empty());
}

TEST(Programs, ProgramAndParameters) {
  const TProgramCall quoted = SplitProgramCall("\"C:\\My Shows\\run.exe\"   -a \"b c\" ");
  EXPECT_EQ(quoted.Program, "C:\\My Shows\\run.exe");
  EXPECT_EQ(quoted.Parameters, "-a \"b c\"");
  const TProgramCall plain = SplitProgramCall("viewer  photo.jpg");
  EXPECT_EQ(plain.Program, "viewer");
  EXPECT_EQ(plain.Parameters, "photo.jpg");
  EXPECT_EQ(SplitProgramCall("\"open").Program, "open");
}

TEST(Programs, ProhibitedCommandsInAnyPartAnyCaseAnyFolder) {
  EXPECT_TRUE(ContainsProhibitedCommand(SplitProgramList("notepad a.txt, CMD /c del x")));
  EXPECT_TRUE(ContainsProhibitedCommand(SplitProgramList("\"C:\\Windows\\regedit.exe\"")));
  EXPECT_TRUE(ContainsProhibitedCommand(SplitProgramList("> out.txt")));
  EXPECT_TRUE(IsProhibitedProgram("/usr/bin/FTP"));
  EXPECT_FALSE(ContainsProhibitedCommand(SplitProgramList("notepad \"cmd, del\"")));
  EXPECT_FALSE(IsProhibitedProgram("commander"));
  EXPECT_FALSE(IsProhibitedProgram("delta.exe"));
}

TEST(Programs, AddressesGetTheirScheme) {
  EXPECT_EQ(WebAddress("example.org"), "http://example.org");
  EXPECT_EQ(WebAddress("Http://example.org"), "Http://example.org");
  EXPECT_EQ(WebAddress("https://example.org"), "https://example.org");
  EXPECT_EQ(WebAddress("httpx.org"), "http://httpx.org");
  EXPECT_EQ(MailAddress("a@example.org"), "mailto:a@example.org");
  EXPECT_EQ(MailAddress("MAILTO:a@example.org"), "MAILTO:a@example.org");
}

TEST(Programs, AProgramNotFoundIsTriedInThePlayersFolder) {
  test::TScratchFolder folder;
  const std::string marker = folder.Path() + "ran";
  const std::string script = folder.Write("make-marker.sh", "#!/bin/sh\ntouch \"$1\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  std::string error;
  const TStartResult result =
      StartProgramCall({"/no/such/folder/make-marker.sh", "\"" + marker + "\""}, folder.Path(), error);
  ASSERT_EQ(result, TStartResult::Started) << error;
  for (int i = 0; i < 500 && !std::filesystem::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_EQ(StartProgramCall({"no-such-program-anywhere", ""}, folder.Path(), error), TStartResult::NotFound);
}

} // namespace
} // namespace qx
