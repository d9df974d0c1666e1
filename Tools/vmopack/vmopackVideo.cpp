// vmopack videoinfo SHOW NAME: the parameters of a video clip of a show as
// the player's video source reports them, as one tab-separated line.
// vmopack frame SHOW NAME --index N -o OUT.png: frame N of the clip as the
// video source decodes it (24-bit colour), written as PNG. NAME is a packed
// entry or "LoadFromDisk:PATH".
#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/Graphics/Video/qxWinVideoSource.h"
#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/Graphics/qxPngWriter.h"
#include "QxLib/qxCommandLine.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoVideoLibrary.h"

#include <cmath>
#include <cstdio>

namespace qx::vmopack {

namespace {

struct TOpenedClip {
  std::unique_ptr<TVmoShowLocator> Show;
  std::unique_ptr<TStream> Stream;
  std::unique_ptr<TWinVideoSource> Source;
};

TOpenedClip OpenClip(const std::string& show, const std::string& name) {
  TOpenedClip clip;
  clip.Show = OpenShowOrFail(show);
  LocateVideoLibrary(clip.Show->Accessor(), ProgramPath());
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Acquire();
  if (!dll)
    throw EQxError("the video-decoding library could not be loaded");
  clip.Stream = clip.Show->Accessor().OpenStream(name);
  if (!clip.Stream)
    throw EQxError("\"" + name + "\" is not in the show");
  clip.Source = TWinVideoSource::OpenWith(dll, *clip.Stream, 0, name);
  if (!clip.Source)
    throw EQxError("\"" + name + "\" is not a video clip the library can decode");
  return clip;
}

int64_t ParseIndex(const std::optional<std::string>& text) {
  if (!text)
    throw EUsageError("--index N is required");
  try {
    size_t used = 0;
    const long long index = std::stoll(*text, &used);
    if (used == text->size() && index >= 0)
      return index;
  } catch (const std::exception&) {
  }
  throw EUsageError("--index takes a frame number from 0");
}

} // namespace

int RunVideoInfo(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  ExpectPositional(args, 2);
  const TOpenedClip clip = OpenClip(args[0], args[1]);
  const TVideoParams& params = clip.Source->Params();
  std::printf("%d\t%d\t%.10g\t%lld\t%d\t%d\t%d\t%s\t%d\t%lld\n", params.Width, params.Height, params.FrameRate,
              static_cast<long long>(params.FrameCount), params.AspectClass, params.Interlaced ? 1 : 0,
              params.BottomFieldFirst ? 1 : 0, params.CodecName.c_str(), static_cast<int>(clip.Source->ContainerKind()),
              static_cast<long long>(std::llround(clip.Source->DurationMs())));
  return 0;
}

int RunFrame(const TCommandArgs& arguments) {
  TCommandArgs args = arguments;
  const std::optional<std::string> out = TakeOption(args, "-o");
  const int64_t index = ParseIndex(TakeOption(args, "--index"));
  if (!out)
    throw EUsageError("-o OUT.png is required");
  ExpectPositional(args, 2);
  const TOpenedClip clip = OpenClip(args[0], args[1]);
  const int64_t count = clip.Source->Params().FrameCount;
  if (count > 0 && index >= count)
    throw EQxError("frame " + std::to_string(index) + " is past the clip's last frame " + std::to_string(count - 1));
  TBitmap frame;
  if (!clip.Source->GetFrame24(index, frame))
    throw EQxError("frame " + std::to_string(index) + " of \"" + args[1] + "\" could not be decoded");
  WritePngFile(frame, *out);
  std::printf("%s: frame %lld, %d x %d\n", args[1].c_str(), static_cast<long long>(index), frame.Width(),
              frame.Height());
  return 0;
}

} // namespace qx::vmopack
