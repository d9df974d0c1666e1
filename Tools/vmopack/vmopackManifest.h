// The manifest that vmopack pack reads: UTF-8 text, one entry a line,
//   method | entry name | local file
// with blanks around the fields trimmed; "#" lines and blank lines are
// ignored; local files are relative to the manifest's folder. A method may
// read its third field as a value instead of a file (the "text" method's
// lines).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx::vmopack {

struct TManifestLine {
  int lineNumber = 0;
  std::string method;
  std::string name;
  std::string localFile; // resolved against the manifest's folder
  std::string value;     // the third field as written
};

// Parses manifest text; raises EQxError naming the line for a line without
// three fields or with an empty one. Only the first two "|" separate
// fields: a value may hold "|" itself.
std::vector<TManifestLine> ParseManifest(std::string_view text, const std::string& manifestFolder);

// Reads and parses a manifest file.
std::vector<TManifestLine> ReadManifest(const std::string& manifestPath);

} // namespace qx::vmopack
