#include "VmoLib2/VmoClasses/qxVmoSlideSize.h"

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qx {
namespace {

std::unique_ptr<TIniStorage> MainOf(const std::string& lines) {
  auto storage = std::make_unique<TIniStorage>();
  storage->LoadFromString("[main]\n" + lines);
  return storage;
}

double AspectOf(const std::string& lines, TSize output) {
  const auto storage = MainOf(lines);
  return ShowAspect(*storage->FindSection("main"), output);
}

TSlideSizeParams FourByThree(TSize output, TSlideFitMode fit) {
  TSlideSizeParams params;
  params.Output = output;
  params.Fit = fit;
  params.Aspect = 4.0 / 3.0;
  return params;
}

TEST(ShowAspect, CurrentProjectsTakeTheDesignSize) {
  EXPECT_DOUBLE_EQ(AspectOf("opt_scr_width=1600\nopt_scr_height=900\n", {800, 800}), 16.0 / 9.0);
  EXPECT_DOUBLE_EQ(AspectOf("MinorVersion=14\nopt_scr_width=800\nopt_scr_height=600\nopt_scr_ratio=2\n", {1, 1}),
                   4.0 / 3.0)
      << "the ratio key is for old projects only";
}

TEST(ShowAspect, CurrentProjectWithoutDesignHeightIsRefused) {
  const test::TMutedDebugOutput muted;
  try {
    AspectOf("opt_scr_width=800\n", {1920, 1080});
    ADD_FAILURE() << "no exception";
  } catch (const EAssertionFailed& error) {
    EXPECT_NE(std::string(error.what()).find("ZeroSize of Presentation!"), std::string::npos) << error.what();
  }
  EXPECT_THROW(AspectOf("opt_scr_width=800\nopt_scr_height=-5\n", {1920, 1080}), EAssertionFailed);
}

TEST(ShowAspect, OldProjectsFollowTheOutputOrTheirRatio) {
  EXPECT_DOUBLE_EQ(AspectOf("MinorVersion=12\n", {1000, 500}), 2.0);
  EXPECT_DOUBLE_EQ(AspectOf("MinorVersion=12\n", {1000, 0}), kDefaultAspect);
  EXPECT_DOUBLE_EQ(AspectOf("MinorVersion=12\nopt_scr_ratio=1.25\n", {1000, 500}), 1.25);
  EXPECT_DOUBLE_EQ(AspectOf("MinorVersion=12\nopt_scr_height=0\n", {1000, 500}), 2.0)
      << "old projects need no design size";
}

TEST(SlideSize, FourByThreeInFullHd) {
  EXPECT_EQ(ComputeSlideSize(FourByThree({1920, 1080}, TSlideFitMode::FitInside)), (TSize{1440, 1080}));
  EXPECT_EQ(ComputeSlideSize(FourByThree({1920, 1080}, TSlideFitMode::Cover)), (TSize{1920, 1440}));
  EXPECT_EQ(ComputeSlideSize(FourByThree({1920, 1080}, TSlideFitMode::Stretch)), (TSize{1920, 1080}));
}

TEST(SlideSize, TallOutputLetterboxesAboveAndBelow) {
  EXPECT_EQ(ComputeSlideSize(FourByThree({1000, 1000}, TSlideFitMode::FitInside)), (TSize{1000, 750}));
  EXPECT_EQ(ComputeSlideSize(FourByThree({1000, 1000}, TSlideFitMode::Cover)), (TSize{1333, 1000}))
      << "an odd width wider than the output stays odd";
}

TEST(SlideSize, OddSidesBelowTheOutputAreMadeEven) {
  // 1081 × 4 / 3 = 1441.33: the width 1441 is odd and narrower than the
  // output, the height 1081 is odd but fills the output.
  EXPECT_EQ(ComputeSlideSize(FourByThree({1920, 1081}, TSlideFitMode::FitInside)), (TSize{1442, 1081}));
}

TEST(SlideSize, ZoomScalesTheFittedSlide) {
  TSlideSizeParams params = FourByThree({1920, 1080}, TSlideFitMode::FitInside);
  params.ZoomX = 50;
  params.ZoomY = 50;
  EXPECT_EQ(ComputeSlideSize(params), (TSize{1440, 1080})) << "the slide is fitted to the zoomed-out output";
  params.ZoomX = 200;
  params.ZoomY = 100;
  EXPECT_EQ(ComputeSlideSize(params), (TSize{1920, 720}));
  params.ZoomX = 0;
  EXPECT_EQ(ComputeSlideSize(params), (TSize{}));
}

TEST(SlideSize, FixedSizeNeverEnlargesTheDesign) {
  TSlideSizeParams params = FourByThree({1920, 1080}, TSlideFitMode::Cover);
  params.FixedSize = true;
  params.Design = {800, 600};
  EXPECT_EQ(ComputeSlideSize(params), (TSize{800, 600}));
  params.Design = {1600, 1200};
  EXPECT_EQ(ComputeSlideSize(params), (TSize{1440, 1080}));
  params.Design = {2000, 500};
  EXPECT_EQ(ComputeSlideSize(params), (TSize{1920, 480}));
}

TEST(SlideSize, AbsurdAspectsStayDrawable) {
  TSlideSizeParams params = FourByThree({1920, 1080}, TSlideFitMode::Cover);
  params.Aspect = 1e9;
  const TSize wide = ComputeSlideSize(params);
  EXPECT_EQ(wide.Width, kMaxSlideSide);
  EXPECT_GE(wide.Height, 1);
  params.Aspect = 0.001;
  const TSize tall = ComputeSlideSize(params);
  EXPECT_EQ(tall.Height, kMaxSlideSide);
  EXPECT_GE(tall.Width, 1);
}

TEST(SlideSize, EmptyOutputGivesNoSlide) {
  EXPECT_EQ(ComputeSlideSize(FourByThree({0, 1080}, TSlideFitMode::FitInside)), (TSize{}));
  EXPECT_EQ(ComputeSlideSize(FourByThree({1920, -1}, TSlideFitMode::Cover)), (TSize{}));
}

TEST(SlideRect, CentredAndClippedToTheOutput) {
  const TPixelRect output{0, 0, 1920, 1080};
  const TPixelRect fit = CenteredSlideRect(output, {1440, 1080});
  EXPECT_EQ(fit.Left, 240);
  EXPECT_EQ(fit.Right, 1680);
  EXPECT_EQ(fit.Top, 0);
  EXPECT_EQ(fit.Bottom, 1080);

  const TPixelRect cover = CenteredSlideRect(output, {1920, 1440});
  EXPECT_EQ(cover.Top, 0);
  EXPECT_EQ(cover.Bottom, 1080);
  EXPECT_EQ(cover.Width(), 1920);

  const TPixelRect shifted = CenteredSlideRect({100, 50, 900, 650}, {400, 300});
  EXPECT_EQ(shifted.Left, 300);
  EXPECT_EQ(shifted.Top, 200);

  const TPixelRect none = CenteredSlideRect(output, {0, 0});
  EXPECT_EQ(none.Width(), 0);
  EXPECT_EQ(none.Height(), 0);
}

} // namespace
} // namespace qx
