#include "QxLib/Music/qxDllConverter.h"

#include "QxLib/Music/qxStreamWrapper.h"

#include <cmath>

namespace qx {

TDllConverter::TDllConverter(TStream& stream, std::shared_ptr<TDecoderLibrary> library)
    : TWavConverter(&stream), m_library(std::move(library)) {
  SetReadSize(kDefaultReadSize);
}

TDllConverter::~TDllConverter() {
  if (m_decoder)
    m_library->DestroyDecoder(m_decoder);
}

bool TDllConverter::Open(const TMediaInfo& info) {
  if (!m_decoder) {
    m_decoder = m_library->CreateDecoder(Stream(), &TStreamWrapperClass::Instance().PluginFunctions(), &Write, this, 0);
    if (!m_decoder)
      return false;
  }
  return TWavConverter::Open(info);
}

void TDllConverter::Write(void* user, const void* data, int32_t count) {
  auto* self = static_cast<TDllConverter*>(user);
  if (count <= 0 || self->m_overrun)
    return;
  try {
    self->Output().Append(data, count);
  } catch (const std::exception&) {
    // A plug-in that writes without end: stop taking its output.
    self->m_overrun = true;
  }
}

void TDllConverter::Seek(double ms) {
  InputBuffer().Clear();
  Output().Clear();
  m_overrun = false;
  int32_t position = static_cast<int32_t>(std::lround(std::clamp(ms, 0.0, 2147483647.0)));
  if (m_decoder)
    m_library->SetPosition(m_decoder, &position);
  SetPosition(position);
}

bool TDllConverter::Convert(TLocalBuffer&) {
  if (!m_decoder || m_overrun)
    return false;
  const int32_t before = Output().Used();
  m_library->Decode(m_decoder);
  const int32_t added = Output().Used() - before;
  AdvancePosition(added);
  return added > 0;
}

} // namespace qx
