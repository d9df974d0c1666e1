#include "QxLib/Music/qxCompositeParams.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxTextReader.h"

#include <algorithm>
#include <climits>
#include <string>

namespace qx {

namespace {

constexpr std::string_view kMainSection = "Main";
constexpr std::string_view kMainVolumeSection = "MainVolume";

// The INI texts of the concatenated descriptions, without their markers.
std::vector<std::string_view> SplitParts(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = kCompositeMarker.size();
  for (;;) {
    const size_t next = text.find(kCompositeMarker, start);
    if (next == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, next - start));
    start = next + kCompositeMarker.size();
  }
}

// Lines whose first non-blank character is "[", counted without parsing
// up to one more than `limit`.
int32_t CountSectionHeaders(std::string_view text, int32_t limit) {
  int32_t count = 0;
  bool lineStart = true;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      lineStart = true;
      continue;
    }
    if (lineStart && c == '[' && ++count > limit)
      return count;
    if (c != ' ' && c != '\t')
      lineStart = false;
  }
  return count;
}

int32_t ClampToInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

} // namespace

bool IsCompositeDescription(std::string_view name) { return name.starts_with(kCompositeMarker); }

TCompositeParams::TCompositeParams() : TCompositeParams([] { return std::make_unique<TCompositeItem>(); }) {}

TCompositeParams::TCompositeParams(TItemFactory factory) : m_factory(std::move(factory)) {}

TCompositeItem& TCompositeParams::AddItem() {
  m_items.push_back(m_factory());
  return *m_items.back();
}

void TCompositeParams::RemoveItem(int32_t index) {
  QX_ASSERT(index >= 0 && index < ItemCount(), "Composite item index out of range");
  m_items.erase(m_items.begin() + index);
}

TVolumeParamsList& TCompositeParams::GetOrAddMainVolume() {
  if (!m_mainVolume)
    m_mainVolume = std::make_unique<TVolumeParamsList>(false);
  return *m_mainVolume;
}

void TCompositeParams::Clear() {
  m_duration = 0;
  m_items.clear();
  m_mainVolume.reset();
  m_points = 0;
  m_error.clear();
}

bool TCompositeParams::Fail(std::string text) {
  Clear();
  m_error = std::move(text);
  return false;
}

bool TCompositeParams::Read(std::string_view text) {
  Clear();
  if (!IsCompositeDescription(text))
    return Fail("Not a composite description");
  if (text.size() > kMaxTextSize || CountSectionHeaders(text, kMaxSections) > kMaxSections)
    return Fail("Composite description too large");
  const std::vector<std::string_view> parts = SplitParts(text);
  int32_t offset = 0;
  for (std::string_view part : parts) {
    if (!ReadPart(part, offset, parts.size() == 1))
      return false;
    offset = m_duration;
  }
  if (m_duration <= 0)
    return Fail("Composite description without duration");
  if (m_items.empty())
    return Fail("Composite description without items");
  return true;
}

// Reads one INI text; its items start `offset` ms into the whole. When the
// text is not the only part, its master envelopes become envelopes of its
// own items, so that they shape only this part.
bool TCompositeParams::ReadPart(std::string_view text, int32_t offset, bool onlyPart) {
  // A description is the player's own UTF-8 text, whose names come from
  // decoded projects; read without its byte-order mark it would be taken for
  // the ANSI code page, and every name outside ASCII would change.
  TIniStorage ini;
  try {
    if (text.starts_with(kUtf8ByteOrderMark))
      ini.LoadFromString(text);
    else
      ini.LoadFromString(std::string(kUtf8ByteOrderMark) + std::string(text));
  } catch (const EQxError& e) {
    return Fail(std::string("Composite description unreadable: ") + e.what());
  }
  const size_t firstItem = m_items.size();
  for (int32_t i = 0;; ++i) {
    const std::string section = std::to_string(i);
    const TIniSection* const s = ini.FindSection(section);
    const std::string fileName = s ? s->ReadString("FileName", "") : std::string();
    if (fileName.empty())
      break;
    TCompositeItem& item = AddItem();
    item.FileName = fileName;
    item.TimeLine = s->ReadInteger("TimeLine", 0);
    item.BeginTime = s->ReadInteger("BeginTime", 0);
    item.Duration = s->ReadInteger("Duration", 0);
    if (!item.Fades.Read(ini, section))
      return Fail("Composite description has a bad FadeCount in item " + section);
    m_points += item.Fades.PointCount();
  }

  if (ini.SectionExists(kMainVolumeSection)) {
    TVolumeParamsList master(false);
    if (!master.Read(ini, kMainVolumeSection))
      return Fail("Composite description has a bad FadeCount in its master volume");
    const int64_t copies = onlyPart ? 1 : static_cast<int64_t>(m_items.size() - firstItem);
    m_points += copies * master.PointCount();
    if (m_points > kMaxPoints)
      return Fail("Composite description too large");
    if (onlyPart) {
      if (!master.IsEmpty())
        m_mainVolume = std::make_unique<TVolumeParamsList>(std::move(master));
    } else {
      for (size_t i = firstItem; i < m_items.size(); ++i) {
        TCompositeItem& item = *m_items[i];
        for (int32_t j = 0; j < master.Count(); ++j) {
          TVolumeParams& envelope = item.Fades.Add();
          for (const TVolumeItem& point : master[j].Points())
            envelope.AddPoint(ClampToInt32(int64_t{point.Time} - item.TimeLine), point.Volume);
        }
      }
    }
  }

  const int32_t duration = ini.ReadInteger(kMainSection, "Duration", 0);
  if (duration > 0 && int64_t{offset} + duration > INT32_MAX)
    return Fail("Composite description too long");
  for (size_t i = firstItem; i < m_items.size(); ++i)
    m_items[i]->TimeLine = ClampToInt32(int64_t{m_items[i]->TimeLine} + offset);
  if (duration > 0)
    m_duration = offset + duration;
  return true;
}

std::string TCompositeParams::Write(int32_t offset) const {
  if (m_items.empty())
    return {};
  TIniStorage ini;
  ini.WriteInteger(kMainSection, "Duration", m_duration);
  for (int32_t i = 0; i < ItemCount(); ++i) {
    const TCompositeItem& item = Item(i);
    const std::string section = std::to_string(i);
    ini.WriteString(section, "FileName", item.FileName);
    ini.WriteInteger(section, "TimeLine", ClampToInt32(int64_t{item.TimeLine} + offset));
    ini.WriteInteger(section, "BeginTime", item.BeginTime);
    ini.WriteInteger(section, "Duration", item.Duration);
    item.Fades.Write(ini, section);
  }
  if (m_mainVolume && m_mainVolume->WrittenCount() > 0)
    m_mainVolume->Write(ini, kMainVolumeSection);

  std::string text(kCompositeMarker);
  for (const std::string& line : ini.Lines()) {
    text += line;
    text += "\r\n";
  }
  return text;
}

} // namespace qx
