/* The C interface of the sound decoder plug-ins (the OGG and WMA libraries
   that a show carries). The player loads a library at run time, looks up the
   functions below by name and hands each call the sound file's stream with a
   table of functions that read it. Plain C so that a library built by any
   compiler can be loaded. */
#ifndef QX_SOUND_DECODER_H
#define QX_SOUND_DECODER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Access to a sound file through the player's stream access (every call is
   serialised with all other sound file reads of the process). Origins: 0 =
   start, 1 = current position, 2 = end. Reads return the number of bytes
   read: 0 at the end or on failure; a 64-bit read of more than 104857600 bytes is
   refused (it reads nothing). Seeks return the new position. */
typedef struct QxSoundStreamFunctions {
  int32_t (*Read)(void* stream, void* buffer, int32_t count);
  int64_t (*Position)(void* stream);
  int64_t (*Seek)(void* stream, int32_t offset, int32_t origin);
  int64_t (*Size)(void* stream);
  int64_t (*Read64)(void* stream, void* buffer, int64_t count);
  int64_t (*Position64)(void* stream);
  int64_t (*Seek64)(void* stream, int64_t offset, int32_t origin);
  int64_t (*Size64)(void* stream);
} QxSoundStreamFunctions;

/* The 18-byte WAVE format header, without padding. */
#pragma pack(push, 1)
typedef struct QxSoundFormat {
  uint16_t FormatTag;
  uint16_t Channels;
  uint32_t SamplesPerSec;
  uint32_t AvgBytesPerSec;
  uint16_t BlockAlign;
  uint16_t BitsPerSample;
  uint16_t ExtraSize;
} QxSoundFormat;
#pragma pack(pop)

/* Receives decoded PCM in the format GetMediaInfo reported. */
typedef void (*QxSoundWriteFunc)(void* user, const void* data, int32_t count);

/* Nonzero when the library reads this stream; then fills the length in ms,
   the stream position of the audio data and the PCM format that Decode will
   deliver. */
typedef uint8_t (*QxGetMediaInfoFunc)(void* stream, const QxSoundStreamFunctions* functions, int32_t* lengthMs,
                                      int32_t* dataOffset, QxSoundFormat* format);
/* A decoder for the stream; 0 on failure. `reserved` is 0. The stream and
   the function table stay valid until DestroyDecoder. */
typedef void* (*QxCreateDecoderFunc)(void* stream, const QxSoundStreamFunctions* functions, QxSoundWriteFunc write,
                                     void* user, int32_t reserved);
/* Decodes the next part and hands it to the write function (nothing at the
   end); returns the bytes written. */
typedef int32_t (*QxDecodeFunc)(void* decoder);
/* Seeks to *ms and writes back the position reached, in ms. */
typedef void (*QxSetPositionFunc)(void* decoder, int32_t* ms);
typedef void (*QxDestroyDecoderFunc)(void* decoder);
/* Nonzero when the stream is protected against copying; the player does not
   call it. */
typedef uint8_t (*QxIsFileProtectedFunc)(void* stream, const QxSoundStreamFunctions* functions);

#define QX_GET_MEDIA_INFO_NAME "GetMediaInfo"
#define QX_CREATE_DECODER_NAME "CreateDecoder"
#define QX_DESTROY_DECODER_NAME "DestroyDecoder"
#define QX_DECODE_NAME "Decode"
#define QX_SET_POSITION_NAME "SetPosition"
#define QX_IS_FILE_PROTECTED_NAME "isFileProtected"

#ifdef __cplusplus
}
#endif

#endif
