#include "VmoLib2/VmoViewer/qxVmoRenderer.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/VmoThirdSlide3.h"
#include "VmoLib2/VmoClasses/qxVmoSlideHost.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFrameWriter.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"
#include "VmoLib2/VmoViewer/qxVmoSlideLoader2.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <filesystem>
#include <thread>
#include <utility>

namespace qx {

namespace {

// The loader keeps up to three slides: the one on screen and the next two.
constexpr int kLoaderCapacity = 3;
constexpr auto kWaitStep = std::chrono::milliseconds(2);

int RoundedMs(double time) { return static_cast<int>(std::lround(time)); }

// The slide the show shows at `time`, kept on the last slide past the end
// of a show that does not repeat.
int ShownSlide(const TVmoSource& source, double time) {
  const int shown = std::max(0, source.FindSlide(time));
  if (source.EndMode() != TEndMode::Repeat)
    return std::min(shown, source.SlideCount() - 1);
  return shown;
}

// A report entry is known by its time block (shifted into its repetition).
bool SameSlide(const TSlideEntry& entry, const TSlideTimes& times) {
  return entry.Times.SlideStart == times.SlideStart && entry.Times.SlideEnd == times.SlideEnd;
}

} // namespace

std::vector<int> SlidesOnScreen(const TVmoSource& source, double time) {
  if (source.SlideCount() <= 0)
    return {};
  const int shown = ShownSlide(source, time);
  std::vector<int> slides;
  // The outgoing slide of a running transition; compared in whole ms as the
  // loader compares.
  if (shown > 0) {
    TSlideTimes previous;
    source.GetSlideTimes(shown - 1, previous);
    if (RoundedMs(previous.SlideStart) <= RoundedMs(time) && RoundedMs(time) < RoundedMs(previous.VisibleEnd))
      slides.push_back(shown - 1);
  }
  slides.push_back(shown);
  return slides;
}

double DefaultRenderEnd(const TVmoSource& source) { return source.TotalDuration(); }

// The slide loader for an output of a given size, counting its completed
// steps so the renderer can tell that a step has run at the position it set.
class TVmoRenderer::TLoader final : public TVmoSlideLoader {
public:
  TLoader(TVmoSource& source, TSize output) : TVmoSlideLoader(source, kLoaderCapacity, output) {
    // Rendered frames are the output, whatever window the show asks for.
    SetFrameSize(output.Width, output.Height);
  }

