// Programs run without a shell: their exit code, both output streams apart
// or joined, an end by a signal, a program that cannot start, and output
// larger than a pipe holds on both streams at once.
#include "QxLib/qxProcess.h"

#include <gtest/gtest.h>

#include <thread>

namespace qx {
namespace {

TEST(RunProgram, KeepsTheExitCodeAndBothStreamsApart) {
  const TProgramResult run = RunProgram("sh", {"-c", "echo out; echo err >&2; exit 3"});
  EXPECT_EQ(run.ExitCode, 3);
  EXPECT_FALSE(run.Signalled);
  EXPECT_EQ(run.Out, "out\n");
  EXPECT_EQ(run.Err, "err\n");
  EXPECT_EQ(run.StartError, "");
}

TEST(RunProgram, JoinsTheErrorsToTheOutputWhenAsked) {
  const TProgramResult run = RunProgram("sh", {"-c", "echo one; echo two >&2; echo three"}, TProgramOutput::Joined);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Out, "one\ntwo\nthree\n");
  EXPECT_EQ(run.Err, "");
}

TEST(RunProgram, ArgumentsReachTheProgramUnquoted) {
  const TProgramResult run = RunProgram("printf", {"%s|", "two words", "it's", "$HOME"});
  EXPECT_EQ(run.Out, "two words|it's|$HOME|");
}

TEST(RunProgram, AProgramEndedByASignalHasNoExitCode) {
  const TProgramResult run = RunProgram("sh", {"-c", "kill -TERM $$"});
  EXPECT_TRUE(run.Signalled);
  EXPECT_EQ(run.ExitCode, -1);
}

TEST(RunProgram, AMissingProgramSaysWhyItDidNotStart) {
  const TProgramResult run = RunProgram("/no/such/program", {});
  EXPECT_EQ(run.ExitCode, -1);
  EXPECT_FALSE(run.StartError.empty());
}

TEST(RunProgram, LargeOutputOnBothStreamsDoesNotStall) {
  const TProgramResult run =
      RunProgram("sh", {"-c", "head -c 300000 /dev/zero; head -c 200000 /dev/zero >&2; head -c 300000 /dev/zero"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Out.size(), 600000u);
  EXPECT_EQ(run.Err.size(), 200000u);
}

TEST(CurrentProcess, ThreadsHaveIdsOfTheirOwn) {
  EXPECT_GT(CurrentProcessId(), 0);
  const int64_t here = CurrentThreadId();
  int64_t there = here;
  std::thread([&there] { there = CurrentThreadId(); }).join();
  EXPECT_NE(there, here);
  EXPECT_GT(PeakResidentBytes(), 0);
}

} // namespace
} // namespace qx
