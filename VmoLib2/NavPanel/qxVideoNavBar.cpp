#include "VmoLib2/NavPanel/qxVideoNavBar.h"

#include "QxLib/qxIniStorage.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// Halving the scale this often without room for the track disables the bar.
constexpr int kMaxHalvings = 24;
// The room the time track must keep beyond its thumb.
constexpr int32_t kMinTrackRoom = 100;
// At most this many requested buttons are shown.
constexpr size_t kMaxButtons = 16;

enum TLook : int { lkNormal = 0, lkHover = 1, lkClick = 2 };

int32_t Bounded(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, TCustomNavBar::kMaxBarSide)); }

// Two integers of a key; none when the key is absent.
std::optional<std::pair<int32_t, int32_t>> ReadPair(const TIniSection* section, std::string_view key) {
  std::vector<int32_t> values;
  if (!section || !section->KeyExists(key))
    return std::nullopt;
  if (section->ReadIntegerList(key, values) != 2)
    throw EQxError("Incorrect number of parameters in field \"" + std::string(key) + "\" of the video navigation bar");
  return std::pair{Bounded(values[0]), Bounded(values[1])};
}

int32_t ReadSize(const TIniSection* section, std::string_view key) {
  return section ? Bounded(section->ReadInteger(key, 0)) : 0;
}

int32_t Scaled(int32_t design, double scale) { return Bounded(std::llround(design * scale)); }

bool Inside(const T3DRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

} // namespace

TVideoNavBar::TVideoNavBar(const TIniStorage& definition, std::string folder, TNavPictures& pictures,
                           TGlyphOutlineSource& glyphs, int64_t durationMs, double volume)
    : m_glyphSource(glyphs), m_duration(std::max<int64_t>(durationMs, 0)),
      m_volume(std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 1.0) {
  QX_ASSERT(folder.empty() || folder.back() == '/' || folder.back() == '\\', "Path delimiter nof found!");
  ReadDefinition(definition, folder, pictures);
  m_remembered = m_volume > 0 ? m_volume : 1;
}

TVideoNavBar::~TVideoNavBar() = default;

void TVideoNavBar::ReadDefinition(const TIniStorage& definition, const std::string& folder, TNavPictures& pictures) {
  const TIniSection* common = definition.FindSection("Common");
  const TIniSection* positions = definition.FindSection("Pixel positions");
  const TIniSection* trackbar = definition.FindSection("Trackbar");
  const TIniSection* buttons = definition.FindSection("Buttons");
  const auto picture = [&](const TIniSection* section, std::string_view key) -> std::shared_ptr<const TBitmap> {
    const std::string name = section ? section->ReadString(key, "") : std::string();
    return name.empty() ? nullptr : pictures.Get(folder + name);
  };

  m_defaultScale = std::clamp(common ? common->ReadInteger("DefaultScale", 10) : 10, 1, 100);
  m_design.BgLeft = ReadSize(common, "BgLeft");
  m_design.BgRight = ReadSize(common, "BgRight");
  const auto barSize = ReadPair(positions, "BarSize");
  if (!barSize || barSize->second <= 0)
    throw EQxError("The video navigation bar has no \"BarSize\" in [Pixel positions]");
  m_design.BarWidth = barSize->first;
  m_design.BarHeight = barSize->second;
  m_design.TrackHeight = ReadSize(positions, "TrackHeight");
  const auto button = ReadPair(positions, "BtnSize").value_or(std::pair{0, 0});
  m_design.ButtonWidth = button.first;
  m_design.ButtonHeight = button.second;
  const auto digit = ReadPair(positions, "DigitSize").value_or(std::pair{0, 0});
  m_design.DigitWidth = digit.first;
  m_design.DigitHeight = digit.second;
  m_design.VolumeLength = ReadSize(positions, "VolumeControlLength");
  m_design.LeftSpace = ReadSize(positions, "LeftSpace");
  m_design.ButtonsTrackSpace = ReadSize(positions, "ButtonsTrackSpace");
  m_design.TrackDigitsSpace = ReadSize(positions, "TrackDigitsSpace");
  m_design.DigitsSoundSpace = ReadSize(positions, "DigitsSoundBtnSpace");
  m_design.SoundTrackSpace = ReadSize(positions, "SoundBtnTrackSpace");
  m_design.RightSpace = ReadSize(positions, "RightSpace");
  m_design.LineLeft = ReadSize(trackbar, "TrackLineLeft");
  m_design.LineRight = ReadSize(trackbar, "TrackLineRight");

  m_backPicture = picture(common, "flnm_back");
  m_linePicture = picture(trackbar, "flnm_Line");
  m_thumbPicture = picture(trackbar, "flnm_Polzun");
  m_strips = {picture(buttons, "flnm_Normal"), picture(buttons, "flnm_Hover"), picture(buttons, "flnm_Click")};
}

