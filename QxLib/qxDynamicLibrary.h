// A library loaded at run time: the picture library, decoder plug-ins, the
// video library. One implementation per platform
// (QxLib/Posix/qxDynamicLibrary.cpp).
#pragma once

#include <memory>
#include <string>

namespace qx {

class TDynamicLibrary {
public:
  // Loads `path`, resolving every symbol now and keeping the library's own
  // symbols to itself; null with `error` set to the loader's reason.
  static std::unique_ptr<TDynamicLibrary> Load(const std::string& path, std::string& error);
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;
  // Unloads the library: nothing taken from it may be used afterwards.
  ~TDynamicLibrary();

  // The address the library exports as `name`; null when it has none.
  void* Symbol(const char* name) const;

  // Sets `function` to the exported function `name`; false when there is
  // none.
  template <class T>
  bool LookUp(const char* name, T& function) const {
    function = reinterpret_cast<T>(Symbol(name));
    return function != nullptr;
  }

private:
  explicit TDynamicLibrary(void* handle) : m_handle(handle) {}

  void* m_handle;
};

} // namespace qx
