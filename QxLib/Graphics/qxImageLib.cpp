#include "QxLib/Graphics/qxImageLib.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDynamicLibrary.h"
#include "QxLib/qxMemoryStream.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <mutex>

namespace qx {

namespace {

// The library's base name on the original platform is "qxPngLib"; a Linux
// build names it the usual ways.
const char* const kLibraryNames[] = {"libqxPngLib.so", "qxPngLib.so"};

// The stream behind an access record, read at positions relative to the
// picture's start. Errors never cross into the library: they read as 0.
struct TAccessContext {
  TStream* Stream = nullptr;
  int64_t Start = 0;
};

int64_t AccessGetSize(void* context) {
  const auto* access = static_cast<TAccessContext*>(context);
  try {
    const int64_t size = access->Stream->GetSize();
    return size < 0 ? -1 : std::max<int64_t>(size - access->Start, 0);
  } catch (...) {
    return -1;
  }
}

int32_t AccessRead(void* context, int64_t position, void* buffer, int32_t count) {
  const auto* access = static_cast<TAccessContext*>(context);
  if (position < 0 || count <= 0)
    return 0;
  try {
    access->Stream->SetPosition(access->Start + position);
    return static_cast<int32_t>(access->Stream->Read(buffer, count));
  } catch (...) {
    return 0;
  }
}

int32_t AccessWrite(void* context, int64_t position, const void* buffer, int32_t count) {
  const auto* access = static_cast<TAccessContext*>(context);
  if (position < 0 || count <= 0)
    return 0;
  try {
    access->Stream->SetPosition(access->Start + position);
    return static_cast<int32_t>(access->Stream->Write(buffer, count));
  } catch (...) {
    return 0;
  }
}

} // namespace

// One picture open in the library: the stream it reads, the access record
// handed to "OpenImage" (kept at a fixed address until "CloseImage") and
// the descriptor the library filled.
class TImageLibSession {
public:
  explicit TImageLibSession(std::shared_ptr<TPictureLibrary> library) : m_library(std::move(library)) {
    m_access.Stream = &m_context;
    m_access.GetSize = AccessGetSize;
    m_access.Read = AccessRead;
    m_access.Write = AccessWrite;
  }
  ~TImageLibSession() { Close(); }
  TImageLibSession(const TImageLibSession&) = delete;
  TImageLibSession& operator=(const TImageLibSession&) = delete;

  bool Open(TStream& stream, int64_t start) {
    m_context = {&stream, start};
    m_open = m_library->OpenImage(&m_image, &m_access) != 0;
    return m_open;
  }

  // Moves the session onto a stream of its own that holds the same bytes
  // from the picture's start, so that the caller's stream can go.
  void Keep(std::unique_ptr<TStream> owned, int64_t start) {
    m_stream = std::move(owned);
    m_context = {m_stream.get(), start};
  }

  void Close() {
    if (m_open)
      m_library->CloseImage(&m_image);
    m_open = false;
    m_stream.reset();
    m_context = {};
  }

  bool Read(TBitmap& bitmap) {
    std::vector<uint8_t*> rows(static_cast<size_t>(bitmap.Height()));
    for (int y = 0; y < bitmap.Height(); ++y)
      rows[static_cast<size_t>(y)] = bitmap.Scanline(y);
    return m_open && m_library->ReadImage(&m_image, rows.data()) != 0;
  }

  const QxImageDescriptor& Image() const { return m_image; }

