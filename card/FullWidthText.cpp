#include "card/FullWidthText.h"

#include <algorithm>

namespace keycard {
namespace {

// The full-width forms block mirrors ASCII 0x21-0x7E at 0xFF01-0xFF5E.
constexpr char16_t kFullWidthOffset = u'\uFF01' - u'!';
constexpr char16_t kIdeographicSpace = u'\u3000';

bool isFieldCharacter(char16_t ascii) {
  return (ascii >= u'0' && ascii <= u'9') || (ascii >= u'A' && ascii <= u'F') ||
         (ascii >= u'a' && ascii <= u'f') || ascii == u'+' || ascii == u'-' || ascii == u'.' ||
         ascii == u':';
}

char16_t asciiForm(char16_t c) {
  if (c == kIdeographicSpace) return u' ';
  if (c < u'\uFF01' || c > u'\uFF5E') return c;
  const auto ascii = static_cast<char16_t>(c - kFullWidthOffset);
  return isFieldCharacter(ascii) ? ascii : c;
}

}  // namespace

std::u16string withAsciiForms(std::u16string_view text) {
  std::u16string result(text);
  std::transform(result.begin(), result.end(), result.begin(), asciiForm);
  return result;
}

}  // namespace keycard
