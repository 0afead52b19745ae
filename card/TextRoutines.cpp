#include "card/TextRoutines.h"

#include <algorithm>
#include <cstddef>

namespace keycard {
namespace {

char16_t hexDigit(unsigned nibble) {
  return static_cast<char16_t>(nibble < 10 ? u'0' + nibble : u'A' + (nibble - 10));
}

// The value of one capital hex digit; anything else counts as nothing.
unsigned capitalHexValue(char16_t c) {
  if (c >= u'A' && c <= u'A' + 5) return static_cast<unsigned>(c - u'A') + 10;
  if (c >= u'0' && c <= u'0' + 9) return static_cast<unsigned>(c - u'0');
  return 0;
}

// Characters [first, first + count) of text, or as many of them as exist.
std::u16string_view piece(std::u16string_view text, std::size_t first, std::size_t count) {
  if (first >= text.size()) return {};
  return text.substr(first, count);
}

}  // namespace

std::u16string MyHexToStr(std::span<const std::uint8_t> Source, std::int32_t wrlen) {
  std::u16string result;
  if (wrlen <= 0) return result;
  const std::size_t count = std::min(Source.size(), static_cast<std::size_t>(wrlen));
  result.reserve(2 * count);
  for (std::uint8_t byte : Source.first(count)) {
    result.push_back(hexDigit(byte / 16u));
    result.push_back(hexDigit(byte % 16u));
  }
  return result;
}

std::uint8_t MyStrToByte(std::u16string_view NumStr) {
  const unsigned high = !NumStr.empty() ? capitalHexValue(NumStr[0]) : 0;
  const unsigned low = NumStr.size() > 1 ? capitalHexValue(NumStr[1]) : 0;
  return static_cast<std::uint8_t>(high * 16 + low);
}

std::u16string MyFormatDate(std::u16string_view digits) {
  std::u16string result;
  result.append(piece(digits, 0, 2)).append(u"-");
  result.append(piece(digits, 2, 2)).append(u"-");
  result.append(piece(digits, 4, 2)).append(u" ");
  result.append(piece(digits, 6, 2)).append(u":");
  result.append(piece(digits, 8, 2));
  return result;
}

std::u16string MyFormatTime(std::u16string_view digits) {
  std::u16string result;
  result.append(piece(digits, 0, 2)).append(u":");
  result.append(piece(digits, 2, 2));
  return result;
}

}  // namespace keycard
