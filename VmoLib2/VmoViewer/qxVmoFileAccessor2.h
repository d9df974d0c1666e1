// File sources and the file accessor: the objects through which the show
// model, the loaders and the drawers open every file of a show, whether it
// is a packed entry, a FileMap alias or a file on disk.
#pragma once

#include "QxLib/qxRefCounted.h"
#include "QxLib/qxStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TFileSource;

// A picture handed out by an image provider. The picture cache knows the
// concrete bitmap-store class behind it.
using TProvidedPicture = TRefPtr<TRefCounted>;

// Answers a picture for a name, or an empty reference when it has none.
using TImageProvider = std::function<TProvidedPicture(const std::string& name)>;

// Gives the EXIF orientation code (1, 3, 6 or 8) to apply to a decoded
// picture of the given name.
using TPictureTransformHook = std::function<int(const std::string& name)>;

// The registration of one image provider; destroying the handle removes the
// provider from its source. The handle keeps the source alive.
class TCallbackHandle {
public:
  TCallbackHandle(TRefPtr<TFileSource> source, uint64_t key) : m_source(std::move(source)), m_key(key) {}
  TCallbackHandle(const TCallbackHandle&) = delete;
  TCallbackHandle& operator=(const TCallbackHandle&) = delete;
  ~TCallbackHandle();

private:
  TRefPtr<TFileSource> m_source;
  uint64_t m_key;
};

// EXIF orientation codes that the picture transform hook answers.
enum : int {
  kOrientationNone = 1,
  kOrientationHalfTurn = 3,
  kOrientationQuarterRight = 6,
  kOrientationQuarterLeft = 8,
};

// Where the files of a show come from. Shared by every accessor over it and
// by loader threads, hence reference-counted.
class TFileSource : public TRefCounted {
public:
  // Size of the pieces between which the load callback runs on a stream
  // handed out by Open.
  static constexpr int32_t kLoadPieceSize = 32768;

  TFileSource();

  // Opens a named file: the raw open runs under the source's own lock; the
  // stream it yields is handed out inside a window over its whole length with
  // the load callback attached. Returns nullptr when the source has no such
  // file. Stream errors of the raw open (a damaged entry) propagate.
  std::unique_ptr<TStream> Open(const std::string& name);

  // Process-wide unique number of this source.
  uint32_t Id() const { return m_id; }

  // Registers a provider asked (in order of registration) for pictures before
  // the file itself is read.
  std::unique_ptr<TCallbackHandle> RegisterImageProvider(TImageProvider provider);
  // The first picture a provider gives for the name, or an empty reference.
  TProvidedPicture GetPicture(const std::string& name) const;

  // The orientation code for a decoded picture of this name: 1 (no change)
  // when no hook is set or the hook knows nothing of the name.
  int PictureOrientation(const std::string& name) const;
  void SetPictureTransformHook(TPictureTransformHook hook);

  // The folder (native, with a trailing separator) in which disk names that
  // do not exist as given are looked up by their last component.
  std::string BaseFolder() const;
  void SetBaseFolder(std::string folder);

protected:
  ~TFileSource() override = default;

  // Opens the named file as a raw stream, or returns nullptr when this source
  // has no such file. Called with the source's open lock held, so
  // implementations need no lock of their own for their lookup tables.
  // Stream errors (a truncated or corrupt entry) may be raised.
  virtual std::unique_ptr<TStream> RawOpen(const std::string& name) = 0;

private:
  friend class TCallbackHandle;
  void UnregisterImageProvider(uint64_t key);

  struct TProviderEntry {
    uint64_t key;
    TImageProvider provider;
  };

  const uint32_t m_id;
  std::mutex m_openLock;
  mutable std::mutex m_stateLock; // providers, hook and base folder
  std::vector<TProviderEntry> m_providers;
  uint64_t m_nextProviderKey = 1;
  TPictureTransformHook m_transformHook;
  std::string m_baseFolder;
};

// Opens any file of a show through one source, with two optional hooks:
// "loaded" may replace every stream opened, "not found" may supply one when
// the source has none. Copies share the source and the base folder (hooks
// are not copied).
class TFileAccessor {
public:
  using TLoadedHook = std::function<std::unique_ptr<TStream>(const std::string& name, std::unique_ptr<TStream> stream)>;
  using TNotFoundHook = std::function<std::unique_ptr<TStream>(const std::string& name)>;

  explicit TFileAccessor(TRefPtr<TFileSource> source);
  TFileAccessor(const TFileAccessor& other);
  TFileAccessor& operator=(const TFileAccessor&) = delete;

  // The named file, or nullptr when neither the source nor the "not found"
  // hook has it.
  std::unique_ptr<TStream> OpenStream(const std::string& name);

  TFileSource& Source() const { return *m_source; }
  const TRefPtr<TFileSource>& SourceRef() const { return m_source; }

  // The folder, with a trailing separator, against which relative file names
  // are resolved. Setting it also tells the source, whose disk lookups use it.
  const std::string& BaseFolder() const { return m_baseFolder; }
  void SetBaseFolder(const std::string& folder);

  void SetLoadedHook(TLoadedHook hook) { m_loadedHook = std::move(hook); }
  void SetNotFoundHook(TNotFoundHook hook) { m_notFoundHook = std::move(hook); }

private:
  TRefPtr<TFileSource> m_source;
  std::string m_baseFolder;
  TLoadedHook m_loadedHook;
  TNotFoundHook m_notFoundHook;
};

// Prefix of a name that always means a file on disk, never a packed entry.
inline constexpr std::string_view kLoadFromDiskPrefix = "LoadFromDisk:";

// Turns a file name from a project (a Windows path, or a native one) into a
// native path that exists, when one can be found; see the definition for the
// rule. Returns the converted name unchanged when nothing exists.
std::string ResolveDiskName(const std::string& windowsOrNativePath, const std::string& baseFolder);

// Opens a project's disk file read-only after ResolveDiskName; nullptr on any
// failure.
std::unique_ptr<TStream> OpenDiskFile(const std::string& name, const std::string& baseFolder);

// The folder of a native or Windows path, with a trailing "/"; empty when the
// path names no folder.
std::string FolderOf(const std::string& path);

} // namespace qx
