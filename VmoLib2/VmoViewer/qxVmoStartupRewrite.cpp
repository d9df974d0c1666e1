#include "VmoLib2/VmoViewer/qxVmoStartupRewrite.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxMemoryStream.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <algorithm>
#include <utility>

namespace qx {

namespace {

// A count of custom dialogs beyond this is treated as this many; a damaged
// project must not make the rewrite loop for hours.
constexpr int kMaxCustomDialogs = 4096;

// Values that make the show a small fixed window that plays one slide.
constexpr std::pair<std::string_view, std::string_view> kStartupValues[] = {
    {"opt_fcp", "0"},
    {"opt_repeat", "stop"},
    {"opt_scr_full", "0"},
    {"opt_scr_fullfixedsize", "0"},
    {"opt_hidecursor", "0"},
    {"opt_synch_count", "0"},
    {"opt_synchpos1", "1000"},
    {"opt_synch_pointscount", "1"},
    {"opt_slidescount", "1"},
    {"opt_fx_enable", "0"},
    {"opt_fx_neweffectscount", "0"},
    {"opt_runapponexit", "0"},
    {"opt_runapponexitiflastslide", "1"},
    {"opt_runapponexitfn", ""},
    {"opt_usepass", "0"},
    {"opt_logo", "0"},
};

void CopySection(const TIniSection& from, TIniStorage& to, std::string_view name) {
  to.FindOrAddSection(name)->Assign(from);
}

void RemoveFirstMusicObject(TIniSection& section) {
  for (TIniObject* object = section.FirstObject(); object; object = section.NextObject(object)) {
    if (LowerCase(object->ClassName()) == "music") {
      section.Remove(object);
      return;
    }
  }
}

std::string ReducedProject(const TIniStorage& packed, const TIniSection& main, const TIniSection& dialog,
                           const TIniSection& fileMap) {
  TIniStorage reduced;
  TIniSection& newMain = *reduced.FindOrAddSection("main");
  newMain.Assign(main);
  for (const auto& [key, value] : kStartupValues)
    newMain.WriteString(key, value);
  newMain.WriteString("opt_scr_width", main.ReadString("opt_startupwidth", "640"));
  newMain.WriteString("opt_scr_height", main.ReadString("opt_startupheight", "480"));
  newMain.WriteString("opt_scr_caption", main.ReadString("stw_caption", "Startup Window"));
  newMain.WriteString("opt_lockf1", main.ReadBool("opt_lockf1", true) ? "1" : "0");
  RemoveFirstMusicObject(newMain);

  const int dialogs = std::min(main.ReadInteger("opt_customdialogscount", 0), kMaxCustomDialogs);
  newMain.WriteInteger("opt_customdialogscount", main.ReadInteger("opt_customdialogscount", 0));
  for (int i = 0; i < dialogs; ++i) {
    const std::string key = "custom_dialog" + std::to_string(i);
    newMain.WriteString(key, main.ReadString(key, "NotFound"));
  }

  CopySection(dialog, reduced, "slide1");
  CopySection(fileMap, reduced, "FileMap");
  if (const TIniSection* help = packed.FindSection("dialog_help"))
    CopySection(*help, reduced, "dialog_help");
  for (int i = 1; i <= dialogs; ++i) {
    const std::string name = "dialog_" + std::to_string(i) + "_";
    if (const TIniSection* custom = packed.FindSection(name))
      CopySection(*custom, reduced, name);
  }
  return reduced.SaveToString();
}

} // namespace

std::unique_ptr<TStream> RewriteStartupProject(std::unique_ptr<TStream> project) {
  TIniStorage packed;
  try {
    project->SetPosition(0);
    if (!packed.LoadFromStream(*project)) {
      project->SetPosition(0);
      return project;
    }
  } catch (const EQxError&) {
    project->SetPosition(0);
    return project;
  }
  project->SetPosition(0);
  const TIniSection* dialog = packed.FindSection("dialog_startup");
  const TIniSection* main = packed.FindSection("main");
  const TIniSection* fileMap = packed.FindSection("FileMap");
  if (!dialog || !main || !fileMap)
    return project;

  const std::string text = ReducedProject(packed, *main, *dialog, *fileMap);
  auto reduced = std::make_unique<TMemoryStream>();
  reduced->WriteString(text);
  reduced->SetPosition(0);
  return reduced;
}

void InstallStartupRewrite(TFileAccessor& accessor, std::string projectName) {
  accessor.SetLoadedHook(
      [projectName = std::move(projectName)](const std::string& name, std::unique_ptr<TStream> stream) {
        if (!SameText(name, projectName))
          return stream;
        return RewriteStartupProject(std::move(stream));
      });
}

} // namespace qx
