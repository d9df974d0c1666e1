// vmopack project SHOW: the show's project text, decoded, opened the way the
// player opens it.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxExceptions.h"

namespace qx::vmopack {

int RunProject(const TCommandArgs& args) {
  ExpectPositional(args, 1);
  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(args[0]);
  const std::unique_ptr<TStream> project = locator->Accessor().OpenStream(locator->ProjectName());
  if (!project)
    throw EQxError(std::string(kErrExecutableOpen));
  WriteToStdout(*project);
  return 0;
}

} // namespace qx::vmopack
