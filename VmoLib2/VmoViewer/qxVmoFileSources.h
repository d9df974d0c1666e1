// The two file sources of a show: the mapped source, which reads files from
// disk and knows the project's FileMap aliases and picture rotations, and the
// packed source, which reads the entries of a show package.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

// One target of a FileMap alias.
struct TMappingStr {
  std::string target;
};

class TMappedFileSource : public TFileSource {
public:
  // How many aliases may follow each other before an open gives up; a
  // FileMap that maps names in a circle must not recurse without end.
  static constexpr int kMaxMappingDepth = 16;

  // Adds a FileMap target for a name; only the first target of a name is
  // used. Called while the show is being opened, before loaders run.
  void AddMapping(std::string_view name, std::string_view target);
  // The first target of a name, or nullptr.
  const std::string* MappedName(std::string_view name) const;

  // Stores a RotationState code (1, 3, 6 or 8; other codes are ignored) and
  // makes the picture transform hook answer it.
  void AddRotation(std::string_view name, int code);
  // The stored code for a name, or 1.
  int Rotation(std::string_view name) const;

protected:
  std::unique_ptr<TStream> RawOpen(const std::string& name) override;

  // Opens a name that FileMap does not map. The mapped source opens it from
  // disk.
  virtual std::unique_ptr<TStream> OpenUnmapped(const std::string& name);

private:
  std::unique_ptr<TStream> OpenMapped(const std::string& name, int depth);

  std::unordered_map<std::string, std::vector<TMappingStr>> m_fileMap;
  std::unordered_map<std::string, int> m_rotations;
};

class TPackedFileSource : public TMappedFileSource {
public:
  explicit TPackedFileSource(std::unique_ptr<TVmoUnpack> unpack);

  TVmoUnpack& Unpack() const { return *m_unpack; }

protected:
  // A package entry; names beginning "LoadFromDisk:" are disk files.
  std::unique_ptr<TStream> OpenUnmapped(const std::string& name) override;

private:
  std::unique_ptr<TVmoUnpack> m_unpack;
};

// A line of the project's FileMap section: `;"name"="target"`. Splits at the
// first "=" outside double quotes; both sides are trimmed and lose their
// enclosing quotes. False when either side is empty.
bool ParseFileMapLine(std::string_view line, std::string& name, std::string& target);

// A comment line of the project's RotationState section: `;"name"=code`.
// False when the line has another shape; the code is not checked here.
bool ParseRotationStateLine(std::string_view line, std::string& name, int& code);

} // namespace qx
