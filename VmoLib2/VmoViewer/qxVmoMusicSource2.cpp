#include "VmoLib2/VmoViewer/qxVmoMusicSource2.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoViewer/qxVmoVideoSounds.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// The most entries the key format's main list may name; a larger
// "opt_music_count" is taken as damaged and read up to this many.
constexpr int32_t kMaxKeyListEntries = 65536;

const TVmoSource& CheckedSource(const TVmoSource* source) {
  QX_ASSERT(source != nullptr, "No VmoSource for VmoMusicSource");
  return *source;
}

bool TextIs(const TIniSection& section, std::string_view key, std::string_view value) {
  return Trim(section.ReadString(key, "")) == value;
}

// Whether the music object has a comment that names a sound.
bool HasSoundComment(const TIniObject* music) {
  if (!music)
    return false;
  for (const TIniObject* child = music->FirstObject(); child; child = music->NextObject(child)) {
    if (ObjectClass(*child) == kSoundCommentClass && !CommentFileName(*child).empty())
      return true;
  }
  return false;
}

} // namespace

TVmoMusicSource::TVmoMusicSource(const TVmoSource* source, uint32_t seed)
    : m_source(CheckedSource(source)), m_main(m_source.MainSection()), m_reader(seed) {
  if (const TIniObject* music = FindChildOfClass(m_main, kMusicClass))
    ReadObjectFormat(*music);
  else
    ReadKeyFormat();
}

TVmoMusicSource::~TVmoMusicSource() = default;

const TSlideMusicInfo& TVmoMusicSource::Slide(int32_t index) const {
  QX_ASSERT(index >= 0 && index < SlideCount(), "Slide music index out of range");
  return m_slides[static_cast<size_t>(index)];
}

void TVmoMusicSource::ReadObjectFormat(const TIniObject& music) {
  m_objectFormat = true;
  m_useMusic = true;
  m_randomMusic = false;
  m_disableRandom = m_main.ReadBool("opt_disablemusicrandom", false);

  m_reader.SetCommentLimit(0);
  m_reader.Read(&music, {}, m_disableRandom);
  if (m_reader.MusicLength() > 0)
    m_mainList.Append(m_reader.MusicDescription(), m_reader.MusicLength());
  m_repeatMusic = m_reader.IsRepeat();
  m_mainList.SetRepeat(m_repeatMusic);

  m_syncMode = m_main.ReadBool("opt_syncmode", false);
  m_cutComments = !m_main.ReadBool("opt_fullyplaysound", false);
  ReadObjectSlides();
  ApplySyncRepeatRule();
}

void TVmoMusicSource::ReadKeyFormat() {
  m_useMusic = m_main.ReadBool("opt_usemusic", false);
  if (!m_useMusic) {
    // Nothing of the project is read: the slides keep their times only.
    for (int i = 0; i < m_source.SlideCount(); ++i) {
      TSlideMusicInfo& info = m_slides.emplace_back();
      info.Times = m_source.Slides()[static_cast<size_t>(i)];
      info.SlideNo = i + 1 == m_source.SlideCount() ? 0 : i + 1;
    }
    return;
  }
  m_syncMode = m_main.ReadBool("opt_syncmode", false);
  m_repeatMusic = m_main.ReadBool("opt_repeatmusic", true);
  m_mainList.SetRepeat(m_repeatMusic);
  m_randomMusic = m_main.ReadBool("opt_rndmusic", false);
  m_cutComments = !m_main.ReadBool("opt_fullyplaysound", false);
  ReadKeySlides();
  const int32_t count = std::min(m_main.ReadInteger("opt_music_count", 0), kMaxKeyListEntries);
  for (int32_t i = 1; i <= count; ++i) {
    const std::string n = std::to_string(i);
    m_mainList.Append(m_main.ReadString("opt_music" + n, ""), m_main.ReadFloat("opt_lengthlist" + n, 0));
  }
  ApplySyncRepeatRule();
}

// In synchronised mode the list is laid once per pass of the show; it may
// repeat within a pass only when it is clearly shorter than the show.
void TVmoMusicSource::ApplySyncRepeatRule() {
  if (m_syncMode && m_repeatMusic && m_mainList.TotalLength() + kSyncRepeatMargin > TotalDuration())
    m_repeatMusic = false;
}

