// A shared library loaded at run time, with lookup of its exported
// functions. The platform's loader lives in a folder of its own
// (QxLib/Posix/).
#pragma once

#include <memory>
#include <string>

namespace qx {

class TDynamicLibrary {
public:
  // Loads the library at `path`; nullptr when it cannot be loaded, with the
  // loader's reason in `error` when given.
  static std::unique_ptr<TDynamicLibrary> Open(const std::string& path, std::string* error = nullptr);

  virtual ~TDynamicLibrary() = default;
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

  // The address of an exported symbol, nullptr when there is none.
  virtual void* Symbol(const char* name) const = 0;

  // The exported function `name` as type T; false when missing.
  template <class T>
  bool LookUp(const char* name, T& function) const {
    function = reinterpret_cast<T>(Symbol(name));
    return function != nullptr;
  }

protected:
  TDynamicLibrary() = default;
};

} // namespace qx
