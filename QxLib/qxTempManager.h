// Unique temporary folders that are deleted, with their contents, when the
// program ends: at a normal exit and when it is stopped by SIGINT or SIGTERM.
// Plug-in decoders and other helper files are written into them.
#pragma once

#include "QxLib/qxFolderTree.h"

#include <string>

namespace qx {

// Creates a new folder named by a fresh GUID in "[" "]" form inside the
// temporary base folder and records it for deletion at exit. With
// trailingSeparator the result ends in "/". Raises EAssertionFailed
// "Temp Path not Found" when no base folder exists, EQxError when the
// folder cannot be created. Safe to call from several threads.
std::string NewTempFolder(bool trailingSeparator);

// The base folder chosen once per process (see ChooseTempBase); raises
// EAssertionFailed "Temp Path not Found" when there is none.
const std::string& TempBaseFolder();

// The first existing folder among $TMPDIR, $TMP, $TEMP and /tmp; else the
// program's folder joined with "TEMP" when it exists or can be created;
// else "". Looks at the environment on every call.
std::string ChooseTempBase();

// "[XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX]" for a fresh GUID.
std::string NewTempFolderName();

} // namespace qx
