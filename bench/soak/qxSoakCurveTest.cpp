#include "bench/soak/qxSoakCurve.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

constexpr int64_t kMiB = 1024 * 1024;

TSoakSample Sample(int64_t showMs, int32_t pass, int64_t intervalMaxMiB, int64_t peakMiB) {
  TSoakSample sample;
  sample.ShowMs = showMs;
  sample.Pass = pass;
  sample.Usage.ResidentBytes = intervalMaxMiB * kMiB - kMiB;
  sample.IntervalMaxResident = intervalMaxMiB * kMiB;
  sample.Usage.PeakResidentBytes = peakMiB * kMiB;
  return sample;
}

TEST(SoakCurve, GrowthIsMeasuredFromTheFirstIntervalAfterTheFirstPass) {
  TSoakCurve curve;
  EXPECT_FALSE(curve.GrowthAfterFirstPass());
  // The first pass loads everything and may climb as it likes.
  curve.Add(Sample(0, 1, 40, 40));
  curve.Add(Sample(30000, 1, 120, 130));
  // The sample as the second pass begins closes the interval of the first.
  curve.Add(Sample(48000, 2, 125, 130));
  EXPECT_FALSE(curve.GrowthAfterFirstPass()) << "no interval lies wholly after the first pass yet";
  curve.Add(Sample(600000, 13, 100, 130));
  curve.Add(Sample(1200000, 26, 104, 130));
  curve.Add(Sample(1800000, 38, 101, 130));
  ASSERT_TRUE(curve.GrowthAfterFirstPass());
  EXPECT_EQ(*curve.GrowthAfterFirstPass(), 4 * kMiB) << "the first pass's high is no reference";
  ASSERT_NE(curve.Reference(), nullptr);
  EXPECT_EQ(curve.Reference()->ShowMs, 600000);
}

TEST(SoakCurve, GrowthComparesIntervalHighsNotSingleReadings) {
  TSoakCurve curve;
  curve.Add(Sample(48000, 2, 130, 130));
  TSoakSample low = Sample(600000, 13, 130, 130);
  // Read at a quiet moment of the show: far below the interval's high.
  low.Usage.ResidentBytes = 90 * kMiB;
  curve.Add(low);
  curve.Add(Sample(1200000, 26, 131, 131));
  EXPECT_EQ(*curve.GrowthAfterFirstPass(), 1 * kMiB);
}

TEST(SoakCurve, FallingMemoryIsNoGrowth) {
  TSoakCurve curve;
  curve.Add(Sample(48000, 2, 100, 130));
  curve.Add(Sample(96000, 3, 100, 130));
  curve.Add(Sample(144000, 4, 90, 130));
  EXPECT_EQ(*curve.GrowthAfterFirstPass(), 0);
}

TEST(SoakCurve, PeakAtATimeIsThatOfTheLastSampleNotLaterThanIt) {
  TSoakCurve curve;
  EXPECT_FALSE(curve.PeakAt(1000));
  curve.Add(Sample(0, 1, 40, 40));
  curve.Add(Sample(3600000, 70, 100, 130));
  curve.Add(Sample(7200000, 140, 100, 150));
  EXPECT_EQ(*curve.PeakAt(0), 40 * kMiB);
  EXPECT_EQ(*curve.PeakAt(3599999), 40 * kMiB);
  EXPECT_EQ(*curve.PeakAt(3600000), 130 * kMiB);
  EXPECT_EQ(*curve.PeakAt(100000000), 150 * kMiB);
}

TEST(SoakCurve, CsvLineHoldsEveryColumnOfTheHeader) {
  TSoakSample sample = Sample(600000, 13, 100, 130);
  sample.WallSeconds = 12.5;
  sample.Usage.Threads = 9;
  sample.Usage.OpenFiles = 7;
  sample.DeviceObjects = 21;
  EXPECT_EQ(SoakCsvHeader(), "show_ms,pass,wall_s,rss_kib,rss_max_kib,peak_kib,threads,open_files,device_objects");
  EXPECT_EQ(SoakCsvLine(sample), "600000,13,12.5,101376,102400,133120,9,7,21");
}

TEST(SoakCurve, AnyHoldingAboveItsStartIsALeak) {
  const TSoakHoldings before{4, 6, 0};
  EXPECT_FALSE(CompareHoldings(before, before).Leaked);
  EXPECT_FALSE(CompareHoldings(before, {3, 5, 0}).Leaked) << "fewer is no leak";
  for (const TSoakHoldings& after : {TSoakHoldings{5, 6, 0}, TSoakHoldings{4, 7, 0}, TSoakHoldings{4, 6, 1}}) {
    const TSoakLeakReport report = CompareHoldings(before, after);
    EXPECT_TRUE(report.Leaked);
    ASSERT_EQ(report.Lines.size(), 3u);
  }
  EXPECT_EQ(CompareHoldings(before, {5, 6, 0}).Lines[0], "threads 4 -> 5  LEAKED");
  EXPECT_EQ(CompareHoldings(before, {5, 6, 0}).Lines[1], "open files 6 -> 6");
}

} // namespace
} // namespace qx