  uint64_t Steps() const { return m_steps.load(std::memory_order_acquire); }

protected:
  void Step() override {
    TVmoSlideLoader::Step();
    m_steps.fetch_add(1, std::memory_order_acq_rel);
  }

private:
  std::atomic<uint64_t> m_steps{0};
};

TVmoRenderer::TVmoRenderer(TVmoSource& source, TVmoDrawController& controller, bool cover)
    : m_source(source), m_controller(controller) {
  if (!controller.InitDrawer())
    throw EQxError("no drawer for the output device");
  // Random transition choices and the draws of effects (mosaic order, one
  // of several custom transitions) follow the slide index, so every run
  // renders the same frames.
  source.SetDeterministic(true);
  m_events.SetOwnerThread(std::this_thread::get_id());
  m_events.SetHandler([this](int32_t id, TEventPayload& payload) { return OnEvent(id, payload); });
  const auto [width, height] = controller.DeviceSize();
  m_loader = std::make_unique<TLoader>(source, TSize{width, height});
  m_loader->SetGeometry(cover);
  // Every frame shows its own time: video objects wait for the exact frame.
  m_loader->Cache().Producer().Host().SetExactVideoFrames(true);
  m_loader->ReportTo(m_events);
  const TPixelRect slide = m_loader->SlideRect();
  controller.Drawer()->SetSlideSize(slide.Width(), slide.Height());
  m_loader->Timing()->SetPosition(0);
  TThirdSlideSettings overlay;
  overlay.OutputWidth = m_loader->FrameWidth();
  overlay.OutputHeight = m_loader->FrameHeight();
  overlay.Cover = cover;
  overlay.EngineSlideWidth = slide.Width();
  overlay.DurationMs = static_cast<int64_t>(source.TotalDuration());
  try {
    m_overlay = std::make_unique<TThirdSlide>(source, overlay, TThirdSlideCallbacks{});
  } catch (const EAbort&) {
    throw;
  } catch (const std::exception& error) {
    // The slides are drawn without the layer.
    Log().WriteLine(std::string("TVmoRenderer: no overlay: ") + error.what());
  }
  m_loader->Start();
}

TVmoRenderer::~TVmoRenderer() {
  // The loader may be waiting in a send to this queue: keep handling it
  // until the thread has stopped.
  std::thread stopper([this] { m_loader->Stop(); });
  while (m_loader->Running()) {
    m_events.WaitForEvents(kWaitStep);
    m_events.Process();
  }
  stopper.join();
  m_events.Process();
  m_entries.clear();
  m_root.BuildDrawList({}, nullptr, 0);
  m_overlay.reset();
}

bool TVmoRenderer::OnEvent(int32_t id, TEventPayload& payload) {
  if (id != TVmoSlideLoader::kSlideListEvent)
    return false;
  const auto* data = dynamic_cast<const TSlideData*>(payload.get());
  if (!data)
    return false;
  m_entries.assign(data->Entries().begin(), data->Entries().end());
  return true;
}

bool TVmoRenderer::Prepared(double time) const {
  for (const int index : SlidesOnScreen(m_source, time)) {
    TSlideTimes wanted;
    m_source.GetSlideTimes(index, wanted);
    const bool present = std::any_of(m_entries.begin(), m_entries.end(),
                                     [&wanted](const TSlideEntry& entry) { return SameSlide(entry, wanted); });
    if (!present)
      return false;
  }
  return true;
}

void TVmoRenderer::WaitForSlides(double time) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + m_timeout;
  m_loader->Timing()->SetPosition(time);
  m_loader->Timing()->SetRequested(time);
  // A step of the loader at the new position drops the slides that the last
  // report lists outside the range it now keeps (the slide on screen and the
  // next ones; an outgoing slide may go at any moment). When the report holds
  // such a slide, draw only after a whole step has run at this position and
  // its report was taken.
  std::vector<TSlideTimes> kept;
  const int shown = ShownSlide(m_source, time);
  for (int index = shown; index < shown + kLoaderCapacity; ++index) {
    if (m_source.EndMode() != TEndMode::Repeat && index >= m_source.SlideCount())
      break;
    m_source.GetSlideTimes(index, kept.emplace_back());
  }
  const bool mayDrop = std::any_of(m_entries.begin(), m_entries.end(), [&kept](const TSlideEntry& entry) {
    return std::none_of(kept.begin(), kept.end(),
                        [&entry](const TSlideTimes& times) { return SameSlide(entry, times); });
  });
  const uint64_t stepsWanted = m_loader->Steps() + 2;
  for (;;) {
    m_events.Process();
    if ((!mayDrop || m_loader->Steps() >= stepsWanted) && Prepared(time))
      break;
    if (!m_loader->Running())
      throw EQxError("the slide loader stopped: " + m_loader->FailureText());
    if (std::chrono::steady_clock::now() > deadline)
      throw EQxError("slides at " + std::to_string(RoundedMs(time)) + " ms were not prepared in time");
    m_events.WaitForEvents(kWaitStep);
  }
  m_waiting += std::chrono::steady_clock::now() - start;
}

void TVmoRenderer::Render(double time, TBitmap& frame) {
  WaitForSlides(time);
  TDeviceDrawer& drawer = *m_controller.Drawer();
  if (m_overlay)
    m_overlay->Step(static_cast<int64_t>(time), 0);
  m_root.BuildDrawList(m_entries, m_overlay.get(), time);
  drawer.SetNoPresent(true);
  m_controller.Draw(m_root);
  if (!drawer.ReadBack(frame))
    throw EQxError("the frame at " + std::to_string(RoundedMs(time)) + " ms could not be read back");
  // The screen has no transparency: what blending left in alpha is not part
  // of the picture.
  for (int y = 0; y < frame.Height(); ++y) {
    uint8_t* row = frame.Scanline(y);
    for (int x = 0; x < frame.Width(); ++x)
      row[x * 4 + 3] = 255;
  }
  ++m_framesDrawn;
}

int64_t RenderFrames(const TRenderOptions& options, TVmoRenderer& renderer, std::FILE* progressOut) {
  std::error_code error;
  std::filesystem::create_directories(options.OutputFolder, error);
  if (!std::filesystem::is_directory(options.OutputFolder))
    throw EQxError("cannot create the folder " + options.OutputFolder);
  const std::filesystem::path folder(options.OutputFolder);

  std::vector<std::pair<double, std::string>> frames;
  if (options.Times.empty()) {
    const int32_t to = options.To.value_or(static_cast<int32_t>(std::ceil(DefaultRenderEnd(renderer.Source()))));
    const int64_t count = FrameCount(options.From, to, options.Fps);
    frames.reserve(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k)
      frames.emplace_back(FrameTime(options.From, options.Fps, k), SequenceFrameName(k));
  } else {
    for (const int32_t time : options.Times)
      frames.emplace_back(time, SingleFrameName(time));
  }

  TRenderProgress progress(progressOut, options.Progress, static_cast<int64_t>(frames.size()));
  TFrameWriter writer;
  int64_t done = 0;
  for (const auto& [time, name] : frames) {
    TBitmap frame;
    renderer.Render(time, frame);
    writer.Write(std::move(frame), (folder / name).string());
    progress.FrameDone(++done);
  }
  writer.Finish();
  return done;
}

} // namespace qx
