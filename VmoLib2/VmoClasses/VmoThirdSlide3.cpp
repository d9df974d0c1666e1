#include "VmoLib2/VmoClasses/VmoThirdSlide3.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/Graphics/qxResample.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxStream.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/NavPanel/qxNavPanel.h"
#include "VmoLib2/VmoClasses/qxVmoBackground.h"
#include "VmoLib2/VmoClasses/qxVmoSlideSize.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// Most buttons read from "opt_newnavbuttons_count".
constexpr int kMaxNavButtons = 64;
// Longest text the panel may read from the package.
constexpr int64_t kMaxPanelText = int64_t{1} << 20;

} // namespace

std::optional<TLogoSettings> ReadLogoSettings(const TIniIdentList& main) {
  TLogoSettings logo;
  logo.Picture = main.ReadString("opt_logo_fn", "");
  if (logo.Picture.empty() || !main.ReadBool("opt_logo", false))
    return std::nullopt;
  logo.Position = OverlayPositionFromLogo(main.ReadInteger("opt_logo_pos", 0));
  logo.Opacity = std::clamp(main.ReadFloat("opt_logo_opacity", 100), 0.0, 100.0);
  logo.Offset = main.ReadFloat("opt_logo_offset", 0);
  logo.SizePercent = main.ReadFloat("opt_logo_size", 10);
  return logo;
}

T3DRect PlaceLogo(const TLogoSettings& logo, const T3DRect& slideRect, int32_t pictureWidth, int32_t pictureHeight,
                  double correction) {
  if (pictureWidth <= 0 || pictureHeight <= 0)
    return {};
  const int32_t h = std::clamp(RoundToInt(slideRect.Height() * logo.SizePercent / 100), 0, TThirdSlide::kMaxLogoSide);
  const int32_t w = std::clamp(RoundToInt(static_cast<double>(pictureWidth) * h / pictureHeight * correction), 0,
                               TThirdSlide::kMaxLogoSide);
  if (w <= 0 || h <= 0)
    return {};
  return PlaceOverlayItem(logo.Position, logo.Offset, slideRect, w, h);
}

TThirdSlide::TThirdSlide(TVmoSource& source, const TThirdSlideSettings& settings, TThirdSlideCallbacks callbacks)
    : m_callbacks(std::move(callbacks)), m_output{0, 0, settings.OutputWidth, settings.OutputHeight} {
  m_producer = std::make_unique<TSlideProducer>(source);
  m_producer->SetGeometry(TPixelRect{0, 0, settings.OutputWidth, settings.OutputHeight},
                          settings.Cover ? TSlideFitMode::Cover : TSlideFitMode::FitInside);
  const TPixelRect slide = m_producer->SlideRect();
  m_slideRect = {slide.Left, slide.Top, slide.Right, slide.Bottom};
  if (settings.EngineSlideWidth > 0 && m_slideRect.Width() > 0)
    m_correction = static_cast<double>(m_slideRect.Width()) / settings.EngineSlideWidth;

  const TIniIdentList& main = source.MainSection();
  MakeLogo(main);
  if (settings.PanelAllowed && main.ReadBool("opt_fcp", false))
    MakePanel(main, settings);
}

TThirdSlide::~TThirdSlide() = default;

void TThirdSlide::MakeLogo(const TIniIdentList& main) {
  const std::optional<TLogoSettings> logo = ReadLogoSettings(main);
  if (!logo)
    return;
  try {
    const TRefPtr<TBitmapStore> store = m_producer->Host().OpenPicture(logo->Picture);
    if (!store) {
      Log().WriteLine("TThirdSlide: logo picture not found: " + logo->Picture);
      return;
    }
    const T3DRect rect = PlaceLogo(*logo, m_slideRect, store->Width(), store->Height(), m_correction);
    if (rect.IsEmpty())
      return;
    // Halved while both sides are at least twice the target, then resampled
    // once to the drawn size.
    const std::shared_ptr<const TBitmap> level = store->GetMipLevel(
        BackgroundHalvings({store->Width(), store->Height()}, {rect.Width(), rect.Height()}), TPixelFormat::Bgra32);
    if (!level || level->IsEmpty())
      return;
    TItem item;
    item.Picture = std::make_shared<const TBitmap>(ResizeBilinear(*level, rect.Width(), rect.Height()));
    item.Rect = rect;
    item.Params.Feathered = false;
    item.Params.Opacity = static_cast<float>(logo->Opacity);
    m_logoItem = m_items.size();
    m_items.push_back(std::move(item));
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TThirdSlide: logo: ") + error.what());
  }
}

