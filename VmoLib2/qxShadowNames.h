// Shadow pictures by name: the synthetic picture names beginning "Shadow: "
// under which slides ask for shadow pictures, composing and parsing them, and
// producing the picture a name stands for.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxRefCounted.h"
#include "VmoLib2/qxShadow.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qx {

// The prefix of every shadow picture name.
inline constexpr std::string_view kShadowNamePrefix = "Shadow: ";
// The source name of a shape shadow: a filled rectangle without picture.
inline constexpr std::string_view kShapeShadowSource = "N\\A";

// Shadow pictures are reduced until the bordered area is at most this many
// pixels and neither side exceeds kMaxShadowSide.
constexpr int64_t kMaxShadowArea = 700000;
constexpr int64_t kMaxShadowSide = 10000;
// A shape shadow is scaled so that its bordered area is this many pixels.
constexpr double kShapeShadowArea = 40000;

// Gradient kinds of a shape shadow's fill (value 10 of the name).
enum class TShadowGradient : int {
  FromTopLeft = 0,
  FromTopRight = 1,
  FromBottomLeft = 2,
  FromBottomRight = 3,
  FromBottom = 4,
  FromTop = 5,
  FromLeft = 6,
  FromRight = 7,
  Plain = 8,
};

// The seventeen values of a shadow name and the source picture's name.
struct TShadowNameParams {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int BorderX = 0; // added on each side for the blur
  int BorderY = 0;
  int BaseAlpha = 255; // alpha of the base fill
  double BlurSize = 0; // sigma - 1 of the drop shadow
  int ContourIndex = 0;
  int Gradient = static_cast<int>(TShadowGradient::Plain);
  int GradientStartAlpha = 0;
  int GradientEndAlpha = 0;
  int Blue = 0;
  int Green = 0;
  int Red = 0;
  double Opacity = 0; // percent
  int MipLevel = 0;   // level at which the source picture is taken
  std::string Source; // picture name, or kShapeShadowSource

  bool IsShape() const { return Source == kShapeShadowSource; }
};

// "Shadow: " followed by the seventeen values, each followed by ":", then
// the source name. Opacity is written with two decimals.
std::string ComposeShadowName(const TShadowNameParams& params);

// True when `name` begins with "Shadow: ".
bool IsShadowName(std::string_view name);

// Parses a shadow name. A value that does not parse takes its default
// (255 for the base alpha, 8 for the gradient kind, 0 otherwise); the source
// name runs to the end and may contain ":". A name without the prefix or
// with fewer than seventeen values raises EQxError "Invalid shadow picture
// name: ...".
TShadowNameParams ParseShadowName(std::string_view name);

// How much a shadow picture of bordered size W' x H' is reduced: the factor
// k = 2 ^ Halvings and the reduced size.
struct TShadowReduction {
  int Factor = 1;
  int Halvings = 0;
  int64_t Width = 0;
  int64_t Height = 0;
};

// Halves W' and H' (integer division) while their product exceeds
// kMaxShadowArea, then while either exceeds kMaxShadowSide.
TShadowReduction ComputeShadowReduction(int64_t borderedWidth, int64_t borderedHeight);

// Scales a shape shadow's rectangle and borders so that the bordered area
// is kShapeShadowArea pixels (each value rounded) and sets the blur size to
// sqrt(scaled width x scaled height) x blurSize / 400 x 1.1.
void ScaleShapeShadow(TShadowNameParams& params, double blurSize);

// Gives the bitmap store of a source picture by name, or nothing.
using TShadowSourceGetter = std::function<TRefPtr<TBitmapStore>(const std::string& name)>;

// Produces the Bgra32 shadow picture that `name` stands for. Values outside
// their ranges are brought into them (colours and alphas 0 .. 255, opacity
// 0 .. 100); a negative size or border, or a mip level outside 0 .. 30,
// raises EQxError naming the value; a missing source picture raises
// EQxError "Shadow source picture not found: ..."; an empty bordered
// picture raises "Source bitmap too small"; cancelling raises EAbort.
TBitmap ProduceShadowPicture(std::string_view name, const TShadowSourceGetter& getSource,
                             const TCancelCallback& cancel = {});

// The same, wrapped as a bitmap store named `name` for the picture cache.
TRefPtr<TBitmapStore> OpenShadowPicture(const std::string& name, const TShadowSourceGetter& getSource,
                                        const TCancelCallback& cancel = {});

} // namespace qx
