// TDynamicLibrary through the POSIX loader.
#include "QxLib/qxDynamicLibrary.h"

#include <dlfcn.h>

namespace qx {

namespace {

class TPosixLibrary : public TDynamicLibrary {
public:
  explicit TPosixLibrary(void* handle) : m_handle(handle) {}
  ~TPosixLibrary() override { dlclose(m_handle); }

  void* Symbol(const char* name) const override { return dlsym(m_handle, name); }

private:
  void* m_handle;
};

} // namespace

std::unique_ptr<TDynamicLibrary> TDynamicLibrary::Open(const std::string& path, std::string* error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* reason = dlerror();
      *error = reason ? reason : "cannot load " + path;
    }
    return nullptr;
  }
  return std::make_unique<TPosixLibrary>(handle);
}

} // namespace qx