void TThirdSlide::MakePanel(const TIniIdentList& main, const TThirdSlideSettings& settings) {
  TNavPanelSettings panel;
  panel.DefinitionFile = main.ReadString("opt_nav_inifile", "");
  const int count = std::clamp(main.ReadInteger("opt_newnavbuttons_count", 0), 0, kMaxNavButtons);
  for (int i = 1; i <= count; ++i)
    panel.Buttons.push_back(main.ReadString("opt_newnavbutton" + std::to_string(i), ""));
  panel.ShowBackground = main.ReadBool("opt_nav_showbg", false);
  panel.Hue = main.ReadInteger("opt_nav_hue", 0);
  panel.Position = OverlayPositionFromWord(main.ReadString("opt_cp", "Center"));
  panel.Offset = main.ReadFloat("opt_nav_offset", 0);
  panel.UseVideoScale = main.ReadBool("opt_nav_usevideoscale", false);
  panel.ViewScale = main.ReadFloat("opt_nav_viewscale", 10);
  panel.Volume = settings.Volume;
  panel.DurationMs = settings.DurationMs;
  panel.OutputRect = m_output;

  const bool hideBar = main.ReadBool("opt_hidenavbar", false);
  const bool hideOnStartUp = hideBar && main.ReadBool("opt_nav_hideonstartup", false);
  if (hideBar)
    m_fade.emplace(hideOnStartUp, main.ReadInteger("opt_nav_fadein", 500),
                   main.ReadInteger("opt_nav_hidefadeout", 1000));
  m_detector = TMouseMoveDetector(int64_t{std::max(0, main.ReadInteger("opt_nav_hideinterval", 0))} * 1000);
  m_detectorExpired = hideOnStartUp;

  TNavPanelHooks hooks;
  TVmoSlideHost& host = m_producer->Host();
  hooks.LoadPicture = [&host](const std::string& name) -> std::unique_ptr<TBitmap> {
    const TRefPtr<TBitmapStore> store = host.OpenPicture(name);
    if (!store)
      return nullptr;
    const std::shared_ptr<const TBitmap> level = store->GetMipLevel(0, TPixelFormat::Bgra32);
    if (!level || level->IsEmpty())
      return nullptr;
    return std::make_unique<TBitmap>(level->Clone());
  };
  hooks.LoadText = [&host](const std::string& name) -> std::optional<std::string> {
    try {
      std::unique_ptr<TStream> stream = host.Accessor().OpenStream(name);
      if (!stream || stream->GetSize() > kMaxPanelText)
        return std::nullopt;
      return stream->ReadAll();
    } catch (const EAbort&) {
      throw;
    } catch (const std::exception&) {
      return std::nullopt;
    }
  };
  hooks.IsPlaying = [this] { return m_callbacks.IsPlaying && m_callbacks.IsPlaying(); };
  hooks.SetVolume = [this](double volume) {
    if (m_callbacks.SetVolume)
      m_callbacks.SetVolume(volume);
  };
  hooks.GoToTime = [this](int64_t ms) {
    if (m_callbacks.GoToTime)
      m_callbacks.GoToTime(ms);
  };
  hooks.PictureChanged = [this](const T3DRect& changed) { PanelPictureChanged(changed); };
  try {
    m_panel = std::make_unique<TNavPanel>(panel, std::move(hooks));
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TThirdSlide: navigation panel left out: ") + error.what());
    m_panel.reset();
    m_fade.reset();
    return;
  }
  m_panelItem = m_items.size();
  m_items.push_back({});
  PanelPictureChanged(m_panel->Rect());
}

void TThirdSlide::PanelPictureChanged(const T3DRect& changed) {
  // Called by the panel while it is being made, before its item exists.
  if (!m_panel || !m_panelItem)
    return;
  TItem& item = m_items[*m_panelItem];
  const TBitmap& picture = m_panel->Picture();
  // A new copy: the drawer uploads a picture it has not seen, and drops the
  // textures of the old one with it.
  item.Picture = picture.IsEmpty() ? nullptr : std::make_shared<const TBitmap>(picture.Clone());
  item.Rect = m_panel->Rect();
  item.Params.Feathered = false;
  item.Params.Filtering = TFiltering::Nearest;
  item.Params.Opacity = static_cast<float>(PanelOpacity());
  Changed(changed);
}

void TThirdSlide::Changed(const T3DRect& area) {
  m_changed = true;
  if (m_callbacks.RedrawRequest)
    m_callbacks.RedrawRequest(area);
}

T3DRect TThirdSlide::LogoRect() const { return m_logoItem ? m_items[*m_logoItem].Rect : T3DRect{}; }

// --- Each frame ----------------------------------------------------------------

