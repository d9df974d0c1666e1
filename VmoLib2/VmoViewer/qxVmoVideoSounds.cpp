#include "VmoLib2/VmoViewer/qxVmoVideoSounds.h"

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxIniValues.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <set>

namespace qx {

namespace {

constexpr double kNoPosition = 2147483647.0;

bool IsVideo(const TIniObject& object) {
  const std::string kind = ObjectClass(object);
  return kind == kVideoClass || kind == kMainVideoClass;
}

// Visits the objects under `root` depth-first in file order, without looking
// inside key points; iterative, so deep nesting cannot exhaust the stack.
void ForEachObject(const TIniIdentList& root, const std::function<void(const TIniObject&)>& visit) {
  std::vector<const TIniObject*> pending;
  const auto pushChildren = [&pending](const TIniIdentList& parent) {
    const size_t mark = pending.size();
    for (const TIniObject* child = parent.FirstObject(); child; child = parent.NextObject(child))
      pending.push_back(child);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
  };
  pushChildren(root);
  while (!pending.empty()) {
    const TIniObject* object = pending.back();
    pending.pop_back();
    visit(*object);
    if (ObjectClass(*object) != kKeyPointClass)
      pushChildren(*object);
  }
}

int32_t RoundInt32(double value) {
  if (!std::isfinite(value))
    return 0;
  return static_cast<int32_t>(std::clamp(std::round(value), double{INT32_MIN}, double{INT32_MAX}));
}

std::string SynchKey(int n) { return "opt_synchpos" + std::to_string(n); }

// The number of a section named "Slide<n>", 0 when the name has none.
int SlideNumber(const TIniSection& slide) {
  const std::string name = LowerCase(slide.Name());
  int32_t n = 0;
  if (!name.starts_with("slide") || !TryParseInteger(std::string_view(name).substr(5), n) || n < 0)
    return 0;
  return n;
}

} // namespace

TVideoSoundCollector::TVideoSoundCollector(const TIniStorage& project, const TIniSection& main)
    : m_project(project), m_main(main), m_videoBoss(FindChildOfClass(main, kVideoBossClass)) {
  bool anyEffect = false;
  for (int k = 1; m_main.KeyExists("opt_fx_eff" + std::to_string(k)); ++k)
    anyEffect = anyEffect || !m_main.ReadString("opt_fx_eff" + std::to_string(k), "").empty();
  m_noDefaultTransitions = !m_main.ReadBool("opt_fx_enable", true) || !anyEffect;

  if (!m_videoBoss)
    return;
  const int count = m_main.ReadInteger("opt_slidescount", 0);
  for (int k = 1; k <= count; ++k) {
    const TIniSection* section = m_project.FindSection("Slide" + std::to_string(k));
    if (!section)
      continue;
    const double start = k == 1 ? 0.0 : m_main.ReadFloat(SynchKey(k - 1), 0);
    ForEachObject(*section, [this, start](const TIniObject& object) {
      const std::string guid = object.ReadString("ClipGUID", "");
      if (IsVideo(object) && !guid.empty())
        m_firstShown.emplace(guid, start);
    });
  }
}

double TVideoSoundCollector::FirstShowTime(const std::string& clipGuid) const {
  const auto found = m_firstShown.find(clipGuid);
  return found == m_firstShown.end() ? -1.0 : found->second;
}

const TIniObject* TVideoSoundCollector::FindClip(const std::string& clipGuid) const {
  if (!m_videoBoss || clipGuid.empty())
    return nullptr;
  for (const TIniObject* clip = m_videoBoss->FirstObject(); clip; clip = m_videoBoss->NextObject(clip)) {
    if (ObjectClass(*clip) == kVideoClipClass && clip->ReadString("ClipGUID", "") == clipGuid)
      return clip;
  }
  return nullptr;
}

double TVideoSoundCollector::NextTransition(int n) const {
  const TIniSection* next = m_project.FindSection("Slide" + std::to_string(int64_t{n} + 1));
  if (!next)
    return 0;
  if (next->ReadBool("Pers_Effect", false)) {
    const int32_t effectClass = next->ReadInteger("Effect_Class", 0);
    if (effectClass == -1 && m_noDefaultTransitions)
      return 0;
    return effectClass != 0 ? next->ReadFloat("EffectTime", 0) : 0;
  }
  return m_noDefaultTransitions ? 0 : m_main.ReadFloat("opt_fx_time", 0);
}

double TVideoSoundCollector::SlideSpan(int n) const {
  const double end = m_main.ReadFloat(SynchKey(n), kNoPosition);
  const double start = n <= 1 ? 0.0 : m_main.ReadFloat(SynchKey(n - 1), 0);
  return end - start + NextTransition(n);
}

TExtraMusicItems TVideoSoundCollector::Collect(const TIniSection& slide, double slideStart) const {
  TExtraMusicItems items;
  std::set<std::string> taken;
  const int n = SlideNumber(slide);
  ForEachObject(slide, [&](const TIniObject& object) {
    if (!IsVideo(object))
      return;
    const std::string guid = object.ReadString("ClipGUID", "");
    const TIniIdentList* clip = FindClip(guid);
    const TIniIdentList& keys = clip ? *clip : object;
    if (keys.ReadBool("Mute", false))
      return;
    TExtraMusicItem item;
    item.FileName = keys.ReadString("FileName", "");
    item.BeginTime = RoundInt32(keys.ReadFloat("StartVideoTime", 0));
    const double startVmo = keys.ReadFloat("StartVMOTime", 0);
    item.TimeLine = RoundInt32(startVmo);
    if (clip) {
      if (taken.contains(guid) || FirstShowTime(guid) < slideStart)
        return;
      taken.insert(guid);
      item.Duration = RoundInt32(keys.ReadFloat("Duration", 0));
    } else {
      item.Duration = RoundInt32(std::min(keys.ReadFloat("Duration", 0), SlideSpan(n) - startVmo));
    }
    if (keys.ReadBool("LoadFromDisk", false))
      item.FileName = std::string(kLoadFromDiskPrefix) + item.FileName;
    items.push_back(std::move(item));
  });
  return items;
}

} // namespace qx
