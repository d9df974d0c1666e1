#include "VmoLib2/VmoClasses/qxOverlayLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace qx {

namespace {

constexpr std::array<std::string_view, 9> kPositionWords = {
    "Left-Top", "Top", "Right-Top", "Right", "Right-Bottom", "Bottom", "Left-Bottom", "Left", "Center"};

constexpr std::array<TOverlayPosition, 9> kLogoPositions = {
    TOverlayPosition::Left,       TOverlayPosition::Top,         TOverlayPosition::Right,
    TOverlayPosition::Bottom,     TOverlayPosition::Center,      TOverlayPosition::LeftTop,
    TOverlayPosition::RightTop,   TOverlayPosition::RightBottom, TOverlayPosition::LeftBottom};

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// -1, 0 or +1: the side of the area an item leans on along one axis.
struct TLean {
  int X;
  int Y;
};

TLean LeanOf(TOverlayPosition position) {
  switch (position) {
  case TOverlayPosition::LeftTop: return {-1, -1};
  case TOverlayPosition::Top: return {0, -1};
  case TOverlayPosition::RightTop: return {1, -1};
  case TOverlayPosition::Right: return {1, 0};
  case TOverlayPosition::RightBottom: return {1, 1};
  case TOverlayPosition::Bottom: return {0, 1};
  case TOverlayPosition::LeftBottom: return {-1, 1};
  case TOverlayPosition::Left: return {-1, 0};
  case TOverlayPosition::Center: break;
  }
  return {0, 0};
}

// Rounded to nearest with halves to even, as every rounding of the show
// model; kept within int for absurd offsets.
int RoundToInt(double value) {
  constexpr double kLimit = 1 << 30;
  if (!(value == value))
    return 0;
  return static_cast<int>(std::nearbyint(std::clamp(value, -kLimit, kLimit)));
}

// One axis: the anchor (percent of half the extent from the centre) and the
// item's pivot (percent of its half size) from the lean and the offset.
int PlaceAxis(int lean, double offset, int start, int extent, int size) {
  const double anchor = lean == 0 ? 0 : lean * (100 - offset);
  const double pivot = lean * 100.0;
  return RoundToInt((anchor / 100 + 1) * extent / 2) + start - RoundToInt(size * (pivot + 100) / 200);
}

} // namespace

TOverlayPosition OverlayPositionFromWord(std::string_view word) {
  for (size_t i = 0; i < kPositionWords.size(); ++i)
    if (SameWord(word, kPositionWords[i]))
      return static_cast<TOverlayPosition>(i);
  return TOverlayPosition::Center;
}

TOverlayPosition OverlayPositionFromLogo(int32_t value) {
  if (value < 0 || value >= static_cast<int32_t>(kLogoPositions.size()))
    return TOverlayPosition::Center;
  return kLogoPositions[static_cast<size_t>(value)];
}

T3DRect PlaceOverlayItem(TOverlayPosition position, double offset, const T3DRect& area, int32_t w, int32_t h) {
  const TLean lean = LeanOf(position);
  T3DRect rect;
  rect.left = PlaceAxis(lean.X, offset, area.left, area.Width(), w);
  rect.top = PlaceAxis(lean.Y, offset, area.top, area.Height(), h);
  rect.right = rect.left + w;
  rect.bottom = rect.top + h;
  return rect;
}

// --- Mouse movement -----------------------------------------------------------

void TMouseMoveDetector::Sample(int32_t x, int32_t y, int64_t now) {
  if (m_samples == 0 || std::llabs(int64_t{x} - m_x) + std::llabs(int64_t{y} - m_y) >= kMinimumMove) {
    if (m_samples > 0) {
      m_lastMove = now;
      m_pendingReset = false;
    }
    m_x = x;
    m_y = y;
  }
  m_samples = std::min(m_samples + 1, 2);
}

bool TMouseMoveDetector::HideDue(int64_t now) {
  if (m_pendingReset) {
    m_lastMove = now;
    m_pendingReset = false;
  }
  return now - m_lastMove > m_interval;
}

void TMouseMoveDetector::Reset(bool expired, int64_t now) {
  if (expired) {
    m_lastMove = now - m_interval - 1;
    m_pendingReset = false;
    return;
  }
  m_pendingReset = true;
}

// --- Panel fade ---------------------------------------------------------------

TPanelFade::TPanelFade(bool startHidden, int32_t fadeInMs, int32_t fadeOutMs)
    : m_hidden(startHidden), m_fadeIn(std::max(0, fadeInMs)), m_fadeOut(std::max(0, fadeOutMs)),
      m_opacity(startHidden ? 0 : 100) {}

double TPanelFade::Progress(int64_t now) const {
  if (now < m_windowStart || now >= m_windowEnd)
    return 100;
  return 100.0 * static_cast<double>(now - m_windowStart) / static_cast<double>(m_windowEnd - m_windowStart);
}

std::optional<double> TPanelFade::Step(bool hide, int64_t now) {
  const double progress = Progress(now);
  if (hide != m_hidden) {
    m_hidden = hide;
    const int32_t length = hide ? m_fadeOut : m_fadeIn;
    // The new window is placed so that its progress now continues the
    // opacity reached so far.
    m_windowEnd = now + std::llround(progress * length / 100);
    m_windowStart = m_windowEnd - length;
  }
  const double d = Progress(now);
  const double opacity = m_hidden ? 100 - d : d;
  if (std::abs(opacity - m_opacity) <= 0.001)
    return std::nullopt;
  m_opacity = opacity;
  return opacity;
}

} // namespace qx
