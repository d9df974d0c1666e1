// vmopack soundinfo SHOW NAME and vmopack decode SHOW NAME -o OUT.wav
// [--from MS] [--ms N]: what the player's decoders make of one sound of a
// show. NAME is a packed name, "LoadFromDisk:PATH", or "@FILE" for a
// composite description read from a text file. The show's decoder plug-ins
// ("opt_wmapath", "opt_oggpath") are loaded first, as the player does.
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/Music/qxCompositeConverter.h"
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxDecoderPlugins.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <cmath>
#include <cstdio>

namespace qx::vmopack {

namespace {

// Bytes a decode reads at a time, as a channel's refill does.
constexpr int32_t kDecodeStep = 4096;

struct TSoundSource {
  std::unique_ptr<TVmoShowLocator> Locator;
  TSoundFileAccess Files;
  std::string Name;
};

TSoundSource OpenSoundSource(const std::string& show, const std::string& name) {
  InstallCompositeConverter();
  TSoundSource source;
  source.Locator = OpenShowOrFail(show);
  TFileAccessor& accessor = source.Locator->Accessor();
  source.Files.Open = [&accessor](const std::string& file) { return accessor.OpenStream(file); };
  if (const TIniStorage* project = source.Locator->ProjectStorage())
    TDecoderPlugins::Instance().Install(project->ReadString("Main", "opt_wmapath", ""),
                                        project->ReadString("Main", "opt_oggpath", ""), source.Files.Open);
  source.Name = name;
  if (name.size() > 1 && name[0] == '@') {
    const std::unique_ptr<TFileStream> text = TFileStream::TryOpen(name.substr(1), TFileMode::OpenRead);
    if (!text)
      throw EQxError("Cannot read the description file \"" + name.substr(1) + "\"");
    source.Name = text->ReadAll();
    if (!IsCompositeName(source.Name))
      throw EQxError("\"" + name.substr(1) + "\" holds no composite description this build can mix");
  }
  return source;
}

TMediaInfo SoundInfoOf(const TSoundSource& source) {
  if (IsCompositeName(source.Name)) {
    std::optional<TMediaInfo> info = CompositeMediaInfo(source.Name);
    if (!info)
      throw EQxError("Cannot read the composite description");
    return *info;
  }
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  std::unique_ptr<TStream> stream = access.Open(source.Name, source.Files.Open);
  if (!stream)
    throw EQxError("Cannot open \"" + source.Name + "\"");
  std::optional<TMediaInfo> info = ReadMediaInfo(*stream, source.Name);
  access.Free(std::move(stream), source.Files.Free);
  if (!info)
    throw EQxError("Unknown sound file kind: \"" + source.Name + "\"");
  return *info;
}

} // namespace

int RunSoundInfo(const TCommandArgs& args) {
  ExpectPositional(args, 2);
  const TSoundSource source = OpenSoundSource(args[0], args[1]);
  const TMediaInfo info = SoundInfoOf(source);
  std::printf("%d\t%u\t%u\t%u\t%u\t%d\t%d\t%d\t%d\t%d\n", static_cast<int>(info.Kind), info.Format.FormatTag,
              info.Format.Channels, info.Format.SamplesPerSec, info.Format.BitsPerSample, info.Length, info.DataOffset,
              info.DataSize, info.FrameSize, info.Vbr ? 1 : 0);
  return 0;
}

int RunDecode(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  const std::optional<std::string> out = TakeOption(args, "-o");
  const int32_t from = std::max(ParseMs(TakeOption(args, "--from"), "--from"), 0);
  const int32_t ms = ParseMs(TakeOption(args, "--ms"), "--ms");
  if (!out)
    throw EUsageError("-o OUT.wav is required");
  ExpectPositional(args, 2);
  const TSoundSource source = OpenSoundSource(args[0], args[1]);
  TOpenedSound sound(source.Name, source.Files);
  TWavConverter& converter = sound.Converter();
  converter.Seek(from);

  const TPcmFormat format = converter.OutputFormat();
  const int64_t align = std::max<int>(format.BlockAlign, 1);
  // With --ms: exactly that much sound (less when the file ends first).
  const int64_t wanted = ms < 0 ? INT64_MAX : std::llround(ms / 1000.0 * format.AvgBytesPerSec) / align * align;

  TFileStream file(*out, TFileMode::Create);
  WriteWaveHeader(file, format, 0);
  int64_t written = 0;
  while (written < wanted && written < UINT32_MAX - 2 * kDecodeStep) {
    const bool more = converter.Read(kDecodeStep);
    const int64_t real = kDecodeStep - converter.PaddedBytes();
    const int64_t take = std::min<int64_t>(real, wanted - written);
    file.WriteBuffer(converter.Output().DataStart(), take);
    converter.Output().Consume(kDecodeStep);
    written += take;
    if (!more)
      break;
  }
  file.SetPosition(0);
  WriteWaveHeader(file, format, static_cast<uint32_t>(written));
  std::printf("%s: %u Hz, %u bits, %u channels, %lld bytes\n", out->c_str(), format.SamplesPerSec, format.BitsPerSample,
              format.Channels, static_cast<long long>(written));
  return 0;
}

} // namespace qx::vmopack
