#include "VmoLib2/VmoClasses/qxKeyPoints.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qx {

namespace {

// Values are compared in steps of 1/10000 so that re-reading a project does
// not flag key points whose values only differ by rounding noise.
bool SameRounded(double a, double b) { return std::nearbyint(a * 10000) == std::nearbyint(b * 10000); }

float FloorScale(float value) { return value >= TKeyPoint::kMinScale ? value : TKeyPoint::kMinScale; }

int32_t TruncateToMilliseconds(double time) {
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(std::trunc(time), kLow, kHigh));
}

// Origins outside the four anchors count from the slide's start.
TKeyOrigin ValidOrigin(TKeyOrigin origin) {
  const auto value = static_cast<int32_t>(origin);
  return value >= 0 && value < kKeyOriginCount ? origin : TKeyOrigin::SlideBegin;
}

float Lerp(float from, float to, float f) { return from + (to - from) * f; }

TFloatPair Lerp(TFloatPair from, TFloatPair to, float f) { return {Lerp(from.X, to.X, f), Lerp(from.Y, to.Y, f)}; }

// The fraction of the way from `from` to `to` at `time`, in single precision;
// 0 for an empty stretch.
float Fraction(double from, double to, double time) {
  if (!(to > from))
    return 0;
  return static_cast<float>(time - from) / static_cast<float>(to - from);
}

// One smoothed stretch being evaluated: its end values come from its first
// and last key points.
struct TProfile {
  float Duration;
  float AccelEnd;
  float DecelStart;
  float Elapsed;

  float operator()(float from, float to) const {
    return SpeedProfile(from, to, Duration, AccelEnd, DecelStart, Elapsed);
  }
  TFloatPair operator()(TFloatPair from, TFloatPair to) const { return {(*this)(from.X, to.X), (*this)(from.Y, to.Y)}; }
};

} // namespace

double PerspectiveFraction(double q, double sFrom, double sTo) {
  if (!(q > 0 && q < 1) || sTo == 0)
    return q;
  const double r = sFrom / sTo;
  const double corrected = q * r / (1 - q * (1 - r));
  return std::isfinite(corrected) ? corrected : q;
}

// --- TKeyPoint ---------------------------------------------------------------

void TKeyPoint::SetFloat(float& field, float value) {
  if (SameRounded(field, value))
    return;
  field = value;
  m_changed = true;
  m_list->KeyPointValuesChanged();
}

void TKeyPoint::SetOrigin(TKeyOrigin origin) {
  origin = ValidOrigin(origin);
  if (origin == m_origin)
    return;
  m_origin = origin;
  m_changed = true;
  m_list->KeyPointRetimed();
}

void TKeyPoint::SetTime(double time) {
  if (std::isnan(time))
    time = 0;
  if (SameRounded(m_time, time))
    return;
  m_time = time;
  m_changed = true;
  m_list->KeyPointRetimed();
}

void TKeyPoint::SetOpacity(float value) { SetFloat(m_values.Opacity, value); }
void TKeyPoint::SetAngle(float radians) { SetFloat(m_values.Angle, radians); }
void TKeyPoint::SetScaleX(float value) { SetFloat(m_values.ScaleX, FloorScale(value)); }
void TKeyPoint::SetScaleY(float value) { SetFloat(m_values.ScaleY, FloorScale(value)); }
void TKeyPoint::SetZPos(float value) { SetFloat(m_values.ZPos, value); }
void TKeyPoint::SetAngleX(float radians) { SetFloat(m_values.AngleX, radians); }
void TKeyPoint::SetAngleY(float radians) { SetFloat(m_values.AngleY, radians); }
void TKeyPoint::SetBlur(float value) { SetFloat(m_values.Blur, value); }

void TKeyPoint::SetPosition(TFloatPair value) {
  SetFloat(m_values.Position.X, value.X);
  SetFloat(m_values.Position.Y, value.Y);
}

void TKeyPoint::SetCenterPos(TFloatPair value) {
  SetFloat(m_values.CenterPos.X, value.X);
  SetFloat(m_values.CenterPos.Y, value.Y);
}

void TKeyPoint::SetExtra(size_t index, float value) {
  if (index < m_values.Extra.size())
    SetFloat(m_values.Extra[index], value);
}

