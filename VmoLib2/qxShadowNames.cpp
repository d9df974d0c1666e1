#include "VmoLib2/qxShadowNames.h"

#include "QxLib/Graphics/qxMipFilter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace qx {

namespace {

constexpr int kShadowNameValueCount = 17;
// Deeper levels are all 1 x 1; a larger value is a damaged name.
constexpr int kMaxShadowMipLevel = 30;

const TBgra kOpaqueWhite{255, 255, 255, 255};

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return text;
}

int ParseInteger(std::string_view text, int def) {
  text = TrimBlanks(text);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    return def;
  return value;
}

// Accepts "." or "," as the decimal separator; infinities and NaN count as
// unparsable.
double ParseDecimal(std::string_view text, double def) {
  std::string copy(TrimBlanks(text));
  std::replace(copy.begin(), copy.end(), ',', '.');
  double value = 0;
  const auto [end, error] = std::from_chars(copy.data(), copy.data() + copy.size(), value);
  if (error != std::errc() || end != copy.data() + copy.size() || copy.empty() || !std::isfinite(value))
    return def;
  return value;
}

std::string FormatDecimal(double value, int decimals) {
  // Room for any double in fixed notation: up to 309 digits before the point.
  char buffer[std::numeric_limits<double>::max_exponent10 + 32];
  const auto result = decimals < 0
                          ? std::to_chars(buffer, buffer + sizeof(buffer), value)
                          : std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

[[noreturn]] void RaiseInvalidName(std::string_view name, std::string_view why) {
  throw EQxError("Invalid shadow picture name: " + std::string(why) + " in \"" + std::string(name) + "\"");
}

int ClampByteValue(int value) { return std::clamp(value, 0, 255); }

// Offsets are computed in 64 bits: a rectangle far to the left of its source
// picture with a wide border passes the int range before it is divided.
int RoundedDivide(int64_t value, int factor) {
  const double quotient = std::nearbyint(static_cast<double>(value) / factor);
  return static_cast<int>(std::clamp(quotient, double{INT32_MIN}, double{INT32_MAX}));
}

// Fills the whole picture with white and an alpha ramp from `start` to `end`
// in the direction of the gradient kind.
void FillGradient(TBitmap& picture, TShadowGradient kind, int start, int end) {
  const int width = picture.Width();
  const int height = picture.Height();
  const auto fraction = [](int at, int size) { return size > 1 ? static_cast<double>(at) / (size - 1) : 0.0; };
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture.Scanline(y);
    const double down = fraction(y, height);
    for (int x = 0; x < width; ++x) {
      const double across = fraction(x, width);
      double t = 0;
      switch (kind) {
      case TShadowGradient::FromTopLeft: t = (across + down) / 2; break;
      case TShadowGradient::FromTopRight: t = (1 - across + down) / 2; break;
      case TShadowGradient::FromBottomLeft: t = (across + 1 - down) / 2; break;
      case TShadowGradient::FromBottomRight: t = (2 - across - down) / 2; break;
      case TShadowGradient::FromBottom: t = 1 - down; break;
      case TShadowGradient::FromTop: t = down; break;
      case TShadowGradient::FromLeft: t = across; break;
      case TShadowGradient::FromRight: t = 1 - across; break;
      case TShadowGradient::Plain: t = 0; break;
      }
      uint8_t* p = row + 4 * x;
      p[0] = p[1] = p[2] = 255;
      p[3] = static_cast<uint8_t>(std::clamp(std::nearbyint(start + (end - start) * t), 0.0, 255.0));
    }
  }
}

void DrawShape(TBitmap& picture, const TShadowNameParams& params, int insetX, int insetY) {
  if (params.GradientStartAlpha == 255 && params.GradientEndAlpha == 255) {
    const int width = picture.Width() - 2 * insetX;
    const int height = picture.Height() - 2 * insetY;
    if (width > 0 && height > 0)
      picture.CropView(insetX, insetY, width, height).Fill(kOpaqueWhite);
    return;
  }
  const int kind = params.Gradient >= 0 && params.Gradient <= static_cast<int>(TShadowGradient::Plain)
                       ? params.Gradient
                       : static_cast<int>(TShadowGradient::Plain);
  FillGradient(picture, static_cast<TShadowGradient>(kind), params.GradientStartAlpha, params.GradientEndAlpha);
}

