// Off-screen GL ES 3.0 contexts through EGL (the surfaceless platform of the
// Mesa driver, or a small pbuffer), and the driver's reset status.
#pragma once

#include "VmoLib2/3DBasics/qxGLContext.h"

#include <memory>
#include <string>

namespace qx {

// An off-screen context: EGL with the surfaceless platform, or a 16x16
// pbuffer when the driver has no surfaceless contexts. Null with `error`
// set on failure.
std::unique_ptr<TGLContext> CreateHeadlessContext(std::string& error);

// True when the driver reports the current context as reset (lost).
bool CurrentContextReset();

} // namespace qx
