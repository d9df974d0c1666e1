#include "QxLib/Music/qxConverterFactory.h"

#include "QxLib/Music/qxAdpcmConverter.h"
#include "QxLib/Music/qxDecoderPlugins.h"
#include "QxLib/Music/qxDllConverter.h"
#include "QxLib/Music/qxMpegConverter.h"
#include "QxLib/qxExceptions.h"

#include <mutex>

namespace qx {

namespace {

std::mutex g_makersLock;
TConverterMaker g_ffmpegMaker;
TCompositeConverterMaker g_compositeMaker;

TCompositeConverterMaker CompositeMaker() {
  std::lock_guard lock(g_makersLock);
  return g_compositeMaker;
}

} // namespace

std::unique_ptr<TWavConverter> CreateConverter(TStream& stream, const std::string& name, const TMediaInfo& info) {
  switch (info.Kind) {
  case TMediaKind::WavePcm:
  case TMediaKind::WaveFloat: return std::make_unique<TWavConverter>(&stream);
  case TMediaKind::WaveAdpcm: return std::make_unique<TAdpcmConverter>(stream);
  case TMediaKind::Mpeg: return std::make_unique<TMpegConverter>(stream);
  case TMediaKind::Wma:
  case TMediaKind::Ogg:
  case TMediaKind::Ape:
  case TMediaKind::Aac: {
    std::shared_ptr<TDecoderLibrary> library = TDecoderPlugins::Instance().Library(info.Kind);
    if (!library)
      return nullptr;
    return std::make_unique<TDllConverter>(stream, std::move(library));
  }
  case TMediaKind::FFmpeg: {
    TConverterMaker maker;
    {
      std::lock_guard lock(g_makersLock);
      maker = g_ffmpegMaker;
    }
    return maker ? maker(stream, name, info) : nullptr;
  }
  default: break;
  }
  AssertionFailed("Unknown sound kind " + std::to_string(static_cast<int>(info.Kind)), __FILE__, __LINE__);
}

TConverterMaker SetConverterMaker(TMediaKind kind, TConverterMaker maker) {
  QX_ASSERT(kind == TMediaKind::FFmpeg, "Only the video-library converter is installed from outside");
  std::lock_guard lock(g_makersLock);
  std::swap(g_ffmpegMaker, maker);
  return maker;
}

TCompositeConverterMaker SetCompositeConverterMaker(TCompositeConverterMaker maker) {
  std::lock_guard lock(g_makersLock);
  std::swap(g_compositeMaker, maker);
  return maker;
}

bool IsCompositeName(const std::string& name) {
  const TCompositeConverterMaker maker = CompositeMaker();
  return maker.IsComposite && maker.IsComposite(name);
}

std::optional<TMediaInfo> CompositeMediaInfo(const std::string& description) {
  const TCompositeConverterMaker maker = CompositeMaker();
  if (!maker.MediaInfo)
    return std::nullopt;
  return maker.MediaInfo(description);
}

std::unique_ptr<TWavConverter> CreateCompositeConverter(const std::string& description, const TSoundFileAccess& files) {
  const TCompositeConverterMaker maker = CompositeMaker();
  if (!maker.Create)
    return nullptr;
  return maker.Create(description, files);
}

std::unique_ptr<TStream> OpenConverterStream(const std::string& name, TMediaInfo& info, const TSoundFileAccess& files) {
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  if (info.Kind == TMediaKind::Mpeg && info.DataOffset > 0) {
    std::unique_ptr<TStream> stream = access.OpenShifted(name, files.Open, info.DataOffset);
    if (stream)
      info.DataOffset = 0;
    return stream;
  }
  return access.Open(name, files.Open);
}

TOpenedSound::TOpenedSound(const std::string& name, const TSoundFileAccess& files) : m_files(files) {
  if (IsCompositeName(name)) {
    std::optional<TMediaInfo> info = CompositeMediaInfo(name);
    if (!info)
      throw EQxError("Cannot read the composite description");
    m_info = *info;
    m_converter = CreateCompositeConverter(name, files);
    if (!m_converter || !m_converter->Open(m_info))
      throw EQxError("Cannot open the composite description");
    return;
  }
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  std::unique_ptr<TStream> probe = access.Open(name, files.Open);
  if (!probe)
    throw EQxError("Cannot open \"" + name + "\"");
  std::optional<TMediaInfo> info = ReadMediaInfo(*probe, name);
  access.Free(std::move(probe), files.Free);
  if (!info)
    throw EQxError("Unknown sound file kind: \"" + name + "\"");
  m_info = *info;
  TMediaInfo converterInfo = m_info;
  m_stream = OpenConverterStream(name, converterInfo, files);
  if (!m_stream)
    throw EQxError("Cannot open \"" + name + "\"");
  m_converter = CreateConverter(*m_stream, name, converterInfo);
  if (!m_converter)
    throw EQxError("No decoder for \"" + name + "\" (kind " + std::to_string(static_cast<int>(m_info.Kind)) + ")");
  if (!m_converter->Open(converterInfo))
    throw EQxError("Cannot decode \"" + name + "\"");
}

TOpenedSound::~TOpenedSound() {
  m_converter.reset();
  if (m_stream)
    TStreamWrapperClass::Instance().Free(std::move(m_stream), m_files.Free);
}

} // namespace qx
