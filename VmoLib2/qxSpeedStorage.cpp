#include "VmoLib2/qxSpeedStorage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

namespace qx {

namespace {

// Walks the ";"-terminated fields of a store text.
class TFieldReader {
public:
  explicit TFieldReader(std::string_view text) : m_text(text) {}

  bool AtEnd() const { return Blank(m_text.substr(m_pos)); }

  std::optional<int32_t> Integer() {
    const auto field = Next();
    if (!field)
      return std::nullopt;
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(field->data(), field->data() + field->size(), value);
    if (ec != std::errc() || end != field->data() + field->size())
      return std::nullopt;
    return value;
  }

  std::optional<long double> Real() {
    const auto field = Next();
    if (!field)
      return std::nullopt;
    long double value = 0;
    const auto [end, ec] =
        std::from_chars(field->data(), field->data() + field->size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != field->data() + field->size() || !std::isfinite(value))
      return std::nullopt;
    return value;
  }

private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

  static bool Blank(std::string_view s) {
    for (const char c : s)
      if (!IsBlank(c))
        return false;
    return true;
  }

  // The next field without its terminator and surrounding blanks; none when
  // the terminator is missing.
  std::optional<std::string_view> Next() {
    const size_t end = m_text.find(';', m_pos);
    if (end == std::string_view::npos)
      return std::nullopt;
    std::string_view field = m_text.substr(m_pos, end - m_pos);
    m_pos = end + 1;
    while (!field.empty() && IsBlank(field.front()))
      field.remove_prefix(1);
    while (!field.empty() && IsBlank(field.back()))
      field.remove_suffix(1);
    return field;
  }

  std::string_view m_text;
  size_t m_pos = 0;
};

std::optional<int32_t> Count(TFieldReader& reader) {
  const auto count = reader.Integer();
  if (!count || *count < 0 || *count > TSpeedStorage::kMaxCount)
    return std::nullopt;
  return count;
}

void AppendInteger(std::string& out, int64_t value) {
  out += std::to_string(value);
  out += ';';
}

// Plain decimal notation, as short as reads back to the same double.
void AppendReal(std::string& out, long double value) {
  char buffer[400];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed);
  out.append(buffer, ec == std::errc() ? end : buffer);
  out += ';';
}

} // namespace

bool TInterval::Smooths() const {
  return std::llround(AccelEnd * 100) != 0 || std::llround((1 - DecelStart) * 100) != 0;
}

TSpeedStorage::TSpeedStorage() = default;

TSpeedStorage TSpeedStorage::FromKeyTimes(const std::vector<int32_t>& keyTimes) {
  TSpeedStorage store;
  for (const int32_t keyTime : keyTimes)
    store.InsertKey(store.KeyCount(), keyTime);
  return store;
}

bool TSpeedStorage::LoadFromText(std::string_view text) {
  TFieldReader reader(text);
  std::vector<int32_t> keyTimes;
  std::vector<TInterval> intervals;
  long double defaultAccelEnd = kLinearAccelEnd;
  long double defaultDecelStart = kLinearDecelStart;

  const auto parse = [&]() -> bool {
    const auto keyCount = Count(reader);
    if (!keyCount)
      return false;
    keyTimes.reserve(*keyCount);
    for (int32_t i = 0; i < *keyCount; ++i) {
      const auto keyTime = reader.Integer();
      if (!keyTime)
        return false;
      keyTimes.push_back(*keyTime);
    }
    const auto intervalCount = Count(reader);
    if (!intervalCount)
      return false;
    intervals.reserve(*intervalCount);
    for (int32_t i = 0; i < *intervalCount; ++i) {
      const auto from = reader.Integer();
      const auto to = reader.Integer();
      const auto accelEnd = reader.Real();
      const auto decelStart = reader.Real();
      if (!from || !to || !accelEnd || !decelStart)
        return false;
      intervals.push_back({*from, *to, *accelEnd, *decelStart});
    }
    if (reader.AtEnd())
      return true;
    const auto accelEnd = reader.Real();
    const auto decelStart = reader.Real();
    if (!accelEnd || !decelStart)
      return false;
    defaultAccelEnd = *accelEnd;
    defaultDecelStart = *decelStart;
    return true;
  };

  if (!parse()) {
    ResetToSingleKey();
    return false;
  }
  if (keyTimes.size() > 1)
    std::erase_if(intervals, [](const TInterval& interval) { return interval.From == interval.To; });
  m_keyTimes = std::move(keyTimes);
  m_intervals = std::move(intervals);
  m_defaultAccelEnd = defaultAccelEnd;
  m_defaultDecelStart = defaultDecelStart;
  Changed();
  return true;
}

