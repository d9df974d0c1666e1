// Test clips made with the ffmpeg program on first use (small, a few
// seconds), the path of the built video-decoding library, and a YUV image in
// memory for frame sources to write into.
#pragma once

#include "QxLib/Graphics/Video/qxYUVImage.h"
#include "QxLib/qxTempManager.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace qx::test {

inline std::string VideoLibraryPath() { return std::string(VMO_BINARY_DIR) + "/Common/libqxFFmpeg.so"; }

// Runs the ffmpeg program quietly; true when it succeeded.
inline bool RunFfmpeg(const std::string& args) {
  const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The ffmpeg arguments (after the inputs' options) of each test clip by
// name; the extension chooses the container.
inline const std::map<std::string, std::string>& ClipRecipes() {
  static const std::string pattern = "-f lavfi -i testsrc=s=160x120:r=25:d=3 ";
  static const std::string h264 = "-c:v libx264 -preset veryfast -g 12 -bf 2 -pix_fmt yuv420p ";
  static const std::map<std::string, std::string> recipes = {
      {"h264.mp4", pattern + h264},
      {"h264.mkv", pattern + h264},
      {"h264.ts", pattern + h264 + "-f mpegts"},
      {"mpeg4.avi", pattern + "-c:v mpeg4 -g 12 -bf 2 -q:v 3"},
      // 25 frames at 25 fps, then every third frame of the next 3 s.
      {"vfr.mp4", "-f lavfi -i testsrc=s=160x120:r=25:d=4 -vf \"select='lt(n,25)+not(mod(n,3))'\" -vsync vfr " + h264},
      {"interlaced-tff.ts", "-f lavfi -i testsrc=s=320x240:r=25:d=1 -c:v mpeg2video -flags +ilme+ildct -top 1 "
                            "-q:v 4 -f mpegts"},
      {"interlaced-bff.mpg", "-f lavfi -i testsrc=s=320x240:r=25:d=1 -c:v mpeg2video -flags +ilme+ildct -top 0 "
                             "-q:v 4 -f mpeg"},
      {"with-sound.mp4", pattern + "-f lavfi -i sine=f=440:r=48000:d=3 " + h264 + "-c:a aac -shortest"},
      {"with-sound.mkv", pattern + "-f lavfi -i sine=f=440:r=48000:d=3 " + h264 + "-c:a libopus -shortest"},
      {"tone.flac", "-f lavfi -i sine=f=1000:r=32000:d=2 -ac 1 -c:a flac"},
      {"tone.opus", "-f lavfi -i sine=f=500:r=48000:d=2 -c:a libopus"},
      // Lossless sound at the mixing rate in containers of each seek
      // strategy: MOV (by stream), Matroska (by time), ASF (decode forward).
      {"sweep.mov", "-f lavfi -i \"aevalsrc=sin(200*t*t)|cos(300*t*t):s=44100:d=3\" -c:a pcm_s16le"},
      {"sweep.mkv", "-f lavfi -i \"aevalsrc=sin(200*t*t)|cos(300*t*t):s=44100:d=3\" -c:a flac"},
      {"sweep.asf", "-f lavfi -i \"aevalsrc=sin(200*t*t)|cos(300*t*t):s=44100:d=3\" -c:a pcm_s16le"},
      // Silence in the first sound stream, a tone in the second.
      {"two-sounds.mkv", "-f lavfi -i anullsrc=r=44100:cl=stereo -f lavfi -i sine=f=700:r=44100:d=2 -map 0:a "
                         "-map 1:a -t 2 -ac 2 -c:a flac"},
      // Coded at 1088 lines without a crop: shown as 1080.
      {"padded-1088.h264", "-f lavfi -i testsrc=s=1920x1088:r=25:d=0.08 -c:v libx264 -preset ultrafast "
                           "-pix_fmt yuv420p"},
  };
  return recipes;
}

// The clip of that name, made on first use in a temporary folder of the
// process. Raises std::runtime_error when ffmpeg fails.
inline std::string TestClip(const std::string& name) {
  static std::mutex lock;
  static std::map<std::string, std::string> made;
  static const std::string folder = NewTempFolder(true);
  const std::lock_guard guard(lock);
  if (const auto found = made.find(name); found != made.end())
    return found->second;
  const auto recipe = ClipRecipes().find(name);
  if (recipe == ClipRecipes().end())
    throw std::runtime_error("no test clip " + name);
  const std::string path = folder + name;
  if (!RunFfmpeg(recipe->second + " '" + path + "'"))
    throw std::runtime_error("ffmpeg could not make " + name);
  made[name] = path;
  return path;
}

// A file of the test folder holding `bytes`.
inline std::string WriteTestFile(const std::string& name, const std::string& bytes) {
  static const std::string folder = NewTempFolder(true);
  const std::string path = folder + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file)
    throw std::runtime_error("cannot write " + path);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path;
}

inline std::string ReadBinary(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}

// A YUV image in memory: three planes (U and V at half size, rounded
// down) or one 16-bit grey plane.
class TMemoryYUVImage final : public TYUVImage {
public:
  TMemoryYUVImage(int32_t width, int32_t height, TMode mode = kThreePlanes) : TYUVImage(width, height), m_mode(mode) {
    if (mode == kGrey) {
      m_planes[0].assign(static_cast<size_t>(width) * height * 2, 0);
    } else {
      m_planes[0].assign(static_cast<size_t>(width) * height, 0);
      m_planes[1].assign(static_cast<size_t>(width / 2) * (height / 2), 0);
      m_planes[2].assign(static_cast<size_t>(width / 2) * (height / 2), 0);
    }
  }
  TMode Mode() const override { return m_mode; }
  TPlane LockPlane(int32_t plane) override {
    if (m_refuse)
      return {};
    if (m_mode == kGrey)
      return plane == kPlaneGrey ? TPlane{m_planes[0].data(), Width() * 2, Width(), Height()} : TPlane{};
    if (plane < 0 || plane > 2)
      return {};
    const int32_t width = plane == 0 ? Width() : Width() / 2;
    const int32_t height = plane == 0 ? Height() : Height() / 2;
    ++m_locks;
    return {m_planes[static_cast<size_t>(plane)].data(), width, width, height};
  }
  void UnlockPlane(int32_t) override { ++m_unlocks; }
  bool NeedsRefill() const override { return m_refill; }
  void RefillDone() override { m_refill = false; }

  const std::vector<uint8_t>& Plane(int index) const { return m_planes[static_cast<size_t>(index)]; }
  void SetRefuse(bool refuse) { m_refuse = refuse; }
  void SetNeedsRefill() { m_refill = true; }
  int Locks() const { return m_locks; }
  int Unlocks() const { return m_unlocks; }

private:
  TMode m_mode;
  std::vector<uint8_t> m_planes[3];
  bool m_refuse = false;
  bool m_refill = false;
  int m_locks = 0;
  int m_unlocks = 0;
};

} // namespace qx::test
