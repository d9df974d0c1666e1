#include "VmoLib2/VmoViewer/qxVmoRenderedWindow.h"

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoViewer/qxVmoShowLocator.h"
#include "VmoLib2/VmoViewer/qxVmoShowViewer.h"

#include <exception>

namespace qx {

TVmoPlainWindow::TVmoPlainWindow(const TVmoViewerSetup& setup, std::unique_ptr<TVmoShowLocator> show, int32_t start)
    : m_show(std::move(show)), m_viewer(std::make_unique<TVmoShowViewer>(setup)) {
  if (!m_show || !m_show->ProjectStorage()) {
    m_closed = true;
    m_message = "no show";
    return;
  }
  try {
    m_viewer->Open(m_show->Accessor(), *m_show->ProjectStorage(), start);
  } catch (const std::exception& error) {
    m_closed = true;
    m_message = error.what();
    return;
  }
  m_viewer->SetPaused(false);
}

TVmoPlainWindow::~TVmoPlainWindow() {
  // The engine goes before the show it was opened from.
  m_viewer.reset();
}

TVmoShowViewer* TVmoPlainWindow::Viewer() { return m_closed ? nullptr : m_viewer.get(); }

} // namespace qx
