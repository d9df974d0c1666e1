// The headless renderer: plays a show through the main window's logic, the
// viewer, the engine, the slide loader and the music player on a virtual
// wall clock, and writes what the screen shows at each output frame as a
// PNG, and what the sound device plays as one WAV file. Every worker runs
// its steps on the session's thread at virtual times (TStepDriver), so the
// same show, options and input give the same frames and the same sound on
// every run. How the window and the input plug in is described in
// qxVmoRenderedWindow.h.
#pragma once

#include "QxLib/Application2/qxApplication.h"
#include "QxLib/Graphics/qxBitmap.h"
#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"
#include "VmoLib2/VmoViewer/qxVmoStepDriver.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

namespace qx {

// Why a rendered session ended.
enum class TRenderEnd {
  ShowEnded,       // a show that does not repeat has ended
  ReachedTo,       // the show time reached "-to"
  ReachedDuration, // the wall time reached "-duration"
  Waiting,         // the engine waits for the user and the script has no later event
  WindowClosed,    // the main window closed
  Interrupted,     // the stop request said so (Ctrl+C)
  Stopped,         // the frame observer asked to stop
};

// "the show ended", ... as the program prints it.
std::string_view RenderEndText(TRenderEnd end);

// The wall time of output frame k, whole milliseconds rounded down.
int64_t FrameWallTime(int32_t fps, int64_t k);
// The first sample (at 44100 Hz) of the sound of output frame k.
int64_t FrameFirstSample(int32_t fps, int64_t k);

class TRenderSession {
public:
  // The sound of the session: advanced with the wall clock, cut at the end
  // to exactly the samples of the frames written.
  class TSound {
  public:
    virtual ~TSound() = default;
    virtual void Advance(int32_t ms) = 0;
    virtual void Finish(int64_t samples) = 0;
  };

  // Where the frames go: PNG files in the options' folder unless the
  // session is given another sink.
  class TFrameSink {
  public:
    virtual ~TFrameSink() = default;
    // Frame k of the sequence, as the screen shows it (Bgra32, opaque).
    virtual void Write(const TBitmap& screen, int64_t k) = 0;
    // After the last frame and the end of the sound: `frames` were
    // written. Raises EQxError when the output cannot be completed.
    virtual void Finish(int64_t frames) = 0;
  };

  struct TResult {
    int64_t Frames = 0;
    TRenderEnd End = TRenderEnd::WindowClosed;
  };

  // Called after each output frame with the frames done so far and the
  // frame's wall time; false ends the session (Stopped). May not free the
  // window or the session.
  using TFrameObserver = std::function<bool(int64_t frames, int64_t wallMs)>;

  // `output` gives the draw device (off-screen, of the options' size) and
  // the drawer; the session adds its application queue, its frame pacer
  // and its music. Makes the output folder (raises EQxError when it
  // cannot) unless the options name a video file. With neither a folder nor
  // a video file the frames are drawn and read back, then dropped (long
  // runs that watch the player, not its pictures). Installs the session's
  // step driver on this thread for the session's life: the window must be
  // made after the session and freed before it.
  TRenderSession(const TRenderOptions& options, TVmoViewerSetup output);
  ~TRenderSession();
  TRenderSession(const TRenderSession&) = delete;
  TRenderSession& operator=(const TRenderSession&) = delete;

  // For the main window's viewer.
  const TVmoViewerSetup& ViewerSetup() const { return m_setup; }
  TApplication& Application() { return m_application; }
  TStepDriver& Driver() { return m_driver; }

  // The sound output and the music players that play on it; before the
  // window opens its show.
  void SetSound(std::unique_ptr<TSound> sound, TVmoMusicFactory music);
  void SetFrameObserver(TFrameObserver observer) { m_observer = std::move(observer); }

  // Frames go to `sink` instead of PNG files.
  void SetFrameSink(std::unique_ptr<TFrameSink> sink);
  // Asked before each frame; true ends the session as interrupted, with
  // the frames so far and their sound completed.
  void SetStopRequest(std::function<bool()> stop);

  // Renders until one of the ends; `input` may be null. Raises EQxError
  // when a frame cannot be written.
  TResult Run(TRenderedWindow& window, TRenderInput* input, std::FILE* progressOut);

private:
  class TPacer;

  // Runs the steps due at `time` (the clock stands there), giving the
  // engine a step in which it may draw the frame.
  void RunToFrame(TRenderedWindow& window, int64_t time);
  bool Finished(TRenderedWindow& window, TRenderInput* input, int64_t time, TRenderEnd& end) const;
  int64_t EstimatedFrames(TRenderedWindow& window) const;

  TRenderOptions m_options;
  TApplication m_application;
  std::unique_ptr<TSound> m_sound;
  std::unique_ptr<TFrameSink> m_sink;
  std::function<bool()> m_stop;
  TStepDriver m_driver;
  TStepDriver::TScope m_scope;
  std::unique_ptr<TApplicationSteps> m_applicationSteps;
  std::unique_ptr<TPacer> m_pacer;
  TVmoViewerSetup m_setup;
  TFrameObserver m_observer;
};

} // namespace qx
