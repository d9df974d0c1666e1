// The start-up locator of the video-decoding library: a library packed in
// the show is copied into a temporary folder and loaded from there;
// otherwise the library beside the player is used when it exists.
#pragma once

#include <string>
#include <string_view>

namespace qx {

class TFileAccessor;

// The packed entry of a show that carries its own library.
inline constexpr std::string_view kPackedVideoLibrary = "ffmpeg.so";
// The library's file, in "../Common/" seen from the player's folder.
inline constexpr std::string_view kVideoLibraryFile = "libqxFFmpeg.so";

// When the library's path is not yet known (TFFMpegDll::LibraryPath()),
// finds it as above and sets it; `programPath` is the running program's
// file. Returns the path in use, "" when there is none (the show plays
// without video and without the sound only that library reads).
std::string LocateVideoLibrary(TFileAccessor& accessor, const std::string& programPath);

} // namespace qx
