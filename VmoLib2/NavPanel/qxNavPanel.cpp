#include "VmoLib2/NavPanel/qxNavPanel.h"

#include "QxLib/Graphics/qxResample.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxIniValues.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/NavPanel/qxCustomNavBar.h"
#include "VmoLib2/NavPanel/qxNavBar.h"
#include "VmoLib2/NavPanel/qxVideoNavBar.h"
#include "VmoLib2/VmoClasses/qxVmoTextProducer.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qx {

namespace {

struct TNamedAction {
  std::string_view Name;
  TVmoActionKind Kind;
};

constexpr std::array<TNamedAction, 7> kButtonActions = {{{"home", akGotoSlide},
                                                          {"forward", akNextSlide},
                                                          {"backward", akPreviousSlide},
                                                          {"print", akPrint},
                                                          {"pause", akPause},
                                                          {"help", akHelp},
                                                          {"exit", akExit}}};

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  const size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// The folder part of a package name, with its delimiter; empty at the top.
std::string DefinitionFolder(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

int32_t CheckedSide(double value, const char* what) {
  if (!std::isfinite(value) || value < 1 || value > TNavPanel::kMaxPanelSide)
    throw EQxError(std::string("Navigation panel ") + what + " of " + FloatToText(value) +
                   " pixels is out of range (1 ... " + std::to_string(TNavPanel::kMaxPanelSide) + ")");
  return static_cast<int32_t>(value);
}

} // namespace

TVmoActionInfo NavButtonAction(std::string_view name) {
  const std::string lower = LowerCase(name);
  for (const TNamedAction& entry : kButtonActions)
    if (lower == entry.Name)
      return TVmoActionInfo{entry.Kind, 0, {}};
  return TVmoActionInfo{akHandled, 0, {}};
}

TNavPanel::TNavPanel(const TNavPanelSettings& settings, TNavPanelHooks hooks) : m_hooks(std::move(hooks)) {
  const std::optional<std::string> text = m_hooks.LoadText ? m_hooks.LoadText(settings.DefinitionFile) : std::nullopt;
  if (!text)
    throw EQxError("Navigation bar definition not found: " + settings.DefinitionFile);
  if (text->size() > kMaxDefinitionBytes)
    throw EQxError("Navigation bar definition too large: " + settings.DefinitionFile);
  TIniStorage definition;
  definition.LoadFromString(*text);
  m_pictures = std::make_unique<TNavPictures>(m_hooks.LoadPicture, settings.Hue);
  m_videoStyle = definition.ReadBool("Common", "VideoStyle", false);

  if (m_videoStyle) {
    TGlyphOutlineSource& glyphs = m_hooks.Glyphs ? *m_hooks.Glyphs : InstalledFonts();
    m_bar = std::make_unique<TVideoNavBar>(definition, DefinitionFolder(settings.DefinitionFile), *m_pictures, glyphs,
                                           settings.DurationMs, settings.Volume);
  } else {
    m_bar = std::make_unique<TNavBar>(definition, *m_pictures, settings.ShowBackground);
  }
  m_bar->SetEvents(TNavBarEvents{
      [this](int action) { ButtonClicked(action); },
      [this] { m_clicked = TVmoActionInfo{akPause, 0, {}}; },
      [this](int64_t ms) {
        if (m_hooks.GoToTime)
          m_hooks.GoToTime(ms);
      },
      [this](double volume) {
        if (m_hooks.SetVolume)
          m_hooks.SetVolume(volume);
      },
      [this] { return m_hooks.IsPlaying && m_hooks.IsPlaying(); },
      [this](const T3DRect& area) { BarChanged(area); },
  });
  // The requested buttons as indexes of the bar's actions; names the bar
  // does not define are skipped.
  std::vector<int> buttons;
  const std::vector<std::string>& names = m_bar->ActionNames();
  for (const std::string& requested : settings.Buttons) {
    const auto found = std::find(names.begin(), names.end(), LowerCase(Trimmed(requested)));
    if (found != names.end())
      buttons.push_back(static_cast<int>(found - names.begin()));
  }
  const std::pair<int32_t, int32_t> panel = m_videoStyle ? SizeVideo(settings, buttons) : SizeClassic(settings, buttons);
  // The video-style bar sits at the bottom centre at its own size.
  m_rect = m_videoStyle ? PlaceOverlayItem(TOverlayPosition::Bottom, 0, settings.OutputRect, panel.first, panel.second)
                        : PlaceOverlayItem(settings.Position, settings.Offset, settings.OutputRect, panel.first,
                                           panel.second);
  m_ready = true;
  BarChanged(RectOfSize(0, 0, m_bar->Width(), m_bar->Height()));
}

TNavPanel::~TNavPanel() = default;

std::pair<int32_t, int32_t> TNavPanel::SizeClassic(const TNavPanelSettings& settings, const std::vector<int>& buttons) {
  auto& bar = static_cast<TNavBar&>(*m_bar);
  bar.SetButtons(buttons);
  if (bar.Width() <= 0 || bar.Height() <= 0)
    throw EQxError("The navigation bar has no size: no grid and no buttons");
  const double scale = settings.ViewScale > 0 && std::isfinite(settings.ViewScale) ? settings.ViewScale
                                                                                   : bar.RecommendedScale();
  const int32_t height = CheckedSide(std::nearbyint(settings.OutputRect.Height() * scale / 100), "height");
  const int32_t width = CheckedSide(std::nearbyint(double(height) * bar.Width() / bar.Height()), "width");
  TCustomNavBar::CheckSize(width, height);
  return {width, height};
}

std::pair<int32_t, int32_t> TNavPanel::SizeVideo(const TNavPanelSettings& settings, const std::vector<int>& buttons) {
  auto& bar = static_cast<TVideoNavBar&>(*m_bar);
  bar.SetButtons(buttons);
  bar.SetWidth(settings.OutputRect.Width());
  if (settings.UseVideoScale)
    bar.SetHeight(CheckedSide(std::nearbyint(settings.OutputRect.Height() * settings.ViewScale / 100), "height"));
  else
    // Designed to take "DefaultScale" percent of the output height.
    bar.SetZoom(settings.OutputRect.Height() * bar.DefaultScale() / 100.0 / bar.DesignHeight());
  if (bar.Width() <= 0 || bar.Height() <= 0)
    throw EQxError("The video navigation bar has no size");
  return {bar.Width(), bar.Height()};
}

const TBitmap& TNavPanel::Picture() const { return m_scaled ? *m_scaled : m_bar->Picture(); }

bool TNavPanel::Contains(int32_t x, int32_t y) const {
  return x >= m_rect.left && x < m_rect.right && y >= m_rect.top && y < m_rect.bottom;
}

T3DRect TNavPanel::BarToOutput(const T3DRect& barArea) const {
  const double sx = static_cast<double>(m_rect.Width()) / m_bar->Width();
  const double sy = static_cast<double>(m_rect.Height()) / m_bar->Height();
  // One more pixel each side: the scaled picture blends neighbours.
  const int32_t grow = m_scaled ? 1 : 0;
  const T3DRect scaled{static_cast<int32_t>(std::floor(barArea.left * sx)) - grow,
                       static_cast<int32_t>(std::floor(barArea.top * sy)) - grow,
                       static_cast<int32_t>(std::ceil(barArea.right * sx)) + grow,
                       static_cast<int32_t>(std::ceil(barArea.bottom * sy)) + grow};
  const T3DRect inside = Intersect(scaled, RectOfSize(0, 0, m_rect.Width(), m_rect.Height()));
  return T3DRect{inside.left + m_rect.left, inside.top + m_rect.top, inside.right + m_rect.left,
                 inside.bottom + m_rect.top};
}

void TNavPanel::BarChanged(const T3DRect& barArea) {
  if (!m_ready)
    return;
  const TBitmap& bar = m_bar->Picture();
  if (bar.Width() != m_rect.Width() || bar.Height() != m_rect.Height())
    m_scaled = ResizeBilinear(bar, m_rect.Width(), m_rect.Height());
  else
    m_scaled.reset();
  if (m_hooks.PictureChanged)
    m_hooks.PictureChanged(BarToOutput(barArea));
}

void TNavPanel::ButtonClicked(int action) {
  TVmoActionInfo result = NavButtonAction(m_bar->ActionType(action));
  if (result.Kind == akHandled)
    if (TVmoActionInfo own = ParseActionText(m_bar->ActionText(action)); !own.IsNone())
      result = std::move(own);
  m_clicked = std::move(result);
}

bool TNavPanel::MouseEvent(TMouseEventKind kind, int32_t x, int32_t y, TVmoActionInfo& action) {
  const bool inside = Contains(x, y);
  if (!inside && !m_holding)
    return false;
  const auto bx = static_cast<int32_t>(std::floor(double(x - m_rect.left) * m_bar->Width() / m_rect.Width()));
  const auto by = static_cast<int32_t>(std::floor(double(y - m_rect.top) * m_bar->Height() / m_rect.Height()));
  m_clicked.reset();
  switch (kind) {
  case TMouseEventKind::ButtonDown:
    m_holding = true;
    m_bar->MouseDown(bx, by);
    break;
  case TMouseEventKind::Move: m_bar->MouseMove(bx, by); break;
  case TMouseEventKind::ButtonUp:
    m_holding = false;
    m_bar->MouseUp(bx, by);
    break;
  }
  if (m_clicked)
    action = *m_clicked;
  else if (kind == TMouseEventKind::ButtonDown)
    action = TVmoActionInfo{akHandled, 0, {}};
  return true;
}

void TNavPanel::SetShowTime(int64_t ms) { m_bar->SetTime(ms); }

void TNavPanel::SetVolume(double volume) { m_bar->SetVolume(volume); }

} // namespace qx