// --- Scale and layout -------------------------------------------------------------

void TVideoNavBar::SetButtons(const std::vector<int>& actions) {
  m_buttons.assign(actions.begin(), actions.begin() + static_cast<ptrdiff_t>(std::min(actions.size(), kMaxButtons)));
  Rebuild(m_requestedScale);
}

void TVideoNavBar::SetWidth(int32_t width) {
  CheckSize(width, m_height);
  m_width = std::max(width, 0);
  Rebuild(m_requestedScale);
}

void TVideoNavBar::SetHeight(int32_t height) { SetZoom(static_cast<double>(height) / m_design.BarHeight); }

void TVideoNavBar::SetZoom(double zoom) {
  if (!std::isfinite(zoom) || zoom <= 0 || std::llround(m_design.BarHeight * zoom) > kMaxBarSide)
    throw EQxError("Navigation bar too large or of no size: scale " + std::to_string(zoom) + " of a bar " +
                   std::to_string(m_design.BarHeight) + " pixels high (at most " + std::to_string(kMaxBarSide) + ")");
  CheckSize(m_width, std::llround(m_design.BarHeight * zoom));
  m_requestedScale = zoom;
  Rebuild(zoom);
}

void TVideoNavBar::Place(double scale) {
  m_scale = scale;
  m_height = Scaled(m_design.BarHeight, scale);
  m_buttonWidth = Scaled(m_design.ButtonWidth, scale);
  m_buttonHeight = Scaled(m_design.ButtonHeight, scale);
  m_digitWidth = Scaled(m_design.DigitWidth, scale);
  m_digitHeight = std::min(Scaled(m_design.DigitHeight, scale), m_height);
  m_trackHeight = Scaled(m_design.TrackHeight, scale);
  m_thumbWidth = m_thumbPicture ? Scaled(m_thumbPicture->Width(), scale) : 0;
  m_thumbHeight = m_thumbPicture ? Scaled(m_thumbPicture->Height(), scale) : 0;
  const int32_t volume = Scaled(m_design.VolumeLength, scale);
  const int64_t n = static_cast<int64_t>(m_buttons.size());
  const int digits = m_duration >= kNavHoursFromMs ? 18 : 12;
  m_trackLeft = Bounded(int64_t{m_buttonWidth} * (n + 1) + m_design.LeftSpace + m_design.ButtonsTrackSpace);
  const int64_t digitsEnd = int64_t{m_width} - m_design.RightSpace - volume - m_design.SoundTrackSpace -
                            m_buttonWidth - m_design.DigitsSoundSpace;
  m_digitsEnd = static_cast<int32_t>(std::clamp<int64_t>(digitsEnd, -kMaxBarSide, kMaxBarSide));
  m_trackRight = static_cast<int32_t>(std::clamp<int64_t>(digitsEnd - int64_t{m_digitWidth} * digits, -kMaxBarSide * 4, kMaxBarSide));
  m_soundLeft = m_digitsEnd + m_design.DigitsSoundSpace;
  m_volumeRight = m_width - m_design.RightSpace;
  m_volumeLeft = m_volumeRight - volume;
}