TSlideMusicInfo& TVmoMusicSource::AddSlide(int index, TIniSection*& section) {
  section = m_source.SlideSection(index);
  QX_ASSERT(section != nullptr, kSlideNotFound);
  TSlideMusicInfo& info = m_slides.emplace_back();
  info.Times = m_source.Slides()[static_cast<size_t>(index)];
  info.SlideNo = index + 1 == m_source.SlideCount() ? 0 : index + 1;
  return info;
}

bool TVmoMusicSource::WantsPersonalList(const TIniSection& section) const {
  return !m_syncMode && TextIs(section, "UsePersonal", "1") && TextIs(section, "MusicAction", "2");
}

void TVmoMusicSource::ReadObjectSlides() {
  const int count = m_source.SlideCount();
  std::vector<TIniSection*> sections(static_cast<size_t>(count));
  std::vector<const TIniObject*> music(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    AddSlide(i, sections[static_cast<size_t>(i)]);
    music[static_cast<size_t>(i)] = FindChildOfClass(*sections[static_cast<size_t>(i)], kMusicClass);
  }
  // Without cutting, a comment may sound until the slide before the next
  // slide that has a comment of its own (or to the end of the show).
  std::vector<double> windowEnd(static_cast<size_t>(count));
  double nextEnd = count > 0 ? m_slides.back().Times.SlideEnd : 0;
  for (int i = count - 1; i >= 0; --i) {
    const size_t k = static_cast<size_t>(i);
    windowEnd[k] = m_cutComments ? m_slides[k].Times.SlideEnd : nextEnd;
    if (HasSoundComment(music[k]))
      nextEnd = i > 0 ? m_slides[k - 1].Times.SlideEnd : 0;
  }

  const TVideoSoundCollector videos(m_source.Storage(), m_main);
  for (int i = 0; i < count; ++i) {
    const size_t k = static_cast<size_t>(i);
    TSlideMusicInfo& info = m_slides[k];
    const TExtraMusicItems extra = videos.Collect(*sections[k], info.Times.SlideStart);
    const bool personal = WantsPersonalList(*sections[k]);
    if (!music[k] && extra.empty() && !personal)
      continue;

    // A slide of no length has no room for a comment.
    const double window = std::round(windowEnd[k] - info.Times.SlideStart);
    m_reader.SetCommentLimit(static_cast<int32_t>(std::clamp(window, 0.0, 2147483647.0)));
    m_reader.Read(music[k], extra, m_disableRandom);
    if (music[k] || !extra.empty()) {
      QX_ASSERT(m_reader.CommentLength() >= 0, kIncorrectCommentTime);
      if (m_reader.CommentLength() > 0 && window > 0) {
        info.Comment = m_reader.CommentDescription();
        info.CommentLength = m_reader.CommentLength();
      }
    }
    if (personal) {
      info.PlayList = std::make_unique<TPlayList>();
      if (music[k]) {
        info.PlayList->SetRepeat(m_reader.IsRepeat());
        if (m_reader.MusicLength() > 0)
          info.PlayList->Append(m_reader.MusicDescription(), m_reader.MusicLength());
      }
    }
  }
}

void TVmoMusicSource::ReadKeySlides() {
  for (int i = 0; i < m_source.SlideCount(); ++i) {
    TIniSection* section = nullptr;
    TSlideMusicInfo& info = AddSlide(i, section);
    std::string sound = section->ReadString("Sound", "");
    if (sound == "@")
      sound.clear();
    if (!sound.empty()) {
      double length = section->ReadFloat("SoundLength", -1);
      QX_ASSERT(length >= 0, kIncorrectCommentTime);
      if (m_cutComments)
        length = std::min(length, info.Times.SlideEnd - info.Times.SlideStart);
      info.Comment = std::move(sound);
      info.CommentLength = length;
    }
    if (!WantsPersonalList(*section))
      continue;
    info.PlayList = std::make_unique<TPlayList>();
    info.PlayList->SetRepeat(m_repeatMusic);
    const int32_t count = section->ReadInteger("MusicCount", 0);
    for (int32_t n = 1; n <= count; ++n) {
      const std::string name = section->ReadString("SubMusic" + std::to_string(n), "");
      QX_ASSERT(!name.empty(), kUnknownMusicName);
      const double length = section->ReadFloat("SubMusicLength" + std::to_string(n), -1);
      QX_ASSERT(length >= 0, kIncorrectMusicTime);
      info.PlayList->Append(name, length);
    }
  }
}

} // namespace qx
