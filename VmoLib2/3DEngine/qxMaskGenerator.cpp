#include "VmoLib2/3DEngine/qxMaskGenerator.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxDrawFilter2.h"

#include <charconv>
#include <cmath>
#include <sstream>
#include <vector>

namespace qx {

namespace {

constexpr double kWhite = 255;
constexpr double kPercent = 100;
constexpr int kFields = 5;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

int IntegerField(std::string_view text) {
  text = Trimmed(text);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

double DecimalField(std::string_view text) {
  text = Trimmed(text);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value) ? value : 0;
}

// The grey level at distance d from the centre of an edge at e with a soft
// band s inside it.
uint8_t EdgeLevel(double d, double e, double s) {
  if (d < e - s) {
    return 255;
  }
  if (d > e || s <= 0) {
    return 0;
  }
  return static_cast<uint8_t>(kWhite - std::lround(kWhite * EaseInOut((s + d - e) / s)));
}

} // namespace

TMaskGenerator::TMaskGenerator(std::string_view name) {
  if (name.substr(0, kPresetedMaskPrefix.size()) == kPresetedMaskPrefix) {
    name.remove_prefix(kPresetedMaskPrefix.size());
  }
  std::vector<std::string_view> fields;
  while (fields.size() < kFields) {
    const size_t colon = name.find(':');
    fields.push_back(name.substr(0, colon));
    if (colon == std::string_view::npos) {
      break;
    }
    name.remove_prefix(colon + 1);
  }
  fields.resize(kFields);
  m_width = IntegerField(fields[0]);
  m_height = IntegerField(fields[1]);
  m_shape = IntegerField(fields[2]);
  m_soft = DecimalField(fields[3]);
  m_radius = DecimalField(fields[4]);
}

TMaskGenerator::TMaskGenerator(int width, int height, int shape, double soft, double radius)
    : m_width(width), m_height(height), m_shape(shape), m_soft(soft), m_radius(radius) {}

std::string TMaskGenerator::Key() const {
  std::ostringstream key;
  key << kPresetedMaskPrefix << m_width << ':' << m_height << ':' << m_shape << ':' << m_soft << ':' << m_radius;
  return key.str();
}

uint8_t TMaskGenerator::Level(int x, int y) const {
  QX_ASSERT(m_shape == kEllipse || m_shape == kRoundedRectangle, "Preset mask shape out of range");
  if (m_width <= 0 || m_height <= 0) {
    return 0;
  }
  const double m = std::min(m_width / 2, m_height / 2);
  const double cx = (m_width - 1) / 2.0;
  const double cy = (m_height - 1) / 2.0;
  if (m_shape == kEllipse) {
    const double s = m * m_soft / kPercent;
    const double dy = (y - cy) * m_width / m_height;
    return EdgeLevel(std::hypot(x - cx, dy), cx, s);
  }
  const double r = std::trunc(m * m_radius / kPercent);
  const double s = r * m_soft / kPercent + 1;
  const bool left = x < r;
  const bool right = x >= m_width - r;
  const bool top = y < r;
  const bool bottom = y >= m_height - r;
  if ((left || right) && (top || bottom)) {
    const double ox = left ? r : m_width - 1 - r;
    const double oy = top ? r : m_height - 1 - r;
    return EdgeLevel(std::hypot(x - ox, y - oy), r, s);
  }
  if (top || bottom) {
    return EdgeLevel(std::abs(y - cy), cy, s);
  }
  if (left || right) {
    return EdgeLevel(std::abs(x - cx), cx, s);
  }
  return 255;
}

std::unique_ptr<TBitmap> TMaskGenerator::Generate(const std::function<bool(int row)>& progress) const {
  QX_ASSERT(m_shape == kEllipse || m_shape == kRoundedRectangle, "Preset mask shape out of range");
  if (m_width <= 0 || m_height <= 0 || m_width > kMaxSide || m_height > kMaxSide) {
    return nullptr;
  }
  auto picture = std::make_unique<TBitmap>(m_width, m_height, TPixelFormat::Gray8);
  for (int y = 0; y < m_height; ++y) {
    uint8_t* row = picture->Scanline(y);
    for (int x = 0; x < m_width; ++x) {
      row[x] = Level(x, y);
    }
    if (progress && progress(y)) {
      return nullptr;
    }
  }
  return picture;
}

} // namespace qx
