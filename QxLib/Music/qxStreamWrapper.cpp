#include "QxLib/Music/qxStreamWrapper.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"

#include <algorithm>

namespace qx {

namespace {

// A sound file's stream whose every operation takes the one lock.
class TLockedStream : public TStream {
public:
  explicit TLockedStream(std::unique_ptr<TStream> source) : m_source(std::move(source)) {}

  int64_t GetPosition() override {
    std::lock_guard lock(Access().Lock());
    return m_source->GetPosition();
  }
  void SetPosition(int64_t position) override {
    std::lock_guard lock(Access().Lock());
    m_source->SetPosition(position);
  }
  int64_t GetSize() override {
    std::lock_guard lock(Access().Lock());
    return m_source->GetSize();
  }
  void SetSize(int64_t size) override {
    std::lock_guard lock(Access().Lock());
    m_source->SetSize(size);
  }
  int64_t Read(void* buffer, int64_t count) override {
    std::lock_guard lock(Access().Lock());
    return m_source->Read(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override {
    std::lock_guard lock(Access().Lock());
    return m_source->Write(buffer, count);
  }

  std::unique_ptr<TStream> ReleaseSource() { return std::move(m_source); }

private:
  static TStreamWrapperClass& Access() { return TStreamWrapperClass::Instance(); }
  std::unique_ptr<TStream> m_source;
};

TSeekOrigin OriginOf(int origin) {
  switch (origin) {
  case 1: return TSeekOrigin::Current;
  case 2: return TSeekOrigin::End;
  default: return TSeekOrigin::Begin;
  }
}

TStream& StreamOf(void* stream) { return *static_cast<TStream*>(stream); }

// The plug-in table. No exception may cross into a plug-in: failures read as
// nothing and seek nowhere (position -1).
int64_t PluginRead64(void* stream, void* buffer, int64_t count) {
  try {
    QX_ASSERT(count <= TStreamWrapperClass::kMaxPluginRead, "Too many");
    if (count <= 0 || !buffer)
      return 0;
    return TStreamWrapperClass::Instance().Read(StreamOf(stream), buffer, count);
  } catch (...) {
    return 0;
  }
}

int32_t PluginRead(void* stream, void* buffer, int32_t count) {
  return static_cast<int32_t>(PluginRead64(stream, buffer, count));
}

int64_t PluginPosition(void* stream) {
  try {
    return TStreamWrapperClass::Instance().Position(StreamOf(stream));
  } catch (...) {
    return -1;
  }
}

int64_t PluginSeek64(void* stream, int64_t offset, int32_t origin) {
  try {
    return TStreamWrapperClass::Instance().Seek(StreamOf(stream), offset, origin);
  } catch (...) {
    return -1;
  }
}

int64_t PluginSeek(void* stream, int32_t offset, int32_t origin) { return PluginSeek64(stream, offset, origin); }

int64_t PluginSize(void* stream) {
  try {
    return TStreamWrapperClass::Instance().Size(StreamOf(stream));
  } catch (...) {
    return -1;
  }
}

const QxSoundStreamFunctions kPluginFunctions = {
    PluginRead, PluginPosition, PluginSeek, PluginSize, PluginRead64, PluginPosition, PluginSeek64, PluginSize,
};

} // namespace

std::string StreamNameOf(const std::string& name) {
  const size_t mark = name.rfind('?');
  return mark == std::string::npos ? name : name.substr(0, mark);
}

std::string StreamSelectorOf(const std::string& name) {
  const size_t mark = name.rfind('?');
  return mark == std::string::npos ? std::string() : name.substr(mark + 1);
}

TStreamWrapperClass& TStreamWrapperClass::Instance() {
  static TStreamWrapperClass instance;
  return instance;
}

std::unique_ptr<TStream> TStreamWrapperClass::Open(const std::string& name, const TOpenStreamFunc& openStream) {
  const std::string fileName = StreamNameOf(name);
  std::unique_ptr<TStream> stream;
  try {
    std::lock_guard lock(m_lock);
    stream = openStream ? openStream(fileName) : TFileStream::TryOpen(fileName, TFileMode::OpenRead);
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!stream)
    return nullptr;
  return std::make_unique<TLockedStream>(std::move(stream));
}

std::unique_ptr<TStream> TStreamWrapperClass::OpenShifted(const std::string& name, const TOpenStreamFunc& open,
                                                          int64_t offset) {
  std::unique_ptr<TStream> stream = Open(name, open);
  if (!stream)
    return nullptr;
  return std::make_unique<TMp3ShiftStream>(std::move(stream), offset);
}

void TStreamWrapperClass::Free(std::unique_ptr<TStream> stream, const TFreeStreamFunc& free) {
  if (auto* shifted = dynamic_cast<TMp3ShiftStream*>(stream.get())) {
    if (std::unique_ptr<TStream> source = shifted->ReleaseSource())
      stream = std::move(source);
  }
  if (auto* locked = dynamic_cast<TLockedStream*>(stream.get()))
    stream = locked->ReleaseSource();
  std::lock_guard lock(m_lock);
  if (free && stream)
    free(std::move(stream));
  stream.reset();
}

int64_t TStreamWrapperClass::Position(TStream& stream) {
  std::lock_guard lock(m_lock);
  return stream.GetPosition();
}

int64_t TStreamWrapperClass::Seek(TStream& stream, int64_t offset, int origin) {
  std::lock_guard lock(m_lock);
  return stream.Seek(offset, OriginOf(origin));
}

int64_t TStreamWrapperClass::Read(TStream& stream, void* buffer, int64_t count) {
  std::lock_guard lock(m_lock);
  return stream.Read(buffer, count);
}

int64_t TStreamWrapperClass::Size(TStream& stream) {
  std::lock_guard lock(m_lock);
  return stream.GetSize();
}

const QxSoundStreamFunctions& TStreamWrapperClass::PluginFunctions() const { return kPluginFunctions; }

TMp3ShiftStream::TMp3ShiftStream(TStream& source, int64_t offset) : m_source(source), m_offset(offset) {}

TMp3ShiftStream::TMp3ShiftStream(std::unique_ptr<TStream> source, int64_t offset)
    : m_owned(std::move(source)), m_source(*m_owned), m_offset(offset) {}

int64_t TMp3ShiftStream::GetPosition() { return m_source.GetPosition() - m_offset; }

void TMp3ShiftStream::SetPosition(int64_t position) { m_source.SetPosition(std::max<int64_t>(position, 0) + m_offset); }

int64_t TMp3ShiftStream::GetSize() {
  const int64_t size = m_source.GetSize();
  return size < 0 ? size : std::max<int64_t>(size - m_offset, 0);
}

void TMp3ShiftStream::SetSize(int64_t) { AssertionFailed("TMp3ShiftStream cannot be resized", __FILE__, __LINE__); }

int64_t TMp3ShiftStream::Read(void* buffer, int64_t count) {
  if (m_source.GetPosition() < m_offset)
    m_source.SetPosition(m_offset);
  return m_source.Read(buffer, count);
}

int64_t TMp3ShiftStream::Write(const void*, int64_t) {
  AssertionFailed("TMp3ShiftStream cannot be written", __FILE__, __LINE__);
}

} // namespace qx
