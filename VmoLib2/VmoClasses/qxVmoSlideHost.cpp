#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxImage.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/qxShadowNames.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace qx {

namespace {

// A GUID text is 38 characters; anything much longer is not one.
constexpr uint32_t kMaxExeGuidLength = 256;

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool HasTransparency(const TBitmap& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* row = picture.Scanline(y);
    for (int x = 0; x < picture.Width(); ++x)
      if (row[4 * x + 3] != 255)
        return true;
  }
  return false;
}

TBitmap Luminance(const TBitmap& picture) {
  const TBitmap colour =
      picture.Format() == TPixelFormat::Bgr24 ? TBitmap() : ConvertBitmap(picture, TPixelFormat::Bgr24);
  const TBitmap& source = picture.Format() == TPixelFormat::Bgr24 ? picture : colour;
  TBitmap mask(source.Width(), source.Height(), TPixelFormat::Gray8);
  for (int y = 0; y < source.Height(); ++y) {
    const uint8_t* in = source.Scanline(y);
    uint8_t* out = mask.Scanline(y);
    for (int x = 0; x < source.Width(); ++x, in += 3)
      out[x] = static_cast<uint8_t>((114 * in[0] + 587 * in[1] + 299 * in[2] + 500) / 1000);
  }
  return mask;
}

// A package picture seen as a mask; each level is converted from the same
// level of the picture when first asked for.
class TMaskBitmapStore : public TSysBitmapStore {
public:
  TMaskBitmapStore(std::string name, TRefPtr<TBitmapStore> picture)
      : TSysBitmapStore(std::move(name), picture->Width(), picture->Height(), TPixelFormat::Gray8),
        m_picture(std::move(picture)) {}
  const char* ClassName() const override { return "TMaskBitmapStore"; }

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override {
    const std::shared_ptr<const TBitmap> picture = m_picture->GetMipLevel(level);
    if (!picture)
      return nullptr;
    return std::make_unique<TBitmap>(PictureToMask(*picture));
  }

private:
  TRefPtr<TBitmapStore> m_picture;
};

} // namespace

TBitmap PictureToMask(const TBitmap& picture) {
  if (picture.Format() == TPixelFormat::Gray8)
    return picture.Clone();
  if (picture.Format() == TPixelFormat::Bgra32 && HasTransparency(picture))
    return ExtractAlpha(picture);
  return Luminance(picture);
}

std::string DecodeExeGuid(std::string_view bytes) {
  if (bytes.size() < 4)
    return {};
  uint32_t count = 0;
  for (int i = 0; i < 4; ++i)
    count |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[static_cast<size_t>(i)])) << (8 * i);
  if (count > kMaxExeGuidLength || bytes.size() < 4 + 2 * static_cast<size_t>(count))
    return {};
  std::u16string units;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = 4 + 2 * static_cast<size_t>(i);
    units += static_cast<char16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
  }
  return Utf16ToUtf8(units);
}

TVmoSlideHost::TVmoSlideHost(const TFileAccessor& accessor, TSlideHostCallbacks callbacks)
    : m_accessor(accessor), m_callbacks(std::move(callbacks)), m_videoSources(MakeRef<TExtractorRegistry>()) {
  m_providerHandle = m_accessor.Source().RegisterImageProvider(
      [this](const std::string& name) -> TProvidedPicture { return OpenSyntheticPicture(name); });
  ReadExeGuid();
  m_textProducer = std::make_unique<TVmoTextProducer>(
      [this](const std::string& name) { return m_accessor.OpenStream(name); }, TFontCache::ForIdentity(m_exeGuid));
  // Skin pieces are package pictures only: a piece named like a synthetic
  // picture must not make the host compose recursively.
  m_buttons = std::make_unique<TButtonProducerHost>(
      [this](const std::string& name) { return m_accessor.OpenStream(name); },
      [this](const std::string& name) { return OpenPackagePicture(name); },
      [this](const std::string& text) { return m_textProducer->Layout("", 0, {text}); });
}

const TButtonProducer* TVmoSlideHost::ButtonTheme(const std::string& theme) {
  const TButtonProducer* producer = m_buttons->Producer(JoinSkinPath(m_buttonPath, theme));
  return producer && producer->Loaded() ? producer : nullptr;
}

TVmoSlideHost::~TVmoSlideHost() = default;

