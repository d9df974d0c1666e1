// Memory of a long show: a generated show of 300 slides, each a distinct
// package entry holding a 24-megapixel JPEG (the entries share one copy of
// the bytes in the file), rendered start to end at 2 frames per second at
// 1920 x 1080. The slide loader keeps at most three slides, so the peak
// resident size must stay within a few slides' worth above what the process
// holds after its first slide. Prints the peak (getrusage), the size of one
// prepared slide, and the growth counted in slides.
// bench_memory [SLIDES] (default 300)
#include "QxLib/qxFileStream.h"
#include "QxLib/qxProcess.h"
#include "Tools/PackWriter/qxVmoPackWriter.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/Backends/qx3DEngines.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererOptions.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "bench/qxBenchPhoto.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace qx;

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFps = 2;
constexpr int kSlideMs = 1000;
constexpr int kDefaultSlides = 300;

std::string PhotoName(int slide) { return "C:\\Shows\\Long\\photo" + std::to_string(slide) + ".jpg"; }

std::string Project(int slides) {
  std::string text = "[Main]\r\nVmoVersion=5.6.1\r\nopt_slidescount=" + std::to_string(slides) +
                     "\r\nopt_repeat=stop\r\nopt_scr_width=1920\r\nopt_scr_height=1080\r\nopt_fx_enable=0\r\n";
  for (int i = 1; i <= slides; ++i)
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * kSlideMs) + "\r\n";
  for (int i = 1; i <= slides; ++i) {
    text += "[Slide" + std::to_string(i) + "]\r\nobject Photo:mainimage\r\n  ImageName=" + PhotoName(i) +
            "\r\n  FitMode=PlaceInto\r\nend\r\n";
  }
  return text;
}

// The package: one copy of the JPEG, listed under every slide's name.
void WriteShow(const std::string& path, int slides) {
  const std::string photo = bench::EncodePhoto(kPhotoWidth, kPhotoHeight, 80, 11);
  TFileStream file(path, TFileMode::Create);
  TVmoPackWriter writer(file);
  writer.AddEntry("Project.vmo", 1, Project(slides));
  const int64_t position = file.GetSize();
  writer.AddEntry(PhotoName(1), 0, photo);
  for (int i = 2; i <= slides; ++i)
    writer.ListExisting(PhotoName(i), position, static_cast<int64_t>(photo.size()));
  writer.Finish("5.6.1", TVmoTrailerForm::Current);
}

double PeakMiB() { return static_cast<double>(PeakResidentBytes()) / (1024 * 1024); }

int Run(int slides) {
  const std::string path = "/tmp/bench_memory_" + std::to_string(CurrentProcessId()) + ".VmShow";
  WriteShow(path, slides);
  std::string message;
  auto show = OpenShowToRender(path, false, message);
  if (!show) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  TVmoSource& source = show->Source();
  std::string error;
  const std::unique_ptr<T3DEngine> engine = CreateDrawingEngine("", nullptr, error);
  if (!engine) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  TDrawDevice device({0, 0, kWidth, kHeight});
  TVmoDrawController controller(device, [&engine] { return std::make_unique<T3DDrawer>(*engine); });

  // One prepared slide: the picture decoded at the level a full-screen
  // picture gets (Bgra32), and its tiles uploaded once more.
  const double fit = std::min(double(kWidth) / kPhotoWidth, double(kHeight) / kPhotoHeight);
  const int level =
      MipLevelForSize(kPhotoWidth, kPhotoHeight, WantedSide(kPhotoWidth * fit, TVmoObjectHost::kMipLevelScale),
                      WantedSide(kPhotoHeight * fit, TVmoObjectHost::kMipLevelScale));
  const double levelMiB = double(kPhotoWidth >> level) * (kPhotoHeight >> level) * 4 / (1024 * 1024);
  const double slideMiB = 2 * levelMiB;

  const double beforeMiB = PeakMiB();
  double afterFirstMiB = 0;
  {
    TVmoRenderer renderer(source, controller, false);
    TBitmap frame;
    const int64_t count = FrameCount(0, static_cast<int32_t>(DefaultRenderEnd(source)), kFps);
    for (int64_t k = 0; k < count; ++k) {
      renderer.Render(FrameTime(0, kFps, k), frame);
      if (k == kFps * kSlideMs / 1000 - 1)
        afterFirstMiB = PeakMiB();
      if (k % 100 == 0)
        std::fprintf(stderr, "\rframe %lld/%lld  peak %.0f MiB", static_cast<long long>(k),
                     static_cast<long long>(count), PeakMiB());
    }
    std::fprintf(stderr, "\n");
    std::printf("%d slides of %dx%d JPEG, %lld frames at %d fps, %dx%d output\n", slides, kPhotoWidth, kPhotoHeight,
                static_cast<long long>(count), kFps, kWidth, kHeight);
  }
  std::remove(path.c_str());
  const double peakMiB = PeakMiB();
  std::printf("mip level %d: %.1f MiB decoded, about %.1f MiB a prepared slide with its tiles\n", level, levelMiB,
              slideMiB);
  std::printf("peak RSS: %.1f MiB before rendering, %.1f MiB after the first slide, %.1f MiB at the end\n", beforeMiB,
              afterFirstMiB, peakMiB);
  std::printf("growth after the first slide: %.1f MiB = %.2f slides\n", peakMiB - afterFirstMiB,
              (peakMiB - afterFirstMiB) / slideMiB);
  std::printf("growth over the whole run: %.1f MiB = %.2f slides\n", peakMiB - beforeMiB,
              (peakMiB - beforeMiB) / slideMiB);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  try {
    const int slides = argc > 1 ? std::max(2, std::atoi(argv[1])) : kDefaultSlides;
    return Run(slides);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_memory: %s\n", error.what());
    return 1;
  }
}
