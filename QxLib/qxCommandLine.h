// The parsed command line: the token list and the commands ("-name" followed
// by its items), plus the process-wide instance built at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// One item of a command: a token that followed the command's name.
class TCommandItem {
public:
  explicit TCommandItem(std::string text) : m_text(std::move(text)) {}

  const std::string& Text() const { return m_text; }
  // The text as a 32-bit integer (decimal, or hexadecimal after "$" or
  // "0x"), or def when it does not parse or does not fit.
  int32_t AsInteger(int32_t def) const;

private:
  std::string m_text;
};

// A named command with its items in command-line order. The name is held in
// lower case; the unnamed command "" collects the tokens before the first
// named command.
class TCommand {
public:
  explicit TCommand(std::string name) : m_name(std::move(name)) {}

  const std::string& Name() const { return m_name; }
  const std::vector<TCommandItem>& Items() const { return m_items; }
  int Count() const { return static_cast<int>(m_items.size()); }
  // The index-th item, or nullptr when there is none.
  const TCommandItem* Item(int index) const;
  void Add(std::string text) { m_items.emplace_back(std::move(text)); }

private:
  std::string m_name;
  std::vector<TCommandItem> m_items;
};

// Splits a command line text into tokens: runs of characters above the
// blank, where blanks inside double quotes belong to the token. One leading
// and one trailing quote are removed and every other quote is dropped.
std::vector<std::string> TokenizeCommandLine(std::string_view text);

// Joins program arguments into one command line text, quoting those that
// contain blanks or are empty, so that TokenizeCommandLine gives them back.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

class TCommandsStorage {
public:
  static constexpr size_t kBucketCount = 251;

  TCommandsStorage();
  TCommandsStorage(const TCommandsStorage&) = delete;
  TCommandsStorage& operator=(const TCommandsStorage&) = delete;

  // Replaces the contents with the tokens and commands of the text.
  void Parse(std::string_view commandLineText);
  void Clear();

  const std::vector<std::string>& Tokens() const { return m_tokens; }
  // True when a token equals the text exactly (case-sensitive).
  bool HasToken(std::string_view text) const;
  // True when the command exists; the name is compared in lower case.
  bool HasCommand(std::string_view name) const;
  const TCommand* Command(std::string_view name) const;
  // The text of the index-th item of the command, if both exist.
  std::optional<std::string> CommandItem(std::string_view name, int index) const;
  // The index-th item of the command as an integer, or def.
  int32_t CommandItemAsInteger(std::string_view name, int index, int32_t def) const;

private:
  TCommand& FindOrAdd(const std::string& lowerName);
  static size_t Bucket(std::string_view lowerName);

  std::vector<std::string> m_tokens;
  std::array<std::vector<std::unique_ptr<TCommand>>, kBucketCount> m_buckets;
};

// Builds the process-wide command line from the program's arguments and
// remembers the program's own path. Called once at start-up, before other
// threads exist.
void InitCommandLine(int argc, char** argv);
TCommandsStorage& CommandLine();
// The full command line text the process-wide storage was parsed from.
const std::string& CommandLineText();
// The absolute path of the running program (or argv[0] when it cannot be
// found).
const std::string& ProgramPath();
void SetProgramPath(std::string path);

} // namespace qx