void TVmoSlideHost::ReadExeGuid() {
  try {
    const std::unique_ptr<TStream> stream = m_accessor.OpenStream("ExeGUID");
    if (!stream)
      return;
    const int64_t size = std::min<int64_t>(stream->GetSize(), 4 + 2 * kMaxExeGuidLength);
    std::string bytes(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    m_exeGuid = DecodeExeGuid(bytes);
  } catch (const EQxError& error) {
    Log().WriteLine(std::string("TVmoSlideHost: ExeGUID not readable: ") + error.what());
  }
}

TVec3 TVmoSlideHost::CameraPosition() const {
  const TSize output = m_callbacks.OutputSize ? m_callbacks.OutputSize() : TSize{};
  return {output.Width / 2.0f, output.Height / 2.0f, -static_cast<float>(output.Height)};
}

const TIniIdentList* TVmoSlideHost::FindSection(const std::string& name) const {
  return m_callbacks.FindSection ? m_callbacks.FindSection(name) : nullptr;
}

TPixelRect TVmoSlideHost::SlideRect() const { return m_callbacks.SlideRect ? m_callbacks.SlideRect() : TPixelRect{}; }

std::unique_ptr<TStream> TVmoSlideHost::OpenStream(const std::string& name) {
  try {
    return m_accessor.OpenStream(name);
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("TVmoSlideHost.OpenStream: " + name + ": " + error.what());
    return nullptr;
  }
}

std::shared_ptr<const TVectorText> TVmoSlideHost::TextLayout(const std::string& fontName, uint32_t style,
                                                             const std::vector<std::string>& lines) {
  return m_textProducer->Layout(fontName, style, lines);
}

TRefPtr<TExtractorWrapper> TVmoSlideHost::SharedVideoSource(const std::string& key) {
  return m_videoSources->Acquire(key);
}

TRefPtr<TExtractorWrapper> TVmoSlideHost::VideoClip(const std::string& key, const std::string& fileName,
                                                    bool loadFromDisk) {
  TRefPtr<TExtractorWrapper> clip = SharedVideoSource(key);
  TFileAccessor accessor(m_accessor);
  clip->SetFile(accessor, fileName, loadFromDisk);
  return clip;
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenPicture(const std::string& name) {
  if (name.empty())
    return {};
  // A transition buffer's content changes with every request.
  if (StartsWith(name, kEffectBufferPicturePrefix))
    return OpenUnshared(name);
  {
    const std::lock_guard lock(m_picturesLock);
    ReleaseUnusedLocked();
    if (const auto found = m_pictures.find(name); found != m_pictures.end())
      return found->second;
  }
  // Opened without the lock: shadows open their source pictures through
  // this same operation.
  TRefPtr<TBitmapStore> picture = OpenUnshared(name);
  if (!picture)
    return {};
  const std::lock_guard lock(m_picturesLock);
  const auto [entry, inserted] = m_pictures.emplace(name, picture);
  return entry->second;
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenUnshared(const std::string& name) {
  if (TRefPtr<TBitmapStore> picture = OpenPackagePicture(name))
    return picture;
  return OpenSyntheticPicture(name);
}

void TVmoSlideHost::ReleaseUnusedPictures() {
  const std::lock_guard lock(m_picturesLock);
  ReleaseUnusedLocked();
}

// A count of 1 is the list's own reference; nobody can take another one
// without this lock, so the picture can go.
void TVmoSlideHost::ReleaseUnusedLocked() {
  std::erase_if(m_pictures, [](const auto& entry) { return entry.second->RefCount() == 1; });
}

int TVmoSlideHost::SharedPictureCount() const {
  const std::lock_guard lock(m_picturesLock);
  return static_cast<int>(m_pictures.size());
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenPackagePicture(const std::string& name) {
  try {
    std::unique_ptr<TStream> stream = m_accessor.OpenStream(name);
    if (!stream)
      return {};
    std::optional<TImage> image = qx::OpenPicture(std::move(stream), name);
    if (!image)
      return {};
    image->SetOrientation(m_accessor.Source().PictureOrientation(name));
    return image->StoreRef();
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("TVmoSlideHost.OpenPicture: " + name + ": " + error.what());
    return {};
  }
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenSyntheticPicture(const std::string& name) {
  try {
    if (IsShadowName(name))
      return OpenShadowPicture(
          name, [this](const std::string& source) { return OpenPicture(source); },
          [this] { return CancelRequested(); });
    if (StartsWith(name, kMaskPicturePrefix))
      return OpenMask(name);
    if (StartsWith(name, kEffectBufferPicturePrefix))
      return OpenEffectBuffer(std::string_view(name).substr(kEffectBufferPicturePrefix.size()));
    if (StartsWith(name, kTextPicturePrefix))
      return m_textProducer->OpenPicture(name);
    if (StartsWith(name, kButtonPicturePrefix))
      return m_buttons->OpenPicture(name);
    if (StartsWith(name, kPresetedMaskPrefix))
      return OpenPresetedMask(name);
    return {};
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("TVmoSlideHost.OpenPicture: " + name + ": " + error.what());
    return {};
  }
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenMask(const std::string& name) {
  TRefPtr<TBitmapStore> picture = OpenPackagePicture(name.substr(kMaskPicturePrefix.size()));
  if (!picture || picture->Width() <= 0 || picture->Height() <= 0)
    return {};
  return MakeRef<TMaskBitmapStore>(name, std::move(picture));
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenPresetedMask(const std::string& name) {
  const TMaskGenerator generator(name);
  std::unique_ptr<TBitmap> picture = generator.Generate([this](int) { return CancelRequested(); });
  if (!picture) {
    if (CancelRequested())
      throw EAbort("Preset mask cancelled");
    return {};
  }
  return MakeRef<TWrapperBitmapStore>(generator.Key(), std::move(picture));
}

TRefPtr<TBitmapStore> TVmoSlideHost::OpenEffectBuffer(std::string_view number) {
  if (number.empty() || number.size() > 9 ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return {};
  const TPixelRect rect = SlideRect();
  if (rect.Width() <= 0 || rect.Height() <= 0)
    return {};
  auto picture = std::make_unique<TBitmap>(rect.Width(), rect.Height(), TPixelFormat::Bgra32);
  picture->Fill(TBgra{0, 0, 0, 0});
  if (m_effectBuffers)
    m_effectBuffers(std::stoi(std::string(number)), *picture);
  return MakeRef<TWrapperBitmapStore>(std::string(kEffectBufferPictureName), std::move(picture));
}

} // namespace qx
