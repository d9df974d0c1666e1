// Speed stores: which groups of key points of an object move with an
// accelerate / constant speed / decelerate profile instead of linearly, and
// the text form in which the project keeps them ("PanSpeed", "ZoomSpeed",
// "RotateSpeed").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// One smoothed stretch of key points. AccelEnd and DecelStart are fractions
// of the stretch's duration; 0 and 1 mean a linear movement.
struct TInterval {
  int32_t From = 0; // index of the first key point, in time order
  int32_t To = 0;   // index of the last key point, in time order
  long double AccelEnd = 0;
  long double DecelStart = 1;

  bool operator==(const TInterval&) const = default;
  // True when the profile differs visibly from a straight line (checked in
  // whole percent).
  bool Smooths() const;
};

// An interval in the form evaluation reads every frame.
struct TSmoothing {
  int32_t From = 0;
  int32_t To = 0;
  float AccelEnd = 0;
  float DecelStart = 1;
  bool Smooths = false;
};

class TSpeedStorage {
public:
  static constexpr int32_t kMaxCount = 10000;
  static constexpr long double kLinearAccelEnd = 0;
  static constexpr long double kLinearDecelStart = 1;

  TSpeedStorage();

  // The store made for key points with the given key times (ascending): one
  // linear interval over all of them.
  static TSpeedStorage FromKeyTimes(const std::vector<int32_t>& keyTimes);

  const std::vector<int32_t>& KeyTimes() const { return m_keyTimes; }
  const std::vector<TInterval>& Intervals() const { return m_intervals; }
  int32_t KeyCount() const { return static_cast<int32_t>(m_keyTimes.size()); }
  long double DefaultAccelEnd() const { return m_defaultAccelEnd; }
  long double DefaultDecelStart() const { return m_defaultDecelStart; }
  // The intervals in single precision with their smoothing decided.
  const std::vector<TSmoothing>& Smoothings() const { return m_smoothings; }

  // Reads the store text. On any error the store becomes a single key at time
  // 0 without intervals and the answer is false.
  bool LoadFromText(std::string_view text);
  // The store as text: n, the key times, m, the intervals, the two defaults,
  // every field ended by ";".
  std::string SaveToText() const;

  // Inserts a key at index (0 ... KeyCount()) and moves the interval indices
  // so that the intervals keep covering the same key points; the second key
  // of a store opens the first interval.
  void InsertKey(int32_t index, int32_t keyTime);
  // Replaces the key times, keeping the intervals.
  void SetKeyTimes(std::vector<int32_t> keyTimes);
  void SetIntervals(std::vector<TInterval> intervals);
  void Clear();

  // Called after every change of the store's content.
  void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

private:
  void ResetToSingleKey();
  void Changed();

  std::vector<int32_t> m_keyTimes;
  std::vector<TInterval> m_intervals;
  std::vector<TSmoothing> m_smoothings;
  long double m_defaultAccelEnd = kLinearAccelEnd;
  long double m_defaultDecelStart = kLinearDecelStart;
  std::function<void()> m_onChange;
};

// The value at elapsed time e of a movement from b to a over duration d that
// accelerates during the first accelEnd of d, runs at constant speed until
// decelStart and decelerates over the rest. Continuous, b for e <= 0 and
// exactly a for e >= d.
float SpeedProfile(float b, float a, float d, float accelEnd, float decelStart, float e);

} // namespace qx
