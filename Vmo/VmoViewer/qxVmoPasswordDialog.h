// The password dialog of a show that asks for one ([main] "opt_usepass"):
// its texts come from the project, and the show goes on only when the
// dialog ends with OK and the typed text equals [main] "opt_pass" exactly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qx {

class TIniSection;

struct TPasswordTexts {
  std::string Caption = "Password required";
  std::string Label = "Enter password:";
  std::string Ok = "OK";
  std::string Cancel = "Cancel";
};

// Shows the dialog modally: the typed text when it ended with OK, none when
// it was cancelled or closed.
class TPasswordAsker {
public:
  virtual ~TPasswordAsker() = default;
  virtual std::optional<std::string> AskPassword(const TPasswordTexts& texts) = 0;
};

class TVmoPasswordDialog {
public:
  // What a project without "opt_pass" is compared with: a text nobody types
  // (it holds control characters), so that an empty or ordinary entry does
  // not pass.
  static constexpr std::string_view kMissingPassword = "\x1b\x1dVmoNoPasswordGiven!\x1d\x1b";
  static_assert(kMissingPassword.size() == 23);

  // The texts and the password of the project's main section (defaults
  // without one).
  explicit TVmoPasswordDialog(const TIniSection* main);

  const TPasswordTexts& Texts() const { return m_texts; }
  // Runs the dialog; true when the show may go on.
  bool Check(TPasswordAsker& asker) const;

private:
  TPasswordTexts m_texts;
  std::string m_password;
};

// Whether the project asks for a password ([main] "opt_usepass").
bool ShowUsesPassword(const TIniSection* main);

} // namespace qx
