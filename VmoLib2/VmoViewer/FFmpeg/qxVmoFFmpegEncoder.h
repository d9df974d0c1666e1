// The video encoder of the export on the video-decoding library: the
// library's file-creating functions write the container, encode the
// pictures (H.264, VP9 for WebM) and the sound (AAC, Opus for WebM).
#pragma once

#include "VmoLib2/VmoViewer/qxVmoVideoExport.h"

#include <memory>

namespace qx {

// The picture encoder's speed setting when none is asked: fast enough to
// keep up with rendering at a quality that suits slides.
inline constexpr const char* kDefaultExportPreset = "veryfast";
inline constexpr int32_t kDefaultExportCrf = 20;

// Creates the file through the process's video library (the one the show
// located). Raises EQxError "cannot create PATH: REASON" when there is no
// library or the file, its container or an encoder cannot be made.
std::unique_ptr<TVideoFileEncoder> CreateFFmpegVideoEncoder(const TVideoFileParams& params);

} // namespace qx
