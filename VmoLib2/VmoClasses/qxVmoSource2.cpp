#include "VmoLib2/VmoClasses/qxVmoSource2.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoClasses/qxVmoSlideRandom.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <span>

namespace qx {

namespace {

constexpr std::string_view kScreenSaverExtension = ".scr";
// Bounds the slide table a damaged "opt_slidescount" could ask for.
constexpr int kMaxSlideCount = 1 << 20;

// Case-insensitive choice among words; `def` when the key is missing or its
// value matches none of them.
int ReadWord(const TIniSection& section, std::string_view key, std::span<const std::string_view> words, int def) {
  const TIniIdent* ident = section.FindKey(key);
  if (!ident)
    return def;
  const std::string value = ident->Value();
  for (size_t i = 0; i < words.size(); ++i) {
    if (SameText(value, words[i]))
      return static_cast<int>(i);
  }
  return def;
}

// The last component of a Windows or native path without its extension; a
// trailing backslash is dropped first.
std::string BaseNameWithoutExtension(std::string_view path) {
  if (!path.empty() && path.back() == '\\')
    path.remove_suffix(1);
  if (const size_t separator = path.find_last_of("\\/"); separator != std::string_view::npos)
    path.remove_prefix(separator + 1);
  if (const size_t dot = path.rfind('.'); dot != std::string_view::npos)
    path = path.substr(0, dot);
  return std::string(path);
}

} // namespace

std::string_view EndModeWord(TEndMode mode) {
  switch (mode) {
  case TEndMode::Repeat: return "repeat";
  case TEndMode::Close: return "close";
  case TEndMode::Stop: return "stop";
  }
  return "repeat";
}

TVmoSource::TVmoSource(const TFileAccessor& accessor, std::unique_ptr<TIniStorage> storage, bool deterministic)
    : m_accessor(accessor), m_ownedStorage(std::move(storage)), m_storage(m_ownedStorage.get()) {
  Build(deterministic);
}

TVmoSource::TVmoSource(const TFileAccessor& accessor, TIniStorage& storage, bool deterministic)
    : m_accessor(accessor), m_storage(&storage) {
  Build(deterministic);
}

TVmoSource::~TVmoSource() = default;

bool TVmoSource::IsScreenSaverPath(std::string_view programPath) {
  std::string_view name = programPath;
  if (const size_t separator = name.find_last_of("\\/"); separator != std::string_view::npos)
    name.remove_prefix(separator + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return false;
  return LowerCase(name.substr(dot)) == kScreenSaverExtension;
}

void TVmoSource::Build(bool deterministic) {
  QX_ASSERT(m_storage != nullptr, "TVmoSource: no project storage");
  m_main = m_storage->FindOrAddSection("Main");
  ApplyScreenSaverOverrides();
  ReadMainOptions();
  m_slides.resize(m_slideCount);
  m_transitions =
      std::make_unique<TVmoTransitions>(*m_main, m_slideCount, [this](int index) { return SlideSection(index); });
  m_transitions->SetDeterministic(deterministic);
  BuildTimeLine();
}

void TVmoSource::ApplyScreenSaverOverrides() {
  m_screenSaver = IsScreenSaverPath(ProgramPath());
  if (!m_screenSaver) {
    m_main->WriteString("opt_ssaver", "0");
    return;
  }
  m_main->WriteString("opt_ssaver", "1");
  m_main->WriteString("opt_fcp", "0");
  m_main->WriteString("opt_hidecursor", "1");
  m_main->WriteString("opt_scr_full", "1");
  m_main->WriteString("opt_repeat", "repeat");
}

void TVmoSource::ReadMainOptions() {
  static constexpr std::array<std::string_view, 3> kEndModes = {"repeat", "close", "stop"};
  m_endMode = static_cast<TEndMode>(ReadWord(*m_main, "opt_repeat", kEndModes, 0));
  // A negative count is an empty show.
  m_slideCount = std::max(m_main->ReadInteger("opt_slidescount", 0), 0);
  QX_ASSERT(m_slideCount <= kMaxSlideCount, "Too many slides");
  m_pauseWhenInactive = m_main->ReadBool("opt_pausewheninactive", true);
  m_hiderColor = WindowsColor(m_main->ReadInteger("opt_scr_hidercolor", 0));
  m_unsharpAmount = m_main->ReadFloat("opt_scr_unsharpamount", 0);
  m_unsharpThreshold = static_cast<uint8_t>(m_main->ReadInteger("opt_scr_unsharpthreshold", 0));
}

void TVmoSource::BuildTimeLine() {
  double prev = 0;
  for (int i = 0; i < m_slideCount; ++i) {
    const double pos = m_main->ReadInteger("opt_synchpos" + std::to_string(i + 1), 0);
    QX_ASSERT(pos >= prev, "Incorrect time");
    TSlideInfo& slide = m_slides[i];
    slide.InEffect = GetTransitionTime(i);
    slide.OutEffect = GetTransitionTime(i + 1);
    slide.SlideStart = prev;
    slide.SlideEnd = pos;
    if (slide.SlideEnd - slide.SlideStart < slide.InEffect)
      slide.InEffect = slide.SlideEnd - slide.SlideStart;
    slide.VisibleEnd = pos + slide.OutEffect;
    m_totalDuration = pos;
    slide.SlideName = ReadSlideName(i);
    prev = pos;
  }
}

std::string TVmoSource::ReadSlideName(int index) const {
  const TIniSection* section = SlideSection(index);
  if (!section)
    return {};
  std::string name = section->ReadString("slideid", "");
  if (!name.empty())
    return name;
  return BaseNameWithoutExtension(section->ReadString("picture", ""));
}

std::string TVmoSource::SlideSectionName(const TIniStorage& storage, int n) {
  const TIniSection* main = storage.FindSection("Main");
  const std::string path = main ? main->ReadString("ProjectFilePath", "") : std::string();
  if (path.empty())
    return "Slide" + std::to_string(static_cast<int64_t>(n) + 1);
  const int count = main->ReadInteger("opt_slidescount", 0);
  const bool random = main->ReadBool("opt_random", false);
  return "Slide" + std::to_string(static_cast<int64_t>(SlideOrderEntry(path, count, random, n)) + 1);
}

TIniSection* TVmoSource::SlideSection(const TIniStorage& storage, int n) {
  return storage.FindSection(SlideSectionName(storage, n));
}

int TVmoSource::GetSlideTimes(int index, TSlideTimes& times) const {
  if (index == -1) {
    const double lead = m_slideCount > 0 ? m_slides[0].InEffect : 0;
    times = {kLeadInStart, 0, 0, lead, lead};
    return -1;
  }
  if (index < -1) {
    times = {kVirtualStart, kLeadInStart, 0, 0, kLeadInStart};
    return -1;
  }
  QX_ASSERT(m_slideCount > 0, "GetSlideTimes: no slides");
  const int repetition = index / m_slideCount;
  times = m_slides[index % m_slideCount];
  const double shift = repetition * m_totalDuration;
  if (shift > 0) {
    times.SlideStart += shift;
    times.SlideEnd += shift;
    times.VisibleEnd += shift;
  }
  return repetition;
}

int TVmoSource::FindSlide(double time) const {
  // Times before the show (and not-a-number) belong to the lead-in.
  if (!(time > 0))
    return -1;
  // An empty or zero-length show has no slide after time 0 in any
  // repetition: answer its last slide instead of searching forever.
  if (m_slideCount == 0 || !(m_totalDuration > 0))
    return m_slideCount - 1;

  // Start one repetition early and scan upward, so that boundaries resolve
  // exactly as a scan from the first slide would.
  const double repetitions = std::floor(time / m_totalDuration);
  const double lastStart = static_cast<double>(INT_MAX / m_slideCount - 3);
  const int firstRepetition = static_cast<int>(std::clamp(repetitions - 1, 0.0, std::max(lastStart, 0.0)));
  const int first = firstRepetition * m_slideCount;
  const int last = first + 3 * m_slideCount;
  TSlideTimes times;
  for (int index = first; index < last; ++index) {
    GetSlideTimes(index, times);
    if (times.SlideStart <= time && time <= times.SlideEnd)
      return index;
  }
  return last - 1;
}

double TVmoSource::GetTransitionTime(int index) {
  if (m_endMode != TEndMode::Repeat && index >= m_slideCount)
    return 0;
  const TTransition transition = m_transitions->GetTransition(index);
  return transition.Class <= 0 ? 0 : transition.Duration;
}

const TIniSection* TVmoSource::PersonalSection(int index) const {
  if (index < 0 || m_slideCount <= 0)
    return nullptr;
  const TIniSection* section = SlideSection(index % m_slideCount);
  if (!section || !section->ReadBool("UsePersonal", false))
    return nullptr;
  return section;
}

TEndAction TVmoSource::GetEndAction(int index) const {
  static constexpr std::array<std::string_view, 3> kActions = {"pause", "loop", ""};
  constexpr int kDefaultAction = 2;
  int action = kDefaultAction;
  if (const TIniSection* section = PersonalSection(index))
    action = ReadWord(*section, "Pers_EndAction", kActions, -1);
  if (action == kDefaultAction)
    action = m_main->ReadString("opt_manualshow", "") == "1" ? 0 : -1;

  TEndAction result;
  result.Action = static_cast<TSlideEndAction>(action);
  if (result.Action == TSlideEndAction::Loop) {
    const TSlideInfo& slide = m_slides[index % m_slideCount];
    result.LoopLength = slide.SlideEnd - slide.SlideStart - slide.InEffect;
  }
  return result;
}

bool TVmoSource::GetRunApp(int index, std::string& fileName) const {
  const TIniSection* section = PersonalSection(index);
  if (!section || !section->ReadBool("Pers_RunApp", false))
    return false;
  std::string name = section->ReadString("RunAppFN", "");
  if (name.empty())
    return false;
  fileName = std::move(name);
  return true;
}

} // namespace qx
