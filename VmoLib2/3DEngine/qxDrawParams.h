// The values the drawer reads when it draws pictures, boxes and video: what
// the show model decides about an object's look, in the drawer's terms.
#pragma once

#include "QxLib/qxColor.h"

#include <cstdint>

namespace qx {

// Fill kinds the drawer knows for boxes, frames and slide backgrounds; the
// numbers are the drawer's own.
enum class TGradientKind : int32_t {
  TopLeftToBottomRight = 0,
  TopRightToBottomLeft = 1,
  Vertical = 5,
  Horizontal = 6,
  Solid = 8, // one colour
};

enum class TFiltering : int32_t { Nearest = 0, Bilinear = 1, Default = 2 };

// What the drawer needs to draw a picture object.
struct TPictureDrawParams {
  bool Feathered = true; // smooth (antialiased) edges
  float Opacity = 100;   // percent
  TFiltering Filtering = TFiltering::Default;
  int32_t MipLevel = 0;
  float MipBias = 0;
  int32_t Columns = 1;
  int32_t Rows = 1;
  int32_t Frame = 0;
  float BorderWidth = 0; // 0 without a border; logical pixels outside the picture
  TRgba BorderColor{255, 255, 255, 255};
  // Multiplied into every texel (colour and alpha); white leaves the
  // picture as it is.
  TRgba Modulation{255, 255, 255, 255};
};

// What the drawer needs to draw a box.
struct TBoxDrawParams {
  TGradientKind Gradient = TGradientKind::Solid;
  TRgba Color1{0, 0, 0, 255};
  TRgba Color2{0, 0, 0, 255};
  bool Antialiased = false;
  float Opacity = 100; // percent
};

// How a video frame is drawn: 0 a progressive frame, 1 the first field of
// an interlaced frame, 2 the second field (any other value is an assertion).
struct TVideoDrawParams {
  float Opacity = 100; // percent
  int32_t FieldMode = 0;
  bool Feathered = false;
};

} // namespace qx
