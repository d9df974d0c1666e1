// vmopack keypoints run on a loose project file written by the test.
#include "Tests/TestSupport/qxProgramRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TRunResult {
  int exitCode = -1;
  std::string out;
};

TRunResult RunVmopack(const std::string& arguments) {
  const qx::test::TProgramRun run = qx::test::RunProgram(VMOPACK_PATH, arguments + " 2>&1");
  return {run.ExitCode, run.Out};
}

std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t'))
      fields.push_back(cell);
    rows.push_back(fields);
  }
  return rows;
}

// Two slides: 0 ... 4000 and 4000 ... 10000, without transitions. The second
// slide's picture sits in a group and zooms from 100 % to 200 % with depth
// correction while it turns by 90 degrees.
constexpr const char* kProject = "[Main]\r\n"
                                 "opt_slidescount=2\r\n"
                                 "opt_synchpos1=4000\r\n"
                                 "opt_synchpos2=10000\r\n"
                                 "opt_repeat=stop\r\n"
                                 "opt_fx_enable=0\r\n"
                                 "\r\n"
                                 "[Slide1]\r\n"
                                 "object Pic:image\r\n"
                                 "end\r\n"
                                 "\r\n"
                                 "[Slide2]\r\n"
                                 "object Group:box\r\n"
                                 "  object Pic:image\r\n"
                                 "    PerspectiveCorrection=1\r\n"
                                 "    object K1:keypoint\r\n"
                                 "      Time=0\r\n"
                                 "      Origin=SlideBegin\r\n"
                                 "      Opacity=50\r\n"
                                 "    end\r\n"
                                 "    object K2:keypoint\r\n"
                                 "      Time=0\r\n"
                                 "      Origin=NextEffectBegin\r\n"
                                 "      ScaleX=200\r\n"
                                 "      ScaleY=200\r\n"
                                 "      Angle=90\r\n"
                                 "      Position=30,-6\r\n"
                                 "      CenterPos=100,50\r\n"
                                 "      ZPos=12\r\n"
                                 "      Blur=4\r\n"
                                 "    end\r\n"
                                 "  end\r\n"
                                 "end\r\n";

class VmopackKeypoints : public testing::Test {
protected:
  void SetUp() override {
    // One folder per test: ctest runs the tests of this fixture in parallel.
    m_folder = std::filesystem::path(VMO_BINARY_DIR) / "vmopack_keypoints_test" /
               testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(m_folder);
    m_project = (m_folder / "Project.vmo").string();
    std::ofstream(m_project, std::ios::binary) << kProject;
  }

  std::filesystem::path m_folder;
  std::string m_project;
};

} // namespace

TEST_F(VmopackKeypoints, PrintsTheValuesOfANestedObjectAtEachTime) {
  const TRunResult result = RunVmopack("keypoints " + m_project + " 2 Group/Pic --at 0,7000,10000,12000.5");
  ASSERT_EQ(result.exitCode, 0) << result.out;
  const auto rows = Rows(result.out);
  ASSERT_EQ(rows.size(), 4u) << result.out;
  for (const auto& row : rows)
    ASSERT_EQ(row.size(), 13u) << result.out;

  // Before the first key point: its values.
  EXPECT_EQ(rows[0], (std::vector<std::string>{"0", "50", "0", "0", "0", "100", "100", "0", "0", "0", "0", "0", "0"}));
  // Half way: opacity, angle, centre and blur linear; zoom and pan corrected
  // for depth (a third of the way).
  EXPECT_EQ(rows[1][0], "7000");
  EXPECT_EQ(rows[1][1], "75");
  EXPECT_EQ(rows[1][2], "45");
  EXPECT_NEAR(std::stod(rows[1][5]), 133.333, 1e-3);
  EXPECT_NEAR(std::stod(rows[1][7]), 10, 1e-4);
  EXPECT_NEAR(std::stod(rows[1][9]), 4, 1e-4);
  EXPECT_EQ(rows[1][10], "50");
  EXPECT_EQ(rows[1][12], "2");
  // At and after the last key point: its values.
  EXPECT_EQ(rows[2], (std::vector<std::string>{"10000", "100", "90", "0", "0", "200", "200", "30", "-6", "12", "100",
                                               "50", "4"}));
  EXPECT_EQ(rows[3][0], "12000.5");
  EXPECT_EQ(rows[3][5], "200");
}

TEST_F(VmopackKeypoints, RepeatedPlayPositionsShiftTheAnchors) {
  // Position 4 is the second slide of the first repetition: 14000 ... 20000.
  const TRunResult result = RunVmopack("keypoints " + m_project + " 4 group/pic --at 17000");
  ASSERT_EQ(result.exitCode, 0) << result.out;
  const auto rows = Rows(result.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][2], "45");
}

TEST_F(VmopackKeypoints, RejectsBadArgumentsAndUnknownObjects) {
  EXPECT_EQ(RunVmopack("keypoints " + m_project + " 2 Group/Pic").exitCode, 1);
  EXPECT_EQ(RunVmopack("keypoints " + m_project + " 0 Group/Pic --at 1").exitCode, 1);
  EXPECT_EQ(RunVmopack("keypoints " + m_project + " 2 Group/Pic --at 1,,2").exitCode, 1);

  const TRunResult missing = RunVmopack("keypoints " + m_project + " 2 Group/K1 --at 1");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.out.find("no object \"Group/K1\""), std::string::npos) << missing.out;

  const TRunResult noShow = RunVmopack("keypoints " + (m_folder / "none.vmo").string() + " 1 Pic --at 1");
  EXPECT_EQ(noShow.exitCode, 1);
}
