// Video objects: a clip placed on a slide. For now the kind loads the
// settings every object has; its clip and frames come with the video source.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include <string>

namespace qx {

class TVmoVideo : public TVmoObject {
public:
  using TVmoObject::TVmoObject;
  // "mainvideo": the slide's main video.
  bool MainVideo() const { return m_mainVideo; }
  void SetMainVideo(bool main) { m_mainVideo = main; }

private:
  bool m_mainVideo = false;
};

// Installs the factory of "video" and "mainvideo" in front of the chain.
void InstallVideoFactory();

} // namespace qx
