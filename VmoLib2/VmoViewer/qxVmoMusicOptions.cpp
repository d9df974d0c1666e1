#include "VmoLib2/VmoViewer/qxVmoMusicOptions.h"

#include "QxLib/Music/qxCompositeParams.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxIniValues.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qx {

namespace {

constexpr int32_t kUnchanged = 1000;   // per-mille
constexpr double kCurveRate = 44100.0; // positions of "VolumeParams" are samples
constexpr double kCurveUnit = 65536.0; // levels of "VolumeParams" are 16.16

int32_t ClampInt32(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)); }

int32_t RoundInt32(double value) {
  if (!std::isfinite(value))
    return 0;
  return static_cast<int32_t>(std::clamp(std::round(value), double{INT32_MIN}, double{INT32_MAX}));
}

// A time or level key: integers as written, fractions rounded, so that a
// project that stores "1500.0" reads like one that stores "1500".
int32_t ReadNumber(const TIniIdentList& object, std::string_view key, int32_t def) {
  return RoundInt32(object.ReadFloat(key, def));
}

// The level envelope of an item of `duration` ms: fades in and out at `volume`,
// or a flat level when there is no fade and the volume is not unchanged.
void AddLevelEnvelope(TCompositeItem& item, int32_t fadeIn, int32_t fadeOut, int32_t volume, int32_t duration) {
  if (fadeIn <= 0 && fadeOut <= 0 && volume == kUnchanged)
    return;
  TVolumeParams& level = item.Fades.Add();
  if (fadeIn > 0) {
    level.AddPoint(0, 0);
    level.AddPoint(fadeIn, volume);
  }
  if (fadeOut > 0) {
    level.AddPoint(ClampInt32(int64_t{duration} - fadeOut), volume);
    level.AddPoint(duration, 0);
  }
  if (level.PointCount() == 0) {
    level.AddPoint(0, volume);
    level.AddPoint(duration, volume);
  }
}

// "VolumeParams": comma-separated "position:level" pairs, the position in
// samples at 44100 Hz from the start of the file, the level a 16.16 factor.
// Pairs that do not read as two numbers are left out; a negative level (which
// would end the envelope when read back) counts as silence.
void AddVolumeCurve(TCompositeItem& item, std::string_view text, int32_t startTime) {
  TVolumeParams* curve = nullptr;
  for (const std::string_view pair : SplitValueList(text, -1)) {
    const size_t colon = pair.find(':');
    double position = 0;
    double level = 0;
    if (colon == std::string_view::npos || !TryParseFloat(TrimBlanks(pair.substr(0, colon)), position) ||
        !TryParseFloat(TrimBlanks(pair.substr(colon + 1)), level))
      continue;
    if (!curve) {
      item.Fades.Add();
      curve = &item.Fades[item.Fades.Count() - 1];
    }
    const int64_t time = int64_t{RoundInt32(position / kCurveRate * 1000.0)} - startTime;
    curve->AddPoint(ClampInt32(time), std::max(0, RoundInt32(level / kCurveUnit * 1000.0)));
  }
}

// The cross-fade envelope of an item, made on first use.
TVolumeParams& CrossEnvelope(TCompositeItem& item, int& crossIndex) {
  if (crossIndex < 0) {
    item.Fades.Add();
    crossIndex = item.Fades.Count() - 1;
  }
  return item.Fades[crossIndex];
}

struct TTrackPosition {
  int64_t Pos = 0;
  int64_t Len = 0;
  int64_t Longest = 0;
};

bool IsCrossFadeIn(const TIniObject& item) {
  return ReadNumber(item, "CrossMode", 0) == 0 && ReadNumber(item, "Cross", 0) > 0;
}

