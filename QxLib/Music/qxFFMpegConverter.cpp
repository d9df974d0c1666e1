#include "QxLib/Music/qxFFMpegConverter.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxPcmResampler.h"

#include <cmath>
#include <mutex>

namespace qx {

namespace {

// The name the library guesses the container from.
std::string FileNameOf(const std::string& name) {
  const size_t question = name.rfind('?');
  return question == std::string::npos ? name : name.substr(0, question);
}

// The prober of the media information: the library opens the stream.
bool ProbeWithLibrary(TStream& stream, const std::string& name, TMediaInfo& info) {
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Acquire();
  if (!dll)
    return false;
  stream.SetPosition(0);
  std::unique_ptr<TFFMpegMedia> media = TFFMpegMedia::Open(dll, stream, "qwe" + FileNameOf(name));
  if (!media || media->Handle().AudioStreamCount <= 0)
    return false;
  info.Kind = TMediaKind::FFmpeg;
  info.Length = static_cast<int32_t>(std::min<int64_t>(std::llround(media->Handle().Duration / 1000.0), INT32_MAX));
  info.Format = MixingFormat();
  info.DataOffset = 0;
  info.DataSize = 0;
  return true;
}

} // namespace

int32_t TFFMpegConverter::StreamSelector(const std::string& name) {
  const size_t question = name.rfind('?');
  if (question == std::string::npos)
    return 0;
  try {
    return std::max(0, std::stoi(name.substr(question + 1)));
  } catch (const std::exception&) {
    return 0;
  }
}

TFFMpegConverter::TFFMpegConverter(TStream& stream, std::string name)
    : TWavConverter(&stream), m_name(std::move(name)), m_selector(StreamSelector(m_name)) {}

TFFMpegConverter::~TFFMpegConverter() {
  if (m_media && m_audioOpen) {
    const std::lock_guard lock(TFFMpegDll::MediaLock());
    m_media->Dll().CloseAudioStream(&m_media->Handle());
  }
}

bool TFFMpegConverter::Open(const TMediaInfo& info) {
  TRefPtr<TFFMpegDll> dll = TFFMpegDll::Acquire();
  if (!dll)
    return false;
  Stream()->SetPosition(0);
  m_media = TFFMpegMedia::Open(dll, *Stream(), FileNameOf(m_name));
  if (!m_media || m_media->Handle().AudioStreamCount <= 0)
    return false;
  QxMediaFile& handle = m_media->Handle();
  QxAudioFormat format{};
  if (!dll->GetAudioInfo(&handle, m_selector, &format) || format.SampleRate <= 0 || format.Channels <= 0)
    return false;
  if (format.BitsPerSample == 0)
    format.BitsPerSample = 16;
  {
    const std::lock_guard lock(TFFMpegDll::MediaLock());
    m_audioOpen = dll->OpenAudioStream(&handle, m_selector) > 0;
  }
  if (!m_audioOpen)
    return false;
  m_area.assign(QX_FF_AUDIO_AREA_SIZE, 0);
  handle.AudioArea = m_area.data();

  TMediaInfo own = info;
  own.Format = MakePcmFormat(static_cast<uint32_t>(format.SampleRate), static_cast<uint16_t>(format.BitsPerSample),
                             static_cast<uint16_t>(format.Channels));
  if (!TWavConverter::Open(own))
    return false;
  if (!(OutputFormat() == MixingFormat()))
    UseResampler(own.Format, MixingFormat());
  return true;
}

bool TFFMpegConverter::FillInput() {
  if (!m_media || !m_audioOpen)
    return false;
  int32_t count = 0;
  QxMediaFile& handle = m_media->Handle();
  if (m_media->Dll().GetNextAudioFrame(&handle, handle.AudioArea, &count) != 0 || count <= 0)
    return false;
  InputBuffer().EnsureFree(count);
  InputBuffer().Append(handle.AudioArea, count);
  return true;
}

int64_t TFFMpegConverter::CurrentAudioStamp() const {
  return m_media->Dll().GetCurrentPts(&m_media->Handle(), m_media->Handle().AudioStream);
}

void TFFMpegConverter::Seek(double ms) {
  InputBuffer().Clear();
  Output().Clear();
  if (Resampler())
    Resampler()->Reset();
  SetPosition(ms);
  if (!m_media || !m_audioOpen)
    return;
  const QxMediaFile& handle = m_media->Handle();
  m_media->Dll().Flush(&m_media->Handle());
  // Counted from the file's start time, as the video's frames are.
  const double targetUs = std::max(ms, 0.0) * 1000.0 + static_cast<double>(m_media->StartTime());
  if (handle.AudioTimeBaseNum <= 0 || handle.AudioTimeBaseDen <= 0)
    return;
  const int64_t stamp = std::llround(targetUs / 1000000.0 / handle.AudioTimeBaseNum * handle.AudioTimeBaseDen);
  SeekToStamp(std::llround(targetUs), stamp);
}

void TFFMpegConverter::SeekToStamp(int64_t targetUs, int64_t stamp) {
  TMediaFileData& data = m_media->Data();
  if (data.AudioSeekStrategy == 0) {
    data.AudioSeekStrategy = data.Container == TContainerKind::Matroska ? kSeekByTime
                             : data.Container == TContainerKind::Asf    ? kSeekAndDecode
                                                                        : kSeekByStream;
  }
  switch (data.AudioSeekStrategy) {
  case kSeekByStream:
    if (SeekStrategy1(stamp))
      return;
    // A file that cannot seek its sound stream seeks by time from now on.
    data.AudioSeekStrategy = kSeekByTime;
    SeekStrategy2(targetUs, stamp);
    return;
  case kSeekByTime: SeekStrategy2(targetUs, stamp); return;
  default: SeekStrategy3(stamp); return;
  }
}

bool TFFMpegConverter::SeekStrategy1(int64_t stamp) {
  QxMediaFile& handle = m_media->Handle();
  return m_media->Dll().SeekFile(&handle, handle.AudioStream, stamp, QX_FF_SEEK_EXACT) >= 0;
}

void TFFMpegConverter::SeekStrategy2(int64_t targetUs, int64_t stamp) {
  TFFMpegDll& dll = m_media->Dll();
  QxMediaFile& handle = m_media->Handle();
  double target = static_cast<double>(targetUs);
  for (int attempt = 0; attempt < kMaxTimeSeeks; ++attempt) {
    dll.SeekFile(&handle, -1, std::llround(target), 0);
    const int64_t video = dll.GetCurrentPts(&handle, handle.VideoStream);
    if (video == QX_FF_NO_PTS || video <= stamp)
      break;
    target *= 0.99;
  }
  int64_t last = CurrentAudioStamp();
  for (int stalled = 0; stalled <= kMaxStalledSteps;) {
    const int64_t current = CurrentAudioStamp();
    if (current != QX_FF_NO_PTS && current >= stamp - 1)
      break;
    dll.AfterAudioSeek(&handle, 0);
    const int64_t now = CurrentAudioStamp();
    stalled = now == last ? stalled + 1 : 0;
    last = now;
  }
}

void TFFMpegConverter::SeekStrategy3(int64_t stamp) {
  TFFMpegDll& dll = m_media->Dll();
  QxMediaFile& handle = m_media->Handle();
  dll.SeekFile(&handle, handle.AudioStream, stamp, QX_FF_SEEK_EXACT);
  dll.AfterAudioSeek(&handle, 0);
  int64_t last = CurrentAudioStamp();
  while (last != QX_FF_NO_PTS && last < stamp) {
    dll.AfterAudioSeek(&handle, 1);
    const int64_t now = CurrentAudioStamp();
    if (now == last)
      break;
    last = now;
  }
}

void InstallFFMpegAudio() {
  SetConverterMaker(TMediaKind::FFmpeg, [](TStream& stream, const std::string& name, const TMediaInfo&) {
    return std::make_unique<TFFMpegConverter>(stream, name);
  });
  SetFallbackMediaProbe(ProbeWithLibrary);
}

} // namespace qx
