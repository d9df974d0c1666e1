// Text objects: the keys of a text block, its lines with their macros
// expanded, the laid-out glyphs, the "Text: " picture drawn at a size
// chosen from the largest size the text appears at, and the colour of each
// mouse state.
#pragma once

#include "QxLib/Graphics/qxExif.h"
#include "QxLib/Graphics/qxIptcData.h"
#include "QxLib/VectorGraphics/qxTextProducer.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TVectorText;

// The line height at which a text's design size is measured when its block
// gives no "BlackBoxSize".
inline constexpr float kTextDesignLineHeight = 48;
// Text pictures are drawn no smaller than this line height...
inline constexpr float kMinTextFontSize = 4;
// ... and no wider than this.
inline constexpr int32_t kMaxTextPictureSide = 4096;

// The style bits of "FontStyle" letters: B bold, I italic, U underline, S
// strike-out (either case; other characters are ignored).
uint32_t ParseStyleLetters(std::string_view letters);

class TVmoText : public TVmoImage {
public:
  TVmoText(TVmoObject* parent, std::string name);
  ~TVmoText() override;

  bool CommentText() const { return m_commentText; }
  void SetCommentText(bool comment) { m_commentText = comment; }
  bool HasMouseStates() const override { return true; }
  // The text inside a button always lets clicks through to the button.
  bool ClickThrough() const override;

  // "Text" was empty: the object draws a single space.
  bool Empty() const { return m_empty; }
  // The lines of "Text" and the lines shown (macros expanded).
  const std::vector<std::string>& RawLines() const { return m_rawLines; }
  const std::vector<std::string>& DisplayLines() const { return m_displayLines; }
  const std::string& FontName() const { return m_fontName; }
  uint32_t Style() const { return m_style; }
  TTextAlign Align() const { return m_align; }
  int32_t LineSpacing() const { return m_lineSpacing; }
  // The colours of the normal, hover and pressed states.
  const std::array<TRgb, 3>& Colors() const { return m_colors; }
  void SetColors(const std::array<TRgb, 3>& colors) { SetSetting(m_colors, colors); }
  // The colour of the current state; the caption of a button follows the
  // button's state.
  TRgb CurrentColor() const;
  // A button's caption also takes the button's opacity and "TxtOpacity".
  float Opacity() const override;
  bool Rasterize() const { return m_rasterize; }
  const std::string& RasterizedGuid() const { return m_rasterizedGuid; }
  TSize BlackBoxSize() const { return m_blackBox; }
  float ShiftX() const { return m_shiftX; }
  float ShiftY() const { return m_shiftY; }

  // The laid-out glyphs (none before PrepareResources or when the text
  // cannot be laid out).
  const std::shared_ptr<const TVectorText>& Layout() const { return m_layout; }
  // Width ÷ height of the laid-out text (1 without a layout).
  double LayoutRatio() const;
  // The line height the picture is drawn at.
  float FontSize() const { return m_fontSize; }
  // The parameters of the text picture (drawn in white; the state colour is
  // applied when drawing).
  TTextParams PictureParams() const;

  // "Text: ..." (or the "RasterizedGUID" picture while it exists); empty
  // without a layout.
  std::string PictureName() const override;
  // Expands the macros, lays the lines out, then opens the picture.
  void PrepareResources() override;
  // Redraws the picture when the largest size the text appears at asks for
  // another line height.
  void SizesMeasured() override;

  double ShadowSizeFactor() const override;
  // The text height x 3, rounded.
  double ShadowSizeMeasure() const override;
  // The picture's draw parameters with the current state's colour.
  TPictureDrawParams DrawParams() const override;

  // The value of one base macro for this text (see Vmo_MacrosToTextParser).
  std::string MacroValue(std::string_view macro);

protected:
  void ReadSettings(const TIniIdentList& block) override;
  bool DefaultShadowEnable() const override { return true; }
  TSize PictureBaseSize(const TBitmapStore& picture) const override;
  TPlacement PicturePlacement() const override;

private:
  void ExpandLines();
  void UpdateLayout();
  float ChooseFontSize() const;
  // The main picture object (or video) of the slide; none without one.
  const TVmoObject* MainPicture() const;
  bool ReadMetadata(const std::string& pictureName);

  bool m_commentText = false;
  bool m_empty = false;
  std::vector<std::string> m_rawLines{" "};
  std::vector<std::string> m_displayLines{" "};
  std::string m_fontName;
  uint32_t m_style = 0;
  TTextAlign m_align = TTextAlign::Center;
  int32_t m_lineSpacing = 0;
  std::array<TRgb, 3> m_colors{TRgb{255, 255, 255}, TRgb{255, 255, 255}, TRgb{255, 255, 255}};
  bool m_rasterize = false;
  std::string m_rasterizedGuid;
  bool m_rasterizedMissing = false;
  TSize m_blackBox;
  float m_shiftX = 0;
  float m_shiftY = 0;

  TExif m_exif;
  TIPTCData m_iptc;
  std::shared_ptr<const TVectorText> m_layout;
  std::string m_layoutKey;
  // The size of the text at its design line height, or of its box: the
  // base size of a text that is not fitted into its parent.
  TSize m_designSize;
  // Bitmap height at kTextDesignLineHeight.
  int32_t m_designHeight = 0;
  int32_t m_designWidth = 0;
  float m_fontSize = kTextDesignLineHeight;
};

} // namespace qx