// Adds one "tmusicitem" to the description; `next` is the object of the
// following list entry when that entry is an item.
void AddTrackItem(TCompositeParams& params, const TIniObject& object, const TIniObject* next, bool firstOfTrack,
                  TTrackPosition& track) {
  const int32_t startTime = ReadNumber(object, "StartTime", 0);
  const int32_t duration = ReadNumber(object, "Duration", 0);
  const int32_t crossMode = ReadNumber(object, "CrossMode", 0);
  const int32_t cross = ReadNumber(object, "Cross", 0);
  const int32_t pause = ReadNumber(object, "Pause", 0);
  // A negative volume is silence: as an envelope level it would end the
  // envelope, and every envelope after it, when the mixer reads it back.
  const int32_t volume = std::max(0, ClampInt32(int64_t{ReadNumber(object, "Volume", 100)} * 10));

  if (crossMode == 1 && pause > 0) {
    track.Pos += pause;
    track.Len += pause;
  }
  TCompositeItem& item = params.AddItem();
  item.FileName = object.ReadString("FileName", "");
  item.TimeLine = ClampInt32(track.Pos);
  item.BeginTime = startTime;
  item.Duration = duration;
  AddLevelEnvelope(item, ReadNumber(object, "FadeIn", 0), ReadNumber(object, "FadeOut", 0), volume, duration);

  int crossIndex = -1;
  if (crossMode == 0 && cross > 0) {
    TVolumeParams& in = CrossEnvelope(item, crossIndex);
    in.AddPoint(0, 0);
    in.AddPoint(cross, kUnchanged);
    if (!firstOfTrack) {
      track.Pos -= cross;
      track.Len -= cross;
      item.TimeLine = ClampInt32(std::max<int64_t>(0, int64_t{item.TimeLine} - cross));
    }
  }
  if (next && IsCrossFadeIn(*next)) {
    TVolumeParams& out = CrossEnvelope(item, crossIndex);
    out.AddPoint(ClampInt32(int64_t{duration} - ReadNumber(*next, "Cross", 0)), kUnchanged);
    out.AddPoint(duration, 0);
  }
  AddVolumeCurve(item, object.ReadString("VolumeParams", ""), startTime);

  track.Pos += duration;
  track.Len += duration;
  // A silent item, or one without a file, keeps its time but is not mixed;
  // an item without a file would also end the item list of the description.
  if (volume == 0 || item.FileName.empty())
    params.RemoveItem(params.ItemCount() - 1);
}

} // namespace

std::string ObjectClass(const TIniObject& object) { return LowerCase(Trim(object.ClassName())); }

TIniObject* FindChildOfClass(const TIniIdentList& parent, std::string_view lowerClass) {
  for (TIniObject* child = parent.FirstObject(); child; child = parent.NextObject(child)) {
    if (ObjectClass(*child) == lowerClass)
      return child;
  }
  return nullptr;
}

std::string CommentFileName(const TIniObject& comment) {
  std::string name = comment.ReadString("FileName", "");
  return name == "error" ? std::string() : name;
}

TMusicOptionsReader::TMusicOptionsReader(uint32_t seed) : m_random(seed) {}

void TMusicOptionsReader::Flatten(const TIniObject& parent, std::vector<TEntry>& list, const TIniObject*& comment) {
  for (const TIniObject* child = parent.FirstObject(); child; child = parent.NextObject(child)) {
    const std::string kind = ObjectClass(*child);
    if (kind == kMusicTrackClass) {
      if (Trim(child->ReadString("IsMute", "")) == "1")
        continue;
      list.push_back({child, true});
      Flatten(*child, list, comment);
    } else if (kind == kMusicItemClass) {
      list.push_back({child, false});
    } else if (kind == kMusicOptionsClass) {
      m_isRepeat = ReadNumber(*child, "IsRepeat", 0) > 0;
    } else if (kind == kSoundCommentClass) {
      comment = child;
    }
  }
}

int32_t TMusicOptionsReader::NextSortKey() {
  int32_t& slot = m_keys[static_cast<size_t>(m_keyIndex % kKeySlots)];
  ++m_keyIndex;
  if (slot == 0)
    slot = std::uniform_int_distribution<int32_t>(1, kMaxSortKey)(m_random);
  return slot;
}

