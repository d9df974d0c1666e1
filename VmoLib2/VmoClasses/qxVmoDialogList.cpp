#include "VmoLib2/VmoClasses/qxVmoDialogList.h"

#include "VmoLib2/3DEngine/qxDeviceDrawer.h"

#include <algorithm>

namespace qx {

namespace {

// Below this opacity a closing dialog is gone.
constexpr float kGoneOpacity = 1;
// A dialog's background at this opacity hides the dialogs below it.
constexpr float kOpaque = 100;

} // namespace

bool TVmoDialogList::Open(const std::string& name, TDialogSlide dialog, int64_t now) {
  if (m_closing && m_fading)
    return false;
  for (size_t i = 0; i < m_dialogs.size(); ++i)
    if (m_dialogs[i].Name == name) {
      FinishFade();
      StartFade(i, true, now);
      return true;
    }
  if (!dialog.Slide)
    return false;
  FinishFade();
  dialog.Slide->SetOpacityFactor(0);
  m_dialogs.push_back({name, std::move(dialog.Slide), dialog.DialogPause});
  StartFade(m_dialogs.size() - 1, false, now);
  return true;
}

bool TVmoDialogList::CloseLast(int64_t now) {
  if (m_dialogs.empty())
    return false;
  if (m_closing && m_fading)
    return true;
  FinishFade();
  StartFade(m_dialogs.size() - 1, true, now);
  return true;
}

void TVmoDialogList::ClosePauseDialogs(int64_t now) {
  FinishFade();
  std::optional<size_t> last;
  for (size_t i = 0; i < m_dialogs.size(); ++i)
    if (m_dialogs[i].Pause)
      last = i;
  if (!last)
    return;
  const TVmoDialog* keep = m_dialogs[*last].Slide.get();
  std::erase_if(m_dialogs, [keep](const TEntry& entry) { return entry.Pause && entry.Slide.get() != keep; });
  for (size_t i = 0; i < m_dialogs.size(); ++i)
    if (m_dialogs[i].Slide.get() == keep)
      StartFade(i, true, now);
}

void TVmoDialogList::CloseAll(int64_t now) {
  FinishFade();
  if (m_dialogs.size() > 1)
    m_dialogs.erase(m_dialogs.begin(), m_dialogs.end() - 1);
  if (!m_dialogs.empty())
    StartFade(0, true, now);
}

bool TVmoDialogList::IsOpen(const std::string& name) const {
  return std::any_of(m_dialogs.begin(), m_dialogs.end(), [&name](const TEntry& entry) { return entry.Name == name; });
}

bool TVmoDialogList::HoldsClock() const {
  return std::any_of(m_dialogs.begin(), m_dialogs.end(), [](const TEntry& entry) { return entry.Pause; });
}

void TVmoDialogList::StartFade(size_t index, bool closing, int64_t now) {
  m_fading = index;
  m_closing = closing;
  m_fadeStart = now;
}

void TVmoDialogList::FinishFade() {
  if (!m_fading)
    return;
  const size_t index = *m_fading;
  m_fading.reset();
  if (m_closing) {
    m_dialogs.erase(m_dialogs.begin() + static_cast<std::ptrdiff_t>(index));
    m_closing = false;
    return;
  }
  m_dialogs[index].Slide->SetOpacityFactor(100);
}

bool TVmoDialogList::Step(int64_t now) {
  if (!m_fading)
    return false;
  const double progress = std::clamp(static_cast<double>(now - m_fadeStart) / kFadeMs, 0.0, 1.0);
  const float opacity = static_cast<float>(m_closing ? 100 - progress * 100 : progress * 100);
  TVmoDialog& dialog = *m_dialogs[*m_fading].Slide;
  if (m_closing && opacity < kGoneOpacity) {
    FinishFade();
    return true;
  }
  const bool changed = dialog.OpacityFactor() != opacity;
  dialog.SetOpacityFactor(opacity);
  if (!m_closing && progress >= 1)
    m_fading.reset();
  return changed;
}

void TVmoDialogList::Draw(TDeviceDrawer& drawer) {
  for (const TEntry& entry : m_dialogs)
    drawer.DrawItem(*entry.Slide);
}

TMouseResult TVmoDialogList::MouseEvent(TMouseEventKind kind, double x, double y, int stateFlags, int button) {
  std::optional<TMouseResult> background;
  for (size_t i = m_dialogs.size(); i-- > 0;) {
    if (m_closing && m_fading == i)
      continue;
    TVmoDialog& dialog = *m_dialogs[i].Slide;
    const TMouseResult result = dialog.MouseEvent(kind, x, y, stateFlags, button);
    if (result.ActionReported || (result.Object && result.Object != &dialog))
      return result;
    if (!result.Object)
      continue;
    if (!background)
      background = result;
    if (dialog.Opacity() >= kOpaque)
      break;
  }
  return background.value_or(TMouseResult{});
}

} // namespace qx
