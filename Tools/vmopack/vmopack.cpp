// vmopack: writes show packages and inspects them through the player's own
// reader. Each command lives in a file of its own and has one line in the
// table below.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxDebugOutput.h"

#include <cstdio>
#include <exception>
#include <string_view>

namespace qx::vmopack {

int RunPack(const TCommandArgs& args);
int RunList(const TCommandArgs& args);
int RunCat(const TCommandArgs& args);
int RunProject(const TCommandArgs& args);
int RunTimeline(const TCommandArgs& args);
int RunPlaylist(const TCommandArgs& args);
int RunMusic(const TCommandArgs& args);
int RunPicture(const TCommandArgs& args);
int RunKeypoints(const TCommandArgs& args);
int RunShadow(const TCommandArgs& args);
int RunDraw(const TCommandArgs& args);
int RunMacros(const TCommandArgs& args);
int RunSoundInfo(const TCommandArgs& args);
int RunDecode(const TCommandArgs& args);
int RunVideoInfo(const TCommandArgs& args);
int RunFrame(const TCommandArgs& args);

namespace {

struct TCommand {
  std::string_view name;
  std::string_view usage;
  TCommandFunction run;
};

constexpr TCommand kCommands[] = {
    {"pack", "pack MANIFEST -o OUT [--stub FILE] [--older-trailer]", RunPack},
    {"list", "list SHOW", RunList},
    {"cat", "cat SHOW NAME", RunCat},
    {"project", "project SHOW", RunProject},
    {"timeline", "timeline SHOW [--deterministic]", RunTimeline},
    {"playlist", "playlist SHOW [--full]", RunPlaylist},
    {"music", "music SHOW -o OUT.wav [--from MS] [--to MS] [--pause MS:LEN,...]", RunMusic},
    {"picture", "picture SHOW NAME [--level N] -o OUT.png", RunPicture},
    {"keypoints", "keypoints SHOW SLIDE OBJECT --at T1,T2,...", RunKeypoints},
    {"shadow", "shadow SHOW \"Shadow: ...\" -o OUT.png", RunShadow},
    {"macros", "macros SHOW SLIDE \"TEXT\"", RunMacros},
    {"draw",
     "draw SHOW NAME -o OUT.png [--size WxH] [--angle-x/y/z DEG] [--scale PCT] [--opacity PCT] [--feather] [--mip N]"
     " [--engine NAME]",
     RunDraw},
    {"soundinfo", "soundinfo SHOW NAME", RunSoundInfo},
    {"decode", "decode SHOW NAME -o OUT.wav [--from MS] [--ms N]", RunDecode},
    {"videoinfo", "videoinfo SHOW NAME", RunVideoInfo},
    {"frame", "frame SHOW NAME --index N -o OUT.png", RunFrame},
};

void PrintUsage() {
  std::fputs("usage:\n", stderr);
  for (const TCommand& command : kCommands)
    std::fprintf(stderr, "  vmopack %.*s\n", static_cast<int>(command.usage.size()), command.usage.data());
}

const TCommand* FindCommand(std::string_view name) {
  for (const TCommand& command : kCommands) {
    if (command.name == name)
      return &command;
  }
  return nullptr;
}

} // namespace

} // namespace qx::vmopack

int main(int argc, char** argv) {
  using namespace qx::vmopack;
  if (argc < 2) {
    PrintUsage();
    return 1;
  }
  const TCommand* command = FindCommand(argv[1]);
  if (!command) {
    std::fprintf(stderr, "vmopack: unknown command \"%s\"\n", argv[1]);
    PrintUsage();
    return 1;
  }
  // Reader diagnostics would mix with the command's own error line.
  qx::SetDebugOutputMuted(true);
  try {
    return command->run(TCommandArgs(argv + 2, argv + argc));
  } catch (const EUsageError& error) {
    std::fprintf(stderr, "%s\nusage: vmopack %.*s\n", error.what(), static_cast<int>(command->usage.size()),
                 command->usage.data());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  }
  return 1;
}
