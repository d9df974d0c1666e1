// The exception classes of the system and the assertion that ends an
// operation with an exception naming the source unit and line.
#pragma once

#include <stdexcept>
#include <string>

namespace qx {

// Base of every failure the system raises on purpose; the message is the
// text shown or logged as it stands.
class EQxError : public std::runtime_error {
public:
  explicit EQxError(const std::string& message) : std::runtime_error(message) {}
};

class EStreamError : public EQxError {
public:
  using EQxError::EQxError;
};

class EStreamReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EStreamWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// Silent cancellation of an operation (a request beyond the end of a cache
// stream, a cancelled shadow).
class EAbort : public EQxError {
public:
  using EQxError::EQxError;
};

// A failed internal consistency check.
class EAssertionFailed : public EQxError {
public:
  using EQxError::EQxError;
};

using TAssertionHook = void (*)(const std::string& report);

// Installs a process-wide hook called with every assertion report before it
// is raised; returns the previous hook.
TAssertionHook SetAssertionHook(TAssertionHook hook);

// Builds the report "Asseertion with message: '<message>' (<unit>, line: <n>)",
// writes it to the debugger output, calls the hook and raises EAssertionFailed.
// unit may be a path; only its file name without extension is reported.
[[noreturn]] void AssertionFailed(const std::string& message, const char* unit, int line);

} // namespace qx

// Checks an internal condition; on failure raises EAssertionFailed whose text
// names this source file and line.
#define QX_ASSERT(condition, message)                       \
  do {                                                      \
    if (!(condition))                                       \
      ::qx::AssertionFailed((message), __FILE__, __LINE__); \
  } while (false)
