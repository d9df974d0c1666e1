// Helpers shared by the fuzz targets. A target is one function,
// LLVMFuzzerTestOneInput, that feeds one input to a reader and checks what the
// reader promises: it answers with a result or an error (an EQxError), never
// with both, never with an assertion or another exception, and its results
// keep their own invariants (sizes, round trips through the matching writer).
// A broken promise stops the process with a message, which libFuzzer reports
// with the input, and which fails the replay test of the corpus.
#pragma once

#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxMemoryStream.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <random>
#include <string_view>

namespace qx::fuzz {

[[noreturn]] inline void Fail(const std::string& what, const char* file, int line) {
  if (*file)
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what.c_str(), file, line);
  else
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// A reader may refuse an input with an EQxError; an assertion failure means
// the input reached a check meant for the code's own consistency, so it is a
// finding like a crash. Any other exception escapes and ends the run too.
template <class TBody>
bool ResultOrError(TBody&& body, const char* file, int line) {
  try {
    body();
    return true;
  } catch (const EAssertionFailed& assertion) {
    Fail(std::string("assertion reached by input: ") + assertion.what(), file, line);
  } catch (const EQxError&) {
    return false;
  }
}

// Readers report refused inputs on the debugger output; millions of inputs
// would only fill the terminal.
inline const bool kDebugOutputMuted = (SetDebugOutputMuted(true), true);

// Some callers catch every exception of a reader and go on (a container
// payload that fails shows green, the registry tries the next loader); an
// assertion reached by an input is a finding all the same, so it stops the
// run where it is raised.
inline void StopAtAssertion(const std::string& report) { Fail("assertion reached by input: " + report, "", 0); }
inline const TAssertionHook kAssertionsStop = SetAssertionHook(StopAtAssertion);

inline std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

inline std::unique_ptr<TMemoryStream> MemoryStreamOf(std::string_view bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream->SetPosition(0);
  return stream;
}

// A folder of the process's own for readers that open files by name; it is
// removed when the process ends normally.
class TScratchFolder {
public:
  static TScratchFolder& Instance() {
    static TScratchFolder folder;
    return folder;
  }

  // Writes `bytes` to `name` in the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const {
    const std::filesystem::path path = m_path / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
      Fail("cannot write the scratch file " + path.string(), __FILE__, __LINE__);
    return path.string();
  }

  std::string Path() const { return m_path.string() + "/"; }

private:
  TScratchFolder() {
    // Memory-backed when the system has it, since every input is written.
    std::filesystem::path base = "/dev/shm";
    std::error_code error;
    if (!std::filesystem::is_directory(base, error))
      base = std::filesystem::temp_directory_path();
    std::random_device random;
    m_path = base / ("vmo-fuzz-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(m_path);
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }

  std::filesystem::path m_path;
};

} // namespace qx::fuzz

// Stops the run when an invariant of the reader does not hold.
#define FUZZ_CHECK(condition)                           \
  do {                                                  \
    if (!(condition))                                   \
      ::qx::fuzz::Fail(#condition, __FILE__, __LINE__); \
  } while (false)

// Runs a statement; true when it finished, false when it raised an EQxError.
#define FUZZ_RESULT_OR_ERROR(...) ::qx::fuzz::ResultOrError([&] { __VA_ARGS__; }, __FILE__, __LINE__)

// The entry point of every target.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
