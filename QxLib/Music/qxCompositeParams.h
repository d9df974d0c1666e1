// Composite sound descriptions: several sound files laid on one time line,
// each with its own volume envelopes, plus master envelopes. A description
// is a text that starts with a fixed marker and continues with an INI text;
// it stands wherever a sound file name may stand, and the composite mixer
// plays it as one 16-bit stereo stream.
#pragma once

#include "QxLib/Music/qxVolumeParams.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The marker that opens every composite description.
inline constexpr std::string_view kCompositeMarker = "9213AB40-17BB-458F-9C4C-1806F44BEB65";

// True when a sound name is a composite description rather than a file name.
bool IsCompositeDescription(std::string_view name);

// One sound file on a composite time line.
class TCompositeItem {
public:
  TCompositeItem() = default;
  TCompositeItem(const TCompositeItem&) = delete;
  TCompositeItem& operator=(const TCompositeItem&) = delete;
  virtual ~TCompositeItem() = default;

  std::string FileName;
  int32_t TimeLine = 0;  // ms: where the item starts on the description's time line
  int32_t BeginTime = 0; // ms: offset into the file at which it starts playing
  int32_t Duration = 0;  // ms: how long it plays; 0 = to the end of the file
  TVolumeParamsList Fades{true};
};

// A composite description in memory.
class TCompositeParams {
public:
  using TItemFactory = std::function<std::unique_ptr<TCompositeItem>()>;

  // Limits that keep a hostile description from costing unbounded time and
  // memory. A text longer than kMaxTextSize, or with more section headers
  // (items and envelope points) than kMaxSections, is refused before it is
  // parsed; a description written by a show holds far fewer.
  static constexpr size_t kMaxTextSize = 16 * 1024 * 1024;
  static constexpr int32_t kMaxSections = 32768;
  // Envelope points a description may hold in all. A later part's master
  // envelopes are copied into each of its items, so a text within the
  // limits above could otherwise ask for hundreds of millions of points.
  static constexpr int64_t kMaxPoints = 262144;

  // Items read are made by the factory (plain TCompositeItem by default).
  TCompositeParams();
  explicit TCompositeParams(TItemFactory factory);
  TCompositeParams(const TCompositeParams&) = delete;
  TCompositeParams& operator=(const TCompositeParams&) = delete;

  int32_t Duration() const { return m_duration; }
  void SetDuration(int32_t duration) { m_duration = duration; }

  int32_t ItemCount() const { return static_cast<int32_t>(m_items.size()); }
  TCompositeItem& Item(int32_t index) const { return *m_items[static_cast<size_t>(index)]; }
  // Appends an item made by the factory.
  TCompositeItem& AddItem();
  void RemoveItem(int32_t index);

  // The master envelopes, or null.
  TVolumeParamsList* MainVolume() const { return m_mainVolume.get(); }
  TVolumeParamsList& GetOrAddMainVolume();

  void Clear();

  // Parses a description text: every marker starts one more description,
  // played after the ones before it (its items and Duration follow theirs).
  // False, with the reason in ErrorText, when the text does not start with
  // the marker, an INI text cannot be read, a "FadeCount" is out of range,
  // the text or its envelope points are beyond the limits, the total
  // Duration is 0 or less,
  // or there is no item.
  bool Read(std::string_view text);
  const std::string& ErrorText() const { return m_error; }

  // The description text, with every item's TimeLine shifted by `offset`
  // (for concatenating). Empty when there is no item.
  std::string Write(int32_t offset = 0) const;

private:
  bool ReadPart(std::string_view ini, int32_t offset, bool onlyPart);
  bool Fail(std::string text);

  TItemFactory m_factory;
  int32_t m_duration = 0;
  std::vector<std::unique_ptr<TCompositeItem>> m_items;
  std::unique_ptr<TVolumeParamsList> m_mainVolume;
  int64_t m_points = 0;
  std::string m_error;
};

} // namespace qx
