/* The C interface of the video-decoding library: the player loads the
   library at run time and looks every function below up by name. A media
   file is read through the stream function table the caller hands over
   (packed clips are never extracted to disk); its video frames are decoded
   into frame buffers and its sound into 16-bit PCM. Three functions create
   video and sound files (H.264/AAC, VP9/Opus, ...) from frames and samples.
   Plain C with the cdecl calling convention, so that a library built by any
   compiler can be loaded. */
#ifndef QX_FFMPEG_LIB_H
#define QX_FFMPEG_LIB_H

#include "Plugins/qxSoundDecoder.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define QX_FF_CALL __cdecl
#else
#define QX_FF_CALL
#endif

/* --- Stream function table ----------------------------------------------
   The library reads the caller's stream through the same eight-function
   table the sound decoder plug-ins get (Plugins/qxSoundDecoder.h); it calls
   the 64-bit functions. */
typedef QxSoundStreamFunctions QxStreamFunctions;

/* --- Numbers ----------------------------------------------------------- */

/* "No time stamp" and "no start time". */
#define QX_FF_NO_PTS INT64_MIN

/* Codec numbers written to QxMediaFile.CodecId. */
#define QX_FF_CODEC_OTHER 0
#define QX_FF_CODEC_MPEG1 1
#define QX_FF_CODEC_MPEG2 2
#define QX_FF_CODEC_MJPEG 8
#define QX_FF_CODEC_MPEG4 13
#define QX_FF_CODEC_MSMPEG4V1 15
#define QX_FF_CODEC_MSMPEG4V2 16
#define QX_FF_CODEC_MSMPEG4V3 17
#define QX_FF_CODEC_WMV1 18
#define QX_FF_CODEC_WMV2 19
#define QX_FF_CODEC_H264 28
#define QX_FF_CODEC_THEORA 31
#define QX_FF_CODEC_XVID 63
#define QX_FF_CODEC_VP8 139
#define QX_FF_CODEC_VP9 167
#define QX_FF_CODEC_HEVC 173
#define QX_FF_CODEC_AV1 226

/* Pixel formats of frame buffers. 0 is planar 8-bit 4:2:0 (Y, then U and V
   at half width and height); 2 is packed 24-bit R, G, B; 3 is packed 32-bit
   B, G, R, A. A decoder whose pictures are in another layout reports
   QX_FF_PIX_NATIVE; its frames are converted with ConvertFrame. */
#define QX_FF_PIX_YUV420P 0
#define QX_FF_PIX_RGB24 2
#define QX_FF_PIX_BGRA 3
#define QX_FF_PIX_NATIVE 1000

/* Frame flags answered by GetFrameInfo. */
#define QX_FF_FRAME_INTERLACED 1
#define QX_FF_FRAME_TOP_FIELD_FIRST 2
#define QX_FF_FRAME_KEY 4

/* SeekFile flags. Every seek lands at or before its stamp (BACKWARD is
   implied and kept for callers that pass it); ANY allows any frame; EXACT checks where the seek landed and seeks
   further back until the stream's first packet (and the video's first
   picture) lies at or before the stamp. With stream -1 the stamp is in
   microseconds. After a seek of the sound stream or by time, decoded sound
   before the target is dropped: the target of an EXACT seek, or of the
   first seek by time since the last Flush (a seek by time repeated at
   earlier times to land before its target keeps the first target). */
#define QX_FF_SEEK_BACKWARD 1
#define QX_FF_SEEK_ANY 4
#define QX_FF_SEEK_EXACT 8

/* The size of the audio area the caller allocates (QxMediaFile.AudioArea);
   GetNextAudioFrame never writes more. */
#define QX_FF_AUDIO_AREA_SIZE 192000

/* --- Media handle -------------------------------------------------------
   Written by the library at open unless noted. Times in microseconds;
   stamps in the units of the time base (numerator / denominator seconds). */
typedef struct QxMediaFile {
  int32_t FrameRateNum; /* the video's mean frame rate */
  int32_t FrameRateDen;
  int64_t StartTime;   /* the video stream's first time (else the file's); QX_FF_NO_PTS = none */
  int32_t VideoStream; /* stream index, -1 = no video */
  int64_t Duration;    /* of the video stream when known, else of the file */
  int32_t CodecId;     /* QX_FF_CODEC_... */
  int32_t Width;
  int32_t Height;
  int32_t StreamRateNum; /* the stream's own (real base) frame rate */
  int32_t StreamRateDen;
  int32_t TicksPerFrame; /* stream-rate ticks per frame, 0 = not known */
  int32_t TimeBaseNum;   /* of the video stream */
  int32_t TimeBaseDen;
  int32_t AudioStreamCount;
  uint8_t* AudioArea;       /* set by the caller before GetNextAudioFrame */
  int32_t PixelFormat;      /* the decoder's: QX_FF_PIX_YUV420P or QX_FF_PIX_NATIVE */
  char FileTag[64];         /* the file's "comment" text, cut, zero-terminated */
  int64_t FrameCount;       /* written by the caller */
  void* PlayerData;         /* the caller's own per-file data */
  int32_t DisplayAspectNum; /* the picture's display aspect, 0 when not known */
  int32_t DisplayAspectDen;
  int32_t SampleAspectNum; /* the pixels' aspect, 0 when not known */
  int32_t SampleAspectDen;
  int32_t AudioStream;      /* index of the opened audio stream, -1 = none */
  int32_t AudioTimeBaseNum; /* of the opened audio stream */
  int32_t AudioTimeBaseDen;
  void* Internal; /* the library's own state */
} QxMediaFile;

