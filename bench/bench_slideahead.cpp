// How long the headless renderer's frames wait for slides: a show of
// 3000 x 2000 JPEG photos at 1920 x 1080 (or a size given), 25 frames per
// second, slowly zooming, cut from one to the next (so that every frame
// costs about the same but those that wait for a slide), rendered through
// the engine, the slide loader and the music player on the virtual clock
// (frames read back and dropped, as "-render ... -discard" does). Run
// twice in the same process: the baseline decodes each slide's pictures on
// the render thread when the loader builds the slide; the other decodes
// them on a thread of their own while the frames before the slide are
// drawn. For each: frames per second, the median and the slowest frame,
// and the wait, the time the frames slower than twice the median took
// beyond the median (frames that prepared a slide). Both runs must give
// the same frames (checked by a hash of every frame).
#include "QxLib/qxFileStream.h"
#include "QxLib/qxProcess.h"
#include "Tools/PackWriter/qxVmoPackWriter.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoViewer/Virtual/qxVmoRenderSound.h"
#include "VmoLib2/VmoViewer/qxVmoEngineMusic.h"
#include "VmoLib2/VmoViewer/qxVmoRenderSession.h"
#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "bench/qxBenchPhoto.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qx;

int g_width = 1920;
int g_height = 1080;
constexpr int kFps = 25;
constexpr int kSlides = 5;
constexpr int kSlideMs = 2000;
constexpr int kPhotoWidth = 3000;
constexpr int kPhotoHeight = 2000;

std::string PhotoName(int slide) { return "C:\\Bench\\photo" + std::to_string(slide) + ".jpg"; }

std::string Project() {
  std::string text = "[Main]\r\nopt_slidescount=" + std::to_string(kSlides) + "\r\n";
  for (int i = 1; i <= kSlides; ++i)
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * kSlideMs) + "\r\n";
  text += "opt_repeat=stop\r\nopt_scr_width=" + std::to_string(g_width) + "\r\nopt_scr_height=" +
          std::to_string(g_height) + "\r\nopt_fx_enable=0\r\nopt_bstyle=1\r\nopt_bname=0\r\n";
  for (int i = 1; i <= kSlides; ++i) {
    text += "[Slide" + std::to_string(i) + "]\r\n";
    text += "object Photo:mainimage\r\n  ImageName=" + PhotoName(i) +
            "\r\n  FitMode=Cover\r\n"
            "  object K1:keypoint\r\n    Time=0\r\n    Origin=SlideBegin\r\n    ScaleX=100\r\n    ScaleY=100\r\n  end\r\n"
            "  object K2:keypoint\r\n    Time=0\r\n    Origin=SlideEnd\r\n    ScaleX=130\r\n    ScaleY=130\r\n  end\r\n"
            "end\r\n";
  }
  return text;
}

void WriteShow(const std::string& path) {
  TFileStream file(path, TFileMode::Create);
  TVmoPackWriter writer(file);
  writer.AddEntry("Project.vmo", 1, Project());
  for (int i = 1; i <= kSlides; ++i)
    writer.AddEntry(PhotoName(i), 0, bench::EncodePhoto(kPhotoWidth, kPhotoHeight, 90, static_cast<uint32_t>(i)));
  writer.Finish("5.6.1", TVmoTrailerForm::Current);
}

// Times each frame from the end of the one before and hashes its pixels.
class TTimingSink final : public TRenderSession::TFrameSink {
public:
  void Write(const TBitmap& screen, int64_t) override {
    const auto now = std::chrono::steady_clock::now();
    m_frameMs.push_back(std::chrono::duration<double, std::milli>(now - m_last).count());
    for (int y = 0; y < screen.Height(); ++y) {
      const uint8_t* row = screen.Scanline(y);
      for (int x = 0; x < screen.Width() * 4; ++x)
        m_hash = (m_hash ^ row[x]) * 1099511628211ull;
    }
    m_last = std::chrono::steady_clock::now();
  }
  void Finish(int64_t) override {}

  void Start() { m_last = std::chrono::steady_clock::now(); }
  const std::vector<double>& FrameMs() const { return m_frameMs; }
  uint64_t Hash() const { return m_hash; }

private:
  std::chrono::steady_clock::time_point m_last;
  std::vector<double> m_frameMs;
  uint64_t m_hash = 14695981039346656037ull;
};