void TMusicOptionsReader::Shuffle(std::vector<TEntry>& list) {
  for (size_t marker = 0; marker < list.size(); ++marker) {
    if (!list[marker].Marker || !(ReadNumber(*list[marker].Object, "IsRandom", 0) > 0))
      continue;
    size_t end = marker + 1;
    while (end < list.size() && !list[end].Marker)
      ++end;
    for (size_t i = marker + 1; i < end; ++i)
      list[i].SortKey = NextSortKey();
    std::stable_sort(list.begin() + static_cast<std::ptrdiff_t>(marker) + 1,
                     list.begin() + static_cast<std::ptrdiff_t>(end),
                     [](const TEntry& a, const TEntry& b) { return a.SortKey < b.SortKey; });
  }
}

void TMusicOptionsReader::Read(const TIniObject* music, const TExtraMusicItems& extra, bool disableShuffle) {
  m_music.clear();
  m_musicLength = 0;
  m_isRepeat = false;
  m_isRandom = false;
  m_keyIndex = 0;

  std::vector<TEntry> list;
  const TIniObject* comment = nullptr;
  if (music)
    Flatten(*music, list, comment);
  for (const TEntry& entry : list) {
    if (entry.Marker)
      m_isRandom = ReadNumber(*entry.Object, "IsRandom", 0) > 0;
  }
  if (!disableShuffle)
    Shuffle(list);

  TCompositeParams params;
  TTrackPosition track;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].Marker) {
      track.Longest = std::max(track.Longest, track.Len);
      track.Pos = track.Len = 0;
      continue;
    }
    const TIniObject* next = i + 1 < list.size() && !list[i + 1].Marker ? list[i + 1].Object : nullptr;
    AddTrackItem(params, *list[i].Object, next, track.Len == 0, track);
  }
  track.Longest = std::max(track.Longest, track.Len);
  m_musicLength = ClampInt32(track.Longest);
  params.SetDuration(m_musicLength);
  m_music = params.Write();

  ReadComment(comment, extra);
}

// The comment: its own sound after its pause, cut to the comment limit, and
// the extra items. The sound plays from the end of the pause to the end of
// the comment, so that its fade-out ends where the comment ends.
void TMusicOptionsReader::ReadComment(const TIniObject* comment, const TExtraMusicItems& extra) {
  TCompositeParams params;
  int64_t length = 0;
  if (comment) {
    const int32_t pause = std::max(0, ReadNumber(*comment, "Pause", 0));
    const int32_t volume = std::max(0, ClampInt32(int64_t{ReadNumber(*comment, "Volume", 100)} * 10));
    const int32_t startTime = ReadNumber(*comment, "StartTime", 0);
    length = int64_t{ReadNumber(*comment, "Duration", 0)} + pause;
    if (m_commentLimit > 0 && m_commentLimit < length)
      length = m_commentLimit;
    const int32_t sound = ClampInt32(length - pause);
    const std::string fileName = CommentFileName(*comment);
    if (!fileName.empty() && sound > 0) {
      TCompositeItem& item = params.AddItem();
      item.FileName = fileName;
      item.TimeLine = pause;
      item.BeginTime = startTime;
      item.Duration = sound;
      AddLevelEnvelope(item, ReadNumber(*comment, "FadeIn", 0), ReadNumber(*comment, "FadeOut", 0), volume, sound);
      AddVolumeCurve(item, comment->ReadString("VolumeParams", ""), startTime);
    }
  }
  for (const TExtraMusicItem& extraItem : extra) {
    if (extraItem.FileName.empty() || extraItem.Duration <= 0)
      continue;
    TCompositeItem& item = params.AddItem();
    item.FileName = extraItem.FileName;
    item.TimeLine = extraItem.TimeLine;
    item.BeginTime = extraItem.BeginTime;
    item.Duration = extraItem.Duration;
    if (extraItem.Volume != 1.0f) {
      const int32_t level = std::max(0, RoundInt32(extraItem.Volume * 1000.0));
      TVolumeParams& envelope = item.Fades.Add();
      envelope.AddPoint(0, level);
      envelope.AddPoint(extraItem.Duration, level);
    }
    length = std::max(length, int64_t{extraItem.TimeLine} + extraItem.Duration);
  }
  m_commentLength = ClampInt32(length);
  params.SetDuration(m_commentLength);
  m_comment = params.Write();
}

} // namespace qx
