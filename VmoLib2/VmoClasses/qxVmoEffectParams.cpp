#include "VmoLib2/VmoClasses/qxVmoEffectParams.h"

#include "QxLib/qxUtf8.h"

#include <cmath>
#include <set>

namespace qx {

namespace {

// Integer keys hold thousandths (smooth line, roll diameter) or hundredths
// (broom offset) of the fraction stored in the params.
constexpr float kThousandth = 0.001f;
constexpr float kHundredth = 0.01f;

// A text option that is on only when its value is exactly "1".
bool TextFlag(const TIniSection& section, std::string_view key, std::string_view def) {
  return section.ReadString(key, def) == "1";
}

// Parses a whole decimal number without sign; false for anything else.
bool ParseIndex(std::string_view text, int& value) {
  if (text.empty() || text.size() > 9)
    return false;
  int result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9')
      return false;
    result = result * 10 + (c - '0');
  }
  value = result;
  return true;
}

} // namespace

TRgb WindowsColor(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return TRgb{static_cast<uint8_t>(bits & 0xFF), static_cast<uint8_t>((bits >> 8) & 0xFF),
              static_cast<uint8_t>((bits >> 16) & 0xFF)};
}

int VariantOfChar(char16_t c) {
  if (c >= u'1' && c <= u'8')
    return c - u'1' + 1;
  if (c >= u'A' && c <= u'H')
    return c - u'A' + 9;
  if (c >= u'a' && c <= u'h')
    return c - u'a' + 9;
  return 1;
}

void TEffGroup::Assign(std::string_view text) {
  m_text = Utf8ToUtf16(text);
  m_variants = 0;
  for (const char16_t c : m_text)
    m_variants |= static_cast<uint16_t>(1u << (VariantOfChar(c) - 1));
}

TShowEffectOptions ReadShowEffectOptions(const TIniSection& main) {
  TShowEffectOptions options;
  const bool enable = main.ReadBool("opt_fx_enable", false);
  const int32_t time = main.ReadInteger("opt_fx_time", 0);
  TEffectParams& p = options.Params;
  p.Smoothline = static_cast<float>(main.ReadInteger("opt_fx_smoothline", 0)) * kThousandth;
  if (!enable || time == 0)
    return options;

  options.Enabled = true;
  options.Duration = time;
  p.BroomOffset = static_cast<float>(main.ReadInteger("opt_fx_broomoffset", 0)) * kHundredth;
  p.RollDiameter = static_cast<float>(main.ReadInteger("opt_fx_rolldiameter", 0)) * kThousandth;
  const std::string rollVariants = main.ReadString("opt_fx_rollvariants", "1");
  p.RollVariants = rollVariants == "1";
  options.RollVariantsPerSlide = rollVariants == "3";
  p.RollUseBackColor = TextFlag(main, "opt_fx_rollusebackcolor", "0");
  p.Roll3D = TextFlag(main, "opt_fx_roll3d", "0");
  p.RollCurving = static_cast<float>(main.ReadFloat("opt_fx_rollcurving", 0.125));
  p.FlipCurving = static_cast<float>(main.ReadFloat("opt_fx_flipcurving", 0.5));
  p.FlipCenter = TextFlag(main, "opt_fx_flipcenter", "0");
  p.FlipSmooth = TextFlag(main, "opt_fx_flipsmooth", "1");
  p.SwapDepth = static_cast<float>(main.ReadFloat("opt_fx_swapdepth", 4));
  p.SwapWidth = static_cast<float>(main.ReadFloat("opt_fx_swapwidth", 1));
  p.SwapMaxAngle = static_cast<float>(main.ReadFloat("opt_fx_swapmaxangle", 60));
  if (p.RollUseBackColor)
    p.RollBackColor = WindowsColor(main.ReadInteger("opt_fx_rollbackcolor", 0));
  p.MosaicDX = main.ReadInteger("opt_fx_mosaic_dx", 1);
  p.MosaicDY = main.ReadInteger("opt_fx_mosaic_dy", 1);
  p.MosaicSC = main.ReadInteger("opt_fx_mosaic_sc", 0);
  p.CenterX = main.ReadInteger("opt_fx_center_x", 50);
  p.CenterY = main.ReadInteger("opt_fx_center_y", 50);
  options.CustomCount = main.ReadInteger("opt_fx_custom_count", 0);
  return options;
}

void ReadSlideEffectParams(const TIniSection& slide, TEffectParams& p) {
  p.RollVariants = TextFlag(slide, "EffectRollVariants", "");
  p.RollDiameter = static_cast<float>(slide.ReadInteger("EffectRollDiameter", 0)) * kThousandth;
  p.Roll3D = slide.ReadBool("EffectRoll3D", p.Roll3D);
  p.RollCurving = static_cast<float>(slide.ReadFloat("EffectRollCurving", p.RollCurving));
  p.FlipCenter = slide.ReadBool("EffectFlipCenter", p.FlipCenter);
  p.FlipCurving = static_cast<float>(slide.ReadFloat("EffectFlipCurving", p.FlipCurving));
  p.FlipSmooth = slide.ReadBool("EffectFlipSmooth", p.FlipSmooth);
  p.SwapDepth = static_cast<float>(slide.ReadFloat("EffectSwapDepth", p.SwapDepth));
  p.SwapWidth = static_cast<float>(slide.ReadFloat("EffectSwapWidth", p.SwapWidth));
  p.SwapMaxAngle = static_cast<float>(slide.ReadFloat("EffectSwapMaxAngle", p.SwapMaxAngle));
  p.RollUseBackColor = slide.ReadBool("EffectRollUseBackColor", p.RollUseBackColor);
  p.RollBackColor = p.RollUseBackColor ? WindowsColor(slide.ReadInteger("EffectRollBackColor", 0)) : TRgb{0, 0, 0};
  p.MosaicDX = slide.ReadInteger("EffectMosaicDX", p.MosaicDX);
  p.MosaicDY = slide.ReadInteger("EffectMosaicDY", p.MosaicDY);
  p.MosaicSC = slide.ReadInteger("EffectMosaicSC", p.MosaicSC);
  p.CenterX = slide.ReadInteger("EffectCenterX", p.CenterX);
  p.CenterY = slide.ReadInteger("EffectCenterY", p.CenterY);
  const auto broomDefault = static_cast<int32_t>(std::lround(p.BroomOffset * 100.0f));
  p.BroomOffset = static_cast<float>(slide.ReadInteger("EffectBroomOffset", broomDefault)) * kHundredth;
}

std::string JoinCustomDefinitions(const TIniSection& main, std::string_view list, int count) {
  std::set<int> marked;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    std::string_view entry = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    while (!entry.empty() && IsBlank(entry.front()))
      entry.remove_prefix(1);
    int number = 0;
    if (ParseIndex(entry, number) && number < count)
      marked.insert(number);
  }

  std::string joined;
  for (const int number : marked) {
    if (!joined.empty())
      joined += ',';
    joined += main.ReadString("opt_fx_custom" + std::to_string(number), "");
  }
  return joined;
}

} // namespace qx
