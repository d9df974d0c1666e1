// Fuzz target of clips read through the video-decoding library: a packed
// clip opened from memory as the video source of a slide (container probing,
// the corrections made after opening, the probe of the first pictures,
// decoding by index forward and by seeking, into YUV planes and 24-bit
// colour), and its sound opened as a sound file through the same library.
// The first byte of the input chooses the clip's name (and so the
// container the library tries first); the rest is the clip.
//
// Promises checked: a clip is opened with parameters a picture can have, or
// refused; every frame asked for is decoded or refused without touching
// memory outside the pictures, also out of order and past the end; the
// 24-bit picture has the clip's size; the sound, when the library finds
// some, delivers every piece asked for in the mixing format or is refused,
// and ends within the clip's length and a minute of slack.
#include "Fuzz/FuzzSupport/qxFuzzSound.h"
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/Graphics/Video/qxWinVideoSource.h"
#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxFFMpegConverter.h"
#include "Tests/TestSupport/qxTestClips.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

using namespace qx;

const char* const kNames[] = {".mp4", ".avi", ".mkv", ".mpg", ".ts", ".flv", ".wmv", ".mov"};
// Pictures larger than this are opened but not decoded (decoding a picture
// the size the library allows takes seconds).
constexpr int64_t kPixelBudget = int64_t{1} << 20;
constexpr double kSlackMs = 60000;

// The library stays loaded until the process has ended, so that the leak
// check at exit can still name its code.
const TRefPtr<TFFMpegDll>* const kLibrary = [] {
  TFFMpegDll::SetLibraryPath(test::VideoLibraryPath());
  InstallFFMpegAudio();
  auto* library = new TRefPtr<TFFMpegDll>(TFFMpegDll::Acquire());
  FUZZ_CHECK(*library);
  return library;
}();

// Each input gets a name of its own, so that no parameters remembered for
// an earlier clip of the same name and size are taken for this one.
std::string ClipName(uint8_t selector) {
  static std::atomic<int64_t> counter{0};
  return "clip" + std::to_string(counter++) + kNames[selector % std::size(kNames)];
}

void CheckFrames(TWinVideoSource& source) {
  const TVideoParams& params = source.Params();
  FUZZ_CHECK(params.Width > 0 && params.Height > 0);
  FUZZ_CHECK(std::isfinite(params.FrameRate) && params.FrameRate > 0);
  FUZZ_CHECK(params.FrameCount >= 0);
  if (int64_t{params.Width} * params.Height > kPixelBudget)
    return;
  const int64_t count = params.FrameCount;
  test::TMemoryYUVImage planes(params.Width, params.Height);
  test::TMemoryYUVImage grey(params.Width, params.Height, TYUVImage::kGrey);
  TBitmap colour;
  // In order, a step ahead, back to the start, the end and past it.
  for (const int64_t index :
       {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{40}, int64_t{1}, count / 2, count - 1, count, count + 100}) {
    if (index < 0)
      continue;
    source.GetFrame(index, planes);
    source.GetFrame(index, grey);
    if (source.GetFrame24(index, colour))
      FUZZ_CHECK(colour.Width() == params.Width && colour.Height() == params.Height);
  }
}

void CheckSound(const std::string& bytes, const std::string& name) {
  const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
  std::optional<TMediaInfo> info;
  if (!FUZZ_RESULT_OR_ERROR(info = ReadMediaInfo(*stream, name)) || !info || info->Kind != TMediaKind::FFmpeg)
    return;
  std::unique_ptr<TWavConverter> made;
  bool opened = false;
  if (!FUZZ_RESULT_OR_ERROR(made = CreateConverter(*stream, name, *info); opened = made && made->Open(*info)) ||
      !opened)
    return;
  TWavConverter& converter = *made;
  FUZZ_CHECK(converter.OutputFormat() == MixingFormat());
  const int64_t pieces = fuzz::PiecesFor(converter, info->Length, kSlackMs);
  bool ended = false;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(ended = fuzz::ReadPieces(converter, pieces)));
  FUZZ_CHECK(ended);
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(converter.Seek(info->Length / 2.0); ended = fuzz::ReadPieces(converter, pieces)));
  FUZZ_CHECK(ended);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string name = ClipName(data[0]);
  const std::string bytes = fuzz::Bytes(data + 1, size - 1);
  {
    const std::unique_ptr<TMemoryStream> stream = fuzz::MemoryStreamOf(bytes);
    std::unique_ptr<TWinVideoSource> source;
    FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(source = TWinVideoSource::OpenWith(*kLibrary, *stream, 0, name)));
    if (source)
      CheckFrames(*source);
  }
  CheckSound(bytes, name);
  return 0;
}
