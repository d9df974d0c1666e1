// Key points of an object and their evaluation at a show time: each key point
// fixes opacity, rotations, scale, position, depth, rotation centre and blur
// at one moment; in between the values move linearly or, where the object's
// speed stores say so, with an accelerate / decelerate profile, optionally
// with the timing of zoom and pan corrected for depth.
#pragma once

#include "VmoLib2/qxSpeedStorage.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// The moment a key point's time is counted from.
enum class TKeyOrigin : int32_t {
  SlideBegin = 0,      // the slide's start
  PrevEffectEnd = 1,   // the end of the transition into the slide
  NextEffectBegin = 2, // the start of the transition out of the slide
  SlideEnd = 3,        // the end of the transition out of the slide
};

inline constexpr int kKeyOriginCount = 4;
// The words of the "Origin" key, in origin order.
inline constexpr std::array<std::string_view, kKeyOriginCount> kKeyOriginNames = {"SlideBegin", "PrevEffectEnd",
                                                                                  "NextEffectBegin", "SlideEnd"};

// The three speed stores of an object and the keys they are read from.
enum class TSpeedKind : int32_t { Pan = 0, Zoom = 1, Rotate = 2 };
inline constexpr int kSpeedKindCount = 3;
inline constexpr std::array<std::string_view, kSpeedKindCount> kSpeedKeyNames = {"PanSpeed", "ZoomSpeed",
                                                                                 "RotateSpeed"};

struct TFloatPair {
  float X = 0;
  float Y = 0;
};

// The animated values of an object: opacity and scales in percent, angles in
// radians, depth in units of the parent's height / 200, centre in percent of
// the object's half size. Extra is carried along but never read from a
// project nor used for drawing.
struct TKeyValues {
  float Opacity = 100;
  float Angle = 0;
  float ScaleX = 100;
  float ScaleY = 100;
  TFloatPair Position;
  float ZPos = 0;
  TFloatPair CenterPos;
  float AngleX = 0;
  float AngleY = 0;
  float Blur = 0;
  std::array<float, 4> Extra{};
};

using TAnchorTimes = std::array<double, kKeyOriginCount>;

// Answers the four time anchors of key points; an object asks its root slide.
class TKeyPointAnchors {
public:
  virtual ~TKeyPointAnchors() = default;
  // The show times (ms) from which key points of each origin count, indexed
  // by TKeyOrigin. Called on every evaluation, so it must be cheap and must
  // not change the object.
  virtual TAnchorTimes AnchorTimes() const = 0;
};

// Anchors held as four numbers, for owners whose times are known up front.
class TFixedAnchors : public TKeyPointAnchors {
public:
  TFixedAnchors() = default;
  explicit TFixedAnchors(const TAnchorTimes& times) : m_times(times) {}
  TAnchorTimes AnchorTimes() const override { return m_times; }
  void SetAnchorTime(TKeyOrigin origin, double time) { m_times[static_cast<size_t>(origin)] = time; }

private:
  TAnchorTimes m_times{};
};

class TKeyPointList;

// One key point, owned by its list. Setters mark the point changed only when
// the value differs after rounding to 1/10000.
class TKeyPoint {
public:
  static constexpr float kMinScale = 0.001f;

  // Only a list makes key points (TKeyPointList::Add).
  class TPass {
    friend class TKeyPointList;
    TPass() = default;
  };
  TKeyPoint(TPass, TKeyPointList& list, uint64_t identity) : m_list(&list), m_identity(identity) {}
  TKeyPoint(const TKeyPoint&) = delete;
  TKeyPoint& operator=(const TKeyPoint&) = delete;

  TKeyOrigin Origin() const { return m_origin; }
  double Time() const { return m_time; }
  const TKeyValues& Values() const { return m_values; }
  // Creation order within the list; orders key points of equal time.
  uint64_t Identity() const { return m_identity; }
  bool Changed() const { return m_changed; }
  void ClearChanged() { m_changed = false; }

  // Changing the time or origin re-sorts the owning list.
  void SetOrigin(TKeyOrigin origin);
  void SetTime(double time);

  void SetOpacity(float value);
  void SetAngle(float radians);
  // Scales never go below kMinScale.
  void SetScaleX(float value);
  void SetScaleY(float value);
  void SetPosition(TFloatPair value);
  void SetZPos(float value);
  void SetCenterPos(TFloatPair value);
  void SetAngleX(float radians);
  void SetAngleY(float radians);
  void SetBlur(float value);
  void SetExtra(size_t index, float value);
  // All values through their setters.
  void SetValues(const TKeyValues& values);

private:
  friend class TKeyPointList;

  void SetFloat(float& field, float value);

  TKeyPointList* m_list;
  uint64_t m_identity;
  bool m_changed = false;
  TKeyOrigin m_origin = TKeyOrigin::SlideBegin;
  double m_time = 0;
  TKeyValues m_values;
};

