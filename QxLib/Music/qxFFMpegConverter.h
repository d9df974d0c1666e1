// The converter of sound files that only the video-decoding library reads
// (FLAC, AAC, Opus, the sound of video files): the library decodes the
// stream's sound, which is resampled to the mixing format when it is not
// already in it. A name may end in "?N" to choose the file's N-th sound
// stream (0 = the first). Seeks use one of three strategies, chosen once
// per file from its container.
#pragma once

#include "QxLib/Graphics/Video/qxFFMpegMedia.h"
#include "QxLib/Music/qxWavConverter.h"

#include <memory>
#include <string>
#include <vector>

namespace qx {

class TFFMpegConverter : public TWavConverter {
public:
  // Seek strategies: 1 the sound stream by its stamp, 2 the file by time,
  // stepping back until the video lies before the target, then decoding
  // forward; 3 the sound stream, then decoding forward.
  enum TSeekStrategy : int32_t { kSeekByStream = 1, kSeekByTime = 2, kSeekAndDecode = 3 };
  // Steps of strategy 2 and the calls without progress that end its
  // forward decoding.
  static constexpr int kMaxTimeSeeks = 101;
  static constexpr int kMaxStalledSteps = 100;

  // `name` is the file's name, with the stream selector after its last "?".
  TFFMpegConverter(TStream& stream, std::string name);
  ~TFFMpegConverter() override;

  // Opens the file through the shared library and its sound stream; false
  // when the library is not loaded or the file has no such sound stream.
  bool Open(const TMediaInfo& info) override;
  // Empties the buffers, flushes the decoder and seeks by the file's
  // strategy; Position() becomes ms.
  void Seek(double ms) override;
  // The next piece of decoded sound; false at the end.
  bool FillInput() override;

  // The strategy the file uses (0 before the first seek).
  int32_t SeekStrategy() const { return m_media ? m_media->Data().AudioSeekStrategy : 0; }

  // The stream selector of a name: the number after its last "?", else 0.
  static int32_t StreamSelector(const std::string& name);

private:
  void SeekToStamp(int64_t targetUs, int64_t stamp);
  bool SeekStrategy1(int64_t stamp);
  void SeekStrategy2(int64_t targetUs, int64_t stamp);
  void SeekStrategy3(int64_t stamp);
  int64_t CurrentAudioStamp() const;

  std::string m_name;
  int32_t m_selector = 0;
  std::unique_ptr<TFFMpegMedia> m_media;
  bool m_audioOpen = false;
  std::vector<uint8_t> m_area;
};

// Registers the converter of kind 10 with the converter factory and the
// library's prober as the media information's last resort. Called at
// start-up; the library itself is loaded on first use.
void InstallFFMpegAudio();

} // namespace qx
