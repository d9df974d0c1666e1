#include "QxLib/Graphics/Video/qxFFMpegMedia.h"

#include "QxLib/Music/qxStreamWrapper.h"
#include "QxLib/qxStream.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace qx {

namespace {

// Rates to which a nearly equal rate is snapped, and how near it must be.
constexpr double kFilmRate = 24000.0 / 1001.0;
constexpr double kNtscRate = 30000.0 / 1001.0;
constexpr double kRateTolerance = 0.001;
// Above this a rate is not believed (except for MPEG-2, whose field rate
// may be that high); a stream's own rate above kMaxStreamRate is not used.
constexpr double kMaxBelievedRate = 100;
constexpr double kMaxStreamRate = 130;
constexpr double kUnreliableTsRate = 50;
// A height the encoder padded to whole macroblocks.
constexpr int32_t kPaddedHeight = 1088;
constexpr int32_t kShownHeight = 1080;

bool Near(double rate, double target) { return std::fabs(rate - target) < kRateTolerance; }

} // namespace

const QxStreamFunctions& MediaStreamFunctions() { return TStreamWrapperClass::Instance().PluginFunctions(); }

TContainerKind ContainerKindOf(std::string_view formatName) {
  if (formatName == "avi")
    return TContainerKind::Avi;
  if (formatName == "matroska,webm")
    return TContainerKind::Matroska;
  if (formatName == "mov,mp4,m4a,3gp,3g2,mj2")
    return TContainerKind::Mp4;
  if (formatName == "mpeg" || formatName == "mpegvideo")
    return TContainerKind::Mpeg;
  if (formatName == "flv")
    return TContainerKind::Flv;
  if (formatName == "mpegts")
    return TContainerKind::MpegTs;
  if (formatName == "asf")
    return TContainerKind::Asf;
  return TContainerKind::Other;
}

std::unique_ptr<TFFMpegMedia> TFFMpegMedia::Open(TRefPtr<TFFMpegDll> dll, TStream& stream, const std::string& name) {
  if (!dll)
    return nullptr;
  QxMediaFile* handle = nullptr;
  {
    const std::lock_guard lock(TFFMpegDll::MediaLock());
    handle = dll->OpenMediaFile(name.c_str(), &stream, &MediaStreamFunctions());
  }
  if (!handle)
    return nullptr;
  std::unique_ptr<TFFMpegMedia> media(new TFFMpegMedia(std::move(dll), handle));
  if (handle->VideoStream < 0 && handle->AudioStreamCount <= 0)
    return nullptr;
  media->Settle();
  return media;
}

TFFMpegMedia::TFFMpegMedia(TRefPtr<TFFMpegDll> dll, QxMediaFile* handle) : m_dll(std::move(dll)), m_handle(handle) {
  m_handle->PlayerData = &m_data;
}

TFFMpegMedia::~TFFMpegMedia() {
  const std::lock_guard lock(TFFMpegDll::MediaLock());
  m_handle->PlayerData = nullptr;
  m_dll->CloseMediaFile(m_handle);
}

void TFFMpegMedia::Settle() {
  QxMediaFile& h = *m_handle;
  const int32_t length = m_dll->GetFormatName(&h, nullptr, 0, 0);
  if (length > 0) {
    std::vector<char> text(static_cast<size_t>(length) + 1);
    m_dll->GetFormatName(&h, text.data(), static_cast<int32_t>(text.size()), 0);
    m_formatName.assign(text.data());
  }
  m_data.Container = ContainerKindOf(m_formatName);
  if (h.Height == kPaddedHeight) {
    h.Height = kShownHeight;
    // The display aspect follows the lines shown.
    h.DisplayAspectNum = h.Width * std::max(1, h.SampleAspectNum);
    h.DisplayAspectDen = kShownHeight * std::max(1, h.SampleAspectDen);
  }
  if (h.FrameRateNum <= 0 || h.FrameRateDen <= 0) {
    h.FrameRateNum = 25;
    h.FrameRateDen = 1;
  }

  const double rate = static_cast<double>(h.FrameRateNum) / h.FrameRateDen;
  const double streamRate =
      h.StreamRateNum > 0 && h.StreamRateDen > 0 ? static_cast<double>(h.StreamRateNum) / h.StreamRateDen : 0;
  const int32_t codec = h.CodecId;
  m_data.UnreliableRate =
      (codec != QX_FF_CODEC_MPEG2 && rate > kMaxBelievedRate) || codec == 15 || codec == 16 || codec == 17 ||
      codec == 47 || (m_data.Container == TContainerKind::Avi && codec == QX_FF_CODEC_MPEG4) ||
      (m_data.Container == TContainerKind::MpegTs && codec == QX_FF_CODEC_H264 && streamRate >= kUnreliableTsRate);
  if (!m_data.UnreliableRate && !Near(rate, kFilmRate) && !Near(rate, kNtscRate)) {
    const double perFrame = h.TicksPerFrame > 0 ? streamRate / h.TicksPerFrame : streamRate;
    if (Near(perFrame, kFilmRate)) {
      h.FrameRateNum = 24000;
      h.FrameRateDen = 1001;
    } else if (Near(perFrame, kNtscRate)) {
      h.FrameRateNum = 30000;
      h.FrameRateDen = 1001;
    } else if (m_data.Container >= TContainerKind::Mpeg && m_data.Container <= TContainerKind::MpegTs &&
               streamRate > 0 && streamRate <= kMaxStreamRate) {
      h.FrameRateNum = h.StreamRateNum;
      h.FrameRateDen = h.StreamRateDen * (h.TicksPerFrame > 0 ? h.TicksPerFrame : 1);
    }
  }
  h.FrameCount = std::llround(static_cast<double>(h.Duration) / h.FrameRateDen * h.FrameRateNum / 1000000.0);
  if (h.FrameCount < 0)
    h.FrameCount = 0;
  if (h.StartTime < 0)
    h.StartTime = 0;
}

void TFFMpegMedia::SetFirstPicture(int64_t stamp) {
  QxMediaFile& h = *m_handle;
  if (stamp == QX_FF_NO_PTS || h.TimeBaseDen <= 0)
    return;
  const auto time =
      static_cast<int64_t>(std::llround(static_cast<double>(stamp) * h.TimeBaseNum / h.TimeBaseDen * 1000000.0));
  if (time > StartTime())
    h.StartTime = time;
}

double TFFMpegMedia::FrameRate() const { return static_cast<double>(m_handle->FrameRateNum) / m_handle->FrameRateDen; }

int64_t TFFMpegMedia::StartTime() const { return m_handle->StartTime > 0 ? m_handle->StartTime : 0; }

int64_t TFFMpegMedia::StampOfIndex(int64_t index) const {
  const QxMediaFile& h = *m_handle;
  const double time =
      static_cast<double>(StartTime()) + static_cast<double>(index) * h.FrameRateDen / h.FrameRateNum * 1000000.0;
  if (h.TimeBaseNum <= 0 || h.TimeBaseDen <= 0)
    return 0;
  return std::llround(time / 1000000.0 / h.TimeBaseNum * h.TimeBaseDen);
}

int64_t TFFMpegMedia::IndexOfStamp(int64_t stamp) const {
  const QxMediaFile& h = *m_handle;
  if (stamp == QX_FF_NO_PTS || h.TimeBaseDen <= 0)
    return -1;
  const double time =
      static_cast<double>(stamp) * h.TimeBaseNum / h.TimeBaseDen * 1000000.0 - static_cast<double>(StartTime());
  return std::llround(time / 1000000.0 * h.FrameRateNum / h.FrameRateDen);
}

} // namespace qx