void TVideoNavBar::Rebuild(double scale) {
  Place(scale);
  m_enabled = m_thumbWidth + m_trackLeft < m_trackRight;
  for (int halvings = 0; m_enabled && !(m_thumbWidth + m_trackLeft + kMinTrackRoom < m_trackRight); ++halvings) {
    // Shrinking cannot make room when the fixed gaps alone take it.
    if (halvings == kMaxHalvings) {
      m_enabled = false;
      break;
    }
    Place(m_scale / 2);
  }
  m_drag = TDrag::None;
  m_heldPart = m_hoverPart = TPart::None;
  PrepareLooks();
  DrawAll();
}

void TVideoNavBar::PrepareLooks() {
  m_background = m_backPicture
                     ? StretchWithMargins(*m_backPicture, m_design.BgLeft, m_design.BgRight, m_width, m_height)
                     : TBitmap();
  if (m_background.IsEmpty() && m_width > 0 && m_height > 0)
    m_background = TBitmap(m_width, m_height, TPixelFormat::Bgra32);
  m_timeLine = TBitmap();
  m_volumeLine = TBitmap();
  if (m_linePicture) {
    m_timeLine = StretchWithMargins(*m_linePicture, m_design.LineLeft, m_design.LineRight,
                                    std::max(m_trackRight - m_trackLeft, 0), m_trackHeight);
    m_volumeLine = StretchWithMargins(*m_linePicture, m_design.LineLeft, m_design.LineRight,
                                      std::max(m_volumeRight - m_volumeLeft, 0), m_trackHeight);
  }
  m_thumb = m_thumbPicture ? StretchPart(*m_thumbPicture, RectOfSize(0, 0, m_thumbPicture->Width(), m_thumbPicture->Height()),
                                         m_thumbWidth, m_thumbHeight)
                           : TBitmap();
  for (size_t look = 0; look < m_strips.size(); ++look)
    for (int cell = 0; cell < kVideoNavCells; ++cell) {
      const std::shared_ptr<const TBitmap>& strip = m_strips[look] ? m_strips[look] : m_strips[lkNormal];
      m_cells[look][static_cast<size_t>(cell)] =
          strip ? StretchPart(*strip, RectOfSize(cell * m_design.ButtonWidth, 0, m_design.ButtonWidth, m_design.ButtonHeight),
                              m_buttonWidth, m_buttonHeight)
                : TBitmap();
    }
  if (m_enabled && (!m_glyphs || m_glyphs->Height() != std::max(m_digitHeight, 1)))
    m_glyphs = std::make_unique<TNavTimeGlyphs>(m_glyphSource, m_digitHeight);
}

// --- Drawing ------------------------------------------------------------------------

T3DRect TVideoNavBar::ButtonRect(TPart part, int index) const {
  int32_t left = m_design.LeftSpace;
  if (part == TPart::Button)
    left += (index + 1) * m_buttonWidth;
  else if (part == TPart::Sound)
    left = m_soundLeft;
  return RectOfSize(left, (m_height - m_buttonHeight) / 2, m_buttonWidth, m_buttonHeight);
}

int TVideoNavBar::ButtonCell(TPart part, int index) const {
  switch (part) {
  case TPart::Play: return m_shownPlaying ? vncPlayPlaying : vncPlayPaused;
  case TPart::Sound: return m_volume > 0 ? vncSound : vncMuted;
  case TPart::Button: return m_buttons[static_cast<size_t>(index)] == 0 ? vncBackward : vncForward;
  default: return vncPlayPaused;
  }
}

void TVideoNavBar::DrawButton(TPart part, int index) {
  const T3DRect rect = ButtonRect(part, index);
  CopyArea(m_picture, m_background, rect);
  int look = lkNormal;
  if (m_heldPart == part && m_heldIndex == index)
    look = lkClick;
  else if (m_hoverPart == part && m_hoverIndex == index)
    look = lkHover;
  BlendOver(m_picture, m_cells[static_cast<size_t>(look)][static_cast<size_t>(ButtonCell(part, index))], rect.left,
            rect.top);
  ReportChanged(rect);
}

