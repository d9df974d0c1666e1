// vmopack macros SHOW SLIDE "TEXT": the text with its macros expanded the
// way a text object on that slide (1-based, in play order) expands them,
// one display line per output line.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxExceptions.h"
#include "Tools/vmopack/vmopackPictureLibrary.h"
#include "VmoLib2/Vmo_MacrosToTextParser.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoClasses/qxVmoText.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <charconv>
#include <cstdio>

namespace qx::vmopack {

namespace {

int ParsePosition(const std::string& text) {
  int position = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), position);
  if (ec != std::errc() || end != text.data() + text.size() || position < 1)
    throw EUsageError("SLIDE must be a play position from 1, not \"" + text + "\"");
  return position;
}

} // namespace

int RunMacros(const TCommandArgs& args) {
  ExpectPositional(args, 3);
  const int position = ParsePosition(args[1]);
  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(args[0]);
  if (!locator->ProjectStorage())
    throw EQxError("Slide-show File Damaged");
  PictureLoaders();
  TVmoSource source(locator->Accessor(), *locator->ProjectStorage());
  if (source.SlideCount() <= 0)
    throw EQxError("the show has no slides");

  TSlideProducer producer(source);
  const TSize design = producer.DesignSize();
  producer.SetGeometry({0, 0, std::max(design.Width, 1), std::max(design.Height, 1)}, TSlideFitMode::FitInside);
  producer.SetTiming(MakeRef<TTiming>());
  // Play positions past the last slide are the slides of later repetitions.
  const int index = position - 1;
  const std::unique_ptr<TVmoSlide> slide = producer.MakeSlide(index % source.SlideCount(), index / source.SlideCount());
  if (!slide)
    throw EQxError("slide " + args[1] + " cannot be made");

  // A text object of the slide answers the macros, as the slide's own would.
  auto& text = static_cast<TVmoText&>(slide->AddChild(std::make_unique<TVmoText>(slide.get(), "vmopack macros")));
  const TMTParser parser([&text](std::string_view macro) { return text.MacroValue(macro); });
  std::string out;
  for (const std::string& line : SplitTextLines(args[2]))
    out += parser.Expand(line) + "\n";
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
    throw EQxError("cannot write to standard output");
  return 0;
}

} // namespace qx::vmopack
