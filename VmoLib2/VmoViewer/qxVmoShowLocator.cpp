#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFileSources.h"

namespace qx {

TVmoShowLocator::TVmoShowLocator(std::unique_ptr<TFileAccessor> accessor, std::string projectName)
    : m_ownedAccessor(std::move(accessor)), m_accessor(m_ownedAccessor.get()), m_projectName(std::move(projectName)) {
  Load();
}

TVmoShowLocator::TVmoShowLocator(TFileAccessor& accessor, std::string projectName)
    : m_accessor(&accessor), m_projectName(std::move(projectName)) {
  Load();
}

TVmoShowLocator::~TVmoShowLocator() = default;

TVmoSource& TVmoShowLocator::Source() {
  if (!m_source) {
    QX_ASSERT(m_storage != nullptr, "TVmoShowLocator.Source: no project storage");
    m_source = std::make_unique<TVmoSource>(*m_accessor, *m_storage);
  }
  return *m_source;
}

void TVmoShowLocator::Load() {
  QX_ASSERT(m_accessor != nullptr, "TVmoShowLocator needs an accessor");
  {
    std::unique_ptr<TStream> stream = m_accessor->OpenStream(m_projectName);
    if (!stream)
      return;
    auto storage = std::make_unique<TIniStorage>();
    try {
      if (!storage->LoadFromStream(*stream))
        return;
    } catch (const EQxError&) {
      // An unreadable or undecodable project leaves the storage empty; the
      // opener reports it.
      return;
    }
    m_storage = std::move(storage);
  }
  m_version = m_storage->ReadString("Main", "VmoVersion", "");
  if (auto* mapped = dynamic_cast<TMappedFileSource*>(&m_accessor->Source()))
    LoadProjectMappings(*m_storage, *mapped);
}

std::vector<std::string> SectionTextLines(const TIniSection& section, bool commentsOnly) {
  std::vector<std::string> lines;
  for (const TCommonIniItem* item = section.First(); item; item = item->Next()) {
    if (commentsOnly) {
      if (const auto* comment = dynamic_cast<const TIniComment*>(item))
        lines.push_back(comment->Text());
    } else if (const auto* text = dynamic_cast<const TIniTextLine*>(item)) {
      lines.push_back(text->Text());
    }
  }
  return lines;
}

void LoadProjectMappings(const TIniStorage& project, TMappedFileSource& source) {
  if (const TIniSection* fileMap = project.FindSection("FileMap")) {
    std::string name;
    std::string target;
    for (const std::string& line : SectionTextLines(*fileMap, false)) {
      if (ParseFileMapLine(line, name, target))
        source.AddMapping(name, target);
    }
  }
  if (const TIniSection* rotations = project.FindSection("RotationState")) {
    std::string name;
    int code = 0;
    for (const std::string& line : SectionTextLines(*rotations, true)) {
      if (ParseRotationStateLine(line, name, code))
        source.AddRotation(name, code);
    }
  }
}

} // namespace qx
