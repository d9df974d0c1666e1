// The main window on the engine's virtual clock: a TMainForm with the
// headless host, its viewer's engine on a step driver with a music clock
// that plays no sound, and shows written as project files or packages in a
// scratch folder.
#pragma once

#include "QxLib/Application2/qxApplication.h"
#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"
#include "Tests/VmoLib2/VmoViewer/qxVmoEngineTestSupport.h"
#include "VmoLib2/3DBasics/qxKeyCodes.h"
#include "VmoLib2/VmoViewer/qxVmoLoader2.h"
#include "VmoLib2/VmoViewer/qxVmoStepDriver.h"
#include "Vmo/VmoViewer/MainUnit.h"
#include "Vmo/VmoViewer/qxVmoHeadlessHost.h"

#include <memory>
#include <string>

namespace qx::test {

class TFormHarness {
public:
  TFormHarness() : m_scope(m_driver), m_applicationSteps(m_application), m_wasMuted(SetDebugOutputMuted(true)) {
    m_driver.Attach(m_applicationSteps, TStepDriver::kNever);
    TVmoViewerSetup setup;
    setup.Application = &m_application;
    setup.MakeDrawDevice = [] { return std::make_unique<TDrawDevice>(T3DRect{0, 0, 800, 600}); };
    setup.MakeDrawer = []() -> std::unique_ptr<TDeviceDrawer> { return nullptr; };
    setup.MakeMusic = [this](TVmoSource&) -> std::unique_ptr<TVmoEngineMusic> {
      return std::make_unique<TTestMusic>(m_driver);
    };
    Host = std::make_unique<TVmoHeadlessHost>(
        setup, [this] { return m_driver.Now(); }, 1920, 1080, nullptr);
  }
  ~TFormHarness() {
    Form.reset();
    m_driver.Detach(m_applicationSteps);
    SetDebugOutputMuted(m_wasMuted);
    SetReplacePair({});
  }
  TFormHarness(const TFormHarness&) = delete;
  TFormHarness& operator=(const TFormHarness&) = delete;

  // A loose project file in the scratch folder.
  std::string WriteProject(const std::string& name, const std::string& text) { return Folder.Write(name, text); }
  // A show package holding the project.
  std::string WritePackage(const std::string& name, const std::string& project, const std::string& version = "5.6") {
    TTestPackage package;
    package.entries.push_back({"Project.vmo", kVmoDeflated, project});
    package.vmoVersion = version;
    return Folder.Write(name, package.Build());
  }

  // Makes the window with the command line `arguments` and opens its show.
  bool Create(const std::string& arguments, const std::string& programPath = "/opt/vmo/vmoviewer") {
    Commands.Parse("\"" + programPath + "\" " + arguments);
    TMainFormOptions options;
    options.Commands = &Commands;
    options.ProgramPath = programPath;
    Form = std::make_unique<TMainForm>(*Host, options);
    return Form->Create();
  }
  // Opens a project file in project mode and lets the mouse's dead time
  // pass.
  bool Play(const std::string& project, const std::string& extra = "") {
    const bool made = Create("-filename \"" + WriteProject("show.vmo", project) + "\" " + extra);
    RunFor(TMainForm::kMouseDeadTimeMs + 10);
    return made;
  }

  void RunFor(int64_t ms) { m_driver.RunUntil(m_driver.Now() + ms); }
  // Runs until the engine has taken every request.
  void Settle() {
    for (int i = 0; i < 100 && State().RequestPending; ++i)
      RunFor(1);
    RunFor(5);
  }
  TVmoEngineState State() const { return Form->Viewer() ? Form->Viewer()->EngineState() : TVmoEngineState{}; }
  double Position() const { return State().Position; }

  void Key(int32_t key, uint8_t shift = 0) {
    Form->KeyDown(key, shift);
    Settle();
  }
  void Click(int32_t button, int32_t x = 400, int32_t y = 300) {
    Form->MouseMove(x, y, 0);
    Form->MouseButton(mkButtonDown, button, x, y, button == mbRight ? ssRight : ssLeft);
    Form->MouseButton(mkButtonUp, button, x, y, 0);
    Settle();
  }

  TScratchFolder Folder;
  TCommandsStorage Commands;
  std::unique_ptr<TVmoHeadlessHost> Host;
  std::unique_ptr<TMainForm> Form;

private:
  TApplication m_application;
  TStepDriver m_driver;
  TStepDriver::TScope m_scope;
  TApplicationSteps m_applicationSteps;
  bool m_wasMuted;
};

} // namespace qx::test
