// One opened show: the accessor through which its files are opened, the
// parsed project text, and the authoring version.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TIniStorage;
class TIniSection;
class TMappedFileSource;
class TVmoSource;

class TVmoShowLocator {
public:
  // Opens and parses the project entry through the accessor. When the
  // accessor's source is a mapped (or packed) source, the project's FileMap
  // and RotationState sections are loaded into it. ProjectStorage is null
  // when the project could not be opened or parsed.
  TVmoShowLocator(std::unique_ptr<TFileAccessor> accessor, std::string projectName);
  // As above, borrowing an accessor that outlives the locator.
  TVmoShowLocator(TFileAccessor& accessor, std::string projectName);
  ~TVmoShowLocator();
  TVmoShowLocator(const TVmoShowLocator&) = delete;
  TVmoShowLocator& operator=(const TVmoShowLocator&) = delete;

  TFileAccessor& Accessor() const { return *m_accessor; }
  TIniStorage* ProjectStorage() const { return m_storage.get(); }
  const std::string& ProjectName() const { return m_projectName; }
  // The project's [Main] "VmoVersion".
  const std::string& Version() const { return m_version; }
  // The show source over the project storage, made on the first request.
  // Raises when there is no project storage or its time line is invalid.
  TVmoSource& Source();

private:
  void Load();

  std::unique_ptr<TFileAccessor> m_ownedAccessor;
  TFileAccessor* m_accessor;
  std::string m_projectName;
  std::unique_ptr<TIniStorage> m_storage;
  std::string m_version;
  // Borrows the storage, so it is declared after it and freed before it.
  std::unique_ptr<TVmoSource> m_source;
};

// Loads the FileMap and RotationState sections of a project into a source.
void LoadProjectMappings(const TIniStorage& project, TMappedFileSource& source);

// The raw text lines of a section (comments and unclassified lines), in
// order; with commentsOnly, the comment lines alone.
std::vector<std::string> SectionTextLines(const TIniSection& section, bool commentsOnly);

} // namespace qx
