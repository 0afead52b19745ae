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

// Writing: text -> bytes.
Converted<1> numberTextToByte(std::u16string_view text);  // CardType, Area, Floor, Room, CardSno
Converted<1> strictNumberTextToByte(std::u16string_view text);  // FloorCnt
Converted<3> hotelCodeToBytes(std::u16string_view text);        // HotelCode
Converted<5> dateTimeToBcd(std::u16string_view text);           // StartDate, EndDate
Converted<2> timeToBcd(std::u16string_view text);               // StartTime, EndTime
// The fourth byte of a data card's block, derived from the card serial number field.
Converted<1> dataCardSerialToByte(std::u16string_view text);

// Reading: bytes -> text.
std::u16string decimalDisplay(std::uint8_t value);
std::u16string hotelCodeDisplay(
    std::span<const std::uint8_t, 3> bytes);  // without the driver library
std::u16string dateTimeDisplay(std::span<const std::uint8_t, 5> bytes);
std::u16string timeDisplay(std::span<const std::uint8_t, 2> bytes);

}  // namespace keycard
