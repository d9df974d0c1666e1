// The OGG decoder plug-in: reads Ogg Vorbis through libvorbisfile from the
// player's stream and delivers 16-bit PCM of the file's channels and rate.
#include "Plugins/qxSoundDecoder.h"

#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <new>

#define QX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Bytes asked of libvorbisfile per Decode call.
constexpr int kDecodePiece = 8192;

struct TSource {
  void* Stream;
  const QxSoundStreamFunctions* Functions;
};

size_t ReadSource(void* buffer, size_t size, size_t count, void* source) {
  const auto* s = static_cast<TSource*>(source);
  if (size == 0)
    return 0;
  const int64_t got = s->Functions->Read64(s->Stream, buffer, static_cast<int64_t>(size * count));
  return got <= 0 ? 0 : static_cast<size_t>(got) / size;
}

int SeekSource(void* source, ogg_int64_t offset, int origin) {
  const auto* s = static_cast<TSource*>(source);
  return s->Functions->Seek64(s->Stream, offset, origin) < 0 ? -1 : 0;
}

long TellSource(void* source) {
  const auto* s = static_cast<TSource*>(source);
  return static_cast<long>(s->Functions->Position64(s->Stream));
}

// The player owns the stream.
int CloseSource(void*) { return 0; }

const ov_callbacks kCallbacks = {ReadSource, SeekSource, CloseSource, TellSource};

bool OpenVorbis(TSource& source, OggVorbis_File& file) {
  if (source.Functions->Seek64(source.Stream, 0, SEEK_SET) < 0)
    return false;
  return ov_open_callbacks(&source, &file, nullptr, 0, kCallbacks) == 0;
}

struct TDecoder {
  TSource Source;
  OggVorbis_File File;
  QxSoundWriteFunc Write;
  void* User;
  int Channels;
};

} // namespace

QX_EXPORT uint8_t GetMediaInfo(void* stream, const QxSoundStreamFunctions* functions, int32_t* lengthMs,
                               int32_t* dataOffset, QxSoundFormat* format) {
  TSource source{stream, functions};
  OggVorbis_File file;
  if (!OpenVorbis(source, file))
    return 0;
  const vorbis_info* info = ov_info(&file, -1);
  const double seconds = ov_time_total(&file, -1);
  const bool usable = info && info->channels > 0 && info->channels <= 8 && info->rate > 0 && seconds >= 0;
  if (usable) {
    *lengthMs = static_cast<int32_t>(std::lround(seconds * 1000.0));
    *dataOffset = 0;
    format->FormatTag = 1;
    format->Channels = static_cast<uint16_t>(info->channels);
    format->SamplesPerSec = static_cast<uint32_t>(info->rate);
    format->BitsPerSample = 16;
    format->BlockAlign = static_cast<uint16_t>(2 * info->channels);
    format->AvgBytesPerSec = format->BlockAlign * format->SamplesPerSec;
    format->ExtraSize = 0;
  }
  ov_clear(&file);
  return usable ? 1 : 0;
}

QX_EXPORT void* CreateDecoder(void* stream, const QxSoundStreamFunctions* functions, QxSoundWriteFunc write, void* user,
                              int32_t) {
  auto* decoder = new (std::nothrow) TDecoder{{stream, functions}, {}, write, user, 0};
  if (!decoder)
    return nullptr;
  if (!OpenVorbis(decoder->Source, decoder->File)) {
    delete decoder;
    return nullptr;
  }
  const vorbis_info* info = ov_info(&decoder->File, -1);
  decoder->Channels = info ? info->channels : 0;
  return decoder;
}

QX_EXPORT int32_t Decode(void* handle) {
  auto* decoder = static_cast<TDecoder*>(handle);
  char buffer[kDecodePiece];
  // A hole in the data (a lost page) is skipped; the end or an error gives 0.
  for (int attempt = 0; attempt < 64; ++attempt) {
    int section = 0;
    const long got = ov_read(&decoder->File, buffer, kDecodePiece, 0, 2, 1, &section);
    if (got == OV_HOLE)
      continue;
    if (got <= 0)
      return 0;
    // A chained file whose later part has other channels is not played on.
    const vorbis_info* info = ov_info(&decoder->File, section);
    if (!info || info->channels != decoder->Channels)
      return 0;
    decoder->Write(decoder->User, buffer, static_cast<int32_t>(got));
    return static_cast<int32_t>(got);
  }
  return 0;
}

QX_EXPORT void SetPosition(void* handle, int32_t* ms) {
  auto* decoder = static_cast<TDecoder*>(handle);
  const double total = ov_time_total(&decoder->File, -1);
  double seconds = *ms < 0 ? 0.0 : *ms / 1000.0;
  if (total >= 0 && seconds > total)
    seconds = total;
  ov_time_seek(&decoder->File, seconds);
  *ms = static_cast<int32_t>(std::lround(ov_time_tell(&decoder->File) * 1000.0));
}

QX_EXPORT void DestroyDecoder(void* handle) {
  auto* decoder = static_cast<TDecoder*>(handle);
  if (!decoder)
    return;
  ov_clear(&decoder->File);
  delete decoder;
}

QX_EXPORT uint8_t isFileProtected(void*, const QxSoundStreamFunctions*) { return 0; }
