// The video-style navigation bar: one row of a play/pause button, the
// requested buttons, a time track with its thumb, the time as text, a sound
// (mute) button and a volume track, spanning the width the panel offers.
// Only the parts whose look changes are drawn again, each over a copy of
// the background under it.
#pragma once

#include "VmoLib2/NavPanel/qxCustomNavBar.h"
#include "VmoLib2/NavPanel/qxNavTimeText.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TGlyphOutlineSource;
class TIniStorage;

// The button cells of the video-style bar's strips.
enum TVideoNavCell : int32_t {
  vncPlayPaused = 0,
  vncPlayPlaying = 1,
  vncSound = 2,
  vncMuted = 3,
  vncBackward = 4,
  vncForward = 5,
};
inline constexpr int kVideoNavCells = 6;

class TVideoNavBar : public TCustomNavBar {
public:
  // `folder` is where the definition lies, ending with "/" or "\" (empty:
  // the package's top); picture names are joined to it.
  TVideoNavBar(const TIniStorage& definition, std::string folder, TNavPictures& pictures,
               TGlyphOutlineSource& glyphs, int64_t durationMs, double volume);
  ~TVideoNavBar() override;

  // "DefaultScale": the percent of the output height the bar is designed
  // to take when it does not scale with the video.
  int32_t DefaultScale() const { return m_defaultScale; }
  int32_t DesignHeight() const { return m_design.BarHeight; }

  const std::vector<std::string>& ActionNames() const override { return m_names; }
  void SetButtons(const std::vector<int>& actions) override;
  void SetWidth(int32_t width) override;
  void SetHeight(int32_t height) override;
  void SetZoom(double zoom) override;

  void MouseDown(int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseUp(int32_t x, int32_t y) override;
  void SetTime(int64_t ms) override;
  void SetVolume(double volume) override;

  // The layout (output pixels) after the last setter.
  bool Enabled() const { return m_enabled; }
  double Scale() const { return m_scale; }
  int32_t TrackLeft() const { return m_trackLeft; }
  int32_t TrackRight() const { return m_trackRight; }
  int32_t DigitsEnd() const { return m_digitsEnd; }
  int32_t DigitWidth() const { return m_digitWidth; }
  int32_t ThumbCentre() const { return m_timeThumb; }
  std::string TimeText() const { return m_text; }
  double Volume() const { return m_volume; }
  bool ShownPlaying() const { return m_shownPlaying; }

private:
  struct TDesign {
    int32_t BarWidth = 0;
    int32_t BarHeight = 0;
    int32_t TrackHeight = 0;
    int32_t ButtonWidth = 0;
    int32_t ButtonHeight = 0;
    int32_t DigitWidth = 0;
    int32_t DigitHeight = 0;
    int32_t VolumeLength = 0;
    int32_t LeftSpace = 0;
    int32_t ButtonsTrackSpace = 0;
    int32_t TrackDigitsSpace = 0;
    int32_t DigitsSoundSpace = 0;
    int32_t SoundTrackSpace = 0;
    int32_t RightSpace = 0;
    int32_t BgLeft = 0;
    int32_t BgRight = 0;
    int32_t LineLeft = 0;
    int32_t LineRight = 0;
  };
  // What the mouse is on.
  enum class TPart { None, Play, Button, TimeTrack, Sound, VolumeTrack };
  enum class TDrag { None, Time, Volume };

  void ReadDefinition(const TIniStorage& definition, const std::string& folder, TNavPictures& pictures);
  // The layout at the scale `scale`.
  void Place(double scale);
  // Sets the scale by the rules of the bar, lays out and draws everything.
  void Rebuild(double scale);
  void PrepareLooks();
  void DrawAll();
  void DrawButton(TPart part, int index);
  void DrawTimeTrack();
  void DrawVolumeTrack();
  void DrawText();
  void RedrawArea(const T3DRect& area);
  T3DRect ButtonRect(TPart part, int index) const;
  int ButtonCell(TPart part, int index) const;
  TPart PartAt(int32_t x, int32_t y, int& index) const;
  int64_t Reduced(int64_t ms) const;
  int32_t TimeThumbFor(int64_t ms) const;
  int32_t VolumeThumbFor(double volume) const;
  // Moves a dragged thumb to `x`; reports the new time or volume.
  void DragTo(TDrag drag, int32_t x);
  void ShowTime(int64_t ms);
  void ShowVolume(double volume);
  void SetLook(TPart part, int index, int look);

  TDesign m_design;
  int32_t m_defaultScale = 10;
  std::shared_ptr<const TBitmap> m_backPicture;
  std::shared_ptr<const TBitmap> m_linePicture;
  std::shared_ptr<const TBitmap> m_thumbPicture;
  std::array<std::shared_ptr<const TBitmap>, 3> m_strips; // normal, hover, click
  TGlyphOutlineSource& m_glyphSource;
  std::vector<std::string> m_names{"backward", "forward"};
  std::vector<int> m_buttons;
  int64_t m_duration;
  int32_t m_width = 0;
  double m_requestedScale = 1;

  // Layout.
  bool m_enabled = false;
  double m_scale = 1;
  int32_t m_height = 0;
  int32_t m_buttonWidth = 0;
  int32_t m_buttonHeight = 0;
  int32_t m_digitWidth = 0;
  int32_t m_digitHeight = 0;
  int32_t m_trackHeight = 0;
  int32_t m_thumbWidth = 0;
  int32_t m_thumbHeight = 0;
  int32_t m_trackLeft = 0;
  int32_t m_trackRight = 0;
  int32_t m_digitsEnd = 0;
  int32_t m_soundLeft = 0;
  int32_t m_volumeLeft = 0;
  int32_t m_volumeRight = 0;

  // Prepared looks at the current scale.
  TBitmap m_background;
  TBitmap m_timeLine;
  TBitmap m_volumeLine;
  TBitmap m_thumb;
  std::array<std::array<TBitmap, kVideoNavCells>, 3> m_cells;
  std::unique_ptr<TNavTimeGlyphs> m_glyphs;

  // State.
  int64_t m_time = -1;
  int64_t m_shownSecond = -1;
  std::string m_text;
  double m_volume;
  double m_remembered = 1;
  bool m_shownPlaying = false;
  int32_t m_timeThumb = 0;
  int32_t m_volumeThumb = 0;
  TDrag m_drag = TDrag::None;
  int32_t m_grab = 0;
  bool m_wasPlaying = false;
  // The button held down, and the one shown in its hover look.
  TPart m_heldPart = TPart::None;
  int m_heldIndex = 0;
  TPart m_hoverPart = TPart::None;
  int m_hoverIndex = 0;
};

} // namespace qx