// Cuts the object rectangle out of the source level, reduces it and places
// it inside the borders.
void DrawSource(TBitmap& picture, const TShadowNameParams& params, const TShadowReduction& reduction,
                const TShadowSourceGetter& getSource) {
  const TRefPtr<TBitmapStore> store = getSource ? getSource(params.Source) : TRefPtr<TBitmapStore>();
  if (!store)
    throw EQxError("Shadow source picture not found: " + params.Source);
  const std::shared_ptr<const TBitmap> level = store->GetMipLevel(params.MipLevel, TPixelFormat::Bgra32);
  const int left = std::clamp(params.Left, 0, level->Width());
  const int top = std::clamp(params.Top, 0, level->Height());
  const int right = static_cast<int>(std::clamp<int64_t>(int64_t{params.Left} + params.Width, left, level->Width()));
  const int bottom = static_cast<int>(std::clamp<int64_t>(int64_t{params.Top} + params.Height, top, level->Height()));
  if (right <= left || bottom <= top)
    return;
  TBitmap cut = level->CropView(left, top, right - left, bottom - top);
  for (int i = 0; i < reduction.Halvings; ++i)
    cut = HalveBitmap(cut, true);
  const int k = reduction.Factor;
  picture.Draw(cut, RoundedDivide(int64_t{params.BorderX} + left - params.Left, k),
               RoundedDivide(int64_t{params.BorderY} + top - params.Top, k));
}

void CheckRanges(std::string_view name, const TShadowNameParams& params) {
  if (params.Width < 0 || params.Height < 0)
    RaiseInvalidName(name, "negative size");
  if (params.BorderX < 0 || params.BorderY < 0)
    RaiseInvalidName(name, "negative border");
  if (params.MipLevel < 0 || params.MipLevel > kMaxShadowMipLevel)
    RaiseInvalidName(name, "mip level out of range");
}

} // namespace

std::string ComposeShadowName(const TShadowNameParams& p) {
  std::string name(kShadowNamePrefix);
  for (const int value : {p.Left, p.Top, p.Width, p.Height, p.BorderX, p.BorderY, p.BaseAlpha})
    name += std::to_string(value) + ":";
  name += FormatDecimal(p.BlurSize, -1) + ":";
  for (const int value : {p.ContourIndex, p.Gradient, p.GradientStartAlpha, p.GradientEndAlpha, p.Blue, p.Green, p.Red})
    name += std::to_string(value) + ":";
  name += FormatDecimal(p.Opacity, 2) + ":";
  name += std::to_string(p.MipLevel) + ":";
  name += p.Source;
  return name;
}

bool IsShadowName(std::string_view name) { return name.starts_with(kShadowNamePrefix); }

TShadowNameParams ParseShadowName(std::string_view name) {
  if (!IsShadowName(name))
    RaiseInvalidName(name, "no \"Shadow: \" prefix");
  std::string_view rest = name.substr(kShadowNamePrefix.size());
  std::string_view values[kShadowNameValueCount];
  for (std::string_view& value : values) {
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos)
      RaiseInvalidName(name, "fewer than 17 values");
    value = rest.substr(0, colon);
    rest.remove_prefix(colon + 1);
  }
  TShadowNameParams p;
  int* const leading[] = {&p.Left, &p.Top, &p.Width, &p.Height, &p.BorderX, &p.BorderY, &p.BaseAlpha};
  for (size_t i = 0; i < std::size(leading); ++i)
    *leading[i] = ParseInteger(values[i], *leading[i]);
  p.BlurSize = ParseDecimal(values[7], p.BlurSize);
  int* const middle[] = {&p.ContourIndex, &p.Gradient, &p.GradientStartAlpha, &p.GradientEndAlpha, &p.Blue,
                         &p.Green,        &p.Red};
  for (size_t i = 0; i < std::size(middle); ++i)
    *middle[i] = ParseInteger(values[8 + i], *middle[i]);
  p.Opacity = ParseDecimal(values[15], p.Opacity);
  p.MipLevel = ParseInteger(values[16], p.MipLevel);
  p.Source = std::string(rest);
  return p;
}