void TKeyPoint::SetValues(const TKeyValues& values) {
  SetOpacity(values.Opacity);
  SetAngle(values.Angle);
  SetScaleX(values.ScaleX);
  SetScaleY(values.ScaleY);
  SetPosition(values.Position);
  SetZPos(values.ZPos);
  SetCenterPos(values.CenterPos);
  SetAngleX(values.AngleX);
  SetAngleY(values.AngleY);
  SetBlur(values.Blur);
  for (size_t i = 0; i < values.Extra.size(); ++i)
    SetExtra(i, values.Extra[i]);
}

// --- TKeyPointList -------------------------------------------------------------

TKeyPointList::TKeyPointList() = default;
TKeyPointList::~TKeyPointList() = default;

TAnchorTimes TKeyPointList::AnchorTimes() const { return {}; }

double TKeyPointList::AbsoluteTimeOf(const TKeyPoint& point) const {
  const double time = AnchorTime(point.Origin()) + point.Time();
  return std::isnan(time) ? 0 : time;
}

bool TKeyPointList::ReadAnchors() {
  TAnchorTimes anchors = AnchorTimes();
  // A NaN anchor would never compare equal and would break the sort.
  for (double& anchor : anchors)
    if (std::isnan(anchor))
      anchor = 0;
  if (anchors == m_anchors)
    return false;
  m_anchors = anchors;
  return true;
}

void TKeyPointList::UpdateAnchors() {
  if (ReadAnchors())
    SortAndResynchronise();
}

TKeyPoint& TKeyPointList::Add(TKeyOrigin origin, double time) {
  UpdateAnchors();
  auto point = std::make_unique<TKeyPoint>(TKeyPoint::TPass(), *this, m_nextIdentity++);
  point->m_origin = ValidOrigin(origin);
  point->m_time = std::isnan(time) ? 0 : time;
  const double absolute = AbsoluteTimeOf(*point);
  // Newest identity: it goes after every key point of the same time.
  const auto position = std::upper_bound(m_times.begin(), m_times.end(), absolute);
  const auto index = position - m_times.begin();
  for (auto& store : m_stores)
    if (store)
      store->InsertKey(static_cast<int32_t>(index), TruncateToMilliseconds(absolute));
  TKeyPoint& result = *point;
  m_points.insert(m_points.begin() + index, std::move(point));
  m_times.insert(m_times.begin() + index, absolute);
  m_keyTimes.insert(m_keyTimes.begin() + index, TruncateToMilliseconds(absolute));
  // Inserted in place: the order holds without sorting again.
  m_valuesStale = true;
  ResynchroniseStores();
  return result;
}

void TKeyPointList::Clear() {
  m_points.clear();
  m_values.clear();
  m_times.clear();
  m_keyTimes.clear();
  for (auto& store : m_stores)
    store.reset();
}

void TKeyPointList::KeyPointRetimed() { SortAndResynchronise(); }

void TKeyPointList::SortAndResynchronise() {
  std::sort(m_points.begin(), m_points.end(), [this](const auto& a, const auto& b) {
    const double ta = AbsoluteTimeOf(*a);
    const double tb = AbsoluteTimeOf(*b);
    if (ta != tb)
      return ta < tb;
    return a->Identity() < b->Identity();
  });
  m_times.resize(m_points.size());
  m_keyTimes.resize(m_points.size());
  for (size_t i = 0; i < m_points.size(); ++i) {
    m_times[i] = AbsoluteTimeOf(*m_points[i]);
    m_keyTimes[i] = TruncateToMilliseconds(m_times[i]);
  }
  m_valuesStale = true;
  ResynchroniseStores();
}

void TKeyPointList::ResynchroniseStores() {
  for (auto& store : m_stores)
    if (store && store->KeyTimes() != m_keyTimes)
      store->SetKeyTimes(m_keyTimes);
}

void TKeyPointList::RefreshValues() {
  m_values.resize(m_points.size());
  for (size_t i = 0; i < m_points.size(); ++i)
    m_values[i] = m_points[i]->Values();
  m_valuesStale = false;
}

TSpeedStorage& TKeyPointList::Store(TSpeedKind kind) {
  auto& store = m_stores[static_cast<size_t>(kind)];
  if (!store)
    store = std::make_unique<TSpeedStorage>(TSpeedStorage::FromKeyTimes(m_keyTimes));
  return *store;
}

std::string TKeyPointList::DefaultSpeedText() const { return TSpeedStorage::FromKeyTimes(m_keyTimes).SaveToText(); }

void TKeyPointList::SetScale(float scaleX, float scaleY) {
  m_current.ScaleX = scaleX;
  m_current.ScaleY = scaleY;
}

