// vmopack timeline SHOW [--deterministic]: the show's time line in play
// order, one tab-separated line per slide, then the total.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <cstdio>
#include <string>

namespace qx::vmopack {

namespace {

std::string_view ActionWord(TSlideEndAction action) {
  switch (action) {
  case TSlideEndAction::Pause: return "pause";
  case TSlideEndAction::Loop: return "loop";
  case TSlideEndAction::None: break;
  }
  return "none";
}

std::string SlideLine(TVmoSource& source, int index) {
  const TSlideInfo& slide = source.Slides()[index];
  const TEndAction action = source.GetEndAction(index);
  std::string program;
  if (!source.GetRunApp(index, program))
    program = "-";
  const TTransition transition = source.GetTransition(index);

  std::string line = std::to_string(index);
  const auto add = [&line](std::string_view field) {
    line += '\t';
    line += field;
  };
  add(TVmoSource::SlideSectionName(source.Storage(), index));
  add(slide.SlideName);
  add(FormatTime(slide.SlideStart));
  add(FormatTime(slide.SlideEnd));
  add(FormatTime(slide.InEffect));
  add(FormatTime(slide.OutEffect));
  add(FormatTime(slide.VisibleEnd));
  add(ActionWord(action.Action));
  add(FormatTime(action.LoopLength));
  add(program);
  add(std::to_string(transition.Class));
  add(std::to_string(transition.Variant));
  add(FormatTime(transition.Duration));
  return line;
}

} // namespace

int RunTimeline(const TCommandArgs& args) {
  TCommandArgs rest = args;
  const bool deterministic = TakeFlag(rest, "--deterministic");
  ExpectPositional(rest, 1);
  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(rest[0]);
  if (!locator->ProjectStorage())
    throw EQxError("Slide-show File Damaged");

  TVmoSource source(locator->Accessor(), *locator->ProjectStorage(), deterministic);
  std::string out;
  for (int index = 0; index < source.SlideCount(); ++index)
    out += SlideLine(source, index) + '\n';
  out += "total\t" + FormatTime(source.TotalDuration()) + '\t' + std::string(EndModeWord(source.EndMode())) + '\n';
  WriteToStdout(out);
  return 0;
}

} // namespace qx::vmopack
