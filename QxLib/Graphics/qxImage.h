// The picture loader registry and the image handle: opening a stream or a
// file as a bitmap store by trying the loaders registered for its extension.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxStream.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// A loader function. `stream` is positioned at the picture; `ownedStream`
// holds the same stream when the caller handed it over (a loader that keeps
// reading the stream later may move it out, but only together with returning
// a store) and is empty when the stream is only borrowed. A loader that does not recognise the picture
// restores the stream position and returns nullptr; it may also raise for a
// picture it recognised but cannot read, which the registry treats like
// nullptr. `progress` may be empty.
using TLoaderFunction =
    std::function<TRefPtr<TBitmapStore>(TStream& stream, const std::string& fileName,
                                        std::unique_ptr<TStream>& ownedStream, const TProgressCallback& progress)>;

// The image parameters kept with each image handle.
struct TImageParams {
  std::string FileName;
  int Width = 0;
  int Height = 0;
  TPixelFormat Format = TPixelFormat::None;
};

// A handle holding one reference to a bitmap store and a copy of its
// parameters.
class TImage {
public:
  explicit TImage(TRefPtr<TBitmapStore> store);

  TBitmapStore& Store() const { return *m_store; }

  // Turns the picture upright for an EXIF orientation code (the file
  // source's picture transform hook gives it) and refreshes the parameters;
  // call it right after opening, before any level is decoded.
  void SetOrientation(int orientation);
  const TRefPtr<TBitmapStore>& StoreRef() const { return m_store; }
  const TImageParams& Params() const { return m_params; }

private:
  TRefPtr<TBitmapStore> m_store;
  TImageParams m_params;
};

// "jpg", "*.jpg" and ".jpg" all give ".jpg": leading characters below code
// 33 are skipped, then one "*", and a "." is put in front when missing.
std::string NormalizeExtension(std::string_view extension);

// The extension of a file name including its dot ("" when none), taken after
// the last path separator ("/" or "\").
std::string FileExtension(std::string_view fileName);

// True when the 8 bytes at the stream position are the PNG signature; the
// position is restored.
bool HasPngSignature(TStream& stream);

// Reads up to `limit` bytes from the stream position (fewer at its end);
// loaders use it to copy what they need without trusting declared sizes.
std::string ReadPictureBytes(TStream& stream, int64_t limit);

struct TImageLoader {
  TLoaderFunction Loader;
  std::vector<std::string> Extensions; // normalised
};

class TImageLoaderRegistry {
public:
  TImageLoaderRegistry() { m_loaders.reserve(8); }

  // Appends one entry; the extensions are normalised.
  void Register(TLoaderFunction loader, const std::vector<std::string>& extensions);

  const std::vector<TImageLoader>& Loaders() const { return m_loaders; }

  // Opens a borrowed stream: takes the extension of `fileName` (".png" when
  // it is ".bmp" but the content starts with the PNG signature), tries every
  // entry that lists it (every entry when the name is empty) in registration
  // order and returns the first store made, else nothing. The stream
  // position is restored before each next loader.
  std::optional<TImage> Open(TStream& stream, const std::string& fileName,
                             const TProgressCallback& progress = {}) const;
  // The same with a stream handed over: freed when no loader kept it.
  std::optional<TImage> Open(std::unique_ptr<TStream> stream, const std::string& fileName,
                             const TProgressCallback& progress = {}) const;
  // Opens a disk file and hands the stream over; nothing when it cannot be
  // opened.
  std::optional<TImage> OpenFile(const std::string& fileName, const TProgressCallback& progress = {}) const;

private:
  std::optional<TImage> OpenWith(TStream& stream, std::unique_ptr<TStream>& owned, const std::string& fileName,
                                 const TProgressCallback& progress) const;

  std::vector<TImageLoader> m_loaders;
};

// The process-wide registry. The built-in loaders are registered on first
// use (see RegisterStandardLoaders); start-up may append more (the external
// picture library) before any thread opens pictures.
TImageLoaderRegistry& ImageLoaders();

// Convenience forms of the process-wide registry's operations.
std::optional<TImage> OpenPicture(TStream& stream, const std::string& fileName);
std::optional<TImage> OpenPicture(std::unique_ptr<TStream> stream, const std::string& fileName);
std::optional<TImage> OpenPictureFile(const std::string& fileName);

} // namespace qx