// The key points of an object, sorted by absolute time (equal times in
// creation order), with the current values of the last evaluation and the
// object's speed stores.
class TKeyPointList {
public:
  TKeyPointList();
  virtual ~TKeyPointList();
  TKeyPointList(const TKeyPointList&) = delete;
  TKeyPointList& operator=(const TKeyPointList&) = delete;

  // The show times of the anchors. The plain list counts every key point
  // from 0.
  virtual TAnchorTimes AnchorTimes() const;
  // The anchor as the last sort or evaluation saw it.
  double AnchorTime(TKeyOrigin origin) const { return m_anchors[static_cast<size_t>(origin)]; }

  int Count() const { return static_cast<int>(m_points.size()); }
  TKeyPoint& KeyPoint(int index) const { return *m_points[static_cast<size_t>(index)]; }
  // Anchor + relative time of the key point at index (in time order).
  double AbsoluteTime(int index) const { return m_times[static_cast<size_t>(index)]; }
  // The absolute time truncated to whole milliseconds.
  int32_t KeyTime(int index) const { return m_keyTimes[static_cast<size_t>(index)]; }
  const std::vector<int32_t>& KeyTimes() const { return m_keyTimes; }

  // Creates a key point, places it in time order and updates the speed stores
  // so that their intervals keep covering the same key points.
  TKeyPoint& Add(TKeyOrigin origin, double time);
  // Frees all key points and speed stores.
  void Clear();

  // Sets the current values to those at show time `time`.
  void Evaluate(double time);
  // Reads the anchors again and re-sorts when they moved; Evaluate does this
  // by itself.
  void UpdateAnchors();

  const TKeyValues& Current() const { return m_current; }
  // The current values are also the scratch record into which a key point
  // block is read before it is copied into its key point.
  TKeyValues& Current() { return m_current; }
  // Sets the current scale directly (slides have no key points).
  void SetScale(float scaleX, float scaleY);
  double EvaluationTime() const { return m_evaluationTime; }
  // Whether the last evaluation lay between the first and the last anchor.
  bool InsideSlide() const { return m_insideSlide; }

  bool PerspectiveCorrection() const { return m_perspectiveCorrection; }
  void SetPerspectiveCorrection(bool on) { m_perspectiveCorrection = on; }

  // The store of a kind, made from the key points when it does not exist yet.
  TSpeedStorage& Store(TSpeedKind kind);
  TSpeedStorage& PanStore() { return Store(TSpeedKind::Pan); }
  TSpeedStorage& ZoomStore() { return Store(TSpeedKind::Zoom); }
  TSpeedStorage& RotateStore() { return Store(TSpeedKind::Rotate); }
  const TSpeedStorage* FindStore(TSpeedKind kind) const { return m_stores[static_cast<size_t>(kind)].get(); }
  // The text of the store made from the key points: one linear interval over
  // all of them. Speed keys are read against it as their default.
  std::string DefaultSpeedText() const;

  // Whether any key point changed since the flags were last cleared.
  bool Changed() const;
  void ClearChanged();

private:
  friend class TKeyPoint;
  void KeyPointRetimed();
  void KeyPointValuesChanged() { m_valuesStale = true; }
  void RefreshValues();
  bool ReadAnchors();
  double AbsoluteTimeOf(const TKeyPoint& point) const;
  void SortAndResynchronise();
  // Gives every store the key points' key times when they differ.
  void ResynchroniseStores();
  const TSmoothing* SmoothingInterval(TSpeedKind kind, double time) const;
  double PerspectiveTime(int from, int to, double time) const;

  std::vector<std::unique_ptr<TKeyPoint>> m_points;
  std::vector<double> m_times;
  std::vector<int32_t> m_keyTimes;
  // The key points' values in time order, side by side so that a frame's
  // evaluation reads them without chasing a pointer per key point.
  std::vector<TKeyValues> m_values;
  bool m_valuesStale = false;
  TAnchorTimes m_anchors{};
  std::array<std::unique_ptr<TSpeedStorage>, kSpeedKindCount> m_stores;
  uint64_t m_nextIdentity = 0;
  TKeyValues m_current;
  double m_evaluationTime = 0;
  bool m_insideSlide = false;
  bool m_perspectiveCorrection = false;
};

// The key points of an object: anchors are asked of the object.
class TKeyPoints : public TKeyPointList {
public:
  explicit TKeyPoints(const TKeyPointAnchors& owner) : m_owner(owner) {}
  TAnchorTimes AnchorTimes() const override { return m_owner.AnchorTimes(); }

private:
  const TKeyPointAnchors& m_owner;
};

// The fraction q (0 < q < 1) of a movement from scale sFrom to sTo as a
// camera approaching the picture at constant speed sees it; other q and a
// zero sTo are returned unchanged.
double PerspectiveFraction(double q, double sFrom, double sTo);

} // namespace qx
