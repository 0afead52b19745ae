#include "card/FieldCodecs.h"

#include <algorithm>
#include <limits>
#include <string>

#include "card/AsciiForms.h"
#include "card/DateTimeText.h"
#include "card/NumberText.h"
#include "card/TextChars.h"
#include "card/TextRoutines.h"

namespace keycard {
namespace {

// Each follows "<Field>: enter " in the window.
constexpr const char* kByteRefusal = "a whole number from 0 to 255";
constexpr const char* kHotelCodeRefusal = "six hexadecimal digits (0-9, A-F)";
constexpr const char* kDateTimeRefusal = "a date and time like 06-07-18 12:00";
constexpr const char* kTimeRefusal = "a time of day like 23:59";
// The numbers dataCardSerialToByte takes, after rounding down.
constexpr const char* kDataCardSerialRefusal = "a card number from -32768 to 19";

template <std::size_t N>
Converted<N> refuse(const char* refusal) {
  return Converted<N>{std::nullopt, refusal};
}

Converted<1> byteOrRefusal(std::int64_t value) {
  if (value < 0 || value > 255) return refuse<1>(kByteRefusal);
  return Converted<1>{std::array{static_cast<std::uint8_t>(value)}, {}};
}

// Two decimal digits, zero-padded: the text form of one packed BCD byte.
std::u16string twoDigits(int value) {
  return {static_cast<char16_t>(u'0' + value / 10 % 10), static_cast<char16_t>(u'0' + value % 10)};
}

// Digit pairs through MyStrToByte, as the record stores dates, times and the hotel code.
template <std::size_t N>
std::array<std::uint8_t, N> pairsToBytes(std::u16string_view digits) {
  std::array<std::uint8_t, N> bytes{};
  for (std::size_t i = 0; i < N; ++i) bytes[i] = MyStrToByte(digits.substr(2 * i, 2));
  return bytes;
}

bool isHexDigit(char16_t c) {
  return isDecimalDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

char16_t toCapital(char16_t c) {
  return c >= u'a' && c <= u'f' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

Converted<1> numberTextToByte(std::u16string_view text) {
  const auto number = readLeadingNumber(withAsciiForms(text));
  return byteOrRefusal(number ? roundHalfToEven(*number) : 0);
}

Converted<1> strictNumberTextToByte(std::u16string_view text) {
  const auto number = readWholeNumber(withAsciiForms(text));
  if (!number) return refuse<1>(kByteRefusal);
  return byteOrRefusal(roundHalfToEven(*number));
}

// MyStrToByte reads lowercase letters and other characters as 0, which would turn "1a2b3c" into
// a code that opens no door of the hotel; so the six digits are checked and capitalised first.
Converted<3> hotelCodeToBytes(std::u16string_view text) {
  const std::u16string ascii = withAsciiForms(text);
  const std::u16string_view trimmed = trimBlanks(ascii);
  if (trimmed.size() < 6) return refuse<3>(kHotelCodeRefusal);
  std::u16string digits(trimmed.substr(0, 6));
  if (!std::all_of(digits.begin(), digits.end(), isHexDigit)) return refuse<3>(kHotelCodeRefusal);
  std::transform(digits.begin(), digits.end(), digits.begin(), toCapital);
  return Converted<3>{pairsToBytes<3>(digits), {}};
}

Converted<5> dateTimeToBcd(std::u16string_view text) {
  const auto dateTime = readDateTime(withAsciiForms(text));
  if (!dateTime) return refuse<5>(kDateTimeRefusal);
  const std::u16string digits = twoDigits(dateTime->year % 100) + twoDigits(dateTime->month) +
                                twoDigits(dateTime->day) + twoDigits(dateTime->time.hour) +
                                twoDigits(dateTime->time.minute);
  return Converted<5>{pairsToBytes<5>(digits), {}};
}

Converted<2> timeToBcd(std::u16string_view text) {
  const auto time = readTimeOfDay(withAsciiForms(text));
  if (!time) return refuse<2>(kTimeRefusal);
  return Converted<2>{pairsToBytes<2>(twoDigits(time->hour) + twoDigits(time->minute)), {}};
}

// Card numbers 2 to 19 map to 13, 27, ... 251; 1 and below to 0; 20 would exceed a byte.
Converted<1> dataCardSerialToByte(std::u16string_view text) {
  const auto number = readWholeNumber(withAsciiForms(text));
  if (!number) return refuse<1>(kDataCardSerialRefusal);
  const std::int64_t n = roundDown(*number);
  if (n < std::numeric_limits<std::int16_t>::min() || n >= 20)
    return refuse<1>(kDataCardSerialRefusal);
  const std::int64_t fourth = n <= 1 ? 0 : (n - 2) * 14 + 13;
  return Converted<1>{std::array{static_cast<std::uint8_t>(fourth)}, {}};
}

std::u16string decimalDisplay(std::uint8_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

std::u16string hotelCodeDisplay(std::span<const std::uint8_t, 3> bytes) {
  return MyHexToStr(bytes, 3);
}

std::u16string dateTimeDisplay(std::span<const std::uint8_t, 5> bytes) {
  return MyFormatDate(MyHexToStr(bytes, 5));
}

std::u16string timeDisplay(std::span<const std::uint8_t, 2> bytes) {
  return MyFormatTime(MyHexToStr(bytes, 2));
}

}  // namespace keycard
