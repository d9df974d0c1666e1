// The host shared by every slide of a slide producer: opens the pictures of
// the package and makes the synthetic ones (buttons, shadows, texts, masks,
// the transition buffers) under their names, lays out texts, reads button
// skins, answers the objects' requests for sections, the camera and the
// slide rectangle, and keeps the shared video sources.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/3DEngine/qxMaskGenerator.h"
#include "VmoLib2/VmoClasses/qxVmoEffects.h"
#include "VmoLib2/VmoClasses/qxVmoExtractorWrapper.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"
#include "VmoLib2/VmoClasses/qxVmoTextProducer.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"
#include "VmoLib2/qxButtonProducer.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace qx {

class TIniIdentList;

// Prefixes of the pictures the package does not store.
inline constexpr std::string_view kTextPicturePrefix = "Text: ";
inline constexpr std::string_view kMaskPicturePrefix = "Mask: ";
inline constexpr std::string_view kEffectBufferPicturePrefix = "SlideEffectBuffer";
// The name of every transition-buffer picture.
inline constexpr std::string_view kEffectBufferPictureName = "zaglushka for slide-effect buffer";

// Fills a transition-buffer picture (Bgra32, the slide rectangle's size,
// cleared to transparent black) with the buffer of that number: 1 the
// outgoing slide, 2 the incoming one.
using TEffectBufferSource = std::function<void(int number, TBitmap& picture)>;

// What the host asks of its producer.
struct TSlideHostCallbacks {
  // The project section (or object block) of that name, or none.
  std::function<const TIniIdentList*(const std::string& name)> FindSection;
  // The output's size: the camera stands at its centre, its height away.
  std::function<TSize()> OutputSize;
  // The slide's rectangle on the output.
  std::function<TPixelRect()> SlideRect;
};

// A package picture as a one-channel (Gray8) mask: the alpha of a picture
// with transparency, else its luminance (0.299 R + 0.587 G + 0.114 B,
// rounded).
TBitmap PictureToMask(const TBitmap& picture);

class TVmoSlideHost : public TVmoObjectHost {
public:
  // Opens pictures through a copy of `accessor`; registers itself as a
  // picture provider of the accessor's source for the synthetic names, and
  // reads the package's "ExeGUID" when present.
  TVmoSlideHost(const TFileAccessor& accessor, TSlideHostCallbacks callbacks);
  ~TVmoSlideHost() override;
  TVmoSlideHost(const TVmoSlideHost&) = delete;
  TVmoSlideHost& operator=(const TVmoSlideHost&) = delete;

  // (output width / 2, output height / 2, -output height).
  TVec3 CameraPosition() const override;
  // The package picture of that name, else the synthetic picture its prefix
  // names, else none. A picture that cannot be decoded or made is logged and
  // answers none; cancelling (EAbort) passes through. A picture still held
  // elsewhere is shared, so several slides showing it decode it once;
  // transition buffers are made anew on every request.
  TRefPtr<TBitmapStore> OpenPicture(const std::string& name) override;
  // Forgets the shared pictures nobody else holds any more.
  void ReleaseUnusedPictures();
  // The number of shared pictures currently listed.
  int SharedPictureCount() const;
  // Only the synthetic pictures (the provider registered with the source).
  TRefPtr<TBitmapStore> OpenSyntheticPicture(const std::string& name);
  bool CancelRequested() const override { return m_cancel && m_cancel(); }
  double MipLevelScale() const override { return m_mipLevelScale; }

  void SetCancelCallback(std::function<bool()> cancel) { m_cancel = std::move(cancel); }
  void SetMipLevelScale(double scale) { m_mipLevelScale = scale; }
  void SetEffectBufferSource(TEffectBufferSource source) { m_effectBuffers = std::move(source); }

  const TIniIdentList* FindSection(const std::string& name) const;
  TPixelRect SlideRect() const;
  TFileAccessor& Accessor() { return m_accessor; }

  int SlideCount() const override { return m_slideCount; }
  // A file of the package (or FileMap alias); none when missing or not
  // readable (logged).
  std::unique_ptr<TStream> OpenStream(const std::string& name) override;
  // Through the text producer; raises like TVmoTextProducer::Layout.
  std::shared_ptr<const TVectorText> TextLayout(const std::string& fontName, uint32_t style,
                                                const std::vector<std::string>& lines) override;
  TVmoTextProducer& TextProducer() { return *m_textProducer; }
  void SetSlideCount(int count) { m_slideCount = count; }
  TSize DesignSize() const { return m_designSize; }
  void SetDesignSize(TSize size) { m_designSize = size; }
  // The path of the button themes ("PathToButtons").
  const std::string& ButtonPath() const { return m_buttonPath; }
  void SetButtonPath(std::string path) { m_buttonPath = std::move(path); }
  // The skin of the theme folder "PathToButtons" + theme, when its
  // description exists and gives it a height.
  const TButtonProducer* ButtonTheme(const std::string& theme) override;
  TButtonProducerHost& Buttons() { return *m_buttons; }
  // The package's "ExeGUID" text, empty when the package has none; the
  // identity of the font cache the host's texts use.
  const std::string& ExeGuid() const { return m_exeGuid; }

  // The shared video source of a clip key (see TExtractorWrapper).
  TRefPtr<TExtractorWrapper> SharedVideoSource(const std::string& key);
  // The shared source of the key with its file opened through the
  // package's accessor.
  TRefPtr<TExtractorWrapper> VideoClip(const std::string& key, const std::string& fileName, bool loadFromDisk) override;
  const TIniIdentList* Section(const std::string& name) const override { return FindSection(name); }
  bool ExactVideoFrames() const override { return m_exactVideoFrames; }
  void SetExactVideoFrames(bool exact) { m_exactVideoFrames = exact; }
  const TExtractorRegistry& VideoSources() const { return *m_videoSources; }

private:
  TRefPtr<TBitmapStore> OpenUnshared(const std::string& name);
  void ReleaseUnusedLocked();
  TRefPtr<TBitmapStore> OpenPackagePicture(const std::string& name);
  TRefPtr<TBitmapStore> OpenMask(const std::string& name);
  TRefPtr<TBitmapStore> OpenEffectBuffer(std::string_view number);
  TRefPtr<TBitmapStore> OpenPresetedMask(const std::string& name);
  void ReadExeGuid();

  TFileAccessor m_accessor;
  TSlideHostCallbacks m_callbacks;
  std::unique_ptr<TCallbackHandle> m_providerHandle;
  std::function<bool()> m_cancel;
  TEffectBufferSource m_effectBuffers;
  double m_mipLevelScale = kMipLevelScale;
  int m_slideCount = 0;
  TSize m_designSize;
  std::string m_buttonPath;
  std::string m_exeGuid;
  std::unique_ptr<TVmoTextProducer> m_textProducer;
  std::unique_ptr<TButtonProducerHost> m_buttons;
  TRefPtr<TExtractorRegistry> m_videoSources;
  std::atomic<bool> m_exactVideoFrames{false};
  mutable std::mutex m_picturesLock;
  std::map<std::string, TRefPtr<TBitmapStore>> m_pictures;
};

// Decodes the stored form of "ExeGUID": a 32-bit little-endian character
// count, then that many UTF-16LE characters. Empty when the bytes are short
// or the count is implausible.
std::string DecodeExeGuid(std::string_view bytes);

} // namespace qx
