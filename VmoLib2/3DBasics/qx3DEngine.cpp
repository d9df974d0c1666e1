#include "VmoLib2/3DBasics/qx3DEngine.h"

#include "QxLib/qxLog.h"
#include "VmoLib2/3DBasics/qxDisplays.h"

#include <string>

namespace qx {

T3DEngine::T3DEngine(const TDisplays* displays) : m_displays(displays ? displays : &TOffscreenDisplays::Instance()) {}

int T3DEngine::AdapterForRect(const T3DRect& rect) { return DisplayForRect(Displays(), rect); }

bool T3DEngine::DisplayMode(int adapter, T3DDisplayMode& mode) {
  if (!Displays().Mode(adapter, mode)) {
    return Fail(T3DResult::InvalidCall);
  }
  Succeed();
  return true;
}

bool T3DEngine::Fail(T3DResult result) {
  m_result = result;
  if (result != T3DResult::Ok) {
    Log().WriteLine("Dx Error = " + std::to_string(static_cast<int>(result)));
  }
  return false;
}

} // namespace qx