  TPixelFormat Format() const {
    return m_image.BitsPerPixel == 24   ? TPixelFormat::Bgr24
           : m_image.BitsPerPixel == 32 ? TPixelFormat::Bgra32
                                        : TPixelFormat::None;
  }

private:
  std::shared_ptr<TPictureLibrary> m_library;
  std::unique_ptr<TStream> m_stream;
  TAccessContext m_context;
  QxImageStreamAccess m_access{};
  QxImageDescriptor m_image{};
  bool m_open = false;
};

std::shared_ptr<TPictureLibrary> TPictureLibrary::Load(const std::string& path, std::string* error) {
  std::string reason;
  std::unique_ptr<TDynamicLibrary> loaded = TDynamicLibrary::Load(path, reason);
  if (!loaded) {
    if (error)
      *error = reason;
    return nullptr;
  }
  const TDynamicLibrary& code = *loaded;
  std::shared_ptr<TPictureLibrary> library(new TPictureLibrary(std::move(loaded)));
  if (!code.LookUp(QX_OPEN_IMAGE_NAME, library->OpenImage) ||
      !code.LookUp(QX_OPEN_IMAGE_FILE_NAME, library->OpenImageFile) ||
      !code.LookUp(QX_READ_IMAGE_NAME, library->ReadImage) || !code.LookUp(QX_CLOSE_IMAGE_NAME, library->CloseImage)) {
    if (error)
      *error = "\"" + path + "\" lacks one of the picture library functions";
    return nullptr;
  }
  return library;
}

TPictureLibrary::TPictureLibrary(std::unique_ptr<TDynamicLibrary> code) : m_code(std::move(code)) {}

TPictureLibrary::~TPictureLibrary() = default;

TImageLibStore::TImageLibStore(std::string fileName, std::unique_ptr<TImageLibSession> session)
    : TSysBitmapStore(std::move(fileName), session->Image().Width, session->Image().Height, session->Format()),
      m_session(std::move(session)) {}

TImageLibStore::~TImageLibStore() = default;

std::unique_ptr<TBitmap> TImageLibStore::DecodeLevel(int level) {
  if (level > 0)
    return nullptr;
  auto bitmap =
      std::make_unique<TBitmap>(TBitmap::Uninitialized(StoredLevelWidth(0), StoredLevelHeight(0), PixelFormat()));
  const bool read = m_session->Read(*bitmap);
  m_session->Close();
  if (!read)
    throw EQxError("TImageLibStore: the picture library could not read \"" + FileName() + "\"");
  ReportProgress(1.0);
  return bitmap;
}

TLoaderFunction MakePictureLibraryLoader(std::string libraryPath) {
  struct TLazyLibrary {
    std::string Path;
    std::once_flag Loaded;
    std::shared_ptr<TPictureLibrary> Library;
  };
  auto lazy = std::make_shared<TLazyLibrary>();
  lazy->Path = std::move(libraryPath);
  return [lazy](TStream& stream, const std::string& fileName, std::unique_ptr<TStream>& ownedStream,
                const TProgressCallback& progress) -> TRefPtr<TBitmapStore> {
    std::call_once(lazy->Loaded, [&] { lazy->Library = TPictureLibrary::Load(lazy->Path); });
    if (!lazy->Library)
      return nullptr;
    const int64_t start = stream.GetPosition();
    auto session = std::make_unique<TImageLibSession>(lazy->Library);
    const bool opened = session->Open(stream, start);
    stream.SetPosition(start);
    if (!opened)
      return nullptr;
    const QxImageDescriptor& image = session->Image();
    if (session->Format() == TPixelFormat::None)
      return nullptr;
    CheckPictureSize(image.Width, image.Height, session->Format());
    if (ownedStream) {
      session->Keep(std::move(ownedStream), start);
    } else {
      // A borrowed stream goes away with the caller: keep a copy.
      auto copy = std::make_unique<TMemoryStream>();
      const std::string bytes = ReadPictureBytes(stream, kMaxPictureBytes);
      stream.SetPosition(start);
      copy->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      session->Keep(std::move(copy), 0);
    }
    auto store = MakeRef<TImageLibStore>(fileName, std::move(session));
    if (progress)
      store->SetProgressCallback(progress);
    return store;
  };
}

void RegisterPictureLibrary(TImageLoaderRegistry& registry, const std::string& libraryPath,
                            const std::vector<std::string>& extensions) {
  registry.Register(MakePictureLibraryLoader(libraryPath), extensions);
}

// The player looks for "..\Common\qxPngLib.dll" relative to its own folder on
// the original platform. Here the same place is searched first, then the
// player's own folder, each for "libqxPngLib.so" and then "qxPngLib.so":
//   <player folder>/../Common/libqxPngLib.so
//   <player folder>/../Common/qxPngLib.so
//   <player folder>/libqxPngLib.so
//   <player folder>/qxPngLib.so
std::string FindPictureLibrary(const std::string& programPath) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(programPath).parent_path();
  for (const fs::path& place : {folder / ".." / "Common", folder}) {
    for (const char* name : kLibraryNames) {
      std::error_code error;
      const fs::path candidate = (place / name).lexically_normal();
      if (fs::is_regular_file(candidate, error))
        return candidate.string();
    }
  }
  return {};
}

bool RegisterExternalPictureLibrary(TImageLoaderRegistry& registry) {
  const std::string path = FindPictureLibrary(ProgramPath());
  if (path.empty())
    return false;
  RegisterPictureLibrary(registry, path);
  return true;
}

} // namespace qx