/* A frame buffer. Data and Pitch describe the planes (one for packed
   formats); Pts is the frame's stamp in the video time base and Duration
   its length in the same units (0 = not known). */
typedef struct QxFrameBuffer {
  int32_t Width;
  int32_t Height;
  int32_t PixelFormat;
  uint8_t* Data[4];
  int32_t Pitch[4];
  int64_t Pts;
  int64_t Duration;
  int32_t Flags; /* QX_FF_FRAME_... */
  void* Internal;
} QxFrameBuffer;

/* The sound GetAudioInfo describes: interleaved signed 16-bit samples;
   1, 2 or 6 channels. */
typedef struct QxAudioFormat {
  int32_t SampleRate;
  int32_t Channels;
  int32_t BitsPerSample;
} QxAudioFormat;

/* --- Decoding ------------------------------------------------------------ */

/* Opens a media file through the stream table; the name only helps to
   guess the container. NULL when the file cannot be read as media. The
   stream and table must stay valid until CloseMediaFile. */
typedef QxMediaFile*(QX_FF_CALL* QxOpenMediaFileFunc)(const char* name, void* stream,
                                                      const QxStreamFunctions* functions);
/* Opens a media file on disk by name. */
typedef QxMediaFile*(QX_FF_CALL* QxOpenMediaFile2Func)(const char* fileName);
typedef void(QX_FF_CALL* QxCloseMediaFileFunc)(QxMediaFile* media);
/* A frame buffer that takes decoded pictures as the decoder made them
   (no pixel memory of its own). */
typedef QxFrameBuffer*(QX_FF_CALL* QxAllocBufferFunc)(QxMediaFile* media, int32_t pixelFormat);
/* A frame buffer of the video's size with pixel memory: 0 = YUV 4:2:0,
   2 = 24-bit RGB, 3 = 32-bit BGRA. */
typedef QxFrameBuffer*(QX_FF_CALL* QxAllocBufferWithDataFunc)(QxMediaFile* media, int32_t pixelFormat);
typedef void(QX_FF_CALL* QxFreeBufferFunc)(QxFrameBuffer* buffer);
/* Converts the source buffer's picture into the destination buffer's
   memory (its size and format). 0 = done, negative = failure. */
typedef int32_t(QX_FF_CALL* QxConvertFrameFunc)(QxMediaFile* media, QxFrameBuffer* source, QxFrameBuffer* destination,
                                                int32_t sourceFormat, int32_t destinationFormat);
/* Decodes the next picture into the buffer. Returns 0 when a picture was
   delivered, 1 at the end of the stream, negative on an error. A nonzero
   flag keeps pictures the decoder marks as damaged. */
typedef int32_t(QX_FF_CALL* QxGetNextVideoFrameFunc)(QxMediaFile* media, QxFrameBuffer* buffer, int32_t flag);
/* Seeks stream `streamIndex` (-1 = by microseconds) to a stamp; negative =
   failure. */
typedef int32_t(QX_FF_CALL* QxSeekFileFunc)(QxMediaFile* media, int32_t streamIndex, int64_t stamp, int32_t flags);
/* Writes the container's name (its demuxer's name, e.g. "matroska,webm")
   into the buffer (when given, cut to size - 1 and zero-terminated) and
   returns its full length. `reserved` must be 0. */
typedef int32_t(QX_FF_CALL* QxGetFormatNameFunc)(QxMediaFile* media, char* buffer, int32_t size, int32_t reserved);
/* Clear the sound decoder (Flush) or the picture decoder (FlushVideo) and
   the packets read ahead; called after a seek. */
typedef void(QX_FF_CALL* QxFlushFunc)(QxMediaFile* media);
typedef void(QX_FF_CALL* QxFlushVideoFunc)(QxMediaFile* media);
typedef int32_t(QX_FF_CALL* QxGetFrameInfoFunc)(QxFrameBuffer* buffer);
/* The decode and presentation stamps of the packet the buffer's picture
   came from. */