std::string TSpeedStorage::SaveToText() const {
  std::string out;
  AppendInteger(out, KeyCount());
  for (const int32_t keyTime : m_keyTimes)
    AppendInteger(out, keyTime);
  AppendInteger(out, static_cast<int64_t>(m_intervals.size()));
  for (const TInterval& interval : m_intervals) {
    AppendInteger(out, interval.From);
    AppendInteger(out, interval.To);
    AppendReal(out, interval.AccelEnd);
    AppendReal(out, interval.DecelStart);
  }
  AppendReal(out, m_defaultAccelEnd);
  AppendReal(out, m_defaultDecelStart);
  return out;
}

void TSpeedStorage::InsertKey(int32_t index, int32_t keyTime) {
  const int32_t count = KeyCount();
  index = std::clamp(index, 0, count);
  m_keyTimes.insert(m_keyTimes.begin() + index, keyTime);
  if (count == 0) {
    Changed();
    return;
  }
  if (count == 1 && m_intervals.empty()) {
    m_intervals.push_back({0, 1, m_defaultAccelEnd, m_defaultDecelStart});
  } else if (index == count) {
    // A key appended at the end extends the last interval to it.
    if (!m_intervals.empty())
      m_intervals.back().To = count;
  } else {
    // A key in front of everything grows the first interval; one in between
    // shifts the indices at and after it.
    const int32_t firstShifted = index == 0 ? 1 : index;
    for (TInterval& interval : m_intervals) {
      if (interval.From >= firstShifted)
        ++interval.From;
      if (interval.To >= firstShifted)
        ++interval.To;
    }
  }
  Changed();
}

void TSpeedStorage::SetKeyTimes(std::vector<int32_t> keyTimes) {
  m_keyTimes = std::move(keyTimes);
  Changed();
}

void TSpeedStorage::SetIntervals(std::vector<TInterval> intervals) {
  m_intervals = std::move(intervals);
  Changed();
}

void TSpeedStorage::Clear() {
  m_keyTimes.clear();
  m_intervals.clear();
  m_defaultAccelEnd = kLinearAccelEnd;
  m_defaultDecelStart = kLinearDecelStart;
  Changed();
}

void TSpeedStorage::ResetToSingleKey() {
  m_keyTimes.assign(1, 0);
  m_intervals.clear();
  m_defaultAccelEnd = kLinearAccelEnd;
  m_defaultDecelStart = kLinearDecelStart;
  Changed();
}

void TSpeedStorage::Changed() {
  m_smoothings.clear();
  m_smoothings.reserve(m_intervals.size());
  for (const TInterval& interval : m_intervals)
    m_smoothings.push_back({interval.From, interval.To, static_cast<float>(interval.AccelEnd),
                            static_cast<float>(interval.DecelStart), interval.Smooths()});
  if (m_onChange)
    m_onChange();
}

float SpeedProfile(float b, float a, float d, float accelEnd, float decelStart, float e) {
  if (e <= 0)
    return b;
  if (e >= d)
    return a;
  const float ta = accelEnd * d;
  const float td = (1 - decelStart) * d;
  const float tc = d - ta - td;
  const float span = ta + 2 * tc + td;
  // A profile whose phases leave no room for movement has no finite speed;
  // it moves linearly instead.
  if (!(span > 0))
    return b + (a - b) * (e / d);
  const float m = ta + tc + td > 0 ? (a - b) / span : 0;
  if (e < ta) {
    const float q = e / ta;
    return b + q * q * m * ta;
  }
  if (e <= ta + tc)
    return b + m * ta + (e - ta) * 2 * m;
  const float q = 1 - (e - ta - tc) / td;
  return b + m * (ta + 2 * tc) + (1 - q * q) * m * td;
}

} // namespace qx
