// Runs "vmopack timeline" on loose project files and checks its lines.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace qx {
namespace {

using test::ReadText;
using test::TProgramRun;
using test::TScratchFolder;

TProgramRun Timeline(const std::string& args) { return test::RunProgram(VMOPACK_PATH, "timeline " + args); }

constexpr std::string_view kProject = "[Main]\r\n"
                                      "opt_slidescount=3\r\n"
                                      "opt_synchpos1=2500\r\n"
                                      "opt_synchpos2=2500\r\n"
                                      "opt_synchpos3=7333\r\n"
                                      "opt_repeat=close\r\n"
                                      "opt_fx_enable=1\r\n"
                                      "opt_fx_time=1000\r\n"
                                      "opt_fx_eff3=1\r\n"
                                      "[Slide1]\r\n"
                                      "slideid=Intro\r\n"
                                      "UsePersonal=1\r\n"
                                      "Pers_EndAction=loop\r\n"
                                      "[Slide2]\r\n"
                                      "picture=C:\\pics\\Beach.jpg\r\n"
                                      "UsePersonal=1\r\n"
                                      "Pers_RunApp=1\r\n"
                                      "RunAppFN=C:\\tools\\viewer.exe\r\n"
                                      "Pers_Effect=1\r\n"
                                      "Effect_Class=0\r\n"
                                      "EffectTime=800\r\n"
                                      "[Slide3]\r\n"
                                      "UsePersonal=1\r\n"
                                      "Pers_Effect=1\r\n"
                                      "Effect_Class=16\r\n"
                                      "Effect_Type=3\r\n"
                                      "EffectTime=1500\r\n";

TEST(VmopackTimeline, PrintsOneLinePerSlideAndTheTotal) {
  const TScratchFolder folder;
  const std::string project = folder.Write("show.vmo", std::string(kProject));
  const TProgramRun run = Timeline("'" + project + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "0\tSlide1\tIntro\t0\t2500\t1000\t0\t2500\tloop\t1500\t-\t2\t1\t1000\n"
                     "1\tSlide2\tBeach\t2500\t2500\t0\t1500\t4000\tnone\t0\t"
                     "C:\\tools\\viewer.exe\t0\t0\t0\n"
                     "2\tSlide3\t\t2500\t7333\t1500\t0\t7333\tnone\t0\t-\t16\t3\t1500\n"
                     "total\t7333\tclose\n");
}

TEST(VmopackTimeline, DeterministicRunsPrintTheSameChoices) {
  const TScratchFolder folder;
  std::string text = "[Main]\nopt_slidescount=12\nopt_fx_enable=1\nopt_fx_time=700\n"
                     "opt_fx_eff5=12\nopt_fx_eff12=1234\nopt_fx_eff14=12345678\nopt_fx_eff17=12\n";
  for (int i = 1; i <= 12; ++i)
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * 1000) + "\n";
  const std::string project = folder.Write("mix.vmo", text);
  const TProgramRun first = Timeline("--deterministic '" + project + "'");
  const TProgramRun second = Timeline("'" + project + "' --deterministic");
  ASSERT_EQ(first.ExitCode, 0) << first.Err;
  EXPECT_EQ(first.Out, second.Out);
  EXPECT_NE(first.Out.find("total\t12000\trepeat\n"), std::string::npos) << first.Out;
}

TEST(VmopackTimeline, ReportsBadProjectsAndUsage) {
  const TScratchFolder folder;
  const std::string project = folder.Write("bad.vmo", "[Main]\nopt_slidescount=2\nopt_synchpos1=5\nopt_synchpos2=1\n");
  const TProgramRun bad = Timeline("'" + project + "'");
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_NE(bad.Err.find("Incorrect time"), std::string::npos) << bad.Err;

  const TProgramRun usage = Timeline("");
  EXPECT_EQ(usage.ExitCode, 1);
  EXPECT_NE(usage.Err.find("timeline SHOW [--deterministic]"), std::string::npos) << usage.Err;
}

} // namespace
} // namespace qx
