// Exporting a rendered show as one video file with its sound: the frames of
// a render session and the mixed sound of the same frames go to a video
// encoder on a thread of its own, so the next frame is drawn while the last
// one is encoded. The file is made under a partial name beside the final
// one and renamed when it is complete, so the final name never holds a
// broken file. The encoder itself is behind TVideoFileEncoder; its FFmpeg
// implementation lives in FFmpeg/.
#pragma once

#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qx {

// What the file holds: pictures of Width x Height at a constant Fps, and
// 44100 Hz 16-bit stereo sound. The container follows the extension of
// Path; Crf and Preset tune the picture encoder (none: its defaults).
struct TVideoFileParams {
  std::string Path;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Fps = 25;
  std::optional<int32_t> Crf;
  std::string Preset;
};

// One video file being written. Calls come from one thread at a time.
// Destroying an encoder that was not closed abandons its file: it is
// deleted.
class TVideoFileEncoder {
public:
  virtual ~TVideoFileEncoder() = default;
  // Encodes the next picture (Bgra32, the file's size; frame k is shown at
  // k / Fps s). Raises EQxError when it cannot.
  virtual void WritePicture(const TBitmap& picture) = 0;
  // Encodes `frames` sample frames of interleaved stereo, following the
  // ones before. Raises EQxError when it cannot.
  virtual void WriteSound(const int16_t* samples, int64_t frames) = 0;
  // Drains the encoders and finishes the file. Raises EQxError when it
  // cannot; the file is then deleted.
  virtual void Close() = 0;
};

// Creates the file of the parameters; raises EQxError with the reason
// ("cannot create PATH: ...") when the file, its container or an encoder
// cannot be made.
using TVideoEncoderFactory = std::function<std::unique_ptr<TVideoFileEncoder>(const TVideoFileParams&)>;

// The mixed sound of a session, taken from the front.
class TMixedSoundTap {
public:
  virtual ~TMixedSoundTap() = default;
  // Appends to `into` the sample frames mixed so far from the first one not
  // yet taken up to `end` (exclusive), never past the end of the sound.
  // Returns how many were appended.
  virtual int64_t Take(int64_t end, std::vector<int16_t>& into) = 0;
};

// Whether `path` names a video file the export writes (".mp4", ".mov",
// ".mkv", ".webm", in any case).
bool IsVideoFileName(const std::string& path);

// The name the file has while it is written: "NAME.partial.EXT" beside it,
// keeping the extension that chooses the container.
std::string PartialVideoFileName(const std::string& path);

class TVideoExport final : public TRenderSession::TFrameSink {
public:
  // At most this many frames wait for the encoder.
  static constexpr size_t kInFlight = 3;

  // Creates the file under its partial name through `factory` (raises
  // EQxError when it cannot); `sound` gives the mixed sound of the frames.
  TVideoExport(TVideoFileParams params, const TVideoEncoderFactory& factory, TMixedSoundTap& sound);
  // Without Finish, the partial file is deleted.
  ~TVideoExport() override;
  TVideoExport(const TVideoExport&) = delete;
  TVideoExport& operator=(const TVideoExport&) = delete;

  // Queues frame k with the sound mixed before it; a failure of the encoder
  // is raised by the next call.
  void Write(const TBitmap& screen, int64_t k) override;
  // Encodes the rest of the sound of `frames` frames, finishes the file
  // and gives it its final name. Raises EQxError when it cannot (no file
  // is left then).
  void Finish(int64_t frames) override;

  const std::string& Path() const { return m_params.Path; }

private:
  struct TJob {
    TBitmap Picture;
    std::vector<int16_t> Sound;
  };

  void Queue(TJob job);
  void WaitUntilDone();
  void Run();

  TVideoFileParams m_params;
  std::string m_partial;
  TMixedSoundTap& m_sound;
  std::unique_ptr<TVideoFileEncoder> m_encoder;

  std::mutex m_lock;
  std::condition_variable m_changed;
  std::deque<TJob> m_queue;
  std::exception_ptr m_failure;
  bool m_busy = false;
  bool m_closing = false;
  bool m_finished = false;
  std::thread m_thread;
};

} // namespace qx
