#include "VmoLib2/VmoViewer/FFmpeg/qxVmoFFmpegEncoder.h"

#include "QxLib/Graphics/Video/qxFFMpegDll.h"
#include "QxLib/qxExceptions.h"

#include <filesystem>
#include <limits>

namespace qx {

namespace {

constexpr int32_t kSampleRate = 44100;
constexpr int32_t kChannels = 2;
constexpr int32_t kErrorSize = 512;
// Sound goes to the library in pieces it takes as 32-bit counts.
constexpr int64_t kSoundPiece = 1 << 20;

class TFFmpegVideoEncoder final : public TVideoFileEncoder {
public:
  TFFmpegVideoEncoder(TRefPtr<TFFMpegDll> library, const TVideoFileParams& params)
      : m_library(std::move(library)), m_params(params) {
    QxVideoFileParams video{};
    video.Width = params.Width;
    video.Height = params.Height;
    video.FrameRateNum = params.Fps;
    video.FrameRateDen = 1;
    video.InputFormat = QX_FF_PIX_BGRA;
    video.Codec = nullptr;
    video.Crf = params.Crf.value_or(kDefaultExportCrf);
    // VP9 has no presets; its speed is chosen by the library.
    video.Preset = params.Preset.empty() ? kDefaultExportPreset : params.Preset.c_str();
    video.Threads = 0;
    QxAudioFileParams audio{};
    audio.SampleRate = kSampleRate;
    audio.Channels = kChannels;
    audio.Codec = nullptr;
    audio.BitRate = 0;
    char error[kErrorSize] = {};
    m_file = m_library->CreateVideoAudioFile(params.Path.c_str(), &video, &audio, error, kErrorSize);
    if (!m_file)
      throw EQxError("cannot create " + params.Path + ": " + error);
  }

  ~TFFmpegVideoEncoder() override {
    if (m_file)
      m_library->CloseOutputFile(m_file, 1);
  }

  void WritePicture(const TBitmap& picture) override {
    QX_ASSERT(picture.Format() == TPixelFormat::Bgra32 && picture.Width() == m_params.Width &&
                  picture.Height() == m_params.Height,
              "A picture of the wrong size or format for the video file");
    QX_ASSERT(picture.Stride() <= std::numeric_limits<int32_t>::max(), "Picture rows too long");
    if (m_library->WriteVideoFrame(m_file, picture.Bits(), static_cast<int32_t>(picture.Stride())) != 0)
      throw EQxError("cannot encode a picture into " + m_params.Path);
  }

  void WriteSound(const int16_t* samples, int64_t frames) override {
    while (frames > 0) {
      const int64_t piece = std::min(frames, kSoundPiece);
      if (m_library->WriteAudioSamples(m_file, samples, static_cast<int32_t>(piece)) != 0)
        throw EQxError("cannot encode the sound into " + m_params.Path);
      samples += piece * kChannels;
      frames -= piece;
    }
  }

  void Close() override {
    QxOutputFile* file = std::exchange(m_file, nullptr);
    if (m_library->CloseOutputFile(file, 0) != 0)
      throw EQxError("cannot finish " + m_params.Path);
  }

private:
  TRefPtr<TFFMpegDll> m_library;
  TVideoFileParams m_params;
  QxOutputFile* m_file = nullptr;
};

} // namespace

std::unique_ptr<TVideoFileEncoder> CreateFFmpegVideoEncoder(const TVideoFileParams& params) {
  TRefPtr<TFFMpegDll> library = TFFMpegDll::Acquire();
  if (!library || !library->WriteVideoFrame || !library->WriteAudioSamples || !library->CloseOutputFile)
    throw EQxError("cannot create " + params.Path + ": no video library that writes files");
  return std::make_unique<TFFmpegVideoEncoder>(std::move(library), params);
}

} // namespace qx
