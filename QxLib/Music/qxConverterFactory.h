// The converter factory: makes the converter for a sound file from its media
// information, and, through a second entry, the composite converter for a
// composite description (a name that opens no stream).
//
// Kinds 9 (composite) and 10 (video-decoding library) are made by units that
// register themselves here at start-up, so that this unit depends on
// neither: the composite mixer calls SetCompositeConverterMaker, the
// video-library binding calls SetConverterMaker(TMediaKind::FFmpeg, ...)
// (and SetFallbackMediaProbe of qxMediaInfo.h).
#pragma once

#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/Music/qxStreamWrapper.h"
#include "QxLib/Music/qxWavConverter.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qx {

// Makes a converter of one kind for a stream (borrowed by the converter).
using TConverterMaker =
    std::function<std::unique_ptr<TWavConverter>(TStream& stream, const std::string& name, const TMediaInfo& info)>;

// The converter for a stream by its media information's kind, not yet opened;
// nullptr when the kind needs a library that is not loaded (plug-in slots,
// the video-decoding library). Kinds outside 1 ... 10, and kind 9 (which
// opens no stream: see CreateCompositeConverter), are assertion failures.
std::unique_ptr<TWavConverter> CreateConverter(TStream& stream, const std::string& name, const TMediaInfo& info);

// Installs the maker of a kind that another unit provides (FFmpeg); an empty
// maker removes it. Returns the previous one.
TConverterMaker SetConverterMaker(TMediaKind kind, TConverterMaker maker);

// What the composite mixer provides: the marker test, the media information
// of a description (kind 9, the mixing format, its duration) and the
// converter, which opens the items' files through `files`.
struct TCompositeConverterMaker {
  std::function<bool(const std::string& name)> IsComposite;
  std::function<std::optional<TMediaInfo>(const std::string& description)> MediaInfo;
  std::function<std::unique_ptr<TWavConverter>(const std::string& description, const TSoundFileAccess& files)> Create;
};

// Installs the composite mixer's functions; returns the previous ones.
TCompositeConverterMaker SetCompositeConverterMaker(TCompositeConverterMaker maker);

// Whether the name is a composite description (false while no composite
// mixer is installed).
bool IsCompositeName(const std::string& name);
// The media information of a composite description; nothing when it cannot
// be parsed or no composite mixer is installed.
std::optional<TMediaInfo> CompositeMediaInfo(const std::string& description);
// The composite converter for a description, not yet opened; nullptr when no
// composite mixer is installed.
std::unique_ptr<TWavConverter> CreateCompositeConverter(const std::string& description, const TSoundFileAccess& files);

// Opens the stream a converter reads, as a channel does: an MPEG stream with
// audio data after a header (ID3v2 tag, WAVE chunks) through a
// TMp3ShiftStream beginning at the data, with `info`'s data offset set to 0
// to match; any other kind as it is. nullptr when the file cannot be opened.
std::unique_ptr<TStream> OpenConverterStream(const std::string& name, TMediaInfo& info, const TSoundFileAccess& files);

// Opens a sound file as a channel does: through the stream access (an MPEG
// stream inside WAVE through the shifting stream), media information,
// converter from the factory, Open. One object owns the stream and the
// converter; the stream goes back through the access's free function.
class TOpenedSound {
public:
  // Raises EQxError with a clear message when the file cannot be opened, its
  // kind is unknown or the converter cannot open it.
  TOpenedSound(const std::string& name, const TSoundFileAccess& files);
  ~TOpenedSound();
  TOpenedSound(const TOpenedSound&) = delete;
  TOpenedSound& operator=(const TOpenedSound&) = delete;

  const TMediaInfo& Info() const { return m_info; }
  TWavConverter& Converter() { return *m_converter; }

private:
  TSoundFileAccess m_files;
  TMediaInfo m_info;
  std::unique_ptr<TStream> m_stream;
  std::unique_ptr<TWavConverter> m_converter;
};

} // namespace qx
