// The sounds of the video clips that a slide shows, collected for the
// slide's comment: from the shared clip of the project's video container
// (taken on the first slide that shows it), or from the video object itself,
// cut to the slide's span.
#pragma once

#include "VmoLib2/VmoViewer/qxVmoMusicOptions.h"

#include <map>
#include <string>

namespace qx {

class TIniSection;
class TIniStorage;

// Object classes of videos.
inline constexpr std::string_view kVideoClass = "video";
inline constexpr std::string_view kMainVideoClass = "mainvideo";
inline constexpr std::string_view kKeyPointClass = "keypoint";
inline constexpr std::string_view kVideoBossClass = "videoboss";
inline constexpr std::string_view kVideoClipClass = "videoclip";

class TVideoSoundCollector {
public:
  // Reads which project slide first shows each shared clip.
  TVideoSoundCollector(const TIniStorage& project, const TIniSection& main);

  // The sounds of the videos on `slide` (a section "Slide<n>"), whose show
  // start is `slideStart`.
  TExtraMusicItems Collect(const TIniSection& slide, double slideStart) const;

  // The start time (ms) of the first project slide that shows the clip of
  // this GUID: 0 for the first slide, -1 when no slide shows it.
  double FirstShowTime(const std::string& clipGuid) const;

private:
  const TIniObject* FindClip(const std::string& clipGuid) const;
  // "opt_synchpos<n>" - "opt_synchpos<n-1>" + the transition into slide n + 1.
  double SlideSpan(int n) const;
  double NextTransition(int n) const;

  const TIniStorage& m_project;
  const TIniSection& m_main;
  const TIniObject* m_videoBoss = nullptr;
  bool m_noDefaultTransitions = false;
  std::map<std::string, double> m_firstShown;
};

} // namespace qx
