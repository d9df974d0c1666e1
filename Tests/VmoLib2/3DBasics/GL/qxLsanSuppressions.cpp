// Leak-checker suppressions for the GL tests: the Mesa driver keeps
// allocations of its own (compiled shaders, the llvmpipe JIT, the EGL
// display) until the process ends. Only the driver's libraries are listed;
// leaks in the player's code are still reported.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libEGL_mesa.so\n"
         "leak:libGLESv2.so\n"
         "leak:libGLdispatch.so\n"
         "leak:libglapi.so\n"
         "leak:swrast_dri.so\n"
         "leak:libLLVM\n"
         "leak:libEGL.so\n";
}
