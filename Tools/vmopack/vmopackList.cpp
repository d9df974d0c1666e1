// vmopack list SHOW: one line per entry in table order: method, absolute
// position (base shift applied), stored size, the name as the table holds it.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"

#include <cstdio>

namespace qx::vmopack {

int RunList(const TCommandArgs& args) {
  ExpectPositional(args, 1);
  const std::unique_ptr<TVmoUnpack> unpack = OpenPackage(args[0]);
  for (const std::string& name : unpack->Struc()->Table().SectionNames()) {
    if (SameText(name, kVmoProtectionSection))
      continue;
    TVmoEntryInfo info;
    if (!unpack->FindEntry(name, info)) {
      // Listed without a usable place: the reader would not find it.
      info.position = -1;
      info.size = -1;
    }
    std::printf("%d\t%lld\t%lld\t%s\n", info.method, static_cast<long long>(info.position),
                static_cast<long long>(info.size), name.c_str());
  }
  return 0;
}

} // namespace qx::vmopack
