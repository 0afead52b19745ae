// Decimal numbers as an operator types them: optional sign, digits, one period as the decimal
// point. The value is kept exactly (no floating point), so "2.5000001" rounds up and "2.5" to even.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace keycard {

struct DecimalNumber {
  // Whole parts beyond this are held at it: every caller refuses them anyway.
  static constexpr std::uint64_t kWholeLimit = 1'000'000'000'000;

  enum class Fraction { Zero, BelowHalf, Half, AboveHalf };

  bool negative = false;
  std::uint64_t whole = 0;
  Fraction fraction = Fraction::Zero;
};

// The number at the start of the text, after blanks; reading stops at the first character that
// cannot continue it ("12abc" is 12). Nothing when no number begins there.
std::optional<DecimalNumber> readLeadingNumber(std::u16string_view text);
// The whole text, blanks at both ends allowed, as one number; nothing when anything else is there.
std::optional<DecimalNumber> readWholeNumber(std::u16string_view text);

// To the nearest integer, a value exactly halfway to the even neighbour (2.5 -> 2, -0.5 -> 0).
std::int64_t roundHalfToEven(const DecimalNumber& number);
// To the integer at or below the value (2.9 -> 2, -0.5 -> -1).
std::int64_t roundDown(const DecimalNumber& number);

}  // namespace keycard
