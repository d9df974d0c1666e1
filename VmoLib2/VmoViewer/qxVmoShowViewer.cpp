#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

namespace qx {

namespace {

constexpr int32_t kDefaultWindowWidth = 640;
constexpr int32_t kDefaultWindowHeight = 480;

std::unique_ptr<TIniStorage> CopyProject(const TIniStorage& project) {
  auto copy = std::make_unique<TIniStorage>();
  copy->Assign(project);
  return copy;
}

} // namespace

TVmoShowViewer::TVmoShowViewer(TVmoViewerSetup setup) : m_setup(std::move(setup)) {
  QX_ASSERT(m_setup.Application != nullptr, "TVmoShowViewer: no application");
}

TVmoShowViewer::~TVmoShowViewer() { Stop(); }

void TVmoShowViewer::Stop() {
  m_callbacks = {};
  m_engine.reset();
}

TVmoEngineState TVmoShowViewer::EngineState() const { return m_engine ? m_engine->State() : TVmoEngineState{}; }

void TVmoShowViewer::MakeEngine() {
  QX_ASSERT(m_setup.MakeDrawDevice != nullptr, "TVmoShowViewer: no draw device");
  std::unique_ptr<TDrawDevice> device = m_setup.MakeDrawDevice();
  QX_ASSERT(device != nullptr, "TVmoShowViewer: no draw device");
  auto controller = std::make_unique<TVmoDrawController>(std::move(device), m_setup.MakeDrawer);
  m_engine = std::make_unique<TVmoEngine>(m_setup.Application, std::move(controller), m_setup.MakeMusic);
  m_engine->SetFramePacer(m_setup.Pacer);
  m_engine->SetCover(m_setup.Cover);
  m_engine->SetDeterministic(m_setup.Deterministic);
  m_engine->SetDecodeAhead(m_setup.DecodeAhead);
  m_engine->SetActionsEnabled(m_actionsEnabled);
  m_engine->SetFirstFrameCallback([this](const TVmoEngineEvent&) {
    if (m_callbacks.FirstFrame)
      m_callbacks.FirstFrame();
  });
  m_engine->SetPositionCallback([this](int32_t position, bool ended, int32_t) {
    m_position = position;
    m_ended = ended;
    if (m_callbacks.Position)
      m_callbacks.Position(position, ended);
  });
  m_engine->SetEventCallback([this](TVmoEngineEvent& event) { OnEngineEvent(event); });
}

void TVmoShowViewer::OnEngineEvent(TVmoEngineEvent& event) {
  switch (event.Kind) {
  case TVmoEngine::kActionKind: {
    TVmoActionInfo action;
    action.Kind = static_cast<uint8_t>(event.Integer(0));
    action.Integer = event.Integer(1);
    if (const auto* text = dynamic_cast<const TVmoTextData*>(event.Payload.get()))
      action.Text = text->Text;
    if (m_callbacks.Action)
      m_callbacks.Action(action);
    return;
  }
  case TVmoEngine::kPictureKind:
    if (auto* picture = dynamic_cast<TVmoPictureData*>(event.Payload.get()); picture && m_callbacks.Picture)
      m_callbacks.Picture(std::move(picture->Picture));
    return;
  case TVmoEngine::kFrameSizeKind:
    if (m_callbacks.Placement)
      m_callbacks.Placement(event.Integer(0), event.Integer(1), event.Integer(2));
    return;
  default: return;
  }
}

void TVmoShowViewer::Open(const TFileAccessor& accessor, const TIniStorage& project, int32_t position) {
  auto accessorCopy = std::make_unique<TFileAccessor>(accessor);
  std::unique_ptr<TIniStorage> projectCopy = CopyProject(project);
  m_ended = false;
  if (m_engine && m_engine->Running()) {
    auto params = std::make_unique<TOpenParams>();
    params->PausedAfter = m_paused;
    params->SequenceNo = m_engine->NextSequence();
    params->Accessor = std::move(accessorCopy);
    params->Storage = std::move(projectCopy);
    params->Position = position;
    m_engine->Post(TVmoEngine::kOpenEvent, std::move(params));
    return;
  }

  const bool first = m_engine == nullptr;
  if (first) {
    MakeEngine();
    // The window takes its place at once; the engine's report of the frame
    // size follows.
    const TIniSection* main = project.FindSection("main");
    if (m_callbacks.Placement) {
      const int32_t width = main ? main->ReadInteger("opt_scr_width", kDefaultWindowWidth) : kDefaultWindowWidth;
      const int32_t height = main ? main->ReadInteger("opt_scr_height", kDefaultWindowHeight) : kDefaultWindowHeight;
      int mode = kFullScreen;
      if (!main || main->ReadInteger("opt_scr_full", 1) != 1)
        mode = main && !main->ReadBool("opt_withoutborder", true) ? kFramedWindow : kBorderlessWindow;
      m_callbacks.Placement(width, height, mode);
    }
  }
  try {
    m_engine->Open(std::move(accessorCopy), std::move(projectCopy), position, m_engine->NextSequence());
  } catch (...) {
    if (first)
      m_engine.reset();
    throw;
  }
  m_engine->Start();
}

void TVmoShowViewer::SetPaused(bool paused) {
  if (paused == m_paused)
    return;
  m_paused = paused;
  if (m_engine)
    m_engine->Post(TVmoEngine::kModeEvent, std::make_unique<TModeData>(paused));
}

void TVmoShowViewer::Seek(int32_t position) {
  if (position < 0)
    return;
  m_lastRequested = position;
  m_ended = false;
  if (!m_engine)
    return;
  auto params = std::make_unique<TOpenParams>();
  params->PausedAfter = m_paused;
  params->SequenceNo = m_engine->NextSequence();
  params->Position = position;
  m_engine->Post(TVmoEngine::kOpenEvent, std::move(params));
}

void TVmoShowViewer::SeekAndPause(int32_t position, bool paused) {
  Seek(position);
  SetPaused(paused);
}

void TVmoShowViewer::Mouse(uint8_t kind, int32_t x, int32_t y, int32_t shift, int32_t button,
                           const TVmoActionInfo* action) {
  if (!m_engine)
    return;
  auto mouse = std::make_unique<TMouseData>();
  mouse->Kind = kind;
  mouse->X = x;
  mouse->Y = y;
  mouse->Shift = shift;
  mouse->Button = button;
  if (action)
    mouse->Action = *action;
  m_engine->Post(TVmoEngine::kMouseEvent, std::move(mouse));
}

void TVmoShowViewer::Help() {
  if (m_engine)
    m_engine->Post(TVmoEngine::kHelpEvent);
}

void TVmoShowViewer::CloseDialog() {
  if (m_engine)
    m_engine->Post(TVmoEngine::kCloseDialogEvent);
}

void TVmoShowViewer::Capture() {
  if (m_engine)
    m_engine->Post(TVmoEngine::kCaptureEvent);
}

void TVmoShowViewer::SetActionsEnabled(bool enabled) {
  m_actionsEnabled = enabled;
  if (m_engine)
    m_engine->SetActionsEnabled(enabled);
}

} // namespace qx