void TThirdSlide::Step(int64_t showTimeMs, int64_t now) {
  if (m_panel) {
    m_panel->SetShowTime(showTimeMs);
    if (m_fade) {
      if (m_detectorExpired) {
        m_detector.Reset(true, now);
        m_detectorExpired = false;
      }
      if (const std::optional<double> opacity = m_fade->Step(m_detector.HideDue(now), now)) {
        if (m_panelItem)
          m_items[*m_panelItem].Params.Opacity = static_cast<float>(*opacity);
        Changed(m_panel->Rect());
      }
    }
  }
  if (m_dialogs.Step(now))
    Changed(m_slideRect);
}

// --- Dialogs -----------------------------------------------------------------

bool TThirdSlide::OpenDialog(const std::string& name, int64_t now) {
  // Nothing opens while a dialog fades out, and an open dialog of that name
  // closes: neither needs a new slide.
  TDialogSlide dialog;
  if (!m_dialogs.Closing() && !m_dialogs.IsOpen(name)) {
    dialog = m_producer->MakeDialogSlide(name);
    if (!dialog.Slide)
      Log().WriteLine("TThirdSlide: no dialog " + name);
  }
  if (!m_dialogs.Open(name, std::move(dialog), now))
    return false;
  Changed(m_slideRect);
  return true;
}

bool TThirdSlide::CloseDialog(int64_t now) {
  if (!m_dialogs.CloseLast(now))
    return false;
  Changed(m_slideRect);
  return true;
}

void TThirdSlide::HidePopups(int64_t now) {
  if (m_dialogs.Empty())
    return;
  m_dialogs.CloseAll(now);
  Changed(m_slideRect);
}

void TThirdSlide::ClosePauseDialogs(int64_t now) {
  if (!m_dialogs.HoldsClock())
    return;
  m_dialogs.ClosePauseDialogs(now);
  Changed(m_slideRect);
}

// --- Mouse -------------------------------------------------------------------

bool TThirdSlide::PanelTakes(TMouseEventKind kind, int32_t x, int32_t y, int button) const {
  if (!m_panel)
    return false;
  if (m_panel->HoldsMouse())
    return true;
  // A panel faded out entirely is not there for the mouse.
  if (!(PanelOpacity() > 0) || !m_panel->Contains(x, y))
    return false;
  return kind == TMouseEventKind::Move || button == 1;
}

TThirdSlideMouse TThirdSlide::MouseEvent(TMouseEventKind kind, int32_t x, int32_t y, int stateFlags, int button,
                                         int64_t now) {
  TThirdSlideMouse result;
  const TMouseResult dialog = m_dialogs.MouseEvent(kind, x, y, stateFlags, button);
  if (dialog.Object) {
    result.Consumed = true;
    result.Object = dialog.Object;
    if (dialog.ActionReported)
      result.Action = ParseActionText(dialog.Action);
  }

  // A mouse that left the output (sent far away) has not moved over it.
  if (x >= m_output.left && x < m_output.right && y >= m_output.top && y < m_output.bottom)
    m_detector.Sample(x, y, now);
  if (PanelTakes(kind, x, y, button)) {
    TVmoActionInfo action;
    if (m_panel->MouseEvent(kind, x, y, action)) {
      result.Consumed = true;
      result.OverPanel = true;
      if (!action.IsNone())
        result.Action = action;
    }
  }
  if (m_panel && m_panel->Contains(x, y)) {
    // The mouse resting over the panel keeps it shown.
    result.OverPanel = true;
    m_detector.Reset(false, now);
  }
  return result;
}

// --- Drawing -----------------------------------------------------------------

void TThirdSlide::Draw(TDeviceDrawer& drawer) {
  m_dialogs.Draw(drawer);
  // The items are placed in output pixels.
  const TFloatRect output{0, 0, static_cast<double>(m_output.Width()), static_cast<double>(m_output.Height())};
  drawer.SetViewport(&output, m_output.Width(), m_output.Height());
  for (const TItem& item : m_items) {
    if (!item.Picture || item.Rect.IsEmpty() || !(item.Params.Opacity > 0))
      continue;
    TPictureSource source;
    source.Bitmap = item.Picture;
    const TFloatRect rect{static_cast<double>(item.Rect.left), static_cast<double>(item.Rect.top),
                          static_cast<double>(item.Rect.right), static_cast<double>(item.Rect.bottom)};
    drawer.DrawPicture(source, TPlacement::Flat(rect), item.Params);
  }
}

bool TThirdSlide::NeedsRedraw() const {
  if (m_changed)
    return true;
  for (int i = 0; i < m_dialogs.Count(); ++i)
    if (m_dialogs.Dialog(i).NeedsRedraw())
      return true;
  return false;
}

void TThirdSlide::FrameEnded() {
  m_changed = false;
  for (int i = 0; i < m_dialogs.Count(); ++i)
    m_dialogs.Dialog(i).FrameEnded();
}

} // namespace qx
