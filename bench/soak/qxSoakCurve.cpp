#include "bench/soak/qxSoakCurve.h"

#include <algorithm>
#include <cstdio>

namespace qx {

namespace {

constexpr int64_t kKiB = 1024;

std::string CompareLine(const char* what, int64_t before, int64_t after) {
  return std::string(what) + " " + std::to_string(before) + " -> " + std::to_string(after) +
         (after > before ? "  LEAKED" : "");
}

} // namespace

std::string SoakCsvHeader() {
  return "show_ms,pass,wall_s,rss_kib,rss_max_kib,peak_kib,threads,open_files,device_objects";
}

std::string SoakCsvLine(const TSoakSample& sample) {
  char line[160];
  std::snprintf(line, sizeof line, "%lld,%d,%.1f,%lld,%lld,%lld,%d,%d,%lld", static_cast<long long>(sample.ShowMs),
                sample.Pass, sample.WallSeconds, static_cast<long long>(sample.Usage.ResidentBytes / kKiB),
                static_cast<long long>(sample.IntervalMaxResident / kKiB),
                static_cast<long long>(sample.Usage.PeakResidentBytes / kKiB), sample.Usage.Threads,
                sample.Usage.OpenFiles, static_cast<long long>(sample.DeviceObjects));
  return line;
}

std::optional<int64_t> TSoakCurve::PeakAt(int64_t showMs) const {
  std::optional<int64_t> peak;
  for (const TSoakSample& sample : m_samples) {
    if (sample.ShowMs > showMs)
      break;
    peak = sample.Usage.PeakResidentBytes;
  }
  return peak;
}

const TSoakSample* TSoakCurve::Reference() const {
  for (size_t i = 1; i < m_samples.size(); ++i) {
    if (m_samples[i - 1].Pass > 1)
      return &m_samples[i];
  }
  return nullptr;
}

std::optional<int64_t> TSoakCurve::GrowthAfterFirstPass() const {
  const TSoakSample* reference = Reference();
  if (!reference)
    return std::nullopt;
  int64_t highest = reference->IntervalMaxResident;
  for (const TSoakSample* sample = reference; sample != m_samples.data() + m_samples.size(); ++sample)
    highest = std::max(highest, sample->IntervalMaxResident);
  return highest - reference->IntervalMaxResident;
}

TSoakLeakReport CompareHoldings(const TSoakHoldings& before, const TSoakHoldings& after) {
  TSoakLeakReport report;
  report.Lines.push_back(CompareLine("threads", before.Threads, after.Threads));
  report.Lines.push_back(CompareLine("open files", before.OpenFiles, after.OpenFiles));
  report.Lines.push_back(CompareLine("device objects", before.DeviceObjects, after.DeviceObjects));
  report.Leaked = after.Threads > before.Threads || after.OpenFiles > before.OpenFiles ||
                  after.DeviceObjects > before.DeviceObjects;
  return report;
}

} // namespace qx
