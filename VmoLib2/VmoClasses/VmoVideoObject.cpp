#include "VmoLib2/VmoClasses/VmoVideoObject.h"

namespace qx {

namespace {

std::unique_ptr<TVmoObject> CreateVideoKind(TVmoObject& parent, const std::string& name, std::string_view typeWord) {
  if (typeWord != "video" && typeWord != "mainvideo")
    return nullptr;
  auto video = std::make_unique<TVmoVideo>(&parent, name);
  video->SetMainVideo(typeWord == "mainvideo");
  return video;
}

} // namespace

void InstallVideoFactory() { ChainObjectFactory(CreateVideoKind); }

} // namespace qx
