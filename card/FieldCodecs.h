// Conversions between the texts the window shows and the bytes of the card record.
// Texts are UTF-16, counted in characters as the window shows them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace keycard {

// Either the field's bytes, or a refusal that says in plain English what the field accepts
// ("a whole number from 0 to 255"). The caller prefixes the field's name.
template <std::size_t N>
struct Converted {
  std::optional<std::array<std::uint8_t, N>> bytes;
  std::string refusal;

  bool ok() const { return bytes.has_value(); }
};

// Writing: text -> bytes. Full-width digits, hex letters, signs, period, colon and the ideographic
// space, as an East Asian input method types them, count as their ASCII forms.
// CardType, Area, Floor, Room, CardSno: the number the text begins with, rounded half to even;
// "12abc" gives 12 and a text that begins with no number gives 0.
Converted<1> numberTextToByte(std::u16string_view text);
// FloorCnt: as above, but the whole text (blanks at both ends aside) must be the number.
Converted<1> strictNumberTextToByte(std::u16string_view text);
// HotelCode: the first six characters after the blanks, hex digits in either case.
Converted<3> hotelCodeToBytes(std::u16string_view text);
Converted<5> dateTimeToBcd(std::u16string_view text);  // StartDate, EndDate
Converted<2> timeToBcd(std::u16string_view text);      // StartTime, EndTime
// The fourth byte of a data card's block, from the card serial number field: the whole text as
// a number rounded down; 1 and below give 0, 2 to 19 give 13, 27, ... 251, 20 and above are
// refused.
Converted<1> dataCardSerialToByte(std::u16string_view text);

// Reading: bytes -> text.
std::u16string decimalDisplay(std::uint8_t value);
// Capital hex digits, as the driver library's routine gives them, without loading that library.
std::u16string hotelCodeDisplay(std::span<const std::uint8_t, 3> bytes);
std::u16string dateTimeDisplay(std::span<const std::uint8_t, 5> bytes);
std::u16string timeDisplay(std::span<const std::uint8_t, 2> bytes);

}  // namespace keycard