void TVideoNavBar::DrawTimeTrack() {
  const int32_t top = std::min((m_height - m_trackHeight) / 2, (m_height - m_thumbHeight) / 2);
  const T3DRect area{m_trackLeft, top, m_trackRight, m_height - top};
  CopyArea(m_picture, m_background, area);
  BlendOver(m_picture, m_timeLine, m_trackLeft, (m_height - m_trackHeight) / 2);
  BlendOver(m_picture, m_thumb, m_timeThumb - m_thumbWidth / 2, (m_height - m_thumbHeight) / 2);
  ReportChanged(area);
}

void TVideoNavBar::DrawVolumeTrack() {
  const int32_t top = std::min((m_height - m_trackHeight) / 2, (m_height - m_thumbHeight) / 2);
  const T3DRect area{m_volumeLeft, top, m_volumeRight, m_height - top};
  CopyArea(m_picture, m_background, area);
  BlendOver(m_picture, m_volumeLine, m_volumeLeft, (m_height - m_trackHeight) / 2);
  BlendOver(m_picture, m_thumb, m_volumeThumb - m_thumbWidth / 2, (m_height - m_thumbHeight) / 2);
  ReportChanged(area);
}

void TVideoNavBar::DrawText() {
  // The text stays inside its band, between the track and the sound button.
  const T3DRect band = Intersect(T3DRect{m_trackRight, 0, m_digitsEnd, m_height}, RectOfSize(0, 0, Width(), Height()));
  if (band.IsEmpty())
    return;
  TBitmap view = m_picture.CropView(band.left, band.top, band.Width(), band.Height());
  CopyArea(m_picture, m_background, band);
  const int32_t left = m_trackRight + m_design.TrackDigitsSpace;
  const int32_t x = left + (m_digitsEnd - left - m_glyphs->TextWidth(m_text)) / 2;
  m_glyphs->Draw(view, m_text, x - band.left, (m_height - m_glyphs->Height()) / 2);
  ReportChanged(band);
}

void TVideoNavBar::DrawAll() {
  m_picture = m_background.Clone();
  m_shownPlaying = m_drag == TDrag::Time ? false : IsPlaying();
  if (!m_enabled) {
    ReportChanged(RectOfSize(0, 0, m_width, m_height));
    return;
  }
  m_timeThumb = TimeThumbFor(m_time);
  m_volumeThumb = VolumeThumbFor(m_volume);
  m_shownSecond = std::max<int64_t>(m_time, 0) / 1000;
  m_text = NavTimeText(m_time, m_duration);
  DrawButton(TPart::Play, 0);
  for (size_t i = 0; i < m_buttons.size(); ++i)
    DrawButton(TPart::Button, static_cast<int>(i));
  DrawTimeTrack();
  DrawText();
  DrawButton(TPart::Sound, 0);
  DrawVolumeTrack();
}

// --- Thumbs and time ------------------------------------------------------------------

int64_t TVideoNavBar::Reduced(int64_t ms) const {
  // A repeating show's time is reduced by the duration while it exceeds it.
  return m_duration > 0 && ms > m_duration ? (ms - 1) % m_duration + 1 : ms;
}

int32_t TVideoNavBar::TimeThumbFor(int64_t ms) const {
  const int32_t half = m_thumbWidth / 2;
  if (m_duration <= 0 || ms < 0)
    return half + m_trackLeft;
  const double span = static_cast<double>(m_trackRight) - m_thumbWidth - m_trackLeft;
  return half + static_cast<int32_t>(std::trunc(span * static_cast<double>(ms) / static_cast<double>(m_duration) + m_trackLeft));
}

int32_t TVideoNavBar::VolumeThumbFor(double volume) const {
  const int32_t half = m_thumbWidth / 2;
  if (!(volume >= 0 && volume <= 1))
    return half + m_volumeLeft;
  const double span = static_cast<double>(m_volumeRight) - m_thumbWidth - m_volumeLeft;
  return half + static_cast<int32_t>(std::lround(span * volume + m_volumeLeft));
}