TShadowReduction ComputeShadowReduction(int64_t borderedWidth, int64_t borderedHeight) {
  TShadowReduction r{1, 0, borderedWidth, borderedHeight};
  const auto halve = [&r] {
    r.Width /= 2;
    r.Height /= 2;
    r.Factor *= 2;
    ++r.Halvings;
  };
  // The product is compared in floating point: sides near the int range
  // would overflow a 64-bit product.
  while (static_cast<double>(r.Width) * static_cast<double>(r.Height) > kMaxShadowArea)
    halve();
  while (r.Width > kMaxShadowSide || r.Height > kMaxShadowSide)
    halve();
  return r;
}

void ScaleShapeShadow(TShadowNameParams& params, double blurSize) {
  const double area = (params.Width + 2.0 * params.BorderX) * (params.Height + 2.0 * params.BorderY);
  if (area <= 0)
    return;
  const double factor = std::sqrt(kShapeShadowArea / area);
  const auto scale = [factor](int value) { return static_cast<int>(std::nearbyint(value * factor)); };
  params.Width = scale(params.Width);
  params.Height = scale(params.Height);
  params.BorderX = scale(params.BorderX);
  params.BorderY = scale(params.BorderY);
  params.BlurSize = std::sqrt(static_cast<double>(params.Width) * params.Height) * blurSize / 400 * 1.1;
}

TBitmap ProduceShadowPicture(std::string_view name, const TShadowSourceGetter& getSource,
                             const TCancelCallback& cancel) {
  TShadowNameParams params = ParseShadowName(name);
  CheckRanges(name, params);
  params.BaseAlpha = ClampByteValue(params.BaseAlpha);
  params.GradientStartAlpha = ClampByteValue(params.GradientStartAlpha);
  params.GradientEndAlpha = ClampByteValue(params.GradientEndAlpha);

  const TShadowReduction reduction = ComputeShadowReduction(int64_t{params.Width} + 2 * int64_t{params.BorderX},
                                                            int64_t{params.Height} + 2 * int64_t{params.BorderY});
  if (reduction.Width <= 0 || reduction.Height <= 0)
    throw EQxError("Source bitmap too small");
  const int k = reduction.Factor;
  TBitmap picture(static_cast<int>(reduction.Width), static_cast<int>(reduction.Height), TPixelFormat::Bgra32);
  picture.Fill(TBgra{0, 0, 0, static_cast<uint8_t>(params.BaseAlpha)});
  if (params.IsShape())
    DrawShape(picture, params, RoundedDivide(params.BorderX, k), RoundedDivide(params.BorderY, k));
  else
    DrawSource(picture, params, reduction, getSource);

  TShadowProducer producer;
  producer.Shadow().SetSize(params.BlurSize);
  producer.Shadow().SetSigma(producer.Shadow().Sigma() / k);
  producer.Shadow().Curve().SetPresetIndex(params.ContourIndex);
  const double opacity = std::clamp(params.Opacity, 0.0, 100.0);
  producer.SetColor(TBgra{static_cast<uint8_t>(ClampByteValue(params.Blue)),
                          static_cast<uint8_t>(ClampByteValue(params.Green)),
                          static_cast<uint8_t>(ClampByteValue(params.Red)), static_cast<uint8_t>(opacity * 255 / 100)});
  producer.SetCancelCallback(cancel);
  return producer.Produce(picture);
}

TRefPtr<TBitmapStore> OpenShadowPicture(const std::string& name, const TShadowSourceGetter& getSource,
                                        const TCancelCallback& cancel) {
  auto picture = std::make_unique<TBitmap>(ProduceShadowPicture(name, getSource, cancel));
  return MakeRef<TWrapperBitmapStore>(name, std::move(picture));
}

} // namespace qx
