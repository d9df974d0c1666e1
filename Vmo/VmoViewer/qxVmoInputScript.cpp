#include "Vmo/VmoViewer/qxVmoInputScript.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxFileStream.h"
#include "VmoLib2/3DBasics/qxKeyCodes.h"
#include "VmoLib2/VmoViewer/qxVmoEngine2.h"
#include "Vmo/VmoViewer/MainUnit.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>

namespace qx {

namespace {

// Scripts are small; a larger file is not a script.
constexpr int64_t kMaxScriptBytes = int64_t(16) << 20;

using TKind = TScriptEvent::TKind;

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
      ++i;
    const size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
      ++i;
    if (i > start)
      words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The text of the line after `word` (a view into it) and the blanks that
// follow it; inner blanks are kept.
std::string_view RestAfter(std::string_view line, std::string_view word) {
  size_t at = static_cast<size_t>(word.data() - line.data()) + word.size();
  while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at])))
    ++at;
  return line.substr(std::min(at, line.size()));
}

template <class T>
bool Number(std::string_view text, T& value) {
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

class TLineParser {
public:
  TLineParser(const std::string& name, int number) : m_name(name), m_number(number) {}

  [[noreturn]] void Fail(const std::string& why) const {
    throw EQxError(m_name + " line " + std::to_string(m_number) + ": " + why);
  }

  int32_t Coordinate(std::string_view text) const {
    int32_t value = 0;
    if (!Number(text, value))
      Fail("\"" + std::string(text) + "\" is not a pixel coordinate");
    return value;
  }

  TScriptEvent Parse(std::string_view line) const {
    const std::vector<std::string_view> words = Words(line);
    TScriptEvent event;
    if (!Number(words[0], event.Time) || event.Time < 0)
      Fail("\"" + std::string(words[0]) + "\" is not a time in ms");
    if (words.size() < 2)
      Fail("an event kind must follow the time");
    const std::string_view kind = words[1];
    const size_t count = words.size() - 2;
    if (kind == "key") {
      if (count == 0)
        Fail("key wants a key name");
      // Some key names hold blanks ("Keypad 0", "AC Back").
      const std::string_view name = RestAfter(line, words[1]);
      const std::optional<TKeyChord> chord = ParseKeyChord(name);
      if (!chord)
        Fail("unknown key \"" + std::string(name) + "\"");
      event.Kind = TKind::Key;
      event.Key = chord->Code;
      event.Shift = chord->Shift;
      return event;
    }
    if (kind == "click" || kind == "press" || kind == "release") {
      if (count < 2 || count > 3)
        Fail(std::string(kind) + " wants <x> <y> and a button");
      event.Kind = kind == "click" ? TKind::Click : kind == "press" ? TKind::Press : TKind::Release;
      event.X = Coordinate(words[2]);
      event.Y = Coordinate(words[3]);
      event.Button = mbLeft;
      if (count == 3) {
        const std::string_view button = words[4];
        if (button == "right")
          event.Button = mbRight;
        else if (button == "double" && kind == "click")
          event.Kind = TKind::DoubleClick;
        else if (button != "left")
          Fail("unknown button \"" + std::string(button) + "\"");
      }
      return event;
    }
    if (kind == "move") {
      if (count != 2)
        Fail("move wants <x> <y>");
      event.Kind = TKind::Move;
      event.X = Coordinate(words[2]);
      event.Y = Coordinate(words[3]);
      return event;
    }
    if (kind == "wheel") {
      if (count < 1 || count > 2)
        Fail("wheel wants <notches> [ctrl]");
      event.Kind = TKind::Wheel;
      if (!Number(words[2], event.Notches) || event.Notches == 0)
        Fail("\"" + std::string(words[2]) + "\" is not a number of notches");
      if (count == 2) {
        if (words[3] != "ctrl")
          Fail("unknown wheel modifier \"" + std::string(words[3]) + "\"");
        event.Shift = ssCtrl;
      }
      return event;
    }
    if (kind == "password") {
      event.Kind = TKind::Password;
      event.Text = std::string(RestAfter(line, words[1]));
      return event;
    }
    Fail("unknown event \"" + std::string(kind) + "\"");
  }

private:
  const std::string& m_name;
  int m_number;
};

} // namespace