void TVideoNavBar::ShowTime(int64_t ms) {
  ms = Reduced(ms);
  m_time = ms;
  const int32_t thumb = TimeThumbFor(ms);
  const int64_t second = std::max<int64_t>(ms, 0) / 1000;
  if (thumb != m_timeThumb) {
    m_timeThumb = thumb;
    DrawTimeTrack();
  }
  if (second != m_shownSecond) {
    m_shownSecond = second;
    m_text = NavTimeText(ms, m_duration);
    DrawText();
  }
}

void TVideoNavBar::ShowVolume(double volume) {
  const bool wasMuted = !(m_volume > 0);
  m_volume = volume;
  const int32_t thumb = VolumeThumbFor(volume);
  if (thumb != m_volumeThumb) {
    m_volumeThumb = thumb;
    DrawVolumeTrack();
  }
  if (wasMuted != !(volume > 0))
    DrawButton(TPart::Sound, 0);
}

void TVideoNavBar::SetTime(int64_t ms) {
  if (!m_enabled)
    return;
  if (m_drag != TDrag::Time) {
    const bool playing = IsPlaying();
    if (playing != m_shownPlaying) {
      m_shownPlaying = playing;
      DrawButton(TPart::Play, 0);
    }
    ShowTime(ms);
  }
}

void TVideoNavBar::SetVolume(double volume) {
  if (!m_enabled || m_drag == TDrag::Volume || !std::isfinite(volume))
    return;
  ShowVolume(std::clamp(volume, 0.0, 1.0));
}

// --- Mouse ------------------------------------------------------------------------------

TVideoNavBar::TPart TVideoNavBar::PartAt(int32_t x, int32_t y, int& index) const {
  index = 0;
  const int32_t trackTop = std::min((m_height - m_trackHeight) / 2, (m_height - m_thumbHeight) / 2);
  const bool inTrackBand = y >= trackTop && y < m_height - trackTop;
  if (inTrackBand && x >= m_trackLeft && x < m_trackRight)
    return TPart::TimeTrack;
  if (inTrackBand && x >= m_volumeLeft && x < m_volumeRight)
    return TPart::VolumeTrack;
  if (Inside(ButtonRect(TPart::Play, 0), x, y))
    return TPart::Play;
  if (Inside(ButtonRect(TPart::Sound, 0), x, y))
    return TPart::Sound;
  for (size_t i = 0; i < m_buttons.size(); ++i)
    if (Inside(ButtonRect(TPart::Button, static_cast<int>(i)), x, y)) {
      index = static_cast<int>(i);
      return TPart::Button;
    }
  return TPart::None;
}

void TVideoNavBar::SetLook(TPart part, int index, int look) {
  const TPart oldHeld = m_heldPart;
  const int oldHeldIndex = m_heldIndex;
  const TPart oldHover = m_hoverPart;
  const int oldHoverIndex = m_hoverIndex;
  m_heldPart = look == lkClick ? part : TPart::None;
  m_heldIndex = index;
  m_hoverPart = look == lkHover ? part : TPart::None;
  m_hoverIndex = index;
  const auto isButton = [](TPart p) { return p == TPart::Play || p == TPart::Sound || p == TPart::Button; };
  if (isButton(oldHeld))
    DrawButton(oldHeld, oldHeldIndex);
  if (isButton(oldHover) && (oldHover != oldHeld || oldHoverIndex != oldHeldIndex))
    DrawButton(oldHover, oldHoverIndex);
  if (isButton(part) && look != lkNormal)
    DrawButton(part, index);
}

