#include "QxLib/qxDynamicLibrary.h"

#include <dlfcn.h>

namespace qx {

std::unique_ptr<TDynamicLibrary> TDynamicLibrary::Load(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    error = reason ? reason : "cannot load \"" + path + "\"";
    return nullptr;
  }
  return std::unique_ptr<TDynamicLibrary>(new TDynamicLibrary(handle));
}

TDynamicLibrary::~TDynamicLibrary() { dlclose(m_handle); }

void* TDynamicLibrary::Symbol(const char* name) const { return dlsym(m_handle, name); }

} // namespace qx
