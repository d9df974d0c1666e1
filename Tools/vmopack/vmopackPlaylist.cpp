// vmopack playlist SHOW [--full]: what the music source compiled from the
// project: its flags, the main play list, and per slide the comment length
// and the personal list. With --full every composite description follows
// its line, each of its lines indented by one tab.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/Music/qxCompositeParams.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoMusicSource2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <string>

namespace qx::vmopack {

namespace {

constexpr uint32_t kToolRandomSeed = 1;

std::string_view Flag(bool value) { return value ? "1" : "0"; }

std::string EntryName(const std::string& fileName) {
  return IsCompositeDescription(fileName) ? std::string("composite") : fileName;
}

// The description's lines (CR LF or LF ended), each indented by a tab.
void AppendDescription(std::string& out, std::string_view text) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    out += '\t';
    out += line;
    out += '\n';
    if (end == std::string_view::npos)
      break;
    text.remove_prefix(end + 1);
  }
}

void AppendList(std::string& out, const TPlayList& list, bool full, std::string_view kind) {
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TMusicItemInfo& entry = list.Items()[static_cast<size_t>(i)];
    out += std::string(kind) + '\t' + std::to_string(i) + '\t' + FormatTime(entry.Start) + '\t' +
           FormatTime(entry.Duration) + '\t' + EntryName(entry.FileName) + '\n';
    if (full && IsCompositeDescription(entry.FileName))
      AppendDescription(out, entry.FileName);
  }
}

} // namespace

int RunPlaylist(const TCommandArgs& args) {
  TCommandArgs rest = args;
  const bool full = TakeFlag(rest, "--full");
  ExpectPositional(rest, 1);
  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(rest[0]);
  if (!locator->ProjectStorage())
    throw EQxError("Slide-show File Damaged");

  // Transitions and shuffled tracks are drawn the same way on every run.
  const TVmoSource source(locator->Accessor(), *locator->ProjectStorage(), true);
  const TVmoMusicSource music(&source, kToolRandomSeed);
  std::string out = "flags";
  for (const bool flag :
       {music.UseMusic(), music.SyncMode(), music.RepeatMusic(), music.RandomMusic(), music.CutComments()}) {
    out += '\t';
    out += Flag(flag);
  }
  out += '\n';
  AppendList(out, music.MainList(), full, "main");
  for (int32_t i = 0; i < music.SlideCount(); ++i) {
    const TSlideMusicInfo& slide = music.Slide(i);
    out += "slide\t" + std::to_string(i) + '\t' + std::to_string(slide.SlideNo) + '\t' +
           FormatTime(slide.CommentLength) + '\t' +
           (slide.PlayList ? std::to_string(slide.PlayList->Count()) : std::string("-")) + '\n';
    if (full && IsCompositeDescription(slide.Comment))
      AppendDescription(out, slide.Comment);
    if (full && slide.PlayList)
      AppendList(out, *slide.PlayList, full, "personal");
  }
  WriteToStdout(out);
  return 0;
}

} // namespace qx::vmopack
