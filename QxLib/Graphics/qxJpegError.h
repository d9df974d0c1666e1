// The error manager the JPEG reader and writer give libjpeg. libjpeg reports
// fatal errors through error_exit, which must not return: it formats the
// message and jumps back to the guarded call. The code between that call's
// setjmp and the jump only touches libjpeg state and objects that outlive
// the jump, so nothing with a destructor is skipped.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace qx {

struct TJpegError {
  jpeg_error_mgr Manager; // first: libjpeg sees only this part
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] inline void JpegErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->Message);
  std::longjmp(error->Jump, 1);
}

// Warnings about damaged data are not printed; libjpeg carries on.
inline void JpegSilentMessage(j_common_ptr) {}

} // namespace qx
