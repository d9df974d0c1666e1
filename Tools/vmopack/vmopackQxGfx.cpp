// The authoring side of the picture container: the "qxgfx" manifest method
// of vmopack pack.
#include "Tools/vmopack/vmopackPlan.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxGfxWriter.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxMemoryStream.h"
#include "Tools/vmopack/vmopackPictureLibrary.h"
#include "VmoLib2/VmoViewer/qxVmoUnpack.h"

namespace qx::vmopack {

namespace {

constexpr std::string_view kContainerExtension = ".qxgfx";

std::string LineError(const TManifestLine& line, const std::string& what) {
  return "manifest line " + std::to_string(line.lineNumber) + ": " + what;
}

} // namespace

void PlanQxGfx(TPackPlan& plan, const TManifestLine& line) {
  std::string original;
  {
    TFileStream file(line.localFile, TFileMode::OpenRead);
    original = file.ReadAll();
  }
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteBuffer(original.data(), static_cast<int64_t>(original.size()));
  stream->SetPosition(0);
  std::optional<TImage> image = PictureLoaders().Open(std::move(stream), line.name);
  if (!image) {
    const std::string hint = HasPictureLibrary() ? "" : " (the picture library was not found)";
    throw EQxError(LineError(line, "cannot decode picture \"" + line.localFile + "\"" + hint));
  }
  std::shared_ptr<const TBitmap> pixels;
  try {
    pixels = image->Store().GetMipLevel(0, TPixelFormat::Bgra32);
  } catch (const std::exception& error) {
    throw EQxError(LineError(line, "cannot decode picture \"" + line.localFile + "\": " + error.what()));
  }
  const std::string target = line.name + std::string(kContainerExtension);
  plan.entries.push_back({target, kVmoStored, line.localFile,
                          WriteQxGfx(line.name, pixels->Width(), pixels->Height(),
                                     static_cast<int64_t>(original.size()), WriteBmp(*pixels))});
  plan.fileMap.emplace_back(line.name, target);
}

std::string AddFileMapLines(const std::string& projectText,
                            const std::vector<std::pair<std::string, std::string>>& fileMap) {
  TIniStorage project;
  if (!project.LoadFromString(projectText))
    throw EQxError("the project text cannot be read to add its FileMap lines");
  TIniSection* section = project.FindOrAddSection("FileMap");
  // New lines go after the section's last line that is not blank.
  TCommonIniItem* after = section->Last();
  while (after && after->Kind() == TIniItemKind::EmptyLine)
    after = after->Prev();
  for (const auto& [name, target] : fileMap) {
    auto line = std::make_unique<TIniComment>(";\"" + name + "\"=\"" + target + "\"", 0);
    after = &section->InsertAfter(after, std::move(line));
  }
  return project.SaveToString();
}

} // namespace qx::vmopack
