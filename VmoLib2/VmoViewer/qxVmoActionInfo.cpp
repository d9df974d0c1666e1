#include "VmoLib2/VmoViewer/qxVmoActionInfo.h"

#include <charconv>
#include <limits>

namespace qx {

namespace {

// A decimal number filling the whole field (a sign allowed); false when the
// field is not one or does not fit.
bool ParseField(std::string_view field, int32_t& value) {
  if (field.empty())
    return false;
  if (field.front() == '+')
    field.remove_prefix(1);
  int32_t parsed = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), parsed);
  if (error != std::errc{} || end != field.data() + field.size())
    return false;
  value = parsed;
  return true;
}

} // namespace

TVmoActionInfo ParseActionText(std::string_view text) {
  const size_t firstComma = text.find(',');
  int32_t kind = 0;
  if (!ParseField(text.substr(0, firstComma), kind) || kind < 0 || kind > std::numeric_limits<uint8_t>::max())
    return {};
  TVmoActionInfo action;
  action.Kind = static_cast<uint8_t>(kind);
  if (firstComma == std::string_view::npos)
    return action;
  const std::string_view rest = text.substr(firstComma + 1);
  const size_t secondComma = rest.find(',');
  // A field that is not a number leaves the integer at 0: the kind alone
  // decides what happens then.
  ParseField(rest.substr(0, secondComma), action.Integer);
  if (secondComma != std::string_view::npos)
    action.Text = std::string(rest.substr(secondComma + 1));
  return action;
}

} // namespace qx
