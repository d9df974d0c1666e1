// Play lists of the music time line: entries (a sound file, a "LoadFromDisk:"
// path or a composite description) laid one after another, taken with
// repetition when the list repeats, and shuffled copies of several passes.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qx {

// One play list entry.
struct TMusicItemInfo {
  std::string FileName;
  double Start = 0;    // where the entry starts on the list's time line (ms)
  double Begin = 0;    // offset into the file (ms)
  double Duration = 0; // ms
};

class TPlayList {
public:
  // Random keys of a shuffled pass are drawn from 0 ... kShuffleKeyMax.
  static constexpr int32_t kShuffleKeyMax = 999999;

  const std::vector<TMusicItemInfo>& Items() const { return m_items; }
  int32_t Count() const { return static_cast<int32_t>(m_items.size()); }
  bool IsEmpty() const { return m_items.empty(); }
  // The largest Start + Duration.
  double TotalLength() const { return m_totalLength; }
  bool IsRepeat() const { return m_isRepeat; }
  void SetRepeat(bool repeat) { m_isRepeat = repeat; }

  // Appends an entry that starts at the current TotalLength.
  void Append(const std::string& fileName, double duration);

  // Entry n >= 0 with repetition: past Count the entries come round again,
  // each round shifted by TotalLength. An empty list gives an empty entry;
  // a negative n is an assertion failure.
  TMusicItemInfo Entry(int32_t n) const;

  // A list of `passes` (at least 1) passes over `source`, each in a new
  // random order, appended one after another; the copy repeats when the
  // source does.
  static TPlayList ShuffledCopy(const TPlayList& source, int32_t passes, std::mt19937& random);

private:
  void Add(TMusicItemInfo item);

  std::vector<TMusicItemInfo> m_items;
  double m_totalLength = 0;
  bool m_isRepeat = false;
};

} // namespace qx