struct TFigures {
  double Fps = 0;
  double MedianMs = 0;
  double SlowestMs = 0;
  double WaitMs = 0;
  int64_t Frames = 0;
  uint64_t Hash = 0;
};

bool Render(const std::string& path, T3DEngine& engine, bool decodeAhead, TFigures& figures) {
  std::string message;
  std::unique_ptr<TVmoShowLocator> show = OpenShowToRender(path, false, message);
  if (!show) {
    std::fprintf(stderr, "bench_slideahead: %s\n", message.c_str());
    return false;
  }
  TRenderOptions options;
  options.Fps = kFps;
  options.Width = g_width;
  options.Height = g_height;
  options.DecodeAhead = decodeAhead;
  TVmoViewerSetup output;
  output.MakeDrawDevice = [] { return std::make_unique<TDrawDevice>(T3DRect{0, 0, g_width, g_height}); };
  output.MakeDrawer = [&engine] {
    auto drawer = std::make_unique<T3DDrawer>(engine);
    drawer->SetNoPresent(true);
    return drawer;
  };
  TRenderSession session(options, output);
  auto sound = std::make_unique<TVmoRenderSound>();
  TWaveOutDevice& device = sound->Device();
  session.SetSound(std::move(sound), MakeMusicFactory(&device, 1));
  auto sink = std::make_unique<TTimingSink>();
  TTimingSink& timing = *sink;
  session.SetFrameSink(std::move(sink));
  const auto start = std::chrono::steady_clock::now();
  timing.Start();
  {
    TVmoPlainWindow window(session.ViewerSetup(), std::move(show), 0);
    if (window.Closed()) {
      std::fprintf(stderr, "bench_slideahead: %s\n", window.Message().c_str());
      return false;
    }
    figures.Frames = session.Run(window, nullptr, nullptr).Frames;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::vector<double> sorted = timing.FrameMs();
  if (sorted.empty())
    return false;
  std::sort(sorted.begin(), sorted.end());
  figures.Fps = static_cast<double>(figures.Frames) / seconds;
  figures.MedianMs = sorted[sorted.size() / 2];
  figures.SlowestMs = sorted.back();
  for (const double ms : sorted)
    if (ms > 2 * figures.MedianMs)
      figures.WaitMs += ms - figures.MedianMs;

  figures.Hash = timing.Hash();
  return true;
}

void Print(const char* name, const TFigures& f) {
  std::printf("%-28s %6.1f frames/s  median %6.1f ms  slowest %7.1f ms  wait %7.1f ms  (%lld frames, hash %016llx)\n",
              name, f.Fps, f.MedianMs, f.SlowestMs, f.WaitMs, static_cast<long long>(f.Frames),
              static_cast<unsigned long long>(f.Hash));
}

int Run(int repetitions) {
  std::string error;
  const std::unique_ptr<T3DEngine> engine = CreateDrawingEngine("", nullptr, error);
  if (!engine) {
    std::fprintf(stderr, "bench_slideahead: %s\n", error.c_str());
    return 1;
  }
  const std::string path = "/tmp/bench_slideahead_" + std::to_string(CurrentProcessId()) + ".VmShow";
  WriteShow(path);
  std::printf("%d slides of %dx%d JPEG photos, %d ms each, zooming, %dx%d at %d frames/s\n", kSlides, kPhotoWidth,
              kPhotoHeight, kSlideMs, g_width, g_height, kFps);
  int status = 0;
  for (int i = 0; i < repetitions && status == 0; ++i) {
    TFigures baseline;
    TFigures ahead;
    if (!Render(path, *engine, false, baseline) || !Render(path, *engine, true, ahead)) {
      status = 1;
      break;
    }
    Print("decoded when built (base)", baseline);
    Print("decoded ahead", ahead);
    if (baseline.Hash != ahead.Hash || baseline.Frames != ahead.Frames) {
      std::fprintf(stderr, "bench_slideahead: the two runs gave different frames\n");
      status = 1;
    }
  }
  std::remove(path.c_str());
  return status;
}

} // namespace

// bench_slideahead [REPETITIONS [WIDTHxHEIGHT]]
int main(int argc, char** argv) {
  if (argc > 2 && std::sscanf(argv[2], "%dx%d", &g_width, &g_height) != 2) {
    std::fprintf(stderr, "usage: bench_slideahead [REPETITIONS [WIDTHxHEIGHT]]\n");
    return 2;
  }
  return Run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 3);
}
