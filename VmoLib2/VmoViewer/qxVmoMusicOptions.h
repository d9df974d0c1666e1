// The reader of one "music" object of a project: its tracks of items (with
// pauses, fades, cross-fades, random order and volume curves) compile into
// one composite description of all tracks laid from time 0, and its sound
// comment (plus the sounds of the slide's video clips) into a second one.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qx {

class TIniIdentList;
class TIniObject;

// A video clip's sound, mixed into a slide's comment.
struct TExtraMusicItem {
  std::string FileName;
  int32_t TimeLine = 0;  // from "StartVMOTime"
  int32_t BeginTime = 0; // from "StartVideoTime"
  int32_t Duration = 0;
  float Volume = 1.0f; // 1.0 = unchanged
};

using TExtraMusicItems = std::vector<TExtraMusicItem>;

// Object classes of the music description, compared lower-cased.
inline constexpr std::string_view kMusicClass = "music";
inline constexpr std::string_view kMusicOptionsClass = "tmusicoptions";
inline constexpr std::string_view kMusicTrackClass = "tmusictrack";
inline constexpr std::string_view kMusicItemClass = "tmusicitem";
inline constexpr std::string_view kSoundCommentClass = "tsoundcomment";

// The object's class name, trimmed and lower-cased.
std::string ObjectClass(const TIniObject& object);
// The first child object of that (lower-case) class, or none.
TIniObject* FindChildOfClass(const TIniIdentList& parent, std::string_view lowerClass);
// A comment object's "FileName" when it names a sound: empty, and the text
// "error" that the authoring tool writes for a lost file, name none.
std::string CommentFileName(const TIniObject& comment);

class TMusicOptionsReader {
public:
  static constexpr int32_t kKeySlots = 256;
  // Random sort keys of shuffled tracks are 1 ... kMaxSortKey.
  static constexpr int32_t kMaxSortKey = 16776960;

  explicit TMusicOptionsReader(uint32_t seed = std::random_device{}());

  // The longest comment allowed (ms); 0 or less = no limit. Set before a read.
  void SetCommentLimit(int32_t limit) { m_commentLimit = limit; }
  int32_t CommentLimit() const { return m_commentLimit; }

  // Reads a "music" object (none = only the extra items make a comment).
  // A random track is shuffled with the reader's own key table unless
  // shuffling is disabled, so reading the same object again repeats the
  // order.
  void Read(const TIniObject* music, const TExtraMusicItems& extra, bool disableShuffle);

  // Results of the last read.
  const std::string& MusicDescription() const { return m_music; }
  int32_t MusicLength() const { return m_musicLength; }
  bool IsRepeat() const { return m_isRepeat; }
  bool IsRandom() const { return m_isRandom; }
  const std::string& CommentDescription() const { return m_comment; }
  int32_t CommentLength() const { return m_commentLength; }

private:
  // One entry of the flat list: a track marker or an item.
  struct TEntry {
    const TIniObject* Object = nullptr;
    bool Marker = false;
    int32_t SortKey = 0;
  };

  void Flatten(const TIniObject& parent, std::vector<TEntry>& list, const TIniObject*& comment);
  void Shuffle(std::vector<TEntry>& list);
  int32_t NextSortKey();
  void ReadComment(const TIniObject* comment, const TExtraMusicItems& extra);

  std::array<int32_t, kKeySlots> m_keys{};
  int32_t m_keyIndex = 0;
  std::mt19937 m_random;
  int32_t m_commentLimit = 0;

  std::string m_music;
  int32_t m_musicLength = 0;
  bool m_isRepeat = false;
  bool m_isRandom = false;
  std::string m_comment;
  int32_t m_commentLength = 0;
};

} // namespace qx
