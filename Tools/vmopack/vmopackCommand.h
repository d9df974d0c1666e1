// What every vmopack command shares: its signature, argument helpers and
// opening a show through the player's reader.
#pragma once

#include "QxLib/Music/qxMediaInfo.h"
#include "QxLib/qxExceptions.h"
#include "VmoLib2/VmoViewer/qxVmoLoader2.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::vmopack {

// A command gets the words after its name. It writes its result to standard
// output and returns the exit code; failures raise EQxError (or any
// std::exception), whose message goes to standard error with exit code 1.
using TCommandArgs = std::vector<std::string>;
using TCommandFunction = int (*)(const TCommandArgs& args);

// Raised for a wrong command line; the dispatcher adds the usage text.
class EUsageError : public EQxError {
public:
  using EQxError::EQxError;
};

// The value after `option` (removed from `args` with it), if present.
std::optional<std::string> TakeOption(TCommandArgs& args, const std::string& option);
// Whether the flag is present (removed from `args`).
bool TakeFlag(TCommandArgs& args, const std::string& flag);
// Raises EUsageError unless exactly `count` words are left, none an option.
void ExpectPositional(const TCommandArgs& args, size_t count);

// The package of SHOW: the file itself, or "<name>.VmShow" beside it when the
// file holds none. Raises the reader's error text ("Can`t Load Show" when the
// file holds no package).
std::unique_ptr<TVmoUnpack> OpenPackage(const std::string& show);

// The show at SHOW (executable, package, or loose project file) through the
// player's open operations; raises the error text.
std::unique_ptr<TVmoShowLocator> OpenShowOrFail(const std::string& show);

// Writes a stream from its position to the end on standard output.
void WriteToStdout(TStream& stream);
// Writes a text on standard output.
void WriteToStdout(std::string_view text);

// The shortest text that reads back to the same double (times in ms).
std::string FormatTime(double value);

// The milliseconds of an option's value (0 ... 2147483647); -1 when the
// option is absent. Raises EUsageError naming the option otherwise.
int32_t ParseMs(const std::optional<std::string>& text, const char* option);

// The 44-byte header of a PCM WAV file whose data chunk holds dataSize bytes.
void WriteWaveHeader(TStream& out, const TPcmFormat& format, uint32_t dataSize);

} // namespace qx::vmopack
