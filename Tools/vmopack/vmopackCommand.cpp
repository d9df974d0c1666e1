#include "Tools/vmopack/vmopackCommand.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qx::vmopack {

std::optional<std::string> TakeOption(TCommandArgs& args, const std::string& option) {
  const auto found = std::find(args.begin(), args.end(), option);
  if (found == args.end())
    return std::nullopt;
  if (found + 1 == args.end())
    throw EUsageError(option + " needs a value");
  std::string value = *(found + 1);
  args.erase(found, found + 2);
  return value;
}

bool TakeFlag(TCommandArgs& args, const std::string& flag) {
  const auto found = std::find(args.begin(), args.end(), flag);
  if (found == args.end())
    return false;
  args.erase(found);
  return true;
}

void ExpectPositional(const TCommandArgs& args, size_t count) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg.starts_with("--"))
      throw EUsageError("unknown option " + arg);
  }
  if (args.size() != count)
    throw EUsageError("wrong number of arguments");
}

std::unique_ptr<TVmoUnpack> OpenPackage(const std::string& show) {
  auto unpack = std::make_unique<TVmoUnpack>(show);
  if (unpack->IsOpen())
    return unpack;
  if (!unpack->ErrorText().empty())
    throw EQxError(unpack->ErrorText());
  const std::string sibling = SiblingPackageName(show);
  std::error_code error;
  if (sibling != show && std::filesystem::is_regular_file(sibling, error))
    return OpenPackage(sibling);
  throw EQxError(std::string(kErrCannotLoadShow));
}

std::unique_ptr<TVmoShowLocator> OpenShowOrFail(const std::string& show) {
  std::string error;
  auto locator = OpenShow(show, error);
  if (!locator)
    throw EQxError(error);
  return locator;
}

void WriteToStdout(TStream& stream) {
  std::string buffer(65536, '\0');
  for (;;) {
    const int64_t got = stream.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got <= 0)
      break;
    if (std::fwrite(buffer.data(), 1, static_cast<size_t>(got), stdout) != static_cast<size_t>(got))
      throw EQxError("cannot write to standard output");
  }
  if (std::fflush(stdout) != 0)
    throw EQxError("cannot write to standard output");
}

void WriteToStdout(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw EQxError("cannot write to standard output");
}

std::string FormatTime(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

int32_t ParseMs(const std::optional<std::string>& text, const char* option) {
  if (!text)
    return -1;
  try {
    size_t used = 0;
    const long value = std::stol(*text, &used);
    if (used == text->size() && value >= 0 && value <= INT32_MAX)
      return static_cast<int32_t>(value);
  } catch (const std::exception&) {
  }
  throw EUsageError(std::string(option) + " takes a number of milliseconds");
}

void WriteWaveHeader(TStream& out, const TPcmFormat& format, uint32_t dataSize) {
  out.WriteString("RIFF");
  out.WriteUInt32(36 + dataSize);
  out.WriteString("WAVEfmt ");
  out.WriteUInt32(16);
  out.WriteUInt16(format.FormatTag);
  out.WriteUInt16(format.Channels);
  out.WriteUInt32(format.SamplesPerSec);
  out.WriteUInt32(format.AvgBytesPerSec);
  out.WriteUInt16(format.BlockAlign);
  out.WriteUInt16(format.BitsPerSample);
  out.WriteString("data");
  out.WriteUInt32(dataSize);
}

} // namespace qx::vmopack
