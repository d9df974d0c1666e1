// Fuzz target of a project's music: the show source read from a project
// text, then everything the project says about sound compiled for the music
// time line (the key format's lists and comments, the "music" objects with
// their tracks, items, options, sound comments and the sounds of video
// clips, each compiled into a composite description).
//
// Promises checked: a project is read or refused with one of the messages
// the show source and the music source give for a damaged project; a read
// project has one music entry per slide, numbered in play order; every
// composite description the music reader writes reads back as written, for
// the length it is listed with; and reading the same project with the same seed again gives the same lists.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/Music/qxCompositeParams.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoMusicSource2.h"

#include <cmath>

namespace {

using namespace qx;

// Slides the target reads at most: a project may declare a million, which
// the show source accepts and which would only slow the search down.
constexpr int32_t kMaxSlides = 2048;

// A package without files: the music reader opens none.
class TNoFiles : public TFileSource {
protected:
  std::unique_ptr<TStream> RawOpen(const std::string&) override { return nullptr; }
};

// Messages with which reading a damaged project is refused.
constexpr const char* kRefusals[] = {"Too many slides",     "Incorrect time",    kSlideNotFound,
                                     kIncorrectCommentTime, kIncorrectMusicTime, kUnknownMusicName};

bool g_readingProject = false;

void StopUnlessRefusal(const std::string& report) {
  if (g_readingProject) {
    for (const char* refusal : kRefusals) {
      if (report.find(std::string("'") + refusal + "'") != std::string::npos)
        return;
    }
  }
  fuzz::StopAtAssertion(report);
}

const bool kSetUp = [] {
  SetAssertionHook(StopUnlessRefusal);
  // No screen-saver rule applies to this program path.
  SetProgramPath("/opt/player/player");
  return true;
}();

struct TRead {
  std::unique_ptr<TVmoSource> Source;
  std::unique_ptr<TVmoMusicSource> Music;
};

// Reads the project; none when it is refused (the hook has stopped the run
// already when an assertion other than a refusal was reached).
TRead ReadProject(std::string_view text, uint32_t seed) {
  TRead read;
  auto storage = std::make_unique<TIniStorage>();
  storage->LoadFromString(text);
  g_readingProject = true;
  try {
    read.Source = std::make_unique<TVmoSource>(TFileAccessor(MakeRef<TNoFiles>()), std::move(storage));
    read.Music = std::make_unique<TVmoMusicSource>(read.Source.get(), seed);
  } catch (const EQxError&) {
    read = {};
  }
  g_readingProject = false;
  return read;
}

// A composite description reads back as the text the reader wrote, for the
// length listed with it; any other name is left alone.
void CheckDescription(const std::string& name, double length) {
  if (!IsCompositeDescription(name))
    return;
  TCompositeParams params;
  FUZZ_CHECK(params.Read(name));
  FUZZ_CHECK(params.Write() == name);
  FUZZ_CHECK(params.Duration() == length);
}

void CheckList(const TPlayList& list) {
  for (const TMusicItemInfo& item : list.Items())
    CheckDescription(item.FileName, item.Duration);
}

void CheckSameList(const TPlayList* a, const TPlayList* b) {
  FUZZ_CHECK((a == nullptr) == (b == nullptr));
  if (!a)
    return;
  FUZZ_CHECK(a->IsRepeat() == b->IsRepeat() && a->Count() == b->Count());
  for (int32_t i = 0; i < a->Count(); ++i) {
    const TMusicItemInfo& x = a->Items()[static_cast<size_t>(i)];
    const TMusicItemInfo& y = b->Items()[static_cast<size_t>(i)];
    FUZZ_CHECK(x.FileName == y.FileName);
    FUZZ_CHECK((x.Duration == y.Duration) || (std::isnan(x.Duration) && std::isnan(y.Duration)));
  }
}

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Bytes(data, size);
  {
    TIniStorage storage;
    if (!FUZZ_RESULT_OR_ERROR(storage.LoadFromString(text)))
      return 0;
    if (storage.ReadInteger("Main", "opt_slidescount", 0) > kMaxSlides)
      return 0;
  }
  const uint32_t seed = size > 0 ? data[0] : 0;
  const TRead first = ReadProject(text, seed);
  if (!first.Music)
    return 0;
  const TVmoMusicSource& music = *first.Music;

  FUZZ_CHECK(music.SlideCount() == first.Source->SlideCount());
  // The key format lists the project's own names; the object format lists
  // descriptions the music reader wrote.
  if (music.ObjectFormat())
    CheckList(music.MainList());
  for (int32_t i = 0; i < music.SlideCount(); ++i) {
    const TSlideMusicInfo& slide = music.Slide(i);
    FUZZ_CHECK(slide.SlideNo == (i + 1 == music.SlideCount() ? 0 : i + 1));
    FUZZ_CHECK(!(slide.CommentLength < 0));
    if (!slide.Comment.empty() && music.ObjectFormat())
      CheckDescription(slide.Comment, slide.CommentLength);
    if (slide.PlayList && music.ObjectFormat())
      CheckList(*slide.PlayList);
  }

  // The random order of shuffled tracks follows the seed alone.
  const TRead second = ReadProject(text, seed);
  FUZZ_CHECK(second.Music != nullptr);
  CheckSameList(&music.MainList(), &second.Music->MainList());
  FUZZ_CHECK(music.RepeatMusic() == second.Music->RepeatMusic());
  for (int32_t i = 0; i < music.SlideCount(); ++i) {
    const TSlideMusicInfo& a = music.Slide(i);
    const TSlideMusicInfo& b = second.Music->Slide(i);
    FUZZ_CHECK(a.Comment == b.Comment && Same(a.CommentLength, b.CommentLength));
    CheckSameList(a.PlayList.get(), b.PlayList.get());
  }
  return 0;
}
