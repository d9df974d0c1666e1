// Everything the project says about sound, compiled for the music timeline
// player: the show's main play list with its flags, and per slide in play
// order its comment (a composite description or a file name, with the
// sounds of its video clips mixed in) and an optional play list of its own.
// Built once per music player and read-only afterwards.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoMusicOptions.h"
#include "VmoLib2/VmoViewer/qxVmoPlayList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TIniObject;
class TIniSection;
class TVideoSoundCollector;

// The sound of one slide.
struct TSlideMusicInfo {
  TSlideTimes Times;
  int32_t SlideNo = 0; // 1-based; 0 for the last slide
  std::string Comment; // composite description or file name; empty = none
  double CommentLength = 0;
  std::unique_ptr<TPlayList> PlayList; // the slide's personal music, or none
};

// Messages of the checks made while reading.
inline constexpr const char* kSlideNotFound = "Slide not Found";
inline constexpr const char* kIncorrectCommentTime = "Incorrect music time";
inline constexpr const char* kIncorrectMusicTime = "incorrect music time";
inline constexpr const char* kUnknownMusicName = "unknown name";

class TVmoMusicSource {
public:
  // A music list at least this much shorter than the show may repeat in
  // synchronised mode; a longer one plays once per pass.
  static constexpr double kSyncRepeatMargin = 200.0;

  // Reads the project of `source` (borrowed; it must outlive this). A
  // missing source, a missing slide section and negative lengths raise the
  // assertions of the messages above. `seed` drives the random order of
  // shuffled tracks.
  explicit TVmoMusicSource(const TVmoSource* source, uint32_t seed = std::random_device{}());
  TVmoMusicSource(const TVmoMusicSource&) = delete;
  TVmoMusicSource& operator=(const TVmoMusicSource&) = delete;
  ~TVmoMusicSource();

  const TVmoSource& Source() const { return m_source; }
  int32_t SlideCount() const { return static_cast<int32_t>(m_slides.size()); }
  // 0-based, in play order.
  const TSlideMusicInfo& Slide(int32_t index) const;
  double TotalDuration() const { return m_source.TotalDuration(); }

  const TPlayList& MainList() const { return m_mainList; }
  bool UseMusic() const { return m_useMusic; }
  bool SyncMode() const { return m_syncMode; }
  bool RepeatMusic() const { return m_repeatMusic; }
  bool RandomMusic() const { return m_randomMusic; }
  bool CutComments() const { return m_cutComments; }
  bool DisableRandom() const { return m_disableRandom; }
  // Whether the project uses the object format (a "music" object in "main").
  bool ObjectFormat() const { return m_objectFormat; }

private:
  void ReadObjectFormat(const TIniObject& music);
  void ReadKeyFormat();
  void ApplySyncRepeatRule();
  TSlideMusicInfo& AddSlide(int index, TIniSection*& section);
  void ReadObjectSlides();
  void ReadKeySlides();
  bool WantsPersonalList(const TIniSection& section) const;

  const TVmoSource& m_source;
  TIniSection& m_main;
  TMusicOptionsReader m_reader;
  std::vector<TSlideMusicInfo> m_slides;
  TPlayList m_mainList;
  bool m_objectFormat = false;
  bool m_useMusic = false;
  bool m_syncMode = false;
  bool m_repeatMusic = false;
  bool m_randomMusic = false;
  bool m_cutComments = false;
  bool m_disableRandom = false;
};

} // namespace qx
