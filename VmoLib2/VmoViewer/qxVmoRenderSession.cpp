#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"

#include "QxLib/qxExceptions.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoViewer/qxVmoFrameWriter.h"
#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace qx {

namespace {

constexpr int64_t kSampleRate = 44100;

// Frames as PNG files in a folder.
class TFolderSink final : public TRenderSession::TFrameSink {
public:
  explicit TFolderSink(std::filesystem::path folder) : m_folder(std::move(folder)) {}

  void Write(const TBitmap& screen, int64_t k) override {
    m_writer.Write(screen.CropView(0, 0, screen.Width(), screen.Height()), (m_folder / SequenceFrameName(k)).string());
  }
  void Finish(int64_t) override { m_writer.Finish(); }

private:
  std::filesystem::path m_folder;
  TFrameWriter m_writer;
};

// Frames drawn and dropped: the renderer's own pace.
class TDiscardSink final : public TRenderSession::TFrameSink {
public:
  void Write(const TBitmap&, int64_t) override {}
  void Finish(int64_t) override {}
};

} // namespace

std::string_view RenderEndText(TRenderEnd end) {
  switch (end) {
  case TRenderEnd::ShowEnded: return "the show ended";
  case TRenderEnd::ReachedTo: return "the show time reached -to";
  case TRenderEnd::ReachedDuration: return "the wall time reached -duration";
  case TRenderEnd::Waiting: return "the show waits for input and the script has no more";
  case TRenderEnd::WindowClosed: return "the window closed";
  case TRenderEnd::Interrupted: return "interrupted";
  case TRenderEnd::Stopped: return "the run was stopped";
  }
  return "";
}

int64_t FrameWallTime(int32_t fps, int64_t k) { return k * 1000 / fps; }

int64_t FrameFirstSample(int32_t fps, int64_t k) { return k * kSampleRate / fps; }

// Lets the engine draw only in its step at the time of an output frame, and
// keeps what the screen shows.
class TRenderSession::TPacer final : public TVmoFramePacer {
public:
  TPacer(const TStepDriver& driver, int width, int height)
      : m_driver(driver), m_screen(width, height, TPixelFormat::Bgra32) {
    m_screen.Fill(TBgra{0, 0, 0, 255});
  }

  // The frame at `time` is wanted.
  void Want(int64_t time) {
    m_time = time;
    m_asked = false;
  }
  // The engine has had its step at that time.
  bool Asked() const { return m_asked; }
  const TBitmap& Screen() const { return m_screen; }

  bool MayDraw() override {
    if (m_asked || m_driver.Now() != m_time)
      return false;
    m_asked = true;
    return true;
  }

  void FrameDrawn(TDeviceDrawer& drawer) override {
    // Each frame in memory of its own, so that frames handed to the writer
    // stay as they were.
    TBitmap frame;
    if (!drawer.ReadBack(frame))
      return;
    // The screen has no transparency: what blending left in alpha is not
    // part of the picture.
    for (int y = 0; y < frame.Height(); ++y) {
      uint8_t* row = frame.Scanline(y);
      for (int x = 0; x < frame.Width(); ++x)
        row[x * 4 + 3] = 255;
    }
    m_screen = std::move(frame);
  }

private:
  const TStepDriver& m_driver;
  TBitmap m_screen;
  int64_t m_time = -1;
  bool m_asked = false;
};

TRenderSession::TRenderSession(const TRenderOptions& options, TVmoViewerSetup output)
    : m_options(options), m_driver([this](int32_t ms) {
        if (m_sound)
          m_sound->Advance(ms);
      }),
      m_scope(m_driver), m_applicationSteps(std::make_unique<TApplicationSteps>(m_application)),
      m_pacer(std::make_unique<TPacer>(m_driver, options.Width, options.Height)), m_setup(std::move(output)) {
  if (m_options.VideoFile.empty() && !m_options.OutputFolder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(m_options.OutputFolder, error);
    if (!std::filesystem::is_directory(m_options.OutputFolder))
      throw EQxError("cannot create the folder " + m_options.OutputFolder);
  }
  m_driver.Attach(*m_applicationSteps, TStepDriver::kNever);
  m_setup.Application = &m_application;
  m_setup.Pacer = m_pacer.get();
  m_setup.Cover = options.Cover;
  m_setup.Deterministic = true;
  m_setup.DecodeAhead = options.DecodeAhead;
}

