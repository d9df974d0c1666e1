// Folders as the temporary-folder manager needs them from the operating
// system: where the system keeps temporary files, a folder only this user
// may enter, and removing a whole tree from inside a signal handler. One
// implementation per platform (QxLib/Posix/qxFolderTree.cpp).
#pragma once

#include <string>
#include <vector>

namespace qx {

// The folders the system names for temporary files, in the order to try
// them ($TMPDIR, $TMP, $TEMP, then /tmp here); read anew on every call.
// They need not exist.
std::vector<std::string> SystemTempFolders();

// Makes the folder `path` (its parent must exist), open to this user only.
// False with `error` set to the system's reason.
bool MakePrivateFolder(const std::string& path, std::string& error);

// Deletes a folder and everything in it without following symbolic links;
// uses only calls that may run inside a signal handler. Returns true when
// the folder is gone afterwards.
bool RemoveFolderTree(const char* path);

} // namespace qx