typedef void(QX_FF_CALL* QxGetDtsPtsFunc)(QxFrameBuffer* buffer, int64_t* dts, int64_t* pts);
/* The stamps of the last packet read from a stream. */
typedef void(QX_FF_CALL* QxGetDtsPts2Func)(QxMediaFile* media, int32_t streamIndex, int64_t* dts, int64_t* pts);
/* The sound of audio stream `selector` (0 = the first) as it will be
   delivered. Returns 1 when there is such a stream, 0 otherwise. */
typedef int32_t(QX_FF_CALL* QxGetAudioInfoFunc)(QxMediaFile* media, int32_t selector, QxAudioFormat* format);
/* Opens the decoder of audio stream `selector`; > 0 = opened. */
typedef int32_t(QX_FF_CALL* QxOpenAudioStreamFunc)(QxMediaFile* media, int32_t selector);
typedef void(QX_FF_CALL* QxCloseAudioStreamFunc)(QxMediaFile* media);
/* Decodes sound into `area` (at most QX_FF_AUDIO_AREA_SIZE bytes) and
   stores the byte count. Returns 0 when bytes were written, 1 at the end,
   negative on an error. */
typedef int32_t(QX_FF_CALL* QxGetNextAudioFrameFunc)(QxMediaFile* media, uint8_t* area, int32_t* byteCount);
/* One step of a sound seek: decodes the next sound packet and keeps what
   lies at or after the seek target for GetNextAudioFrame. `mode` 0 or 1
   (1 after the first step). */
typedef void(QX_FF_CALL* QxAfterAudioSeekFunc)(QxMediaFile* media, int32_t mode);
/* The stamp of the last packet read from a stream; when none was read since
   the last seek, the next one is read ahead. QX_FF_NO_PTS = none. */
typedef int64_t(QX_FF_CALL* QxGetCurrentPtsFunc)(QxMediaFile* media, int32_t streamIndex);

/* --- File creation ------------------------------------------------------- */

/* Pictures handed to WriteVideoFrame: Width x Height pixels of
   InputFormat (QX_FF_PIX_BGRA, QX_FF_PIX_RGB24 or QX_FF_PIX_YUV420P with
   its planes one after the other, pitch = width), encoded at a constant
   frame rate as 4:2:0 with BT.709 limited-range tags. Codec NULL picks the
   container's usual one (H.264 for MP4, MOV and Matroska, VP9 for WebM).
   Crf < 0 and Preset NULL leave the encoder's defaults; Threads 0 = all
   cores. */
typedef struct QxVideoFileParams {
  int32_t Width;
  int32_t Height;
  int32_t FrameRateNum;
  int32_t FrameRateDen;
  int32_t InputFormat;
  const char* Codec;
  int32_t Crf;
  const char* Preset;
  int32_t Threads;
} QxVideoFileParams;

/* Sound handed to WriteAudioSamples: interleaved signed 16-bit samples.
   Codec NULL picks the container's usual one (AAC, Opus for WebM, PCM for
   WAVE); BitRate 0 = the encoder's default. */
typedef struct QxAudioFileParams {
  int32_t SampleRate;
  int32_t Channels;
  const char* Codec;
  int32_t BitRate;
} QxAudioFileParams;

typedef struct QxOutputFile QxOutputFile;

/* Create a file (the container follows the name's extension: .mp4, .mov,
   .mkv, .webm, .avi, .wav, ...). NULL when the file, the container or an
   encoder cannot be made; `error` (when given) receives the reason, cut to
   errorSize - 1 characters. */
typedef QxOutputFile*(QX_FF_CALL* QxCreateVideoFileFunc)(const char* fileName, const QxVideoFileParams* video,
                                                         char* error, int32_t errorSize);
typedef QxOutputFile*(QX_FF_CALL* QxCreateAudioFileFunc)(const char* fileName, const QxAudioFileParams* audio,
                                                         char* error, int32_t errorSize);
typedef QxOutputFile*(QX_FF_CALL* QxCreateVideoAudioFileFunc)(const char* fileName, const QxVideoFileParams* video,
                                                              const QxAudioFileParams* audio, char* error,
                                                              int32_t errorSize);
/* Encodes the next picture (frame k is shown at k / frame rate). 0 = done. */
typedef int32_t(QX_FF_CALL* QxWriteVideoFrameFunc)(QxOutputFile* file, const uint8_t* pixels, int32_t pitch);
/* Encodes `frames` sample frames (frames x channels values). 0 = done. */
typedef int32_t(QX_FF_CALL* QxWriteAudioSamplesFunc)(QxOutputFile* file, const int16_t* samples, int32_t frames);
/* Drains the encoders, finishes the file and frees it. With `abandon`
   nonzero the file is closed without draining and deleted. 0 = the file
   is complete. */
typedef int32_t(QX_FF_CALL* QxCloseOutputFileFunc)(QxOutputFile* file, int32_t abandon);

#ifdef __cplusplus
}
#endif

#endif
