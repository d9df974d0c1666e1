#include "Tools/vmopack/vmopackManifest.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxTextReader.h"
#include "QxLib/qxUtf8.h"

#include <filesystem>

namespace qx::vmopack {

namespace {


// The method, the name and the rest of the line.
std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t bar = fields.size() < 2 ? line.find('|', start) : std::string_view::npos;
    fields.push_back(Trim(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start)));
    if (bar == std::string_view::npos)
      return fields;
    start = bar + 1;
  }
}

std::string Resolve(const std::string& folder, const std::string& file) {
  const std::filesystem::path path(file);
  if (path.is_absolute() || folder.empty())
    return file;
  return (std::filesystem::path(folder) / path).string();
}

} // namespace

std::vector<TManifestLine> ParseManifest(std::string_view text, const std::string& manifestFolder) {
  if (text.starts_with(kUtf8ByteOrderMark))
    text.remove_prefix(kUtf8ByteOrderMark.size());
  std::vector<TManifestLine> lines;
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.starts_with('#'))
      continue;
    const std::vector<std::string> fields = SplitFields(trimmed);
    if (fields.size() != 3 || fields[0].empty() || fields[1].empty() || fields[2].empty())
      throw EQxError("manifest line " + std::to_string(number) + ": expected \"method | entry name | local file\"");
    lines.push_back({number, fields[0], fields[1], Resolve(manifestFolder, fields[2]), fields[2]});
  }
  return lines;
}

std::vector<TManifestLine> ReadManifest(const std::string& manifestPath) {
  TFileStream file(manifestPath, TFileMode::OpenRead);
  const std::string folder = std::filesystem::path(manifestPath).parent_path().string();
  return ParseManifest(file.ReadAll(), folder);
}

} // namespace qx::vmopack
