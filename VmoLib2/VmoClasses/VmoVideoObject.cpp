#include "VmoLib2/VmoClasses/VmoVideoObject.h"

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/qxVmoDrawing.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr std::string_view kDeinterlaceWords[] = {"Auto", "Wave", "BobEven", "BobOdd"};
constexpr double kAspect4x3 = 1.333333;
constexpr double kAspect16x9 = 1.777778;
// The placeholder: a dark panel in a light frame.
constexpr TRgba kPlaceholderFill{48, 48, 48, 255};
constexpr TRgba kPlaceholderFrame{160, 160, 160, 255};
constexpr double kPlaceholderLine = 0.03;
// A block without "Duration" plays the whole clip: the value lies outside
// the clip, so the clip's length replaces it.
constexpr double kWholeClip = -1;

std::unique_ptr<TVmoObject> CreateVideoKind(TVmoObject& parent, const std::string& name, std::string_view typeWord) {
  if (typeWord != "video" && typeWord != "mainvideo")
    return nullptr;
  auto video = std::make_unique<TVmoVideo>(&parent, name);
  video->SetMainVideo(typeWord == "mainvideo");
  return video;
}

const TIniObject* FindObjectOfClass(const TIniIdentList& block, std::string_view lowerClass) {
  for (const TIniObject* item = block.FirstObject(); item; item = block.NextObject(item))
    if (LowerCase(Trim(item->ClassName())) == lowerClass)
      return item;
  return nullptr;
}

} // namespace

std::optional<TVideoClip2> TVideoClip2::Find(const TIniIdentList& main, const std::string& guid) {
  if (guid.empty())
    return std::nullopt;
  const TIniObject* boss = FindObjectOfClass(main, "videoboss");
  if (!boss)
    return std::nullopt;
  for (const TIniObject* item = boss->FirstObject(); item; item = boss->NextObject(item)) {
    if (LowerCase(Trim(item->ClassName())) != "videoclip" || item->ReadString("ClipGUID", "") != guid)
      continue;
    TVideoClip2 clip;
    clip.ClipGuid = guid;
    clip.LoadFromDisk = item->ReadBool("LoadFromDisk", false);
    clip.FileName = item->ReadString("FileName", "");
    clip.Duration = item->ReadFloat("Duration", kWholeClip);
    clip.StartVideoTime = item->ReadFloat("StartVideoTime", 0);
    clip.StartVmoTime = item->ReadFloat("StartVMOTime", 0);
    clip.ClipCaption = item->ReadString("ClipCaption", "");
    clip.StartSlideIdx = item->ReadInteger("StartSlideIdx", 0);
    clip.Mute = item->ReadBool("Mute", false);
    clip.MasterId = item->ReadString("MasterID", "");
    if (clip.StartSlideIdx != 0)
      clip.StartPosition = main.ReadFloat("opt_synchpos" + std::to_string(clip.StartSlideIdx), 0);
    return clip;
  }
  return std::nullopt;
}

TVmoVideo::TVmoVideo(TVmoObject* parent, std::string name) : TVmoObject(parent, std::move(name)) {
  SetBaseSize(kPlaceholderSize);
}

TVmoVideo::~TVmoVideo() { ReleaseFrame(); }

void TVmoVideo::ReadSettings(const TIniIdentList& block) {
  m_clipGuid = block.ReadString("ClipGUID", "");
  m_clip.reset();
  if (!m_clipGuid.empty()) {
    TVmoObjectHost* host = Host();
    const TIniIdentList* main = host ? host->Section("main") : nullptr;
    if (main)
      m_clip = TVideoClip2::Find(*main, m_clipGuid);
    if (!m_clip)
      m_clipGuid.clear();
  }
  m_mute = block.ReadBool("Mute", false);
  m_startVmoTime = block.ReadFloat("StartVMOTime", 0);
  if (!m_clip) {
    m_fileName = block.ReadString("FileName", "");
    m_loadFromDisk = block.ReadBool("LoadFromDisk", false);
    m_duration = block.ReadFloat("Duration", kWholeClip);
    m_startVideoTime = block.ReadFloat("StartVideoTime", 0);
  }
  m_antialiasedBorder = block.ReadBool("AntialiasedBorder", true);
  m_border = ReadBorderParams(block);
  m_deinterlace = static_cast<TDeinterlaceType>(block.ReadChoice("DeinterlaceType", kDeinterlaceWords, 0, true));
  m_waitForConvert = block.ReadBool("WaitForConvert", false);
  MarkSettingsChanged();
}

bool TVmoVideo::Playable() const { return m_source && m_source->Status() == TExtractorWrapper::kReady; }

double TVmoVideo::ClipLength() const {
  if (!(m_params.FrameRate > 0))
    return 0;
  return static_cast<double>(m_params.FrameCount) / m_params.FrameRate * 1000.0;
}

double TVmoVideo::ClipTime(double showTime) const {
  const double begin = AnchorTimes()[0];
  const double t = showTime - begin;
  double start = StartVmoTime();
  if (m_clip)
    start -= begin - m_clip->StartPosition;
  const double length = ClipLength();
  double duration = Duration();
  double from = StartVideoTime();
  if (length > 0) {
    if (duration < 0 || duration > length)
      duration = length;
    if (from < 0 || from > length)
      from = 0;
  }
  if (t < std::max(DeltaTime1(), start))
    return from;
  if (t <= start + duration)
    return t - start + from;
  return from + duration;
}

