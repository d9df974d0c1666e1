#include "VmoLib2/VmoViewer/qxVmoFileSources.h"

#include "QxLib/qxUtf8.h"

#include <climits>

namespace qx {

namespace {

std::string Unquoted(std::string_view text) {
  std::string trimmed = Trim(text);
  if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
    return trimmed.substr(1, trimmed.size() - 2);
  return trimmed;
}

bool IsRotationCode(int code) {
  return code == kOrientationNone || code == kOrientationHalfTurn || code == kOrientationQuarterRight ||
         code == kOrientationQuarterLeft;
}

} // namespace

bool ParseFileMapLine(std::string_view line, std::string& name, std::string& target) {
  if (line.starts_with(';'))
    line.remove_prefix(1);
  bool quoted = false;
  size_t split = std::string_view::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == '=' && !quoted) {
      split = i;
      break;
    }
  }
  if (split == std::string_view::npos || split + 1 >= line.size())
    return false;
  name = Unquoted(line.substr(0, split));
  target = Unquoted(line.substr(split + 1));
  return !name.empty() && !target.empty();
}

bool ParseRotationStateLine(std::string_view line, std::string& name, int& code) {
  if (!line.starts_with(";\""))
    return false;
  line.remove_prefix(2);
  const size_t split = line.find("\"=");
  if (split == std::string_view::npos)
    return false;
  int64_t value = 0;
  if (!ParseDecimal(Trim(line.substr(split + 2)), INT32_MIN, INT32_MAX, value))
    return false;
  name = std::string(line.substr(0, split));
  code = static_cast<int>(value);
  return true;
}

void TMappedFileSource::AddMapping(std::string_view name, std::string_view target) {
  m_fileMap[UpperCase(name)].push_back({std::string(target)});
}

const std::string* TMappedFileSource::MappedName(std::string_view name) const {
  const auto found = m_fileMap.find(UpperCase(name));
  if (found == m_fileMap.end() || found->second.empty())
    return nullptr;
  return &found->second.front().target;
}

void TMappedFileSource::AddRotation(std::string_view name, int code) {
  if (name.empty() || !IsRotationCode(code))
    return;
  const bool first = m_rotations.empty();
  m_rotations[UpperCase(name)] = code;
  if (first)
    SetPictureTransformHook([this](const std::string& picture) { return Rotation(picture); });
}

int TMappedFileSource::Rotation(std::string_view name) const {
  const auto found = m_rotations.find(UpperCase(name));
  return found == m_rotations.end() ? kOrientationNone : found->second;
}

std::unique_ptr<TStream> TMappedFileSource::RawOpen(const std::string& name) { return OpenMapped(name, 0); }

std::unique_ptr<TStream> TMappedFileSource::OpenMapped(const std::string& name, int depth) {
  if (const std::string* target = MappedName(name)) {
    if (depth >= kMaxMappingDepth)
      return nullptr;
    return OpenMapped(*target, depth + 1);
  }
  return OpenUnmapped(name);
}

std::unique_ptr<TStream> TMappedFileSource::OpenUnmapped(const std::string& name) {
  return OpenDiskFile(name, BaseFolder());
}

TPackedFileSource::TPackedFileSource(std::unique_ptr<TVmoUnpack> unpack) : m_unpack(std::move(unpack)) {}

std::unique_ptr<TStream> TPackedFileSource::OpenUnmapped(const std::string& name) {
  if (name.starts_with(kLoadFromDiskPrefix))
    return OpenDiskFile(name, BaseFolder());
  return m_unpack->OpenEntryByName(name);
}

} // namespace qx
