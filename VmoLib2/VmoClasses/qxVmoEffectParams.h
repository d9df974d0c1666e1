// The parameter record of a slide transition, the variant groups of the
// random mix, and the readers of the show-wide and per-slide transition keys
// of a project.
#pragma once

#include "QxLib/qxColor.h"
#include "QxLib/qxIniStorage.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// Number of transition classes; class g is the group of key "opt_fx_eff<g+1>".
constexpr int kEffectGroupCount = 19;
// The transition classes.
enum TEffectClass : int {
  kEffectMosaic = 1,
  kEffectFade = 2,
  kEffectClock = 3,
  kEffectCircle = 4,
  kEffectRhomb = 5,
  kEffectSquare = 6,
  kEffectLines = 7,
  kEffectDiagonal = 8,
  kEffectWipe = 9,
  kEffectDiagonalWipe = 10,
  kEffectBroom = 11,
  kEffectPush = 12,
  kEffectSlide = 13,
  kEffectRoll = 14,
  kEffectDiagonalRoll = 15,
  kEffectFlip = 16,
  kEffectSwap = 17,
};
// The class whose transitions are small animated projects of their own.
constexpr int kCustomEffectClass = 18;

// A Windows colour value: red in the low byte, then green, then blue.
TRgb WindowsColor(int32_t value);

// Settings handed to the effect object of a transition. Fractions refer to
// the slide rectangle until the effect factory scales them to pixels.
struct TEffectParams {
  float Smoothline = 0;   // soft edge width, fraction of the slide width
  float BroomOffset = 0;  // fraction of half the sum of slide width and height
  float RollDiameter = 0; // fraction of the slide width
  bool RollVariants = false;
  bool RollUseBackColor = false;
  TRgb RollBackColor{0, 0, 0};
  bool Roll3D = false;
  float RollCurving = 0;
  bool FlipCenter = false;
  float FlipCurving = 0;
  bool FlipSmooth = false;
  float SwapDepth = 0;
  float SwapWidth = 0;
  float SwapMaxAngle = 0; // degrees
  int32_t CenterX = 0;    // percent of the slide width
  int32_t CenterY = 0;    // percent of the slide height
  int32_t MosaicDX = 0;
  int32_t MosaicDY = 0;
  int32_t MosaicSC = 0;
  int32_t Seed = 0;   // 24 bits
  std::string Custom; // comma-separated custom transition definitions
};

// The variant number named by one character of a group text or of
// "Effect_Type": "1"..."8" -> 1...8, "A"..."H" and "a"..."h" -> 9...16,
// anything else -> 1.
int VariantOfChar(char16_t c);

// The variants of one transition class enabled for the random mix.
class TEffGroup {
public:
  void Assign(std::string_view text);

  // The text as UTF-16 units, one per variant character.
  const std::u16string& Text() const { return m_text; }
  int Count() const { return static_cast<int>(m_text.size()); }
  // Bit v - 1 is set for each variant number v in the text.
  uint16_t Variants() const { return m_variants; }
  bool Active() const { return m_variants != 0; }
  // The variant number of character j (0 <= j < Count()).
  int VariantAt(int j) const { return VariantOfChar(m_text[j]); }

private:
  std::u16string m_text;
  uint16_t m_variants = 0;
};

// Show-wide transition options of the main section.
struct TShowEffectOptions {
  bool Enabled = false; // "opt_fx_enable" and a non-zero "opt_fx_time"
  double Duration = 0;  // "opt_fx_time", ms
  bool RollVariantsPerSlide = false;
  int32_t CustomCount = 0;
  TEffectParams Params;
};

// Reads the show-wide options. Everything after the smooth line is read only
// when transitions are on; otherwise it stays 0 and false.
TShowEffectOptions ReadShowEffectOptions(const TIniSection& main);

// Overrides `params` with the parameter keys of a slide that has its own
// transition; keys missing from the slide keep the values passed in.
void ReadSlideEffectParams(const TIniSection& slide, TEffectParams& params);

// Joins the custom definitions "opt_fx_custom<k>" named by the comma-separated
// numbers of `list` (numbers outside 0 ... count - 1 and non-numbers are
// ignored), in ascending order, with ",".
std::string JoinCustomDefinitions(const TIniSection& main, std::string_view list, int count);

} // namespace qx