void TVideoNavBar::DragTo(TDrag drag, int32_t x) {
  const int32_t half = m_thumbWidth / 2;
  const int32_t left = drag == TDrag::Time ? m_trackLeft : m_volumeLeft;
  const int32_t right = drag == TDrag::Time ? m_trackRight : m_volumeRight;
  // A grab far from the thumb's centre (a press beside the thumb) puts the
  // centre under the mouse.
  const int32_t centre = std::clamp(std::abs(m_grab) > half ? x : x - m_grab, left + half, std::max(left + half, right - half));
  const double range = static_cast<double>(right) - left - m_thumbWidth;
  const double share = range > 0 ? (centre - left - half) / range : 0;
  if (drag == TDrag::Time) {
    const auto ms = static_cast<int64_t>(static_cast<double>(m_duration) * share);
    m_time = ms;
    if (centre != m_timeThumb) {
      m_timeThumb = centre;
      DrawTimeTrack();
    }
    if (const int64_t second = ms / 1000; second != m_shownSecond) {
      m_shownSecond = second;
      m_text = NavTimeText(ms, m_duration);
      DrawText();
    }
    if (m_events.TimeChanged)
      m_events.TimeChanged(ms);
    return;
  }
  m_volume = std::clamp(share, 0.0, 1.0);
  if (centre != m_volumeThumb) {
    m_volumeThumb = centre;
    DrawVolumeTrack();
  }
  DrawButton(TPart::Sound, 0);
  if (m_events.VolumeChanged)
    m_events.VolumeChanged(m_volume);
}

void TVideoNavBar::MouseDown(int32_t x, int32_t y) {
  if (!m_enabled)
    return;
  int index = 0;
  const TPart part = PartAt(x, y, index);
  switch (part) {
  case TPart::TimeTrack:
    m_drag = TDrag::Time;
    m_grab = x - m_timeThumb;
    m_wasPlaying = IsPlaying();
    if (m_shownPlaying) {
      m_shownPlaying = false;
      DrawButton(TPart::Play, 0);
    }
    if (m_wasPlaying && m_events.PlayControl)
      m_events.PlayControl();
    return;
  case TPart::VolumeTrack:
    m_drag = TDrag::Volume;
    m_grab = x - m_volumeThumb;
    return;
  case TPart::Play:
    m_shownPlaying = !m_shownPlaying;
    SetLook(part, index, lkClick);
    if (m_events.PlayControl)
      m_events.PlayControl();
    return;
  case TPart::Sound: {
    if (m_volume > 0) {
      m_remembered = m_volume;
      ShowVolume(0);
    } else {
      ShowVolume(m_remembered);
    }
    SetLook(part, index, lkClick);
    if (m_events.VolumeChanged)
      m_events.VolumeChanged(m_volume);
    return;
  }
  case TPart::Button:
    SetLook(part, index, lkClick);
    if (m_events.ButtonClicked)
      m_events.ButtonClicked(m_buttons[static_cast<size_t>(index)]);
    return;
  case TPart::None: return;
  }
}

void TVideoNavBar::MouseMove(int32_t x, int32_t y) {
  if (!m_enabled || m_heldPart != TPart::None)
    return;
  if (m_drag != TDrag::None) {
    DragTo(m_drag, x);
    return;
  }
  int index = 0;
  const TPart part = PartAt(x, y, index);
  if (part != m_hoverPart || index != m_hoverIndex)
    SetLook(part, index, lkHover);
}

void TVideoNavBar::MouseUp(int32_t x, int32_t y) {
  if (!m_enabled)
    return;
  const TDrag drag = m_drag;
  int index = 0;
  const TPart part = PartAt(x, y, index);
  if (drag != TDrag::None) {
    DragTo(drag, x);
    m_drag = TDrag::None;
    if (drag == TDrag::Time) {
      m_shownPlaying = m_wasPlaying;
      DrawButton(TPart::Play, 0);
      if (m_wasPlaying && m_events.PlayControl)
        m_events.PlayControl();
    }
  } else if (m_heldPart == TPart::None && (part == TPart::TimeTrack || part == TPart::VolumeTrack)) {
    m_grab = 0;
    DragTo(part == TPart::TimeTrack ? TDrag::Time : TDrag::Volume, x);
  }
  SetLook(part, index, lkHover);
}

} // namespace qx
