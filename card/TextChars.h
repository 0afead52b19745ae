// Character classes of what an operator types. Blanks are spaces and tabs, which a pasted text
// may carry; digits are the ASCII ones only.
#pragma once

#include <string_view>

namespace keycard {

inline bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

inline std::u16string_view trimBlanks(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline bool isDecimalDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace keycard
