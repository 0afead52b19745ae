#include "card/NumberText.h"

#include <algorithm>
#include <cstddef>

#include "card/TextChars.h"

namespace keycard {
namespace {

struct Scanned {
  DecimalNumber number;
  std::size_t length = 0;  // characters the number took
};

DecimalNumber::Fraction classifyFraction(std::u16string_view digits) {
  using Fraction = DecimalNumber::Fraction;
  if (digits.empty()) return Fraction::Zero;
  const bool restIsZero =
      std::all_of(digits.begin() + 1, digits.end(), [](char16_t c) { return c == u'0'; });
  if (digits[0] > u'5') return Fraction::AboveHalf;
  if (digits[0] == u'5') return restIsZero ? Fraction::Half : Fraction::AboveHalf;
  return digits[0] == u'0' && restIsZero ? Fraction::Zero : Fraction::BelowHalf;
}

std::size_t countDigits(std::u16string_view text, std::size_t from) {
  std::size_t end = from;
  while (end < text.size() && isDecimalDigit(text[end])) ++end;
  return end - from;
}

// Sign, digits, period, digits at the very start of the text; at least one digit.
std::optional<Scanned> scanNumber(std::u16string_view text) {
  Scanned scanned;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
    scanned.number.negative = text[pos] == u'-';
    ++pos;
  }
  const std::size_t wholeDigits = countDigits(text, pos);
  for (char16_t c : text.substr(pos, wholeDigits)) {
    const auto digit = static_cast<std::uint64_t>(c - u'0');
    scanned.number.whole = std::min(scanned.number.whole * 10 + digit, DecimalNumber::kWholeLimit);
  }
  pos += wholeDigits;
  std::size_t fractionDigits = 0;
  if (pos < text.size() && text[pos] == u'.') {
    fractionDigits = countDigits(text, pos + 1);
    scanned.number.fraction = classifyFraction(text.substr(pos + 1, fractionDigits));
    pos += 1 + fractionDigits;
  }
  if (wholeDigits + fractionDigits == 0) return std::nullopt;
  scanned.length = pos;
  return scanned;
}

std::int64_t signedValue(bool negative, std::uint64_t magnitude) {
  const auto value = static_cast<std::int64_t>(magnitude);
  return negative ? -value : value;
}

}  // namespace

std::optional<DecimalNumber> readLeadingNumber(std::u16string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  const auto scanned = scanNumber(text);
  if (!scanned) return std::nullopt;
  return scanned->number;
}

std::optional<DecimalNumber> readWholeNumber(std::u16string_view text) {
  text = trimBlanks(text);
  const auto scanned = scanNumber(text);
  if (!scanned || scanned->length != text.size()) return std::nullopt;
  return scanned->number;
}

std::int64_t roundHalfToEven(const DecimalNumber& number) {
  using Fraction = DecimalNumber::Fraction;
  const bool up = number.fraction == Fraction::AboveHalf ||
                  (number.fraction == Fraction::Half && number.whole % 2 == 1);
  return signedValue(number.negative, number.whole + (up ? 1 : 0));
}

std::int64_t roundDown(const DecimalNumber& number) {
  const bool up = number.negative && number.fraction != DecimalNumber::Fraction::Zero;
  return signedValue(number.negative, number.whole + (up ? 1 : 0));
}

}  // namespace keycard