int32_t TVmoVideo::FieldMode(double ms) const {
  if (!m_params.Interlaced || m_deinterlace == TDeinterlaceType::Wave || !(m_params.FrameRate > 0))
    return 0;
  const double step = 1000.0 / m_params.FrameRate;
  const double centre = std::llround(std::max(ms, 0.0) / step) * step;
  const bool firstHalf = ms < centre;
  switch (m_deinterlace) {
  case TDeinterlaceType::BobEven: return firstHalf ? 1 : 2;
  case TDeinterlaceType::BobOdd: return firstHalf ? 2 : 1;
  default: return firstHalf == m_params.BottomFieldFirst ? 2 : 1;
  }
}

double TVmoVideo::PixelAspect() const {
  if (m_params.Width <= 0 || m_params.Height <= 0)
    return 1.0;
  switch (m_params.AspectClass) {
  case 1: return m_params.Height * kAspect4x3 / m_params.Width;
  case 2: return m_params.Height * kAspect16x9 / m_params.Width;
  default: return 1.0;
  }
}

void TVmoVideo::Evaluate(double time) {
  m_showTime = time;
  TVmoObject::Evaluate(time);
}

void TVmoVideo::PrepareResources() {
  TVmoObjectHost* host = Host();
  const TVmoSlide* slide = RootSlide();
  const std::string key = TExtractorWrapper::MakeKey(slide ? slide->Index() : 0, m_clipGuid, Name());
  if (host && (!m_source || key != m_openedKey || m_source->FileName() != FileName())) {
    ReleaseFrame();
    m_source = host->VideoClip(key, FileName(), LoadFromDisk());
    m_openedKey = key;
  }
  m_params = Playable() ? m_source->Params() : TVideoParams{};
  if (m_params.Width > 0 && m_params.Height > 0)
    SetBaseSize({static_cast<int32_t>(std::lround(m_params.Width * PixelAspect())), m_params.Height});
  else
    SetBaseSize(kPlaceholderSize);
  TVmoObject::PrepareResources();
}

bool TVmoVideo::NeedsRedraw() const { return TVmoObject::NeedsRedraw() || (Active() && Playable()); }

void TVmoVideo::ReleaseFrame() {
  if (m_source && m_locked.Image)
    m_source->Unlock(m_locked);
  m_locked = {};
}

void TVmoVideo::FrameEnded() {
  ReleaseFrame();
  TVmoObject::FrameEnded();
}

void TVmoVideo::DrawBorder(TDeviceDrawer& drawer, const TPlacement& placement, float opacity) {
  if (!m_border.BorderOn || !(m_border.BorderWidth > 0) || Width() <= 0 || Height() <= 0)
    return;
  const double across = m_border.BorderWidth / Width();
  const double down = m_border.BorderWidth / Height();
  const TPlacement grown = placement.Part(-across, -down, 1 + across, 1 + down);
  TBoxDrawParams params;
  params.Color1 = params.Color2 = m_border.BorderColor;
  params.Opacity = opacity;
  params.Antialiased = m_antialiasedBorder;
  drawer.DrawFrame(grown, static_cast<float>(across / (1 + 2 * across)), static_cast<float>(down / (1 + 2 * down)),
                   static_cast<float>(across / (1 + 2 * across)), static_cast<float>(down / (1 + 2 * down)), params);
}

void TVmoVideo::DrawPlaceholder(TDeviceDrawer& drawer, const TPlacement& placement, float opacity) {
  TBoxDrawParams params;
  params.Color1 = params.Color2 = kPlaceholderFill;
  params.Opacity = opacity;
  drawer.DrawBox(placement, params);
  params.Color1 = params.Color2 = kPlaceholderFrame;
  const double line = std::max(1.0, std::min(Width(), Height()) * kPlaceholderLine);
  drawer.DrawFrame(placement, static_cast<float>(line / std::max(1, Width())),
                   static_cast<float>(line / std::max(1, Height())), static_cast<float>(line / std::max(1, Width())),
                   static_cast<float>(line / std::max(1, Height())), params);
}

void TVmoVideo::DrawContent(TDeviceDrawer& drawer) {
  const float opacity = Opacity();
  if (!(opacity > 0))
    return;
  const TPlacement placement = ObjectPlacement(*this);
  DrawBorder(drawer, placement, opacity);
  ReleaseFrame();
  if (Playable()) {
    const double ms = ClipTime(m_showTime);
    const TVmoObjectHost* host = Host();
    m_locked = m_source->Lock(drawer, ms, host && host->ExactVideoFrames());
    if (m_locked.Image) {
      TVideoDrawParams params;
      params.Opacity = opacity;
      params.FieldMode = FieldMode(ms);
      params.Feathered = m_antialiasedBorder;
      drawer.DrawVideo(*m_locked.Image, placement, params);
      return;
    }
  }
  // The file is missing, cannot be decoded, or has no frame to show yet.
  DrawPlaceholder(drawer, placement, opacity);
}

void InstallVideoFactory() { ChainObjectFactory(CreateVideoKind); }

} // namespace qx
