// A generated show of flat red and blue slides whose transitions are every
// class and variant, packed here and rendered headless through the slide
// loader, the draw list and the drawer.
#include "VmoLib2/VmoViewer/qxVmoRenderer.h"

#include "Tests/TestSupport/qxTestEngines.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/VmoViewer/qxVmoRendererShow.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qx {
namespace {

using test::TScratchFolder;
using test::TTestPackage;

constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr int kSlideMs = 600;
constexpr int kEffectMs = 400;
// Windows colour values: red in the low byte.
constexpr int kRed = 255;
constexpr int kBlue = 255 << 16;

struct TTransitionCase {
  int cls;
  int variant;
};

// Every class with its variants, the custom transition, and one chosen at
// random from the show's groups.
std::vector<TTransitionCase> Cases() {
  const std::pair<int, int> classes[] = {{1, 1},  {2, 1},   {3, 2},  {4, 2},  {5, 2},  {6, 2},  {7, 5},  {8, 4}, {9, 4},
                                         {10, 4}, {11, 16}, {12, 4}, {13, 4}, {14, 8}, {15, 8}, {16, 4}, {17, 4}};
  std::vector<TTransitionCase> cases;
  for (const auto& [cls, count] : classes) {
    for (int v = 1; v <= count; ++v) {
      cases.push_back({cls, v});
    }
  }
  cases.push_back({18, 0});
  cases.push_back({-1, 0});
  return cases;
}

// The variant character of a variant number.
char VariantChar(int variant) {
  return variant <= 8 ? static_cast<char>('0' + variant) : static_cast<char>('A' + variant - 9);
}

std::string Project(const std::vector<TTransitionCase>& cases) {
  const int slides = static_cast<int>(cases.size()) + 1;
  std::string text = "[Main]\r\nVmoVersion=5.6.1\r\nopt_slidescount=" + std::to_string(slides) +
                     "\r\nopt_repeat=stop\r\nopt_scr_width=160\r\nopt_scr_height=90\r\n"
                     "opt_fx_enable=1\r\nopt_fx_time=400\r\nopt_fx_rolldiameter=100\r\nopt_fx_rollvariants=3\r\n"
                     "opt_fx_mosaic_dx=16\r\nopt_fx_mosaic_dy=9\r\nopt_fx_mosaic_sc=1000\r\n"
                     "opt_fx_eff2=1\r\nopt_fx_eff12=1234\r\nopt_fx_custom_count=1\r\n"
                     "opt_fx_custom0=fx\\halves.vmo\r\n";
  for (int i = 1; i <= slides; ++i) {
    text += "opt_synchpos" + std::to_string(i) + "=" + std::to_string(i * kSlideMs) + "\r\n";
  }
  for (int i = 1; i <= slides; ++i) {
    text += "[Slide" + std::to_string(i) +
            "]\r\nUsePersonal=1\r\nPers_Fon=1\r\nbstyle=1\r\nbname=" + std::to_string(i % 2 == 1 ? kRed : kBlue) +
            "\r\n";
    if (i == 1) {
      continue;
    }
    const TTransitionCase& c = cases[static_cast<size_t>(i - 2)];
    text += "Pers_Effect=1\r\nEffect_Class=" + std::to_string(c.cls) +
            "\r\nEffect_Type=" + (c.cls == 18 ? std::string("0") : std::string(1, VariantChar(c.variant))) +
            "\r\nEffectTime=" + std::to_string(kEffectMs) + "\r\nEffectUseSmoothline=1\r\nEffectSmoothline=20\r\n";
  }
  return text;
}

// The custom transition: the outgoing slide on the left half, the incoming
// one on the right.
constexpr const char* kHalves =
    "[Main]\r\nopt_slidescount=1\r\nopt_synchpos1=1000\r\nopt_scr_width=160\r\nopt_scr_height=90\r\n"
    "[slide1]\r\nobject out:image\r\n  ReplaceWithEffectBuffer=1\r\n  FitMode=PlaceInto\r\n"
    "  object K:keypoint\r\n    ScaleX=50\r\n    ScaleY=50\r\n    Position=-50,0\r\n  end\r\nend\r\n"
    "object in:image\r\n  ReplaceWithEffectBuffer=2\r\n  FitMode=PlaceInto\r\n"
    "  object K:keypoint\r\n    ScaleX=50\r\n    ScaleY=50\r\n    Position=50,0\r\n  end\r\nend\r\n";

class TransitionShow : public testing::Test {
protected:
  void SetUp() override {
    TTestPackage package;
    package.entries = {{"Project.vmo", kVmoDeflated, Project(m_cases)}, {"fx\\halves.vmo", kVmoStored, kHalves}};
    m_path = m_folder.Write("show.VmShow", package.Build());
  }

