// vmopack cat SHOW NAME: the decoded bytes of one entry on standard output.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxExceptions.h"

namespace qx::vmopack {

int RunCat(const TCommandArgs& args) {
  ExpectPositional(args, 2);
  const std::unique_ptr<TVmoUnpack> unpack = OpenPackage(args[0]);
  const std::unique_ptr<TStream> entry = unpack->OpenEntryByName(args[1]);
  if (!entry)
    throw EQxError("Entry \"" + args[1] + "\" not found");
  WriteToStdout(*entry);
  return 0;
}

} // namespace qx::vmopack
