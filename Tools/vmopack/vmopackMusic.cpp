// vmopack music SHOW -o OUT.wav [--from MS] [--to MS] [--pause MS:LEN,...]:
// plays the show's sound track through the music timeline player on the
// virtual sound device and writes what the device plays (44100 Hz, 16 bits,
// stereo). The player is driven as the engine drives it: SetTime to the
// start (with the limit at the end of a show that does not repeat),
// SetPlaying(true), then the virtual clock advances in steps of 10 ms with
// one player step after each. A pause "T:L" stops the clock when the music
// time reaches T and lets the device play on for L ms (free-running music
// goes on, comments and synchronised music stop).
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/Music/Virtual/qxVirtualWaveOut.h"
#include "QxLib/Music/qxMusicPlayer.h"
#include "QxLib/Music/qxVolumeParams.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxIniValues.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoMusicPlayer2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace qx::vmopack {

namespace {

constexpr int32_t kStepMs = 10;
constexpr uint32_t kToolRandomSeed = 1;
// The device runs at least this long before the show plays, as a sound card
// runs while the engine waits for the slides: its clock settles on the play
// position meanwhile. This lead-in is cut from the file.
constexpr int32_t kLeadInMs = 20;
// Player steps allowed for the channels of the start to open.
constexpr int kMaxReadySteps = 100;
// Clock allowed beyond the expected length before the command gives up
// (a clock held at a limit before --to).
constexpr int64_t kOverrunMs = 10000;
constexpr int64_t kWaveHeaderSize = 44;

struct TPause {
  int32_t Time = 0;
  int32_t Length = 0;
};

std::vector<TPause> ParsePauses(const std::string& text) {
  std::vector<TPause> pauses;
  for (const std::string_view item : SplitValueList(text, -1)) {
    const size_t colon = item.find(':');
    if (colon == std::string_view::npos)
      throw EUsageError("--pause takes MS:LEN pairs, not \"" + std::string(item) + "\"");
    pauses.push_back({ParseMs(std::string(item.substr(0, colon)), "--pause"),
                      ParseMs(std::string(item.substr(colon + 1)), "--pause")});
  }
  std::sort(pauses.begin(), pauses.end(), [](const TPause& a, const TPause& b) { return a.Time < b.Time; });
  return pauses;
}

// Advances the device by `ms` in steps of 10 ms, one player step after each.
void Play(TVirtualWaveOutDevice& device, TVmoMusicPlayer& player, int32_t ms) {
  for (int32_t done = 0; done < ms; done += kStepMs) {
    device.Advance(kStepMs);
    player.Pump();
  }
}

// Writes the WAV file `from` without its first `skipFrames` frames to `to`.
void CopyWithoutLeadIn(const std::string& from, const std::string& to, int64_t skipFrames) {
  TFileStream in(from, TFileMode::OpenRead);
  const int64_t skip = kWaveHeaderSize + skipFrames * kMixFrameBytes;
  const int64_t data = std::max<int64_t>(0, in.GetSize() - skip);
  TFileStream out(to, TFileMode::Create);
  WriteWaveHeader(out, MixingFormat(), static_cast<uint32_t>(data));
  in.SetPosition(skip);
  std::vector<char> buffer(1 << 20);
  for (int64_t left = data; left > 0;) {
    const int64_t count = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    in.ReadBuffer(buffer.data(), count);
    out.WriteBuffer(buffer.data(), count);
    left -= count;
  }
}

// Removes the device's own file when the command ends, however it ends.
struct TPartFile {
  std::string Path;
  ~TPartFile() {
    std::error_code ignored;
    std::filesystem::remove(Path, ignored);
  }
};

} // namespace

int RunMusic(const TCommandArgs& args) {
  TCommandArgs rest = args;
  const std::optional<std::string> output = TakeOption(rest, "-o");
  const int32_t from = std::max(0, ParseMs(TakeOption(rest, "--from"), "--from"));
  const int32_t toOption = ParseMs(TakeOption(rest, "--to"), "--to");
  const std::optional<std::string> pauseText = TakeOption(rest, "--pause");
  ExpectPositional(rest, 1);
  if (!output)
    throw EUsageError("-o OUT.wav is required");
  const std::vector<TPause> pauses = pauseText ? ParsePauses(*pauseText) : std::vector<TPause>{};

  const std::unique_ptr<TVmoShowLocator> locator = OpenShowOrFail(rest[0]);
  if (!locator->ProjectStorage())
    throw EQxError("Slide-show File Damaged");
  TVmoSource source(locator->Accessor(), *locator->ProjectStorage(), true);
  const bool repeats = source.EndMode() == TEndMode::Repeat;
  const double total = source.TotalDuration();
  const double to = toOption >= 0 ? toOption : repeats ? from + total : total;
  if (!(to > from))
    throw EUsageError("nothing to play: the end lies at or before the start");

  const TPartFile part{*output + ".part"};
  int64_t leadIn = 0;
  {
    std::unique_ptr<TVirtualWaveOutDevice> device = TVirtualWaveOutDevice::CreateForFile(part.Path);
    TVirtualWaveOutDevice& clock = *device;
    std::unique_ptr<TMusicPlayerClass> mixer = CreateMusicPlayer(std::move(device));
    if (!mixer)
      throw EQxError("the virtual sound device has no clock");
    TVmoMusicPlayer player(&source, false, std::move(mixer), TVmoMusicPlayer::TDriving::Manual, kToolRandomSeed);

    player.SetTime(repeats ? TVmoMusicPlayer::kNoLimit : total, from);
    for (int step = 0; !player.IsReady() || step * kStepMs < kLeadInMs; ++step) {
      if (step == kMaxReadySteps)
        throw EQxError("the music did not get ready");
      Play(clock, player, kStepMs);
    }
    leadIn = clock.FramesWritten();
    player.SetPlaying(true);

    int64_t expected = static_cast<int64_t>(to - from) + kOverrunMs;
    for (const TPause& pause : pauses)
      expected += pause.Length;
    size_t nextPause = 0;
    for (int64_t played = 0; played < expected; played += kStepMs) {
      player.Pump();
      const double time = player.GetTime();
      if (time >= to)
        break;
      if (nextPause < pauses.size() && time >= pauses[nextPause].Time) {
        player.SetPlaying(false);
        player.Pump();
        Play(clock, player, pauses[nextPause].Length);
        played += pauses[nextPause].Length;
        ++nextPause;
        player.SetPlaying(true);
        continue;
      }
      clock.Advance(kStepMs);
    }
    player.Stop();
  }
  CopyWithoutLeadIn(part.Path, *output, leadIn);
  WriteToStdout("music\t" + FormatTime(from) + '\t' + FormatTime(to) + '\n');
  return 0;
}

} // namespace qx::vmopack
