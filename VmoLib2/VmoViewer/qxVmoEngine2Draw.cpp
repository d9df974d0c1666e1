// The engine's drawing step, its mouse handling and the actions it
// performs or passes to the main window.
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"

#include "QxLib/Graphics/qxBitmap.h"
#include "QxLib/qxLog.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"
#include "VmoLib2/VmoClasses/VmoThirdSlide3.h"
#include "VmoLib2/VmoClasses/qxVmoButton.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoClasses/qxVmoText.h"
#include "VmoLib2/VmoViewer/qxVmoSlideLoader2.h"

#include <exception>

namespace qx {

namespace {

// The dialog of the "help" action ("dialog_help", unless a custom dialog
// is named so).
constexpr const char* kHelpDialog = "help";

TMouseEventKind SlideMouseKind(int32_t kind) {
  switch (kind) {
  case mkButtonDown:
  case mkDoubleClick: return TMouseEventKind::ButtonDown;
  case mkButtonUp: return TMouseEventKind::ButtonUp;
  default: return TMouseEventKind::Move;
  }
}

// The class of an object under the mouse, as the main window's cursor rule
// knows them.
std::string ClassName(const TVmoObject& object) {
  if (dynamic_cast<const TVmoButton*>(&object))
    return "TVmoButton";
  if (dynamic_cast<const TVmoText*>(&object))
    return "TVmoText";
  if (dynamic_cast<const TVmoImage*>(&object))
    return "TVmoImage";
  if (dynamic_cast<const TVmoSlide*>(&object))
    return "TVmoSlide";
  return "TVmoObject";
}

} // namespace

void TVmoEngine::DrawStep(int state) {
  if (m_slides.empty())
    return;
  constexpr int kForcing = TVmoDrawController::kRefreshPending | TVmoDrawController::kResetPending;
  state |= m_drawOwed ? TVmoDrawController::kRefreshPending : 0;
  if (m_pacer && !m_pacer->MayDraw()) {
    m_drawOwed = m_drawOwed || (state & kForcing) != 0;
    return;
  }
  m_drawOwed = false;
  if (IsReadyToDraw()) {
    Draw((state & kForcing) != 0);
  } else if (state & TVmoDrawController::kRefreshPending) {
    // Nothing to show yet: the background alone.
    m_root.BuildDrawList({}, m_overlay.get(), Position());
    m_root.SetForceDraw(true);
    if (TDeviceDrawer* drawer = m_drawController->Drawer()) {
      try {
        m_drawController->Draw(m_root);
        if (m_pacer)
          m_pacer->FrameDrawn(*drawer);
      } catch (const std::exception& error) {
        Log().WriteLine(std::string("TVmoEngine.Draw: ") + error.what());
      }
    }
  }
}

void TVmoEngine::Draw(bool force) {
  TDeviceDrawer* drawer = m_drawController->Drawer();
  if (!drawer || !m_loader)
    return;
  try {
    m_root.BuildDrawList(m_slides, m_overlay.get(), Position());
    m_root.SetForceDraw(force);
    if (!m_root.NeedsRedraw())
      return;
    // The object under a mouse that is over the window may have moved.
    if (m_lastMouse[1] != kMouseFarAway)
      HitTest({mkMove, m_lastMouse[1], m_lastMouse[2], m_lastMouse[3], m_lastMouse[4]}, nullptr);
    const TPixelRect frame = m_loader->SlideRect();
    drawer->SetSlideSize(frame.Width(), frame.Height());
    m_drawController->Draw(m_root);
    if (m_pacer)
      m_pacer->FrameDrawn(*drawer);
    if (!m_firstFrameSent) {
      m_firstFrameSent = true;
      PostToMain(kFirstFrameKind, {frame.Left, frame.Top, frame.Right, frame.Bottom});
    }
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TVmoEngine.Draw: ") + error.what());
  }
}

// --- Mouse ------------------------------------------------------------------

void TVmoEngine::OnMouseEvent(const TMouseData& mouse) {
  m_lastMouse = {mouse.Kind, mouse.X, mouse.Y, mouse.Shift, mouse.Button};
  TVmoActionInfo found;
  const bool taken = HitTest(m_lastMouse, &found);
  if (!found.IsNone()) {
    Perform(found);
    return;
  }
  // An object with an action of its own takes the press, so the mouse
  // word's action does not run as well; nor does it under the overlay.
  if (!taken && !State().OverActiveObject)
    Perform(mouse.Action);
}

bool TVmoEngine::HitTest(const std::array<int32_t, 5>& mouse, TVmoActionInfo* found) {
  const TMouseEventKind kind = SlideMouseKind(mouse[0]);
  if (m_overlay) {
    TThirdSlideMouse result;
    try {
      result = m_overlay->MouseEvent(kind, mouse[1], mouse[2], mouse[3], mouse[4], NowMs());
    } catch (const std::exception& error) {
      Log().WriteLine(std::string("TVmoEngine.HitTest: ") + error.what());
    }
    if (result.Consumed) {
      if (found)
        *found = result.Action;
      if (result.OverPanel)
        PublishHit(true, "NavPanel");
      else if (result.Object && !result.Object->Action().empty())
        PublishHit(true, ClassName(*result.Object));
      else
        PublishHit(false, {});
      return true;
    }
  }
  double time = Position();
  // A slide's visible interval starts after its start: the very first
  // instant of the show still belongs to the first slide.
  if (time == 0)
    time = 0.1;
  const TVmoObject* object = nullptr;
  for (auto entry = m_slides.rbegin(); entry != m_slides.rend(); ++entry) {
    if (!entry->Slide || !(entry->Times.SlideStart < time && time <= entry->Times.VisibleEnd))
      continue;
    TMouseResult result;
    try {
      result = entry->Slide->MouseEvent(kind, mouse[1], mouse[2], mouse[3], mouse[4]);
    } catch (const std::exception& error) {
      // An object seen edge-on (or a mouse far outside, which ends hover
      // states) meets no ray: nothing is under the mouse on this slide.
      Log().WriteLine(std::string("TVmoEngine.HitTest: ") + error.what());
      continue;
    }
    if (!result.Object)
      continue;
    object = result.Object;
    if (found && result.ActionReported)
      *found = ParseActionText(result.Action);
    break;
  }
  const bool overActive = object && !object->Action().empty();
  PublishHit(overActive, overActive ? ClassName(*object) : std::string());
  return false;
}

void TVmoEngine::PublishHit(bool overActive, std::string className) {
  const std::lock_guard guard(m_stateLock);
  m_published.OverActiveObject = overActive;
  m_published.HitClassName = std::move(className);
}

// --- Actions ----------------------------------------------------------------

void TVmoEngine::Perform(const TVmoActionInfo& action) {
  if (action.Kind == akNone || action.Kind == akHandled)
    return;
  const int64_t now = NowMs();
  if (m_overlay) {
    switch (action.Kind) {
    case akPreviousSlide:
    case akNextSlide:
    case akGotoSlide:
    case akOpenShow: m_overlay->HidePopups(now); break;
    case akHelp: m_overlay->OpenDialog(kHelpDialog, now); return;
    case akShowDialog: m_overlay->OpenDialog(action.Text, now); return;
    case akCloseDialog:
      if (m_overlay->CloseDialog(now))
        return;
      break;
    case akPause:
      // Playing on (the panel's play button) while a dialog holds the
      // clock closes the dialogs that hold it.
      if (!m_paused && m_overlay->HoldsClock()) {
        m_overlay->ClosePauseDialogs(now);
        return;
      }
      break;
    default: break;
    }
  } else if (action.Kind == akHelp || action.Kind == akShowDialog) {
    // Without an overlay there is nowhere to show a dialog.
    return;
  }
  Log().WriteLine("TVmoEngine: action " + std::to_string(action.Kind) + "," + std::to_string(action.Integer) + "," +
                  action.Text);
  PostToMain(kActionKind, {action.Kind, action.Integer}, std::make_unique<TVmoTextData>(action.Text));
}

// --- Capture and preloading -------------------------------------------------

void TVmoEngine::Capture() {
  TDeviceDrawer* drawer = m_drawController->Drawer();
  std::unique_ptr<TBitmap> picture;
  if (drawer) {
    try {
      m_root.BuildDrawList(m_slides, m_overlay.get(), Position());
      const bool noPresent = drawer->NoPresent();
      drawer->SetNoPresent(true);
      try {
        m_drawController->Draw(m_root);
      } catch (...) {
        drawer->SetNoPresent(noPresent);
        throw;
      }
      drawer->SetNoPresent(noPresent);
      picture = drawer->Capture();
    } catch (const std::exception& error) {
      Log().WriteLine(std::string("TVmoEngine.Capture: ") + error.what());
    }
  }
  if (!picture) {
    Log().WriteLine("********************* Image not Assigned");
    return;
  }
  PostToMain(kPictureKind, {}, std::make_unique<TVmoPictureData>(std::move(picture)));
}

// On the loader's thread, for each slide it has just made.
void TVmoEngine::Preload(TVmoSlide& slide) {
  TDeviceDrawer* drawer = m_drawController->Drawer();
  if (!drawer)
    return;
  try {
    PreloadSlide(*drawer, slide, slide.Times().SlideStart);
  } catch (const std::exception& error) {
    Log().WriteLine(std::string("TVmoEngine.Preload: ") + error.what());
  }
}

} // namespace qx
