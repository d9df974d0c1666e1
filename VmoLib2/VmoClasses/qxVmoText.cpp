#include "VmoLib2/VmoClasses/qxVmoText.h"

#include "QxLib/VectorGraphics/qxVectorText.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxStream.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/Vmo_MacrosToTextParser.h"
#include "VmoLib2/VmoClasses/VmoVideoObject.h"
#include "VmoLib2/VmoClasses/qxVmoButton.h"
#include "VmoLib2/VmoClasses/qxVmoDrawing.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/qxTextNames.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>

namespace qx {

namespace {

constexpr std::string_view kAlignWords[] = {"Left", "Center", "Right"};
constexpr TRgb kWhite{255, 255, 255};

TRgba Opaque(TRgb color) { return {color.r, color.g, color.b, 255}; }

} // namespace

uint32_t ParseStyleLetters(std::string_view letters) {
  uint32_t style = 0;
  for (const char c : letters) {
    switch (c) {
    case 'B':
    case 'b': style |= kStyleBold; break;
    case 'I':
    case 'i': style |= kStyleItalic; break;
    case 'U':
    case 'u': style |= kStyleUnderline; break;
    case 'S':
    case 's': style |= kStyleStrikeOut; break;
    default: break;
    }
  }
  return style;
}

TVmoText::TVmoText(TVmoObject* parent, std::string name) : TVmoImage(parent, std::move(name)) {}

TVmoText::~TVmoText() = default;

bool TVmoText::ClickThrough() const {
  return TVmoImage::ClickThrough() || dynamic_cast<const TVmoButton*>(Parent()) != nullptr;
}

void TVmoText::ReadSettings(const TIniIdentList& block) {
  const std::string text = block.ReadString("Text", "");
  m_empty = text.empty();
  SetSetting(m_rawLines, SplitTextLines(text));
  const TRgb normal = block.ReadColor("TextColor", kWhite);
  SetSetting(m_colors, {normal, block.ReadColor("TextColorHover", normal), block.ReadColor("TextColorClick", normal)});
  SetSetting(m_fontName, block.ReadString("FontName", ""));
  SetSetting(m_style, ParseStyleLetters(block.ReadString("FontStyle", "")));
  SetSetting(m_align, static_cast<TTextAlign>(block.ReadChoice("TextAlign", kAlignWords, 1, true)));
  SetSetting(m_lineSpacing, block.ReadInteger("LineSpacing", 0));
  SetSetting(m_rasterize, block.ReadBool("Rasterize", false));
  SetSetting(m_rasterizedGuid, block.ReadString("RasterizedGUID", ""));
  std::vector<int32_t> box;
  TSize blackBox;
  if (block.ReadIntegerList("BlackBoxSize", box, 2) == 2)
    blackBox = {std::max(0, box[0]), std::max(0, box[1])};
  SetSetting(m_blackBox, blackBox);
  SetFloatSetting(m_shiftX, static_cast<float>(block.ReadFloat("ShiftX", 0)));
  SetFloatSetting(m_shiftY, static_cast<float>(block.ReadFloat("ShiftY", 0)));
  ReadPictureSettings(block);
  SetAntialiased(false);
}

TRgb TVmoText::CurrentColor() const {
  const auto* button = dynamic_cast<const TVmoButton*>(Parent());
  return m_colors[static_cast<size_t>(button ? button->MouseState() : MouseState())];
}

// The caption is part of the button: it fades with it.
float TVmoText::Opacity() const {
  const float own = TVmoImage::Opacity();
  const auto* button = dynamic_cast<const TVmoButton*>(Parent());
  return button ? own * button->Values().Opacity / 100 * button->TextOpacity() / 100 : own;
}

double TVmoText::LayoutRatio() const {
  return m_designWidth > 0 && m_designHeight > 0 ? double(m_designWidth) / m_designHeight : 1.0;
}

TTextParams TVmoText::PictureParams() const {
  TTextParams params;
  params.FontName = m_fontName;
  params.Style = m_style;
  params.Align = m_align;
  params.LineSpacing = static_cast<float>(m_lineSpacing);
  params.Color = {255, 255, 255, 255};
  params.FontSize = m_fontSize;
  return params;
}

std::string TVmoText::PictureName() const {
  if (m_rasterize && !m_rasterizedGuid.empty() && !m_rasterizedMissing)
    return m_rasterizedGuid;
  if (!m_layout)
    return {};
  return TextPictureName(PictureParams(), m_displayLines);
}

void TVmoText::ExpandLines() {
  const TMTParser parser([this](std::string_view macro) { return MacroValue(macro); });
  std::vector<std::string> lines;
  lines.reserve(m_rawLines.size());
  for (const std::string& line : m_rawLines)
    lines.push_back(parser.Expand(line));
  m_displayLines = std::move(lines);
}

void TVmoText::UpdateLayout() {
  const std::string key = TextLayoutName(m_fontName, m_style, m_displayLines);
  if (m_layout && key == m_layoutKey)
    return;
  m_layout.reset();
  m_layoutKey = key;
  m_designWidth = m_designHeight = 0;
  m_designSize = {};
  TVmoObjectHost* host = Host();
  if (!host)
    return;
  try {
    m_layout = host->TextLayout(m_fontName, m_style, m_displayLines);
    if (!m_layout)
      return;
    TTextParams design = PictureParams();
    design.FontSize = kTextDesignLineHeight;
    const TTextPlacement placement = PlaceText(*m_layout, design);
    m_designWidth = placement.BitmapWidth;
    m_designHeight = placement.BitmapHeight;
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("TVmoText(" + Name() + "): " + error.what());
    m_layout.reset();
    return;
  }
  // The block's box keeps its height; the width follows the laid-out text,
  // so that a text laid out with another font or expanded macros is not
  // stretched.
  if (m_blackBox.Height > 0)
    m_designSize = {std::max(1, static_cast<int32_t>(std::lround(m_blackBox.Height * LayoutRatio()))),
                    m_blackBox.Height};
  else
    m_designSize = {m_designWidth, m_designHeight};
}

float TVmoText::ChooseFontSize() const {
  if (m_designHeight <= 0)
    return kTextDesignLineHeight;
  const auto expected = LargestExpectedSize();
  const double scale = Host() ? Host()->MipLevelScale() : TVmoObjectHost::kMipLevelScale;
  const double wanted = expected[1] > 0 ? WantedSide(expected[1], scale) : std::max(1, m_designSize.Height);
  double size = kTextDesignLineHeight * wanted / m_designHeight;
  const int32_t longest = std::max(m_designWidth, m_designHeight);
  size = std::min(size, double(kTextDesignLineHeight) * kMaxTextPictureSide / longest);
  size = std::clamp(size, double(kMinTextFontSize), double(kMaxTextFontSize));
  return static_cast<float>(std::max(double(kMinTextFontSize), std::floor(size)));
}

void TVmoText::PrepareResources() {
  ExpandLines();
  UpdateLayout();
  m_fontSize = ChooseFontSize();
  m_rasterizedMissing = false;
  TVmoImage::PrepareResources();
  if (!Picture() && m_rasterize && !m_rasterizedGuid.empty()) {
    // The pre-rasterised picture is not in the show: draw the text itself.
    m_rasterizedMissing = true;
    TVmoImage::PrepareResources();
  }
}

void TVmoText::SizesMeasured() {
  TVmoImage::SizesMeasured();
  if (!m_layout)
    return;
  const float size = ChooseFontSize();
  if (size == m_fontSize)
    return;
  m_fontSize = size;
  TVmoImage::PrepareResources();
}

// Fitted into its parent, a text's size on screen follows only its aspect,
// so its base size is its picture's, as for pictures (and its shadow is made
// to match). Unfitted, the base size is the size on screen and must not
// follow the picture, which is drawn at the size the text is shown at: it
// is the design size.
TSize TVmoText::PictureBaseSize(const TBitmapStore& picture) const {
  if (FitMode() == TFitMode::None && m_designSize.Width > 0 && m_designSize.Height > 0)
    return m_designSize;
  return {picture.Width(), picture.Height()};
}

TPlacement TVmoText::PicturePlacement() const {
  const TPlacement placement = ObjectPlacement(*this);
  if (Width() <= 0 || Height() <= 0 || (m_shiftX == 0 && m_shiftY == 0))
    return placement;
  const double dx = m_shiftX / Width();
  const double dy = m_shiftY / Height();
  return placement.Part(dx, dy, 1 + dx, 1 + dy);
}

TPictureDrawParams TVmoText::DrawParams() const {
  TPictureDrawParams params = TVmoImage::DrawParams();
  // A pre-rasterised picture carries its own colour.
  if (!(m_rasterize && !m_rasterizedGuid.empty() && !m_rasterizedMissing))
    params.Modulation = Opaque(CurrentColor());
  return params;
}

double TVmoText::ShadowSizeFactor() const { return LevelHeight() / kShadowSizeDivisor * kTextShadowScale; }

double TVmoText::ShadowSizeMeasure() const { return std::round(Height() * 3.0); }

// --- Macros ------------------------------------------------------------------

const TVmoObject* TVmoText::MainPicture() const {
  TVmoSlide* slide = RootSlide();
  if (!slide)
    return nullptr;
  const TVmoObject* found = nullptr;
  slide->ForEach([&found](TVmoObject& object) {
    if (found)
      return;
    // Exactly the picture kind: texts, buttons and masks are pictures too.
    if (typeid(object) == typeid(TVmoImage) && static_cast<const TVmoImage&>(object).MainImage())
      found = &object;
    else if (const auto* video = dynamic_cast<const TVmoVideo*>(&object); video && video->MainVideo())
      found = &object;
  });
  return found;
}

bool TVmoText::ReadMetadata(const std::string& pictureName) {
  m_exif.Clear();
  m_iptc.Clear();
  TVmoObjectHost* host = Host();
  if (!host || pictureName.empty())
    return false;
  try {
    const std::unique_ptr<TStream> stream = host->OpenStream(pictureName);
    if (!stream)
      return false;
    m_exif.Read(*stream);
    stream->SetPosition(0);
    m_iptc.Read(*stream);
    return true;
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("TVmoText: metadata of " + pictureName + ": " + error.what());
    return false;
  }
}

std::string TVmoText::MacroValue(std::string_view macro) {
  TVmoObjectHost* host = Host();
  if (macro == kMacroSlideIndex) {
    const TVmoSlide* slide = RootSlide();
    return slide ? std::to_string(slide->Index() + 1) : std::string();
  }
  if (macro == kMacroSlidesCount)
    return host ? std::to_string(host->SlideCount()) : std::string();

  // A main video gives its name and frame size once video objects carry
  // their clip; until then only a main picture answers.
  const auto* image = dynamic_cast<const TVmoImage*>(MainPicture());
  if (!image)
    return {};
  const std::string& name = image->ImageName();
  if (macro == kMacroPathNameExt)
    return name;
  if (macro == kMacroWidth || macro == kMacroHeight) {
    // A main picture not opened yet (it may stand after the text) is
    // opened for its size; that reads only its header.
    TRefPtr<TBitmapStore> picture = image->Picture();
    if (!picture && host && !name.empty())
      picture = host->OpenPicture(name);
    if (!picture)
      return "0";
    return std::to_string(macro == kMacroWidth ? picture->Width() : picture->Height());
  }
  if (!ReadMetadata(name))
    return {};
  if (macro == kMacroExifDateTime)
    return m_exif.Text(TExif::kDateTime);
  if (macro == kMacroExifComment)
    return m_exif.Text(TExif::kUserComment);
  if (macro == kMacroExifDescription)
    return m_exif.Text(TExif::kImageDescription);
  for (const TIptcMacro& iptc : kIptcMacros) {
    if (macro != iptc.Macro)
      continue;
    const std::string value = m_iptc.First(static_cast<uint16_t>(iptc.Dataset));
    return iptc.Trimmed ? Trim(value) : value;
  }
  return {};
}

} // namespace qx
