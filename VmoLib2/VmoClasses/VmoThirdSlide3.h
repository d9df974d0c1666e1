// The layer drawn above the slides (and above both slides of a running
// transition): the show's logo, the navigation panel with its auto-hide
// fade, and the custom dialogs the show opens. It is the first to see the
// mouse: the open dialogs from the last to the first, then the panel; an
// event it takes does not reach the slides. The engine builds one per
// loaded project and drives it on its own thread: the show time and the
// fades each frame, mouse events, dialog requests.
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"
#include "VmoLib2/VmoClasses/qxOverlayLayout.h"
#include "VmoLib2/VmoClasses/qxVmoDialogList.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TBitmap;
class TIniIdentList;
class TNavPanel;
class TSlideProducer;
class TVmoSource;

// What the layer asks of the engine.
struct TThirdSlideCallbacks {
  std::function<void(double volume)> SetVolume;
  // A time chosen on the panel's time track.
  std::function<void(int64_t ms)> GoToTime;
  std::function<bool()> IsPlaying;
  // Part of the output (pixels) changed and wants a redraw.
  std::function<void(const T3DRect& changed)> RedrawRequest;
};

struct TThirdSlideSettings {
  // The output (0, 0 at its top-left) and how slides fill it.
  int32_t OutputWidth = 0;
  int32_t OutputHeight = 0;
  bool Cover = false;
  // The slide width the engine draws; the logo's widths are corrected by the
  // layer's slide rectangle width divided by it. 0: they agree.
  int32_t EngineSlideWidth = 0;
  // The engine may keep the panel away ("opt_fcp" is then not read).
  bool PanelAllowed = true;
  double Volume = 1;
  int64_t DurationMs = 0;
};

// The logo's settings from the main section ("opt_logo", "opt_logo_fn",
// "opt_logo_pos", "opt_logo_opacity", "opt_logo_offset", "opt_logo_size");
// none when it is not shown.
struct TLogoSettings {
  std::string Picture;
  TOverlayPosition Position = TOverlayPosition::Center;
  double Opacity = 100;
  double Offset = 0;
  double SizePercent = 10;
};
std::optional<TLogoSettings> ReadLogoSettings(const TIniIdentList& main);

// The logo's rectangle in the slide rectangle for a picture of the given
// size: its height `SizePercent` of the slide rectangle's, its width
// following the picture's aspect times the correction factor.
T3DRect PlaceLogo(const TLogoSettings& logo, const T3DRect& slideRect, int32_t pictureWidth, int32_t pictureHeight,
                  double correction);

// What a mouse event did on the layer.
struct TThirdSlideMouse {
  // The layer took the event: the slides below do not see it.
  bool Consumed = false;
  // The mouse is over the navigation panel.
  bool OverPanel = false;
  // The object of a dialog under the mouse, if any.
  TVmoObject* Object = nullptr;
  // An action to perform (a dialog object's or the panel's), or none.
  TVmoActionInfo Action;
};

class TThirdSlide : public TDrawItem {
public:
  // Largest side of a logo picture made.
  static constexpr int32_t kMaxLogoSide = 8192;

  // Reads the logo and panel keys of the source's main section and makes
  // the logo picture and the panel (a panel whose definition cannot be used
  // is logged and left out). Dialog slides come from a producer of the
  // layer's own, with the output geometry of the slides.
  TThirdSlide(TVmoSource& source, const TThirdSlideSettings& settings, TThirdSlideCallbacks callbacks);
  ~TThirdSlide() override;

  // Each frame, at the engine's clock `now` (ms): the show time for the
  // panel, the panel's fade and the dialogs' fades.
  void Step(int64_t showTimeMs, int64_t now);

  // Mouse at output pixel (x, y) with the engine's state flags and button.
  TThirdSlideMouse MouseEvent(TMouseEventKind kind, int32_t x, int32_t y, int stateFlags, int button, int64_t now);

  // Opens the dialog of that name (a second request closes it); false when
  // nothing changed (no such dialog, or one fading out).
  bool OpenDialog(const std::string& name, int64_t now);
  // Closes the last opened dialog; false when none is open.
  bool CloseDialog(int64_t now);
  // A slide change: the dialogs close (the last fades out).
  void HidePopups(int64_t now);
  // The show resumes: the pausing dialogs close.
  void ClosePauseDialogs(int64_t now);
  bool ShowsDialog() const { return !m_dialogs.Empty(); }
  // An open dialog is marked "DialogPause": the show's clock waits.
  bool HoldsClock() const { return m_dialogs.HoldsClock(); }
  const TVmoDialogList& Dialogs() const { return m_dialogs; }

  // The logo's rectangle (empty without a logo) and the panel (none when it
  // is not shown) with its current opacity, 0 ... 100.
  T3DRect LogoRect() const;
  const TNavPanel* Panel() const { return m_panel.get(); }
  double PanelOpacity() const { return m_fade ? m_fade->Opacity() : 100; }
  T3DRect SlideRect() const { return m_slideRect; }

  void Draw(TDeviceDrawer& drawer) override;
  bool NeedsRedraw() const override;
  void FrameEnded() override;

private:
  // A picture drawn at a rectangle of the output.
  struct TItem {
    std::shared_ptr<const TBitmap> Picture;
    T3DRect Rect;
    TPictureDrawParams Params;
  };

  void MakeLogo(const TIniIdentList& main);
  void MakePanel(const TIniIdentList& main, const TThirdSlideSettings& settings);
  void PanelPictureChanged(const T3DRect& changed);
  void Changed(const T3DRect& area);
  // The panel takes events only while it can be seen or holds the mouse.
  bool PanelTakes(TMouseEventKind kind, int32_t x, int32_t y, int button) const;

  TThirdSlideCallbacks m_callbacks;
  std::unique_ptr<TSlideProducer> m_producer;
  T3DRect m_output;
  T3DRect m_slideRect;
  double m_correction = 1;

  std::vector<TItem> m_items;
  std::optional<size_t> m_logoItem;
  std::optional<size_t> m_panelItem;

  std::unique_ptr<TNavPanel> m_panel;
  // The auto-hide ("opt_hidenavbar"): none keeps the panel shown.
  std::optional<TPanelFade> m_fade;
  TMouseMoveDetector m_detector;
  // Hidden at start-up: the detector starts expired at the first step.
  bool m_detectorExpired = false;

  TVmoDialogList m_dialogs;
  bool m_changed = true;
};

} // namespace qx