TRenderSession::~TRenderSession() { m_driver.Detach(*m_applicationSteps); }

void TRenderSession::SetSound(std::unique_ptr<TSound> sound, TVmoMusicFactory music) {
  m_sound = std::move(sound);
  m_setup.MakeMusic = std::move(music);
}

void TRenderSession::SetFrameSink(std::unique_ptr<TFrameSink> sink) { m_sink = std::move(sink); }

void TRenderSession::SetStopRequest(std::function<bool()> stop) { m_stop = std::move(stop); }

void TRenderSession::RunToFrame(TRenderedWindow& window, int64_t time) {
  m_pacer->Want(time);
  m_driver.RunDue();
  if (m_pacer->Asked())
    return;
  // The engine had no step of its own at this instant: it gets one now.
  TVmoShowViewer* viewer = window.Viewer();
  if (TVmoEngine* engine = viewer ? viewer->Engine() : nullptr) {
    engine->WakeDriven();
    m_driver.RunDue();
  }
}

bool TRenderSession::Finished(TRenderedWindow& window, TRenderInput* input, int64_t time, TRenderEnd& end) const {
  TVmoShowViewer* viewer = window.Viewer();
  if (window.Closed() || !viewer || !viewer->Engine()) {
    end = TRenderEnd::WindowClosed;
    return true;
  }
  const TVmoEngineState state = viewer->EngineState();
  if (state.Ended || viewer->Ended()) {
    end = TRenderEnd::ShowEnded;
    return true;
  }
  if (m_options.To && state.Position >= *m_options.To) {
    end = TRenderEnd::ReachedTo;
    return true;
  }
  if (state.WaitsForUser()) {
    const std::optional<int64_t> next = input ? input->NextEventTime() : std::nullopt;
    if (!next || *next <= time) {
      end = TRenderEnd::Waiting;
      return true;
    }
  }
  return false;
}

int64_t TRenderSession::EstimatedFrames(TRenderedWindow& window) const {
  int64_t wall = 0;
  if (m_options.Duration) {
    wall = *m_options.Duration;
  } else if (TVmoShowViewer* viewer = window.Viewer(); viewer && viewer->Engine()) {
    const double end = m_options.To ? *m_options.To : viewer->Engine()->State().Duration;
    wall = static_cast<int64_t>(std::max(0.0, end - m_options.From));
  }
  return std::max<int64_t>(1, (wall * m_options.Fps + 999) / 1000);
}

TRenderSession::TResult TRenderSession::Run(TRenderedWindow& window, TRenderInput* input, std::FILE* progressOut) {
  if (!m_sink && (m_options.Discard || m_options.OutputFolder.empty()))
    m_sink = std::make_unique<TDiscardSink>();
  if (!m_sink)
    m_sink = std::make_unique<TFolderSink>(m_options.OutputFolder);
  TResult result;
  TRenderProgress progress(progressOut, m_options.Progress, EstimatedFrames(window));
  for (int64_t k = 0;; ++k) {
    const int64_t time = FrameWallTime(m_options.Fps, k);
    if (m_options.Duration && time >= *m_options.Duration) {
      result.End = TRenderEnd::ReachedDuration;
      break;
    }
    if (m_stop && m_stop()) {
      result.End = TRenderEnd::Interrupted;
      break;
    }
    // The input of this instant goes in before any step at it runs.
    m_driver.AdvanceTo(time);
    if (input)
      input->DeliverDue(time);
    RunToFrame(window, time);
    if (Finished(window, input, time, result.End))
      break;
    m_sink->Write(m_pacer->Screen(), k);
    result.Frames = k + 1;
    progress.FrameDone(result.Frames);
    if (m_observer && !m_observer(result.Frames, time)) {
      result.End = TRenderEnd::Stopped;
      break;
    }
  }
  progress.Finish();
  if (m_sound) {
    // The sound of the last frame written ends where the next frame's
    // would begin.
    const int64_t samples = FrameFirstSample(m_options.Fps, result.Frames);
    m_driver.RunUntil((samples * 1000 + kSampleRate - 1) / kSampleRate);
    m_sound->Finish(samples);
  }
  m_sink->Finish(result.Frames);
  return result;
}

} // namespace qx
