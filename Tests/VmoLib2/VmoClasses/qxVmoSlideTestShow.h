// Helpers of the slide production tests: a three-slide show with cross-fades,
// an object kind whose loading fails, and a log that keeps its lines.
#pragma once

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxLog.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/VmoClasses/qxVmoSlideUtils3.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qx::test {

// Three 4:3 slides ending at 10 s, 20 s and 30 s, every transition a 1 s
// cross-fade. Slide 1 has its own red background and one box; slides 2 and
// 3 have one box each. Extra text is appended to the whole project.
inline std::string ThreeSlideShow(std::string_view slide2Body = "object b:box\nend\n", std::string_view extra = "") {
  return "[Main]\n"
         "opt_slidescount=3\n"
         "opt_synchpos1=10000\n"
         "opt_synchpos2=20000\n"
         "opt_synchpos3=30000\n"
         "opt_fx_enable=1\n"
         "opt_fx_time=1000\n"
         "opt_fx_eff3=1\n"
         "opt_scr_width=800\n"
         "opt_scr_height=600\n"
         "opt_bstyle=1\n"
         "opt_bname=65280\n"
         "[slide1]\n"
         "UsePersonal=1\n"
         "Pers_Fon=1\n"
         "bstyle=1\n"
         "bname=255\n"
         "object a:box\n"
         "end\n"
         "[slide2]\n" +
         std::string(slide2Body) +
         "[slide3]\n"
         "object c:box\n"
         "end\n" +
         std::string(extra);
}

// The block of an object whose loading raises.
inline constexpr std::string_view kFailingObject = "object boom:failingkind\nend\n";

// Installs (once) the factory of "failingkind", whose objects cannot load.
void InstallFailingKind();

// Keeps the lines written to the process-wide log while it lives.
class TCapturedLog {
public:
  TCapturedLog();
  ~TCapturedLog();
  TCapturedLog(const TCapturedLog&) = delete;
  TCapturedLog& operator=(const TCapturedLog&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(std::string_view text) const;

private:
  class TSink;
  TSink* m_sink;
};

// Mutes the assertion reports and fixes the program path (no screen saver).
class ProducerTest : public testing::Test {
protected:
  void SetUp() override {
    SetProgramPath("/opt/player/player");
    InstallFailingKind();
  }

  // A producer over its own source, sized to 1920 x 1080 (fit inside).
  static std::unique_ptr<TSlideProducer> MakeProducer(std::string_view project, bool withTiming = true) {
    auto producer = std::make_unique<TSlideProducer>(MakeSource(project, true));
    producer->SetGeometry({0, 0, 1920, 1080}, TSlideFitMode::FitInside);
    if (withTiming)
      producer->SetTiming(MakeRef<TTiming>());
    return producer;
  }

private:
  const test::TMutedDebugOutput m_muted;
};

} // namespace qx::test
