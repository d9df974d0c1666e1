#include "QxLib/VectorGraphics/qxTextProducer.h"

#include "QxLib/VectorGraphics/qxRasterizer.h"
#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

int32_t CeilPixels(double value) {
  const double up = std::ceil(value);
  // Anything this large is refused by the picture size check anyway.
  return static_cast<int32_t>(std::clamp(up, -1.0e9, 1.0e9));
}

bool IsTransparentTextColour(const TTextParams& params) {
  if (!params.Background)
    return true;
  const TBgra& b = *params.Background;
  return b.a == 0 && b.r == params.Color.r && b.g == params.Color.g && b.b == params.Color.b;
}

} // namespace

TTextPlacement PlaceText(const TVectorText& text, const TTextParams& params) {
  const TFontMetrics& font = text.FontMetrics();
  const double lineUnits = double(font.Ascent) + font.Descent;
  QX_ASSERT(lineUnits > 0, "Text line height is not positive");
  const double f = params.FontSize / lineUnits;
  TTextPlacement out;
  out.ScaleX = f * params.ScaleX;
  out.ScaleY = f * params.ScaleY;
  QX_ASSERT(std::isfinite(out.ScaleX) && std::isfinite(out.ScaleY) && out.ScaleX > 0 && out.ScaleY > 0,
            "Text scale is not positive");
  const double lineHeight = out.ScaleY * lineUnits;
  const double gap = lineHeight * params.LineSpacing / 200;

  // Lines relative to the text's top-left corner (baseline 0 at ascent).
  double pen = 0;
  double leftOverhang = 0;
  double rightOverhang = 0;
  int32_t inkAscent = font.Ascent;
  int32_t inkDescent = font.Descent;
  const int count = text.LineCount();
  out.Lines.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    TPlacedLine& line = out.Lines[static_cast<size_t>(i)];
    if (i > 0)
      pen += gap;
    line.Metrics = text.LineMetrics(i);
    line.Baseline = pen + font.Ascent * out.ScaleY;
    line.Width = std::max(0, CeilPixels(line.Metrics.Advance * out.ScaleX));
    pen += lineHeight;
    out.TextWidth = std::max(out.TextWidth, line.Width);
    leftOverhang = std::max(leftOverhang, -line.Metrics.Left * out.ScaleX);
    rightOverhang = std::max(rightOverhang, -line.Metrics.TrailingSpace * out.ScaleX);
    inkAscent = std::max(inkAscent, line.Metrics.Ascent);
    inkDescent = std::max(inkDescent, line.Metrics.Descent);
  }
  out.TextHeight = std::max(pen, 0.0);
  out.LeftMargin = CeilPixels(leftOverhang);
  out.RightMargin = CeilPixels(rightOverhang);
  out.TopMargin = std::max(0, CeilPixels(inkAscent * out.ScaleY - font.Ascent * out.ScaleY));
  out.BottomMargin = std::max(0, CeilPixels(inkDescent * out.ScaleY - font.Descent * out.ScaleY));
  out.BitmapWidth = out.LeftMargin + out.TextWidth + out.RightMargin + 2;
  out.BitmapHeight = out.TopMargin + CeilPixels(out.TextHeight) + out.BottomMargin + 2;

  for (TPlacedLine& line : out.Lines) {
    double shift = 0;
    if (params.Align == TTextAlign::Center)
      shift = out.TextWidth / 2.0 - line.Width / 2.0;
    else if (params.Align == TTextAlign::Right)
      shift = out.TextWidth - line.Width;
    line.OriginX = 1 + out.LeftMargin + shift;
    line.Baseline += 1 + out.TopMargin;
  }
  return out;
}

std::pair<double, double> BarBand(const TPlacedLine& line, double scaleY, float position, float thickness) {
  const double height = std::max(1.0, thickness * scaleY);
  const double top = line.Baseline - position * scaleY - height / 2;
  return {top, top + height};
}

TBitmap ProduceTextBitmap(const TVectorText& text, const TTextParams& params, const std::function<bool()>& cancel) {
  const TTextPlacement placement = PlaceText(text, params);
  CheckPictureSize(placement.BitmapWidth, placement.BitmapHeight, TPixelFormat::Bgra32);
  TBitmap bitmap(placement.BitmapWidth, placement.BitmapHeight, TPixelFormat::Bgra32);
  bitmap.Fill({params.Color.b, params.Color.g, params.Color.r, 0});

  TRasterHelper helper(bitmap);
  helper.SetColor(params.Color);
  const double fx = placement.ScaleX;
  const double fy = placement.ScaleY;
  const TFontMetrics& font = text.FontMetrics();
  for (int i = 0; i < text.LineCount(); ++i) {
    const TPlacedLine& line = placement.Lines[static_cast<size_t>(i)];
    for (int j = 0; j < text.GlyphCount(i); ++j) {
      const double originX = line.OriginX + fx * text.GlyphMetrics(i, j).X;
      const double originY = line.Baseline;
      helper.SetTransform([=](float x, float y) { return TFloatPoint{originX + x * fx, originY + y * fy}; });
      helper.FillPath(text.GlyphOutline(i, j));
    }
    helper.SetTransform({});
    const double right = line.OriginX + line.Metrics.Advance * fx;
    if (params.Style & kStyleUnderline) {
      const auto [top, bottom] = BarBand(line, fy, font.UnderlinePosition, font.UnderlineThickness);
      helper.FillRect(line.OriginX, top, right, bottom);
    }
    if (params.Style & kStyleStrikeOut) {
      const auto [top, bottom] = BarBand(line, fy, font.StrikeOutPosition, font.StrikeOutThickness);
      helper.FillRect(line.OriginX, top, right, bottom);
    }
    if (cancel && cancel())
      return bitmap;
  }

  if (IsTransparentTextColour(params))
    return bitmap;
  const TBgra background = *params.Background;
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.Scanline(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      uint8_t* p = row + 4 * x;
      if (p[3] == 255)
        continue;
      const TBgra composed = p[3] == 0 ? background : BlendOver(background, {p[0], p[1], p[2], p[3]});
      p[0] = composed.b;
      p[1] = composed.g;
      p[2] = composed.r;
      p[3] = composed.a;
    }
    if (cancel && cancel())
      return bitmap;
  }
  return bitmap;
}

} // namespace qx
