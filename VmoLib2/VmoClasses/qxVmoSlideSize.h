// The geometry of slides on the output: the show's aspect ratio from the
// project, the slide size for the fit modes, zooms and the fixed-size
// option, and the slide rectangle centred in the output.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoEffects.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include <cstdint>

namespace qx {

class TIniIdentList;

// How the show's aspect is fitted into the output.
enum class TSlideFitMode : int {
  FitInside = 0, // letterbox: the whole slide is visible
  Cover = 1,     // fills the output, the overhang is cropped
  Stretch = 2,   // the output's own aspect
};

// The aspect used when an old project's output has no height.
constexpr double kDefaultAspect = 1.333333333;

// The show's aspect (width / height). Projects of "MinorVersion" 13 or later
// (the default) take "opt_scr_width" / "opt_scr_height" and raise the
// assertion "ZeroSize of Presentation!" for a height of 0 or less; older
// ones take the output's aspect, replaced by "opt_scr_ratio" when present.
// Rounds to the nearest integer; values beyond int32 are clamped and NaN
// gives 0, so odd project values cannot overflow a size.
int32_t RoundToInt(double value);

double ShowAspect(const TIniIdentList& mainSection, TSize output);

struct TSlideSizeParams {
  TSize Output; // the output rectangle's size
  TSlideFitMode Fit = TSlideFitMode::FitInside;
  double ZoomX = 100; // percent
  double ZoomY = 100;
  double Aspect = kDefaultAspect;
  bool FixedSize = false; // "opt_scr_fullfixedsize": never enlarge the design size
  TSize Design;           // "opt_scr_width" x "opt_scr_height"
};

// No side of a slide exceeds this; a larger slide is shrunk, keeping its
// aspect.
constexpr int32_t kMaxSlideSide = 32768;

// The slide size on the output. An odd width (height) below the output's
// is made even, so that the slide centres on whole pixels. An empty output
// or a zoom of 0 or less gives 0 x 0.
TSize ComputeSlideSize(const TSlideSizeParams& params);

// The slide centred in the output rectangle (offsets (output - slide) / 2 in
// whole pixels), clipped to it; empty (0 x 0 at the output's corner) when
// they do not meet.
TPixelRect CenteredSlideRect(const TPixelRect& output, TSize slide);

} // namespace qx
