// The memory curve of a soak run: samples of the process's use at show
// times, written as CSV, and the verdicts drawn from them: growth after the
// first pass of the show, and what is still held once the player has been
// torn down.
#pragma once

#include "QxLib/qxProcessUsage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qx {

struct TSoakSample {
  // Show time played since the start (all passes), ms.
  int64_t ShowMs = 0;
  // The pass of the show the sample falls in (1 for the first).
  int32_t Pass = 1;
  // Real time since the start, seconds.
  double WallSeconds = 0;
  TProcessUsage Usage;
  // The most resident memory seen at any frame since the sample before.
  int64_t IntervalMaxResident = 0;
  // Device-layer objects on a device (textures, renderers, vertex lists):
  // those holding objects of the graphics API.
  int64_t DeviceObjects = 0;
};

// "show_ms,pass,wall_s,rss_kib,rss_max_kib,peak_kib,threads,open_files,device_objects"
std::string SoakCsvHeader();
std::string SoakCsvLine(const TSoakSample& sample);

class TSoakCurve {
public:
  void Add(const TSoakSample& sample) { m_samples.push_back(sample); }
  const std::vector<TSoakSample>& Samples() const { return m_samples; }

  // The peak resident memory reached by `showMs`: that of the last sample
  // at or before it; none before the first sample.
  std::optional<int64_t> PeakAt(int64_t showMs) const;

  // How far the resident memory rose after the first pass. The reference
  // is the first sample whose interval lies wholly after the first pass
  // (its sample before is in a later pass): its interval's highest resident
  // memory. The growth is the highest of any interval from there on, less
  // the reference. Highs of whole intervals, not single readings, so that
  // the phase of the show a sample falls in does not count. None while no
  // interval lies after the first pass.
  std::optional<int64_t> GrowthAfterFirstPass() const;
  const TSoakSample* Reference() const;

private:
  std::vector<TSoakSample> m_samples;
};

// What the process holds before the player starts and after it has gone.
struct TSoakHoldings {
  int32_t Threads = 0;
  int32_t OpenFiles = 0;
  int64_t DeviceObjects = 0;
};

// One line per kind ("threads 3 -> 3"), and whether any is higher after
// than before.
struct TSoakLeakReport {
  std::vector<std::string> Lines;
  bool Leaked = false;
};
TSoakLeakReport CompareHoldings(const TSoakHoldings& before, const TSoakHoldings& after);

} // namespace qx
