// Preset mask pictures: a picture name "PresetedMask: W:H:SHAPE:SOFT:RADIUS"
// stands for a generated grey picture of W x H pixels, white inside an
// ellipse (shape 1) or a rounded rectangle (shape 0) touching its sides,
// black outside, with a soft band of SOFT percent along the edge (RADIUS
// percent is the rounded rectangle's corner radius).
#pragma once

#include "QxLib/Graphics/qxBitmap.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qx {

inline constexpr std::string_view kPresetedMaskPrefix = "PresetedMask: ";

class TMaskGenerator {
public:
  enum TShape : int { kRoundedRectangle = 0, kEllipse = 1 };
  // Larger sides are refused (the name comes from a project).
  static constexpr int kMaxSide = 8192;

  // Reads the fields after the prefix (a name without the prefix is read
  // whole); a field that does not parse as a number counts as 0.
  explicit TMaskGenerator(std::string_view name);
  TMaskGenerator(int width, int height, int shape, double soft, double radius);

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int Shape() const { return m_shape; }
  double Soft() const { return m_soft; }
  double Radius() const { return m_radius; }
  // The name in its written form, the key the picture cache keeps it under.
  std::string Key() const;

  // The grey level of a pixel. A shape other than 0 and 1 is an assertion.
  uint8_t Level(int x, int y) const;
  // The picture (Gray8); none for a size outside 1 ... kMaxSide. `progress`
  // is told each row done and stops the generation (none) by answering
  // true. A shape other than 0 and 1 is an assertion.
  std::unique_ptr<TBitmap> Generate(const std::function<bool(int row)>& progress = {}) const;

private:
  int m_width = 0;
  int m_height = 0;
  int m_shape = 0;
  double m_soft = 0;
  double m_radius = 0;
};

} // namespace qx
