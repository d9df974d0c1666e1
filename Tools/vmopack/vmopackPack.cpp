// vmopack pack MANIFEST -o OUT [--stub FILE] [--older-trailer]: writes a
// show package, optionally appended to an executable.
#include "Tools/vmopack/vmopackCommand.h"
#include "Tools/vmopack/vmopackManifest.h"
#include "Tools/vmopack/vmopackPlan.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxGuid.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "Tools/PackWriter/qxVmoPackWriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qx::vmopack {

namespace {

constexpr std::string_view kDefaultVmoVersion = "5.6";

// Turns one manifest line into planned entries. A method that converts its
// file (into another format, adding entries) gets a handler of its own.
using TManifestMethod = void (*)(TPackPlan& plan, const TManifestLine& line);

template <uint8_t method>
void PlanAsIs(TPackPlan& plan, const TManifestLine& line) {
  plan.entries.push_back({line.name, method, line.localFile, std::nullopt});
}

struct TManifestMethodEntry {
  std::string_view word;
  TManifestMethod plan;
};

constexpr TManifestMethodEntry kManifestMethods[] = {
    {"stored", PlanAsIs<kVmoStored>},
    {"deflate", PlanAsIs<kVmoDeflated>},
    {"scramble", PlanAsIs<kVmoScrambled>},
    {"qxgfx", PlanQxGfx},
    {"text", PlanText},
};

TPackPlan PlanPackage(const std::vector<TManifestLine>& lines) {
  TPackPlan plan;
  for (const TManifestLine& line : lines) {
    const TManifestMethodEntry* method = nullptr;
    for (const TManifestMethodEntry& candidate : kManifestMethods) {
      if (SameText(candidate.word, line.method))
        method = &candidate;
    }
    if (!method)
      throw EQxError("manifest line " + std::to_string(line.lineNumber) + ": unknown method \"" + line.method + "\"");
    method->plan(plan, line);
  }
  PlanGlyphCaches(plan);
  const bool hasProject = std::any_of(plan.entries.begin(), plan.entries.end(), [](const TPlannedEntry& entry) {
    return SameText(entry.name, kVmoProjectEntry);
  });
  if (!plan.fileMap.empty() && !hasProject)
    throw EQxError(std::string("converted pictures need a \"") + std::string(kVmoProjectEntry) +
                   "\" entry to carry their FileMap lines");
  return plan;
}

std::string ReadLocalFile(const std::string& path) {
  TFileStream file(path, TFileMode::OpenRead);
  return file.ReadAll();
}

std::string ProjectVersion(const std::string& projectText) {
  TIniStorage project;
  if (!project.LoadFromString(projectText))
    return std::string(kDefaultVmoVersion);
  const std::string version = project.ReadString("Main", "VmoVersion", "");
  return version.empty() ? std::string(kDefaultVmoVersion) : version;
}

std::string BracedGuid() {
  std::string guid = NewGuidText();
  if (!guid.starts_with('{'))
    guid = "{" + guid + "}";
  return guid;
}

void WritePackage(TStream& out, const TPackPlan& plan, const std::optional<std::string>& stub, TVmoTrailerForm form) {
  if (stub) {
    TFileStream stubFile(*stub, TFileMode::OpenRead);
    out.CopyFrom(stubFile, stubFile.GetSize());
  }
  TVmoPackWriter writer(out);
  if (stub)
    writer.ListExisting(std::filesystem::path(*stub).filename().string(), 0, out.GetSize());
  std::string version(kDefaultVmoVersion);
  for (const TPlannedEntry& entry : plan.entries) {
    std::string bytes = entry.bytes ? *entry.bytes : ReadLocalFile(entry.localFile);
    if (SameText(entry.name, kVmoProjectEntry)) {
      version = ProjectVersion(bytes);
      if (!plan.fileMap.empty())
        bytes = AddFileMapLines(bytes, plan.fileMap);
    }
    writer.AddEntry(entry.name, entry.method, bytes);
  }
  writer.AddExeGuid(BracedGuid());
  writer.Finish(version, form);
}

} // namespace

int RunPack(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  const std::optional<std::string> out = TakeOption(args, "-o");
  const std::optional<std::string> stub = TakeOption(args, "--stub");
  const bool older = TakeFlag(args, "--older-trailer");
  if (!out)
    throw EUsageError("-o OUT is required");
  ExpectPositional(args, 1);
  std::error_code error;
  if (stub && std::filesystem::equivalent(*stub, *out, error))
    throw EUsageError("the stub and the output must be different files");

  const TPackPlan plan = PlanPackage(ReadManifest(args[0]));
  try {
    TFileStream file(*out, TFileMode::Create);
    WritePackage(file, plan, stub, older ? TVmoTrailerForm::Older : TVmoTrailerForm::Current);
  } catch (...) {
    // No half-written package is left behind.
    std::error_code ignored;
    std::filesystem::remove(*out, ignored);
    throw;
  }
  return 0;
}

} // namespace qx::vmopack
