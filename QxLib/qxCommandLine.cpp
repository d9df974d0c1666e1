#include "QxLib/qxCommandLine.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace qx {

namespace {

constexpr char kQuote = '"';

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Command names are plain ASCII words; other bytes are kept as they are.
std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::string StripQuotes(std::string_view token) {
  if (!token.empty() && token.front() == kQuote)
    token.remove_prefix(1);
  if (!token.empty() && token.back() == kQuote)
    token.remove_suffix(1);
  std::string text;
  text.reserve(token.size());
  for (const char c : token)
    if (c != kQuote)
      text += c;
  return text;
}

std::string FindProgramPath(const char* argv0) {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && !self.empty())
    return self.string();
  if (argv0 == nullptr)
    return {};
  const auto absolute = std::filesystem::absolute(argv0, error);
  return error ? std::string(argv0) : absolute.string();
}

struct TProcessCommandLine {
  TCommandsStorage storage;
  std::string text;
  // Known before InitCommandLine runs, so that early users get a path too.
  std::string programPath = FindProgramPath(nullptr);
};

TProcessCommandLine& Process() {
  static TProcessCommandLine instance;
  return instance;
}

} // namespace

int32_t TCommandItem::AsInteger(int32_t def) const {
  std::string_view text = m_text;
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  // from_chars accepts a sign itself; a second one must not parse.
  if (text.empty() || text.front() == '-' || text.front() == '+')
    return def;
  int64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size())
    return def;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX)
    return def;
  return static_cast<int32_t>(value);
}

const TCommandItem* TCommand::Item(int index) const {
  if (index < 0 || index >= Count())
    return nullptr;
  return &m_items[static_cast<size_t>(index)];
}

std::vector<std::string> TokenizeCommandLine(std::string_view text) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos]))
      ++pos;
    if (pos >= text.size())
      break;
    const size_t start = pos;
    bool quoted = false;
    while (pos < text.size() && (quoted || !IsBlank(text[pos]))) {
      if (text[pos] == kQuote)
        quoted = !quoted;
      ++pos;
    }
    tokens.push_back(StripQuotes(text.substr(start, pos - start)));
  }
  return tokens;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty())
      text += ' ';
    const bool needsQuotes = argument.empty() || std::any_of(argument.begin(), argument.end(), IsBlank);
    if (needsQuotes)
      text += kQuote + argument + kQuote;
    else
      text += argument;
  }
  return text;
}

TCommandsStorage::TCommandsStorage() { Clear(); }

void TCommandsStorage::Clear() {
  m_tokens.clear();
  for (auto& bucket : m_buckets)
    bucket.clear();
  // The unnamed command always exists; it is current until the first "-name".
  FindOrAdd("");
}

void TCommandsStorage::Parse(std::string_view commandLineText) {
  Clear();
  m_tokens = TokenizeCommandLine(commandLineText);
  TCommand* current = &FindOrAdd("");
  for (const std::string& token : m_tokens) {
    if (token.empty())
      continue;
    if (token.front() == '-') {
      current = &FindOrAdd(LowerAscii(std::string_view(token).substr(1)));
      continue;
    }
    current->Add(token);
  }
}

bool TCommandsStorage::HasToken(std::string_view text) const {
  return std::find(m_tokens.begin(), m_tokens.end(), text) != m_tokens.end();
}

bool TCommandsStorage::HasCommand(std::string_view name) const { return Command(name) != nullptr; }

const TCommand* TCommandsStorage::Command(std::string_view name) const {
  const std::string lower = LowerAscii(name);
  for (const auto& command : m_buckets[Bucket(lower)])
    if (command->Name() == lower)
      return command.get();
  return nullptr;
}

std::optional<std::string> TCommandsStorage::CommandItem(std::string_view name, int index) const {
  const TCommand* command = Command(name);
  if (command == nullptr)
    return std::nullopt;
  const TCommandItem* item = command->Item(index);
  if (item == nullptr)
    return std::nullopt;
  return item->Text();
}

int32_t TCommandsStorage::CommandItemAsInteger(std::string_view name, int index, int32_t def) const {
  const TCommand* command = Command(name);
  const TCommandItem* item = command ? command->Item(index) : nullptr;
  return item ? item->AsInteger(def) : def;
}

TCommand& TCommandsStorage::FindOrAdd(const std::string& lowerName) {
  auto& bucket = m_buckets[Bucket(lowerName)];
  for (const auto& command : bucket)
    if (command->Name() == lowerName)
      return *command;
  bucket.push_back(std::make_unique<TCommand>(lowerName));
  return *bucket.back();
}

// The ELF hash of the name's bytes.
size_t TCommandsStorage::Bucket(std::string_view lowerName) {
  uint32_t hash = 0;
  for (const char c : lowerName) {
    hash = (hash << 4) + static_cast<unsigned char>(c);
    const uint32_t high = hash & 0xF0000000u;
    if (high != 0)
      hash ^= high >> 24;
    hash &= ~high;
  }
  return hash % kBucketCount;
}

void InitCommandLine(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.emplace_back(argv[i] ? argv[i] : "");
  TProcessCommandLine& process = Process();
  process.text = JoinCommandLine(arguments);
  process.storage.Parse(process.text);
  process.programPath = FindProgramPath(argc > 0 ? argv[0] : nullptr);
}

TCommandsStorage& CommandLine() { return Process().storage; }

const std::string& CommandLineText() { return Process().text; }

const std::string& ProgramPath() { return Process().programPath; }

void SetProgramPath(std::string path) { Process().programPath = std::move(path); }

} // namespace qx