std::vector<TScriptEvent> ParseInputScript(std::string_view text, const std::string& name) {
  std::vector<TScriptEvent> events;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
      line.remove_suffix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
      line.remove_prefix(1);
    if (line.empty())
      continue;
    const TLineParser parser(name, number);
    TScriptEvent event = parser.Parse(line);
    if (!events.empty() && event.Time < events.back().Time)
      parser.Fail("the time goes back");
    events.push_back(std::move(event));
  }
  return events;
}

std::vector<TScriptEvent> ReadInputScript(const std::string& path) {
  std::string text;
  try {
    TFileStream file(path, TFileMode::OpenRead);
    if (file.GetSize() > kMaxScriptBytes)
      throw EQxError("too large for an input script");
    text = file.ReadAll();
  } catch (const std::exception& error) {
    throw EQxError("cannot read the input script " + path + ": " + error.what());
  }
  return ParseInputScript(text, path);
}

TInputScript::TInputScript(std::vector<TScriptEvent> events) : m_events(std::move(events)) {
  for (const TScriptEvent& event : m_events) {
    if (event.Kind == TKind::Password)
      m_passwords.push_back(event.Text);
  }
}

std::optional<std::string> TInputScript::TakePassword() {
  if (m_passwords.empty())
    return std::nullopt;
  std::string text = std::move(m_passwords.front());
  m_passwords.pop_front();
  return text;
}

std::optional<int64_t> TInputScript::NextEventTime() const {
  // Password lines are taken by the dialog, not delivered at their time.
  for (size_t i = m_next; i < m_events.size(); ++i) {
    if (m_events[i].Kind != TKind::Password)
      return m_events[i].Time;
  }
  return std::nullopt;
}

void TInputScript::DeliverDue(int64_t wallMs) {
  while (m_next < m_events.size() && m_events[m_next].Time <= wallMs) {
    const TScriptEvent& event = m_events[m_next++];
    if (m_form)
      Deliver(event);
  }
}

void TInputScript::Deliver(const TScriptEvent& event) {
  TMainForm& form = *m_form;
  const uint8_t held = event.Button == mbRight ? ssRight : ssLeft;
  switch (event.Kind) {
  case TKind::Key: form.KeyDown(event.Key, event.Shift); return;
  case TKind::Click:
    form.MouseMove(event.X, event.Y, 0);
    form.MouseButton(mkButtonDown, event.Button, event.X, event.Y, held);
    form.MouseButton(mkButtonUp, event.Button, event.X, event.Y, 0);
    return;
  case TKind::DoubleClick:
    // As a window system reports one: a click, then the double click.
    form.MouseMove(event.X, event.Y, 0);
    form.MouseButton(mkButtonDown, mbLeft, event.X, event.Y, ssLeft);
    form.MouseButton(mkButtonUp, mbLeft, event.X, event.Y, 0);
    form.MouseButton(mkDoubleClick, mbLeft, event.X, event.Y, ssLeft);
    form.MouseButton(mkButtonUp, mbLeft, event.X, event.Y, 0);
    return;
  case TKind::Press:
    form.MouseMove(event.X, event.Y, 0);
    form.MouseButton(mkButtonDown, event.Button, event.X, event.Y, held);
    return;
  case TKind::Release:
    form.MouseMove(event.X, event.Y, held);
    form.MouseButton(mkButtonUp, event.Button, event.X, event.Y, 0);
    return;
  case TKind::Move: form.MouseMove(event.X, event.Y, 0); return;
  case TKind::Wheel: form.MouseWheel(event.Notches, event.Shift); return;
  case TKind::Password: return;
  }
}

} // namespace qx