bool TKeyPointList::Changed() const {
  return std::any_of(m_points.begin(), m_points.end(), [](const auto& p) { return p->Changed(); });
}

void TKeyPointList::ClearChanged() {
  for (auto& point : m_points)
    point->ClearChanged();
}

const TSmoothing* TKeyPointList::SmoothingInterval(TSpeedKind kind, double time) const {
  const TSpeedStorage* store = FindStore(kind);
  if (!store)
    return nullptr;
  const int count = Count();
  for (const TSmoothing& interval : store->Smoothings()) {
    // Indices that name no key point (a store written for other key points)
    // cannot smooth anything.
    if (interval.From < 0 || interval.To >= count || interval.From > interval.To)
      continue;
    if (m_times[interval.From] > time)
      return nullptr;
    if (time <= m_times[interval.To])
      return interval.Smooths ? &interval : nullptr;
  }
  return nullptr;
}

double TKeyPointList::PerspectiveTime(int from, int to, double time) const {
  if (!m_perspectiveCorrection)
    return time;
  const double tFrom = m_times[from];
  const double tTo = m_times[to];
  if (!(tTo > tFrom))
    return time;
  const double q = (time - tFrom) / (tTo - tFrom);
  const double corrected = PerspectiveFraction(q, m_values[from].ScaleX, m_values[to].ScaleX);
  return tFrom + (tTo - tFrom) * corrected;
}

void TKeyPointList::Evaluate(double time) {
  UpdateAnchors();
  m_evaluationTime = time;
  m_insideSlide = m_anchors[0] <= time && time <= m_anchors[3];
  if (m_points.empty())
    return;
  if (m_valuesStale)
    RefreshValues();

  const auto next = std::upper_bound(m_times.begin(), m_times.end(), time);
  if (next == m_times.begin()) {
    m_current = m_values.front();
    return;
  }
  if (next == m_times.end()) {
    m_current = m_values.back();
    return;
  }
  const int to = static_cast<int>(next - m_times.begin());
  const int from = to - 1;
  const TKeyValues& a = m_values[from];
  const TKeyValues& b = m_values[to];
  const float f = Fraction(m_times[from], m_times[to], time);

  m_current.Opacity = Lerp(a.Opacity, b.Opacity, f);
  m_current.Blur = Lerp(a.Blur, b.Blur, f);
  m_current.CenterPos = Lerp(a.CenterPos, b.CenterPos, f);
  for (size_t i = 0; i < a.Extra.size(); ++i)
    m_current.Extra[i] = Lerp(a.Extra[i], b.Extra[i], f);

  // The profile of a smoothed interval at time t (already corrected where
  // the group asks for it), elapsed from the interval's first key time.
  const auto profile = [this](const TSmoothing& interval, double t) {
    const int32_t first = m_keyTimes[interval.From];
    return TProfile{static_cast<float>(static_cast<int64_t>(m_keyTimes[interval.To]) - first), interval.AccelEnd,
                    interval.DecelStart, static_cast<float>(t - first)};
  };

  // The values of one speed group: along the profile of its smoothed
  // interval when one covers the time (taken at the perspective-corrected
  // time with `corrected`), else linearly between the surrounding key points
  // at `linear`.
  const auto animate = [&](TSpeedKind kind, bool corrected, float linear, auto... fields) {
    if (const TSmoothing* interval = SmoothingInterval(kind, time)) {
      const TProfile p = profile(*interval, corrected ? PerspectiveTime(interval->From, interval->To, time) : time);
      const TKeyValues& s = m_values[interval->From];
      const TKeyValues& e = m_values[interval->To];
      ((m_current.*fields = p(s.*fields, e.*fields)), ...);
      return;
    }
    ((m_current.*fields = Lerp(a.*fields, b.*fields, linear)), ...);
  };

  animate(TSpeedKind::Rotate, false, f, &TKeyValues::Angle, &TKeyValues::AngleX, &TKeyValues::AngleY);
  const float fCorrected =
      m_perspectiveCorrection ? Fraction(m_times[from], m_times[to], PerspectiveTime(from, to, time)) : f;
  animate(TSpeedKind::Zoom, true, fCorrected, &TKeyValues::ScaleX, &TKeyValues::ScaleY);
  animate(TSpeedKind::Pan, true, fCorrected, &TKeyValues::Position, &TKeyValues::ZPos);
}

} // namespace qx
