// One media file opened through the video-decoding library: the handle
// opened and closed under the library's media lock, the player's own
// per-file data kept in the handle's slot, the handle's values made
// consistent after opening (frame rate, frame count, start time, container
// kind), and the mapping between frame indices and time stamps.
#pragma once

#include "QxLib/Graphics/Video/qxFFMpegDll.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qx {

class TStream;

// Container kinds, from the library's container name.
enum class TContainerKind : int32_t {
  Other = 0,
  Avi = 1,
  Matroska = 2,
  Mp4 = 3,
  Mpeg = 4,
  Flv = 5,
  MpegTs = 6,
  Asf = 7,
};

// "avi" 1, "matroska,webm" 2, "mov,mp4,m4a,3gp,3g2,mj2" 3, "mpeg" and
// "mpegvideo" 4, "flv" 5, "mpegts" 6, "asf" 7, anything else 0.
TContainerKind ContainerKindOf(std::string_view formatName);

// The player's data kept in the handle's slot.
struct TMediaFileData {
  TContainerKind Container = TContainerKind::Other;
  // The frame rate was not trusted, so it was not corrected.
  bool UnreliableRate = false;
  // The sound seek strategy chosen for the file (1 ... 3; 0 = not yet).
  int32_t AudioSeekStrategy = 0;
  // The frame indices the decoded picture answers: [WindowStart, WindowEnd).
  int64_t WindowStart = -1;
  int64_t WindowEnd = -1;
};

// The stream function table handed to the library: the process-wide sound
// stream access, so every read of a media file is serialised with all
// other sound file reads. The stream argument is a TStream*.
const QxStreamFunctions& MediaStreamFunctions();

class TFFMpegMedia {
public:
  // Opens `stream` (borrowed; it must outlive the media) under `name`,
  // which helps the library guess the container. None when the library
  // cannot read it, or when it has neither a video nor a sound stream.
  static std::unique_ptr<TFFMpegMedia> Open(TRefPtr<TFFMpegDll> dll, TStream& stream, const std::string& name);
  ~TFFMpegMedia();
  TFFMpegMedia(const TFFMpegMedia&) = delete;
  TFFMpegMedia& operator=(const TFFMpegMedia&) = delete;

  TFFMpegDll& Dll() const { return *m_dll; }
  QxMediaFile& Handle() const { return *m_handle; }
  TMediaFileData& Data() { return m_data; }
  const TMediaFileData& Data() const { return m_data; }
  const std::string& FormatName() const { return m_formatName; }
  bool HasVideo() const { return m_handle->VideoStream >= 0; }

  // Frames per second (numerator / denominator after correction).
  double FrameRate() const;
  // The start time in µs that stamps are counted from (0 when none).
  int64_t StartTime() const;
  // The video stamp of frame `index` (rounded).
  int64_t StampOfIndex(int64_t index) const;
  // The frame index a video stamp falls on (rounded); -1 for no stamp.
  int64_t IndexOfStamp(int64_t stamp) const;
  // Counts frame indices from the first picture when it lies after the
  // start time (a container whose first picture comes a frame late).
  void SetFirstPicture(int64_t stamp);
  // The clip's length in ms from its duration.
  double DurationMs() const { return static_cast<double>(m_handle->Duration) / 1000.0; }

private:
  TFFMpegMedia(TRefPtr<TFFMpegDll> dll, QxMediaFile* handle);
  // The corrections made after opening.
  void Settle();

  TRefPtr<TFFMpegDll> m_dll;
  QxMediaFile* m_handle;
  TMediaFileData m_data;
  std::string m_formatName;
};

} // namespace qx
