// Whole decimal numbers in ASCII text: port numbers, block numbers, request counts.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

namespace keycard::link {

// The number `text` spells in decimal digits and nothing else (no sign, no blank, nothing
// after it); nothing when it spells none or the number does not fit in Number. Leading zeros
// are read as such; a caller that refuses them checks for them.
template <typename Number>
std::optional<Number> parseDecimal(std::string_view text) {
  // from_chars reads a minus sign into a signed type.
  if (text.empty() || text.front() == '-') return std::nullopt;
  Number value{};
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace keycard::link