  // A renderer over a freshly opened show.
  struct TRun {
    std::unique_ptr<TVmoShowLocator> show;
    std::unique_ptr<TDrawDevice> device;
    std::unique_ptr<TVmoDrawController> controller;
    std::unique_ptr<TVmoRenderer> renderer;
    ~TRun() {
      renderer.reset();
      controller.reset();
    }
  };
  std::unique_ptr<TRun> Open() {
    auto run = std::make_unique<TRun>();
    std::string message;
    run->show = OpenShowToRender(m_path, false, message);
    EXPECT_NE(run->show, nullptr) << message;
    if (!run->show) {
      return nullptr;
    }
    T3DEngine* engine = test::SharedGLEngine();
    EXPECT_NE(engine, nullptr);
    if (!engine) {
      return nullptr;
    }
    const TFileAccessor* accessor = &run->show->Accessor();
    run->device = std::make_unique<TDrawDevice>(T3DRect{0, 0, kWidth, kHeight});
    run->controller = std::make_unique<TVmoDrawController>(*run->device, [engine, accessor] {
      auto drawer = std::make_unique<T3DDrawer>(*engine);
      drawer->SetFileAccessor(accessor);
      return drawer;
    });
    run->renderer = std::make_unique<TVmoRenderer>(run->show->Source(), *run->controller, false);
    run->renderer->SetPrepareTimeout(std::chrono::seconds(20));
    return run;
  }
  // The time `part` of the way through the transition of case k.
  static double During(size_t k, double part) { return (k + 1) * kSlideMs + part * kEffectMs; }

  std::vector<TTransitionCase> m_cases = Cases();
  TScratchFolder m_folder;
  std::string m_path;
};

// Pixels that are the slide's flat colour (red or blue) exactly.
int Flat(const TBitmap& frame, bool blue) {
  int count = 0;
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      const TBgra p = frame.GetPixel(x, y);
      count += blue ? (p.b == 255 && p.r == 0 && p.g == 0) : (p.r == 255 && p.b == 0 && p.g == 0);
    }
  }
  return count;
}

TEST_F(TransitionShow, EveryTransitionOfTheShowShowsBetweenItsSlides) {
  const auto run = Open();
  ASSERT_TRUE(run);
  TBitmap frame;
  const int total = kWidth * kHeight;
  for (size_t k = 0; k < m_cases.size(); ++k) {
    const std::string name =
        "class " + std::to_string(m_cases[k].cls) + " variant " + std::to_string(m_cases[k].variant);
    // Slide k + 1 (red when k is even) goes, slide k + 2 comes.
    const bool incomingBlue = k % 2 == 0;
    run->renderer->Render(During(k, -0.25), frame);
    ASSERT_EQ(frame.Width(), kWidth);
    EXPECT_EQ(Flat(frame, !incomingBlue), total) << name << ": before";
    run->renderer->Render(During(k, 0.4), frame);
    EXPECT_LT(Flat(frame, !incomingBlue), total) << name << ": the outgoing slide alone";
    EXPECT_LT(Flat(frame, incomingBlue), total) << name << ": the incoming slide alone";
  }
}

TEST_F(TransitionShow, EveryRunRendersTheSameFrames) {
  // The mosaic, the custom transition and the transition chosen at random
  // all draw from the show's seeds.
  const size_t mosaic = 0;
  const size_t custom = m_cases.size() - 2;
  const size_t random = m_cases.size() - 1;
  std::vector<TBitmap> first;
  {
    const auto run = Open();
    ASSERT_TRUE(run);
    for (const size_t k : {mosaic, custom, random}) {
      first.emplace_back();
      run->renderer->Render(During(k, 0.5), first.back());
    }
  }
  const auto again = Open();
  ASSERT_TRUE(again);
  size_t i = 0;
  for (const size_t k : {mosaic, custom, random}) {
    TBitmap frame;
    again->renderer->Render(During(k, 0.5), frame);
    const TBitmap& before = first[i++];
    ASSERT_EQ(frame.Width(), before.Width());
    int differing = 0;
    for (int y = 0; y < frame.Height(); ++y) {
      for (int x = 0; x < frame.Width(); ++x) {
        const TBgra a = frame.GetPixel(x, y);
        const TBgra b = before.GetPixel(x, y);
        differing += a.r != b.r || a.g != b.g || a.b != b.b;
      }
    }
    EXPECT_EQ(differing, 0) << "case " << k;
  }
}

} // namespace
} // namespace qx
