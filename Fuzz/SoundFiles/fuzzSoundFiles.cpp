// Fuzz target of sound files: the media information reader (WAVE chunks,
// MPEG frame headers, ID3 tags, Xing and VBRI headers) and the converter of
// every kind it finds: PCM, 24-bit and floating-point WAVE through the
// resampler, MS-ADPCM, MPEG audio, and the OGG and WMA plug-ins, opened as a
// channel opens them. The first byte of the input chooses the file's
// extension; the rest is the file.
//
// Promises checked: a file has information or none; the information places
// the audio data inside the file and describes a playable format; its
// converter refuses to open or delivers every piece asked for, moves its
// position forward, and reports the end after a bounded amount of sound
// (the file's length and a minute of slack), also after seeking.
#include "Fuzz/FuzzSupport/qxFuzzSound.h"
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxDecoderPlugins.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace qx;

const char* const kExtensions[] = {".wav", ".mp3", ".mp2", ".ogg", ".wma"};
constexpr double kSlackMs = 60000;

// The plug-ins stay loaded until the process has ended, so that the leak
// check at exit can still name their code.
const std::shared_ptr<TDecoderLibrary>* const kOgg =
    new std::shared_ptr<TDecoderLibrary>(TDecoderLibrary::Load(VMO_PLUGIN_DIR "/vmoogg.so"));
const std::shared_ptr<TDecoderLibrary>* const kWma =
    new std::shared_ptr<TDecoderLibrary>(TDecoderLibrary::Load(VMO_PLUGIN_DIR "/vmowma.so"));
const bool kPluginsLoaded = [] {
  FUZZ_CHECK(*kOgg && *kWma);
  TDecoderPlugins::Instance().SetLibrary(TMediaKind::Ogg, *kOgg);
  TDecoderPlugins::Instance().SetLibrary(TMediaKind::Wma, *kWma);
  return true;
}();

void CheckInformation(const TMediaInfo& info, int64_t size) {
  FUZZ_CHECK(info.Kind != TMediaKind::None && info.Kind != TMediaKind::Composite);
  FUZZ_CHECK(info.DataOffset >= 0 && info.DataSize >= 0 && info.Length >= 0);
  FUZZ_CHECK(info.DataOffset <= size);
  FUZZ_CHECK(std::isfinite(info.MeanFrameDuration) && info.MeanFrameDuration >= 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string name = std::string("fuzz") + kExtensions[data[0] % std::size(kExtensions)];
  const std::string bytes = fuzz::Bytes(data + 1, size - 1);
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);

  std::optional<TMediaInfo> info;
  if (!FUZZ_RESULT_OR_ERROR(info = ReadMediaInfo(*stream, name)) || !info)
    return 0;
  CheckInformation(*info, static_cast<int64_t>(bytes.size()));

  std::unique_ptr<TWavConverter> converter;
  bool opened = false;
  if (!FUZZ_RESULT_OR_ERROR(converter = CreateConverter(*stream, name, *info);
                            opened = converter && converter->Open(*info)) ||
      !opened)
    return 0;
  FUZZ_CHECK(converter->OutputFormat().AvgBytesPerSec > 0);
  FUZZ_CHECK(converter->OutputFormat().BlockAlign > 0);
  // An opened file decodes to its end without raising, from the start and
  // again from its middle.
  bool ended = false;
  FUZZ_CHECK(
      FUZZ_RESULT_OR_ERROR(ended = fuzz::ReadPieces(*converter, fuzz::PiecesFor(*converter, info->Length, kSlackMs))));
  FUZZ_CHECK(ended);
  FUZZ_CHECK(
      FUZZ_RESULT_OR_ERROR(converter->Seek(info->Length / 2.0);
                           ended = fuzz::ReadPieces(*converter, fuzz::PiecesFor(*converter, info->Length, kSlackMs))));
  FUZZ_CHECK(ended);
  return 0;
}
