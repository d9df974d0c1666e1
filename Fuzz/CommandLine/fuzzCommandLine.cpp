// Fuzz target of the command line: the text is split into tokens and
// commands. Every non-empty token is either a command name ("-name", held in
// lower case) or the next item of the current command, so the commands and
// items can be rebuilt from the tokens; tokens never keep a double quote,
// joining them and splitting again gives them back, and every item reads as
// an integer or gives the default.
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/qxCommandLine.h"

#include <map>
#include <vector>

namespace {

using namespace qx;

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

void CheckInteger(const TCommandItem& item) {
  const int32_t first = item.AsInteger(-1);
  const int32_t second = item.AsInteger(2);
  if (first != second)
    return; // not a number: each default came back
  // A parsed number reads back from its decimal text.
  FUZZ_CHECK(TCommandItem(std::to_string(first)).AsInteger(first == 0 ? 1 : 0) == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Bytes(data, size);
  TCommandsStorage storage;
  storage.Parse(text);
  const std::vector<std::string>& tokens = storage.Tokens();
  FUZZ_CHECK(tokens == TokenizeCommandLine(text));

  std::map<std::string, std::vector<std::string>> expected{{"", {}}};
  std::string current;
  for (const std::string& token : tokens) {
    FUZZ_CHECK(token.find('"') == std::string::npos);
    FUZZ_CHECK(storage.HasToken(token));
    if (token.empty())
      continue;
    if (token.front() == '-') {
      current = LowerAscii(std::string_view(token).substr(1));
      expected[current];
      continue;
    }
    expected[current].push_back(token);
  }
  for (const auto& [name, items] : expected) {
    const TCommand* command = storage.Command(name);
    FUZZ_CHECK(command != nullptr);
    FUZZ_CHECK(command->Name() == name);
    FUZZ_CHECK(storage.HasCommand(name));
    FUZZ_CHECK(command->Count() == static_cast<int>(items.size()));
    for (int i = 0; i < command->Count(); ++i) {
      FUZZ_CHECK(command->Item(i)->Text() == items[static_cast<size_t>(i)]);
      FUZZ_CHECK(storage.CommandItem(name, i) == items[static_cast<size_t>(i)]);
      CheckInteger(*command->Item(i));
    }
    FUZZ_CHECK(command->Item(command->Count()) == nullptr);
    FUZZ_CHECK(!storage.CommandItem(name, -1).has_value());
  }

  // The process's own command line is joined from its arguments: splitting
  // the joined text gives the arguments back.
  FUZZ_CHECK(TokenizeCommandLine(JoinCommandLine(tokens)) == tokens);
  return 0;
}
