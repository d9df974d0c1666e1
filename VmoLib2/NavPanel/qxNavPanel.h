// The navigation panel: reads the bar definition file the project names,
// builds the classic or the video-style bar from it, scales and places the
// bar in the output, turns mouse events in output pixels into the bar's
// coordinates and the bar's clicks into actions.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/VmoClasses/qxOverlayLayout.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx {

class TCustomNavBar;
class TGlyphOutlineSource;
class TNavPictures;

// What the panel needs from the layer and the engine.
struct TNavPanelHooks {
  // Package pictures and texts by name (the show's file accessor); nullptr /
  // nullopt when absent.
  std::function<std::unique_ptr<TBitmap>(const std::string& name)> LoadPicture;
  std::function<std::optional<std::string>(const std::string& name)> LoadText;
  std::function<bool()> IsPlaying;              // asked every frame and on clicks
  std::function<void(double volume)> SetVolume; // 0 ... 1, from the volume thumb and the mute button
  std::function<void(int64_t ms)> GoToTime;     // from dragging or releasing on the time track
  // The bar picture changed: `changed` is the area (output pixels) to redraw.
  std::function<void(const T3DRect& changed)> PictureChanged;
  // The outlines of the video-style bar's time digits; none: the installed
  // fonts.
  TGlyphOutlineSource* Glyphs = nullptr;
};

struct TNavPanelSettings {
  std::string DefinitionFile;       // [main] "opt_nav_inifile"
  std::vector<std::string> Buttons; // "opt_newnavbutton1" ... "opt_newnavbutton<count>"
  bool ShowBackground = false;      // "opt_nav_showbg"
  int32_t Hue = 0;                  // "opt_nav_hue", degrees
  TOverlayPosition Position = TOverlayPosition::Center; // "opt_cp"
  double Offset = 0;                                    // "opt_nav_offset"
  bool UseVideoScale = false;                           // "opt_nav_usevideoscale"
  // "opt_nav_viewscale": percent of the output height; a value that is not
  // positive takes the classic bar's "RecommendedScale".
  double ViewScale = 10;
  double Volume = 1;       // the music volume, 0 ... 1
  int64_t DurationMs = 0;  // the show's total duration
  T3DRect OutputRect;      // the output rectangle (0,0 at its top-left)
};

// The action of a button by its lower-case name: home 7 (integer 0, the
// first slide), forward 3, backward 2, print 6, pause 5, help 4, exit 1;
// any other name is kind 20 (handled, nothing happens).
TVmoActionInfo NavButtonAction(std::string_view name);

class TNavPanel {
public:
  // Largest panel picture on either side; a definition asking for more is
  // refused.
  static constexpr int32_t kMaxPanelSide = 8192;
  // Longest definition file read.
  static constexpr size_t kMaxDefinitionBytes = size_t{1} << 20;

  // Reads the definition file and builds the classic or video-style bar. A
  // definition that cannot be used throws EQxError with its message (e.g.
  // the "Bounds should contains 4 values. ..." text); the layer logs it and
  // shows no panel.
  TNavPanel(const TNavPanelSettings& settings, TNavPanelHooks hooks);
  ~TNavPanel();
  TNavPanel(const TNavPanel&) = delete;
  TNavPanel& operator=(const TNavPanel&) = delete;

  // Where the panel is, output pixels.
  T3DRect Rect() const { return m_rect; }
  // The bar picture (Bgra32, straight alpha), Rect()'s size.
  const TBitmap& Picture() const;
  bool IsVideoStyle() const { return m_videoStyle; }
  // The bar (tests and diagnostics).
  const TCustomNavBar& Bar() const { return *m_bar; }

  // Mouse in output pixels. Answers whether the panel takes the event
  // (inside its rectangle, or holding the mouse since a press inside);
  // `action` gets the clicked button's action, or kind 20 for a press
  // inside that triggers nothing.
  bool MouseEvent(TMouseEventKind kind, int32_t x, int32_t y, TVmoActionInfo& action);
  bool HoldsMouse() const { return m_holding; }
  bool Contains(int32_t x, int32_t y) const;
  // Every frame; the bar redraws only what changed.
  void SetShowTime(int64_t ms);
  void SetVolume(double volume);

private:
  // Hand the bar its buttons and scale; answer the panel picture's size.
  std::pair<int32_t, int32_t> SizeClassic(const TNavPanelSettings& settings, const std::vector<int>& buttons);
  std::pair<int32_t, int32_t> SizeVideo(const TNavPanelSettings& settings, const std::vector<int>& buttons);
  void ButtonClicked(int action);
  // The bar changed in `barArea` (bar pixels): refreshes the panel picture
  // and reports the output area.
  void BarChanged(const T3DRect& barArea);
  T3DRect BarToOutput(const T3DRect& barArea) const;

  TNavPanelHooks m_hooks;
  std::unique_ptr<TNavPictures> m_pictures; // outlives the bar drawing from it
  std::unique_ptr<TCustomNavBar> m_bar;
  bool m_videoStyle = false;
  T3DRect m_rect;
  // The scaled copy of a classic bar whose picture is not the panel's size.
  std::optional<TBitmap> m_scaled;
  bool m_holding = false;
  bool m_mouseInside = false;
  // Built: the bar's changes are passed on (not while the constructor
  // sets the bar up).
  bool m_ready = false;
  // The action of the button clicked during the current mouse event.
  std::optional<TVmoActionInfo> m_clicked;
};

} // namespace qx
