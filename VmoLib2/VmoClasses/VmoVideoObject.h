// Video objects: a clip placed on a slide. The clip is the object's own
// file or a shared clip of the project's video container, found by its
// "ClipGUID"; its time follows the show time at which the slide is drawn,
// its frames come from the shared frame source of the slide host, and
// interlaced clips show the field their time falls on.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoExtractorWrapper.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include <optional>
#include <string>

namespace qx {

class TIniIdentList;

// A shared clip: a "videoclip" block of the video container (the object of
// class "VideoBoss" in the main section).
struct TVideoClip2 {
  std::string ClipGuid;
  std::string FileName;
  bool LoadFromDisk = false;
  double Duration = -1;      // ms; -1 = the whole clip
  double StartVideoTime = 0; // ms
  double StartVmoTime = 0;   // ms
  std::string ClipCaption;
  int32_t StartSlideIdx = 0;
  bool Mute = false;
  std::string MasterId;
  // The show time the clip starts at: "opt_synchpos" + StartSlideIdx of the
  // main section when StartSlideIdx is not 0, else 0.
  double StartPosition = 0;

  // The clip of the main section whose "ClipGUID" is exactly `guid`; none
  // when there is no such clip.
  static std::optional<TVideoClip2> Find(const TIniIdentList& main, const std::string& guid);
};

enum class TDeinterlaceType : int32_t { Auto = 0, Wave = 1, BobEven = 2, BobOdd = 3 };

class TVmoVideo : public TVmoObject {
public:
  // The size of an object whose clip cannot be shown (its placeholder).
  static constexpr TSize kPlaceholderSize{320, 240};

  TVmoVideo(TVmoObject* parent, std::string name);
  ~TVmoVideo() override;

  // "mainvideo": the slide's main video.
  bool MainVideo() const { return m_mainVideo; }
  void SetMainVideo(bool main) { m_mainVideo = main; }

  const std::string& ClipGuid() const { return m_clipGuid; }
  const std::optional<TVideoClip2>& Clip() const { return m_clip; }
  // The file, duration and start times: the shared clip's when there is one.
  const std::string& FileName() const { return m_clip ? m_clip->FileName : m_fileName; }
  bool LoadFromDisk() const { return m_clip ? m_clip->LoadFromDisk : m_loadFromDisk; }
  double Duration() const { return m_clip ? m_clip->Duration : m_duration; }
  double StartVideoTime() const { return m_clip ? m_clip->StartVideoTime : m_startVideoTime; }
  double StartVmoTime() const { return m_clip ? m_clip->StartVmoTime : m_startVmoTime; }
  bool Mute() const { return m_clip ? m_clip->Mute : m_mute; }
  bool AntialiasedBorder() const { return m_antialiasedBorder; }
  const TBorderParams& Border() const { return m_border; }
  TDeinterlaceType Deinterlace() const { return m_deinterlace; }
  bool WaitForConvert() const { return m_waitForConvert; }

  // The clip's frame source, once resources are prepared; none without a
  // file.
  const TRefPtr<TExtractorWrapper>& Source() const { return m_source; }
  // Whether the clip's frames can be shown (else the placeholder is drawn).
  bool Playable() const;

  // The clip time (ms) shown at show time `showTime`: the frame at the start
  // time until the clip starts, then the clip running with the show, then
  // its last frame held.
  double ClipTime(double showTime) const;
  // The drawer's field mode (0 whole frame, 1 first field, 2 second field)
  // for clip time `ms`.
  int32_t FieldMode(double ms) const;
  // Width over height of a pixel: 1, or what makes the frame 4:3 or 16:9.
  double PixelAspect() const;
  // The show time of the last evaluation.
  double ShowTime() const { return m_showTime; }

  void Evaluate(double time) override;
  // Opens the clip through the host; the base size becomes the frame size
  // widened by the pixel aspect.
  void PrepareResources() override;
  // A playing clip changes with every frame.
  bool NeedsRedraw() const override;
  // Releases the frame locked for drawing.
  void FrameEnded() override;

protected:
  void ReadSettings(const TIniIdentList& block) override;
  void DrawContent(TDeviceDrawer& drawer) override;

private:
  // The clip length in ms (frame count / frame rate x 1000), 0 unknown.
  double ClipLength() const;
  void DrawPlaceholder(TDeviceDrawer& drawer, const TPlacement& placement, float opacity);
  void DrawBorder(TDeviceDrawer& drawer, const TPlacement& placement, float opacity);
  void ReleaseFrame();

  bool m_mainVideo = false;
  std::string m_clipGuid;
  std::optional<TVideoClip2> m_clip;
  std::string m_fileName;
  bool m_loadFromDisk = false;
  double m_duration = -1;
  double m_startVideoTime = 0;
  double m_startVmoTime = 0;
  bool m_mute = false;
  bool m_antialiasedBorder = true;
  TBorderParams m_border;
  TDeinterlaceType m_deinterlace = TDeinterlaceType::Auto;
  bool m_waitForConvert = false;

  TRefPtr<TExtractorWrapper> m_source;
  std::string m_openedKey;
  TVideoParams m_params;
  double m_showTime = 0;
  TVmoVideoExtractor::TTaken m_locked;
};

// Installs the factory of "video" and "mainvideo" in front of the chain.
void InstallVideoFactory();

} // namespace qx
