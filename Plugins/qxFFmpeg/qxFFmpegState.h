// The library's own state behind a media handle: the demuxer reading the
// caller's stream, the packets read ahead per stream, the picture and sound
// decoders, the picture converter and the sound resampler.
#pragma once

#include "Plugins/qxFFmpeg/qxFFmpegLib.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#define QX_FF_EXPORT extern "C" __attribute__((visibility("default")))

namespace qxff {

// Pictures larger than this are refused: a damaged or hostile header must
// not make the decoder allocate gigabytes.
constexpr int32_t kMaxSide = 8192;
constexpr int64_t kMaxPixels = 8192LL * 4352;
// Packets kept read ahead per stream; older ones are dropped past it.
constexpr size_t kMaxQueued = 1024;
// Packets read in one search for a packet of one stream.
constexpr int kMaxPacketsPerSearch = 20000;

struct TPacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;

struct TFrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

struct TCodecDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using TCodecPtr = std::unique_ptr<AVCodecContext, TCodecDeleter>;

// The stamps of the last packet read from one stream since the last seek.
struct TStreamStamps {
  int64_t Dts = QX_FF_NO_PTS;
  int64_t Pts = QX_FF_NO_PTS;
  bool Read = false;
};

struct TMediaState {
  ~TMediaState();

  void* Stream = nullptr;
  const QxStreamFunctions* Functions = nullptr;
  AVIOContext* Io = nullptr;
  AVIOContext* DiskIo = nullptr; // a disk file opened by name instead

  AVFormatContext* Format = nullptr;
  std::string FormatName;

  std::vector<std::deque<TPacketPtr>> Queues; // per stream
  std::vector<TStreamStamps> Stamps;          // per stream
  bool DemuxEnd = false;

  // Picture decoding.
  int VideoIndex = -1;
  TCodecPtr Video;
  bool VideoDraining = false;
  SwsContext* Scaler = nullptr;
  // A decoded picture of another size or layout than the handle announces,
  // brought to the announced one.
  // The first picture decoded after an exact seek, handed out next.
  TFramePtr PendingVideo;
  int DecodeErrors = 0;

  // Sound decoding.
  std::vector<int> AudioStreams; // indices of the sound streams
  TCodecPtr Audio;
  int AudioIndex = -1;
  bool AudioDraining = false;
  SwrContext* Resampler = nullptr;
  int OutChannels = 0;
  int OutRate = 0;
  // Decoded sound not yet handed out (16-bit interleaved).
  std::vector<uint8_t> PendingAudio;
  // Sound before this stamp (sound time base) is dropped after a seek.
  int64_t AudioSkipUntil = QX_FF_NO_PTS;
  // The stamp where the next decoded sample lies, when known.
  int64_t AudioNextStamp = QX_FF_NO_PTS;

  // Whether the packets of a stream are kept for a decoder.
  bool Wanted(int index) const;
  // The next packet of `index`, read ahead or from the demuxer; packets of
  // other wanted streams are queued on the way, the rest dropped. Null at
  // the end (or after too many packets of other streams).
  TPacketPtr NextPacket(int index);
  // The first packet of `index` left in its queue (read ahead when needed),
  // or null.
  const AVPacket* PeekPacket(int index);
  // Forgets every packet read ahead and the stamps since the last seek.
  void DropQueues();

private:
  // Reads one packet from the demuxer into its queue (recording its
  // stamps); false at the end.
  bool ReadOne();
};

TMediaState& StateOf(QxMediaFile* media);

// The colour matrix and range a picture is coded with.
struct TColorTags {
  AVColorSpace Space = AVCOL_SPC_UNSPECIFIED;
  AVColorRange Range = AVCOL_RANGE_UNSPECIFIED;
};

// A frame buffer's own state: a frame holding a decoded picture (AllocBuffer)
// or pixel memory of its own (AllocBufferWithData).
struct TBufferState {
  TFramePtr Frame;
  std::vector<uint8_t> Memory;
  int64_t PacketDts = QX_FF_NO_PTS;
  int64_t PacketPts = QX_FF_NO_PTS;
  TColorTags Color;
};

// The AVPixelFormat of one of the library's pixel format numbers (the
// decoder's own for QX_FF_PIX_NATIVE).
AVPixelFormat ToAvFormat(int32_t format, const QxMediaFile* media);

// Clears both decoders and what they hold, before a seek.
void ResetDecoders(TMediaState& state);

// Opens the picture decoder on first use; false when there is none.
bool OpenVideoDecoder(TMediaState& state);
// Decodes the next picture (the one held after an exact seek first); damaged
// pictures are skipped unless `keepDamaged`. 0 = a picture, 1 = the end,
// negative = an error.
int DecodePicture(TMediaState& state, AVFrame& decoded, bool keepDamaged);

// Copies `text` into a caller's buffer of `size` bytes, cut and
// zero-terminated.
void CopyText(const std::string& text, char* buffer, int32_t size);

} // namespace qxff
