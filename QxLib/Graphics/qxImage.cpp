#include "QxLib/Graphics/qxImage.h"

#include "QxLib/Graphics/qxStandardLoaders.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qx {

namespace {

const uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

} // namespace

TImage::TImage(TRefPtr<TBitmapStore> store) : m_store(std::move(store)) {
  QX_ASSERT(m_store, "TImage without a bitmap store");
  m_params.FileName = m_store->FileName();
  m_params.Width = m_store->Width();
  m_params.Height = m_store->Height();
  m_params.Format = m_store->PixelFormat();
}

void TImage::SetOrientation(int orientation) {
  m_store->SetOrientation(orientation);
  m_params.Width = m_store->Width();
  m_params.Height = m_store->Height();
}

std::string NormalizeExtension(std::string_view extension) {
  size_t i = 0;
  while (i < extension.size() && static_cast<unsigned char>(extension[i]) < 33)
    ++i;
  if (i < extension.size() && extension[i] == '*')
    ++i;
  std::string result(extension.substr(i));
  if (result.empty() || result[0] != '.')
    result.insert(result.begin(), '.');
  return result;
}

std::string FileExtension(std::string_view fileName) {
  const size_t slash = fileName.find_last_of("/\\");
  const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  const size_t dot = base.rfind('.');
  if (dot == std::string_view::npos)
    return {};
  return std::string(base.substr(dot));
}

bool HasPngSignature(TStream& stream) {
  const int64_t position = stream.GetPosition();
  uint8_t head[8] = {};
  const int64_t got = stream.Read(head, sizeof head);
  stream.SetPosition(position);
  return got == sizeof head && std::memcmp(head, kPngSignature, sizeof head) == 0;
}

std::string ReadPictureBytes(TStream& stream, int64_t limit) {
  std::string bytes;
  constexpr int64_t kPiece = 1 << 20;
  const int64_t size = stream.GetSize();
  const int64_t left = size < 0 ? kPiece : size - stream.GetPosition();
  bytes.reserve(static_cast<size_t>(std::clamp<int64_t>(std::min(left, limit), 0, kMaxPictureBytes)));
  while (static_cast<int64_t>(bytes.size()) < limit) {
    const int64_t want = std::min(kPiece, limit - static_cast<int64_t>(bytes.size()));
    const size_t old = bytes.size();
    bytes.resize(old + static_cast<size_t>(want));
    const int64_t got = stream.Read(bytes.data() + old, want);
    bytes.resize(old + static_cast<size_t>(std::max<int64_t>(got, 0)));
    if (got < want)
      break;
  }
  return bytes;
}

void TImageLoaderRegistry::Register(TLoaderFunction loader, const std::vector<std::string>& extensions) {
  TImageLoader entry;
  entry.Loader = std::move(loader);
  for (const auto& extension : extensions)
    entry.Extensions.push_back(NormalizeExtension(extension));
  if (m_loaders.size() == m_loaders.capacity())
    m_loaders.reserve(std::max<size_t>(8, m_loaders.capacity() * 2));
  m_loaders.push_back(std::move(entry));
}

std::optional<TImage> TImageLoaderRegistry::OpenWith(TStream& stream, std::unique_ptr<TStream>& owned,
                                                     const std::string& fileName,
                                                     const TProgressCallback& progress) const {
  std::string extension = FileExtension(fileName);
  if (SameAsciiText(extension, ".bmp") && HasPngSignature(stream))
    extension = ".png";
  const int64_t position = stream.GetPosition();
  for (const auto& entry : m_loaders) {
    if (!fileName.empty() && std::none_of(entry.Extensions.begin(), entry.Extensions.end(),
                                          [&](const std::string& e) { return SameAsciiText(e, extension); }))
      continue;
    TRefPtr<TBitmapStore> store;
    try {
      store = entry.Loader(stream, fileName, owned, progress);
    } catch (const std::exception& error) {
      WriteDebugOutput(std::string("Picture loader failed on \"") + fileName + "\": " + error.what());
    }
    if (store)
      return TImage(std::move(store));
    stream.SetPosition(position);
  }
  return std::nullopt;
}

std::optional<TImage> TImageLoaderRegistry::Open(TStream& stream, const std::string& fileName,
                                                 const TProgressCallback& progress) const {
  std::unique_ptr<TStream> none;
  return OpenWith(stream, none, fileName, progress);
}

std::optional<TImage> TImageLoaderRegistry::Open(std::unique_ptr<TStream> stream, const std::string& fileName,
                                                 const TProgressCallback& progress) const {
  if (!stream)
    return std::nullopt;
  TStream& borrowed = *stream;
  // When no loader moves the stream out, it is freed on return.
  return OpenWith(borrowed, stream, fileName, progress);
}

std::optional<TImage> TImageLoaderRegistry::OpenFile(const std::string& fileName,
                                                     const TProgressCallback& progress) const {
  std::unique_ptr<TStream> stream = TFileStream::TryOpen(fileName, TFileMode::OpenRead);
  if (!stream)
    return std::nullopt;
  return Open(std::move(stream), fileName, progress);
}

TImageLoaderRegistry& ImageLoaders() {
  static TImageLoaderRegistry registry = [] {
    TImageLoaderRegistry standard;
    RegisterStandardLoaders(standard);
    return standard;
  }();
  return registry;
}

std::optional<TImage> OpenPicture(TStream& stream, const std::string& fileName) {
  return ImageLoaders().Open(stream, fileName);
}

std::optional<TImage> OpenPicture(std::unique_ptr<TStream> stream, const std::string& fileName) {
  return ImageLoaders().Open(std::move(stream), fileName);
}

std::optional<TImage> OpenPictureFile(const std::string& fileName) { return ImageLoaders().OpenFile(fileName); }

} // namespace qx
